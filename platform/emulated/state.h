/*
 * The state of the emulated Win32 calls: one program-wide in-memory console
 * over the driver the executable links.  The headless driver of the tests
 * reads and feeds it directly.
 */
#ifndef ZOP_PLATFORM_EMULATED_STATE_H
#define ZOP_PLATFORM_EMULATED_STATE_H

#include "keydecoder.h"
#include "memconsole.h"

#include <vector>

struct WinConsoleState {
    bool opened;    /* the driver was asked for its screen */
    DWORD refusal;  /* why there is no console (the error handles fail with); 0: there is one */
    bool attached;  /* a console is there; false after FreeConsole */
    bool resizable; /* the program sizes buffer and window; else they follow the screen */
    MemConsole console;
    DWORD lastError;
    KeyDecoder keyDecoder;                    /* key bytes not yet whole keys */
    long lastInputMs;                         /* when the decoder last heard from the driver */
    std::vector<INPUT_RECORD> decodedRecords; /* reused by WinConsoleDecodeBytes */
};

extern WinConsoleState WinConsole;

/* Forgets the console and opens the driver's screen anew, as at the program's first call. */
void WinConsoleReopen(void);

/* Decodes key bytes that came elapsed ms after the last ones (no bytes: the pause) into the
   input queue. */
void WinConsoleDecodeBytes(MemConsole *mc, const unsigned char *bytes, int count, int elapsed);

#endif
