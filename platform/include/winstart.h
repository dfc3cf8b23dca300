/*
 * The Windows-only start-up step of the console platform.  The Win32
 * console's default output mode moves the cursor on as soon as the last
 * column is written, and on the last row that scrolls the whole buffer; the
 * layout draws its lower frame's corner into the very last cell.  So the
 * program's standard output handle always comes with ENABLE_WRAP_AT_EOL_OUTPUT
 * cleared, and the mode it had is given back when the program lets its
 * console go.  The two wrappers take the place of the Win32 names for the
 * code that includes platform.h, so the console module and the game
 * compile unchanged here and on POSIX.
 */
#ifndef ZOP_PLATFORM_INCLUDE_WINSTART_H
#define ZOP_PLATFORM_INCLUDE_WINSTART_H

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

/* The output console whose mode was changed, and the mode it had before. */
struct WinStartState {
    HANDLE output; /* null when no mode is held */
    DWORD savedMode;
};

extern WinStartState WinStart;

/* GetStdHandle; a console output handle comes with wrapping at the end of the line turned off. */
HANDLE WinStartStdHandle(DWORD which);

/* Gives the output console its own mode back, then FreeConsole. */
BOOL WinStartFreeConsole(void);

/* Forgets the held mode without touching any console. */
void WinStartReset(void);

#ifndef ZOP_WINSTART_IMPLEMENTATION
#define GetStdHandle WinStartStdHandle
#define FreeConsole WinStartFreeConsole
#endif

#endif
