/*
 * The state of the emulated Win32 calls: one program-wide in-memory console
 * over the driver the executable links.  The headless driver of the tests
 * reads and feeds it directly.
 */
#ifndef ZOP_CONSOLE_EMULATED_STATE_H
#define ZOP_CONSOLE_EMULATED_STATE_H

#include "keydecoder.h"
#include "memconsole.h"

#include <vector>

struct PlatformState {
    bool opened;    /* the driver was asked for its screen */
    DWORD refusal;  /* why there is no console (the error handles fail with); 0: there is one */
    bool attached;  /* a console is there; false after FreeConsole */
    bool resizable; /* the program sizes buffer and window; else they follow the screen */
    MemConsole console;
    DWORD lastError;
    KeyDecoder keys;                   /* key bytes not yet whole keys */
    long lastInputMs;                  /* when the decoder last heard from the driver */
    std::vector<INPUT_RECORD> decoded; /* reused by PlatformDecodeBytes */
};

extern PlatformState Platform;

/* Forgets the console and opens the driver's screen anew, as at the program's first call. */
void PlatformReopen(void);

/* Decodes key bytes that came elapsed ms after the last ones (no bytes: the pause) into the
   input queue. */
void PlatformDecodeBytes(MemConsole *mc, const unsigned char *bytes, int count, int elapsed);

#endif
