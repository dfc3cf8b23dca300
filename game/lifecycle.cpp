/* The program lifecycle: start-up, the replay loop and shutdown. */
#include "lifecycle.h"

#include "console.h"
#include "machine.h"
#include "screen.h"
#include "turn.h"

#include <cctype>
#include <cstdio>
#include <cstring>

/* ------------------------------------------------------------- Start-up */

/* Replaces a console that already shows output with a new one of our own. */
static void TakeOwnConsole()
{
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    BOOL known = GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info);
    if (!known || info.dwCursorPosition.X != 0 || info.dwCursorPosition.Y != 0) {
        FreeConsole();
        AllocConsole();
    }
}

/* Says in one line on standard error why there is no console: the system's text for the error. */
static void SayWhyNoConsole(DWORD error)
{
    char text[512];
    if (!ConSystemText(error, FORMAT_MESSAGE_MAX_WIDTH_MASK, text, sizeof text)) {
        std::fprintf(stderr, "zop: no console to play in (error %lu)\n",
                     static_cast<unsigned long>(error));
        return;
    }
    size_t length = std::strlen(text);
    while (length > 0 && std::isspace(static_cast<unsigned char>(text[length - 1])))
        text[--length] = '\0';
    std::fprintf(stderr, "zop: %s\n", text);
}

/* ---------------------------------------------------------------- Games */

/* Plays games until the player declines another. */
static void ReplayLoop()
{
    for (;;) {
        PrintInWindow(MessageWindow, "Ready for new game. Waiting key commands...");
        int result = PlayGame();
        if (result == KeyEscape && GamePhase == PhaseSetup)
            return;
        PrintInWindow(MessageWindow, " ");
        PrintInWindow(MessageWindow, "Would you like to play again?[Y/N/ESC]");
        PlatformAnnounce(AnnounceKeys, "Y:play again|N:no more games|Esc:no more games");
        int key = ConGetKey(nullptr);
        if (key == KeyEscape || key == 'N' || key == 'n')
            return;
    }
}

/*
 * Undoes the start, however far it came, the one way for every exit: the
 * console given back first, so that a line on standard error is not lost
 * with the screen, then why the game could not start.  Returns the exit status.
 */
static int CloseProgram(int opened)
{
    if (opened == ScreenNoConsole) {
        SayWhyNoConsole(GetLastError());
        return 1;
    }
    CloseGameScreen();
    if (opened == ScreenNoKeyQueue)
        std::fputs("zop: no memory for the keyboard queue\n", stderr);
    if (opened == ScreenSizeUnknown)
        std::fputs("zop: cannot read the size of the console's screen\n", stderr);
    return opened == ScreenOpened || opened == ScreenDeclined ? 0 : 1;
}

int RunZop()
{
    MachineReset();
    TakeOwnConsole();
    SetConsoleTitleA("Game of Zop");
    int opened = OpenGameScreen(FitToDisplay);
    if (opened == ScreenOpened)
        ReplayLoop();
    return CloseProgram(opened);
}
