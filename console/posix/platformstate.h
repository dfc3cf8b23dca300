/*
 * The state of the Win32 calls on POSIX, shared by the calls and the
 * headless test seam beside them: one program-wide in-memory console, either
 * headless (tests) or shown on the terminal.
 */
#ifndef ZOP_CONSOLE_POSIX_PLATFORMSTATE_H
#define ZOP_CONSOLE_POSIX_PLATFORMSTATE_H

#include "console/posix/keydecoder.h"
#include "console/posix/memconsole.h"

#include <map>
#include <string>
#include <vector>

enum PlatformKind { PLATFORM_UNPROBED, PLATFORM_NONE, PLATFORM_HEADLESS, PLATFORM_TERMINAL };

struct PlatformState {
    int kind;                       /* a PlatformKind */
    bool attached;                  /* a console is there; false after FreeConsole */
    bool drawn;                     /* the program has drawn on it: the terminal is to show it */
    DWORD unavailable;              /* no console: why not, the error handles fail with */
    MemConsole console;
    DWORD lastError;
    std::string failCall;           /* the call that fails next, or empty */
    DWORD failError;                /* the error it fails with */
    std::map<std::string, int> calls; /* calls made, by function name */
    void (*keySource)(bool);        /* headless: asked for keys when the program finds none */
    void (*presentHook)(const MemConsole *); /* headless: shown the console where a terminal would be */
    void (*outputHook)(const MemConsole *);  /* headless: shown the console after every output call */
    KeyDecoder keys;                /* terminal bytes not yet whole keys */
    long lastInputMs;               /* when the decoder last heard from the terminal */
    std::vector<INPUT_RECORD> decoded; /* reused by DecodeInput */
    bool inputEnded;                /* the terminal hung up or its input closed */
};

extern PlatformState Platform;

/* Decodes bytes that came elapsed ms after the last ones (no bytes: the pause) into the queue. */
void DecodeBytes(MemConsole *mc, const unsigned char *bytes, int count, int elapsed);

#endif
