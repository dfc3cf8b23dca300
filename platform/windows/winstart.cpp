/* The Windows-only start-up step: no wrapping at the end of the line on the output console. */
#define ZOP_WINSTART_IMPLEMENTATION
#include "winstart.h"

WinStartState WinStart;

/*
 * Turns wrapping off on a console output handle, remembering the mode the
 * console had the first time the handle is seen.  Handles that are not
 * console outputs (redirected output) are left alone.
 */
static void WinStartStopWrapping(HANDLE output)
{
    DWORD mode = 0;
    if (!GetConsoleMode(output, &mode))
        return;
    if (output != WinStart.output) {
        WinStart.output = output;
        WinStart.savedMode = mode;
    }
    if (mode & ENABLE_WRAP_AT_EOL_OUTPUT)
        SetConsoleMode(output, mode & ~static_cast<DWORD>(ENABLE_WRAP_AT_EOL_OUTPUT));
}

HANDLE WinStartStdHandle(DWORD which)
{
    HANDLE handle = GetStdHandle(which);
    if (which != STD_OUTPUT_HANDLE || handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return handle;
    /* The caller sees GetStdHandle's own error, not that of the mode calls. */
    DWORD error = GetLastError();
    WinStartStopWrapping(handle);
    SetLastError(error);
    return handle;
}

BOOL WinStartFreeConsole(void)
{
    if (WinStart.output != nullptr)
        SetConsoleMode(WinStart.output, WinStart.savedMode);
    WinStartReset();
    return FreeConsole();
}

void WinStartReset(void)
{
    WinStart.output = nullptr;
    WinStart.savedMode = 0;
}
