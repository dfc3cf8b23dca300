/* The screen layout and its panels. */
#include "screen.h"

#include "machine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

ConRect UpperFrame;
ConRect LowerFrame;
ConRect HelpFrame;
ConRect HelpWindow;
ConRect MessageWindow;
ConRect CountPanel;
ScreenPoint BoardOrigin;
HANDLE OutputHandle;

/* Everything the game writes is light green on black; the lever labels are inverted. */
const WORD GameAttribute = 10;
const WORD LabelAttribute = 160;

const char Caption[] = "Ball Count";

/* ---------------------------------------------------------------- Layout */

int ComputeLayout(HANDLE handle)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(handle, &info))
        return 0;
    int W = static_cast<WORD>(info.dwSize.X);
    int H = static_cast<WORD>(info.dwSize.Y);
    int h = H / 2;
    /* The double 0.45 lies just above 0.45, so whole products such as 80 x 0.45 stay whole. */
    int T = static_cast<int>((W - 1) * 0.45);

    UpperFrame = {1, 1, W - 1, h - 1};
    LowerFrame = {1, h, W - 1, H - 1};
    HelpFrame = {T, 1, W - 2, h - 3};
    HelpWindow = {T + 2, 2, W - 3, h - 4};
    MessageWindow = {3, h + 1, W - 3, H - 3};
    CountPanel = {18, 2, 21, 4};
    BoardOrigin = {8, 6};
    return 1;
}

/* ---------------------------------------------------------------- Drawing */

/* Writes text at a cell, or nothing when the cell is off the screen (a tiny terminal). */
static void WriteAt(int x, int y, const char *text, int length)
{
    if (ConGotoXY(x, y))
        ConWrite(text, length);
}

void DrawFrames(HANDLE handle)
{
    ConFillRect(&UpperFrame, 0, GameAttribute);
    /* Set directly: blanks the console module brings in keep the attribute it started with. */
    SetConsoleTextAttribute(handle, GameAttribute);
    ConDrawBox(UpperFrame, 1);
    ConFillRect(&LowerFrame, 0, GameAttribute);
    SetConsoleTextAttribute(handle, GameAttribute);
    ConDrawBox(LowerFrame, 1);
    ConDrawBox(HelpFrame, 1);
    ConDrawBox(CountPanel, 1);
    const int captionLength = static_cast<int>(sizeof Caption - 1);
    WriteAt(CountPanel.left - captionLength - 1, CountPanel.top + 1, Caption, 0);
}

void ShowHelp()
{
    static const char *const HelpLines[] = {
        "The Game of Dr. Zop",
        " ",
        " ",
        " ",
        "Up/Down Arrow selects Ball count",
        "G for Go",
        "N for Zop to start",
        "P for Player to start",
        "B to release another ball",
        " ",
        " ",
        " ",
        "ESC quits any time",
        " ",
        " ",
        " ",
    };
    for (const char *line : HelpLines)
        PrintInWindow(HelpWindow, line);
}

void ShowCount()
{
    char text[16];
    std::snprintf(text, sizeof text, "%d ", BallCount);
    WriteAt(CountPanel.left + 1, CountPanel.top + 1, text, 2);
    char said[32];
    std::snprintf(said, sizeof said, "%s %d", Caption, BallCount);
    PlatformAnnounce(AnnounceStatus, said);
}

/* Gives one board cell the label colour, keeping its character. */
static void HighlightBoardCell(int x, int y)
{
    COORD cell = {static_cast<SHORT>(BoardOrigin.x + x), static_cast<SHORT>(BoardOrigin.y + y)};
    DWORD written = 0;
    FillConsoleOutputAttribute(OutputHandle, LabelAttribute, 1, cell, &written);
}

void DrawBoard()
{
    for (int r = 0; r < BoardRows; r++) {
        const char *row = reinterpret_cast<const char *>(DisplayMap + BoardColumns * r);
        WriteAt(BoardOrigin.x, BoardOrigin.y + r, row, BoardColumns);
    }
    /* The lever's labels stand in the row above it, one cell to either side. */
    const Element &lever = Elements[TurnLever];
    HighlightBoardCell(lever.x - 1, lever.y - 1); /* n, the machine's side */
    HighlightBoardCell(lever.x + 1, lever.y - 1); /* p, the player's side */
}

void WaitMs(int ms)
{
    ConPause(ms);
}

void PrintMessage(const char *text)
{
    PrintInWindow(MessageWindow, text);
}

void PrintInWindow(const ConRect &window, const char *text)
{
    ConScrollRect(window, 1, 1);
    int width = window.right - window.left + 1;
    if (width <= 0)
        return;
    WriteAt(window.left, window.bottom, text, width);
    /* The messages, and not the help, are told to a reader of the screen as they are shown. */
    if (&window == &MessageWindow) {
        std::string shown(text, strnlen(text, static_cast<size_t>(width)));
        PlatformAnnounce(AnnounceLog, shown.c_str());
    }
}

/* ------------------------------------------------------- Opening and closing */

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

/* Names the parts of the screen a page may show apart, each by its cells. */
static void AnnounceParts()
{
    const int boardRight = BoardOrigin.x + BoardColumns - 1;
    const int captionLeft = CountPanel.left - static_cast<int>(sizeof Caption - 1) - 1;
    const ConRect machine = {std::min(captionLeft, BoardOrigin.x) - 1, CountPanel.top - 1,
                             std::max(CountPanel.right, boardRight) + 1, BoardOrigin.y + BoardRows};
    const std::pair<const char *, const ConRect *> parts[] = {
        {PartMachine, &machine}, {PartMessages, &MessageWindow}, {PartHelp, &HelpWindow}};
    for (const auto &part : parts) {
        char text[64];
        const ConRect &r = *part.second;
        std::snprintf(text, sizeof text, "%s %d %d %d %d", part.first, r.left, r.top, r.right,
                      r.bottom);
        PlatformAnnounce(AnnouncePart, text);
    }
}

int OpenGameScreen(ScreenFit fit)
{
    OutputHandle = GetStdHandle(STD_OUTPUT_HANDLE);
    if (OutputHandle == INVALID_HANDLE_VALUE || OutputHandle == nullptr)
        return ScreenNoConsole;
    HideCursor();
    if (fit == FitToDisplay)
        ConFitWindow(OutputHandle, 0.5, 0.9);
    /* Without its keyboard queue every key read would answer at once, and the game would spin. */
    if (!ConInit())
        return ScreenNoKeyQueue;
    if (fit == FitToDisplay && WaitForRoom() == KeyEscape)
        return ScreenDeclined;
    if (!ComputeLayout(OutputHandle))
        return ScreenSizeUnknown;
    DrawFrames(OutputHandle);
    AnnounceParts();
    return ScreenOpened;
}

void CloseGameScreen()
{
    ConClearRect(nullptr);
    ConShutdown();
    FreeConsole();
}
