/* The program lifecycle: start-up, the replay loop and shutdown. */
#include "lifecycle.h"

#include "console.h"
#include "machine.h"
#include "screen.h"
#include "turn.h"

#include <algorithm>
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

static void HideCursor()
{
    CONSOLE_CURSOR_INFO cursor = {100, FALSE};
    SetConsoleCursorInfo(OutputHandle, &cursor);
}

static COORD ScreenSize()
{
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(OutputHandle, &info);
    return info.dwSize;
}

/* Tells the player the screen is too small for the whole layout, in the middle of the screen. */
static void ShowSmallScreenNotice(COORD size)
{
    char needs[80], has[80];
    std::snprintf(needs, sizeof needs, "Game of Zop needs %d x %d.", NeededColumns, NeededRows);
    std::snprintf(has, sizeof has, "This screen is %d x %d.", size.X, size.Y);
    const char *lines[] = {needs, has, "Enlarge it to start;", "ESC quits, any key plays."};
    ConInitOutput();
    ConClearRect(nullptr);
    int top = size.Y / 2 - 2;
    for (int i = 0; i < 4; i++) {
        int length = static_cast<int>(std::strlen(lines[i]));
        if (ConGotoXY(std::max(0, (size.X - length) / 2), top + i))
            ConWrite(lines[i], size.X);
    }
}

/*
 * On a screen smaller than the layout, shows a notice and waits: for the
 * screen to grow (size events), or for a key.  Returns 0 to play, KeyEscape to quit.
 */
static int WaitForRoom()
{
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    BOOL haveMode = GetConsoleMode(input, &mode);
    if (haveMode)
        SetConsoleMode(input, mode | ENABLE_WINDOW_INPUT);
    int answer = 0;
    bool noticeShown = false;
    for (COORD size = ScreenSize(); size.X < NeededColumns || size.Y < NeededRows;
         size = ScreenSize()) {
        ShowSmallScreenNotice(size);
        noticeShown = true;
        INPUT_RECORD record = {};
        DWORD count = 0;
        if (!ReadConsoleInputA(input, &record, 1, &count)) {
            answer = KeyEscape;
            break;
        }
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) {
            answer = record.Event.KeyEvent.uChar.AsciiChar == KeyEscape ? KeyEscape : 0;
            break;
        }
    }
    if (haveMode)
        SetConsoleMode(input, mode);
    ConInitOutput(); /* the screen may have grown meanwhile */
    if (noticeShown)
        ConClearRect(nullptr);
    return answer;
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
        int key = ConGetKey(nullptr);
        if (key == KeyEscape || key == 'N' || key == 'n')
            return;
    }
}

static void Shutdown()
{
    ConClearRect(nullptr);
    ConShutdown();
    FreeConsole();
}

int RunZop()
{
    MachineReset();
    TakeOwnConsole();
    SetConsoleTitleA("Game of Zop");
    OutputHandle = GetStdHandle(STD_OUTPUT_HANDLE);
    if (OutputHandle == INVALID_HANDLE_VALUE || OutputHandle == nullptr) {
        SayWhyNoConsole(GetLastError());
        return 1;
    }
    HideCursor();
    ConFitWindow(OutputHandle, 0.5, 0.9);
    /* Without its keyboard queue every key read would answer at once, and the game would spin. */
    if (!ConInit()) {
        Shutdown();
        std::fputs("zop: no memory for the keyboard queue\n", stderr);
        return 1;
    }
    if (WaitForRoom() == KeyEscape) {
        Shutdown();
        return 0;
    }
    if (!ComputeLayout(OutputHandle)) {
        FreeConsole(); /* a terminal given back first, so that the line is not lost with its screen */
        std::fputs("zop: cannot read the size of the console's screen\n", stderr);
        return 1;
    }
    DrawFrames(OutputHandle);
    ReplayLoop();
    Shutdown();
    return 0;
}
