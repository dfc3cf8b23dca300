/*
 * Console conformance script: one fixed run of drawing, filling, scrolling,
 * writing, colouring and clearing through the console module, then a run of
 * key records through its keyboard queue.  It writes what the console holds
 * afterwards (every cell's character and attribute, the cursor after every
 * step, each key handed out) to a text dump.
 *
 * Built on POSIX it runs on the headless in-memory console; built for
 * Windows it runs on a real Win32 console and reads the cells back with
 * ReadConsoleOutputA.  The same source runs on both, so the two dumps must
 * agree cell by cell.  Nothing is printed to the console itself: the dump
 * goes to the file named on the command line (standard output without one).
 */
#include "console.h"
#include "platform.h"
#ifndef _WIN32
#include "headless.h"
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

/* The buffer every run uses; the Windows run needs a terminal at least this large. */
static const int Width = 72;
static const int Height = 32;

/* Where the dump goes, and the number of the step being logged. */
struct ConformanceState {
    FILE *dump;
    int step;
};

static ConformanceState Run;

/* ------------------------------------------------------------- The dump */

static void LogLine(const char *text)
{
    std::fprintf(Run.dump, "log %02d %s\n", Run.step, text);
}

/* Logs the cursor after a named step. */
static void LogCursor(const char *stepName)
{
    int x = -1, y = -1;
    ConGetXY(&x, &y);
    char line[96];
    std::snprintf(line, sizeof line, "%s: cursor %d,%d", stepName, x, y);
    LogLine(line);
    Run.step++;
}

/* Writes every cell of the buffer as hex "ccaaaa" (character, attribute), one row a line. */
static void DumpCells(const char *snapshot)
{
    std::vector<CHAR_INFO> cells(static_cast<size_t>(Width * Height));
    COORD size = {static_cast<SHORT>(Width), static_cast<SHORT>(Height)};
    COORD origin = {0, 0};
    SMALL_RECT region = {0, 0, static_cast<SHORT>(Width - 1), static_cast<SHORT>(Height - 1)};
    if (!ReadConsoleOutputA(ConOutput.handle, cells.data(), size, origin, &region)) {
        std::fprintf(Run.dump, "error ReadConsoleOutputA %lu\n",
                     static_cast<unsigned long>(GetLastError()));
        return;
    }
    for (int y = 0; y < Height; y++) {
        std::fprintf(Run.dump, "row %s %02d", snapshot, y);
        for (int x = 0; x < Width; x++) {
            const CHAR_INFO &cell = cells[static_cast<size_t>(y * Width + x)];
            std::fprintf(Run.dump, " %02x%04x", static_cast<unsigned char>(cell.Char.AsciiChar),
                         static_cast<unsigned>(cell.Attributes));
        }
        std::fprintf(Run.dump, "\n");
    }
    int x = -1, y = -1;
    ConGetXY(&x, &y);
    std::fprintf(Run.dump, "cursor %s %d,%d\n", snapshot, x, y);
}

/* ----------------------------------------------------------- The console */

/*
 * Gives the program a console of Width x Height, blank in light grey on
 * black with the cursor at the top left, and starts the console module.
 */
static int OpenConsole()
{
#ifdef _WIN32
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    SMALL_RECT window = {0, 0, static_cast<SHORT>(Width - 1), static_cast<SHORT>(Height - 1)};
    COORD size = {static_cast<SHORT>(Width), static_cast<SHORT>(Height)};
    /* Bytes are code page 437 whatever the system's own code page is, as on POSIX. */
    SetConsoleOutputCP(437);
    SetConsoleCP(437);
    /* The terminal is larger: the window shrinks before the buffer. */
    SetConsoleWindowInfo(output, TRUE, &window);
    SetConsoleScreenBufferSize(output, size);
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    if (!GetConsoleScreenBufferInfo(output, &info) || info.dwSize.X != Width ||
        info.dwSize.Y != Height)
        return 0;
#else
    HeadlessOpen(Width, Height);
#endif
    HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    COORD origin = {0, 0};
    FillConsoleOutputCharacterA(handle, ' ', Width * Height, origin, &written);
    FillConsoleOutputAttribute(handle, 7, Width * Height, origin, &written);
    SetConsoleTextAttribute(handle, 7);
    SetConsoleCursorPosition(handle, origin);
    return ConInit();
}

/* ---------------------------------------------------------- Output script */

/* Whole-screen fills and clears, each undoing the one before. */
static void WholeScreen()
{
    ConSetColor(14, 1);
    ConClearRect(nullptr);
    LogCursor("clear whole screen in yellow on blue");
    ConFillRect(nullptr, '.', 0x2E);
    LogCursor("fill whole screen with dots");
    ConFillRect(nullptr, 0, 0x4F);
    LogCursor("fill whole screen's attributes only");
    DumpCells("whole");
    ConSetColor(7, 0);
    ConClearRect(nullptr);
    LogCursor("clear whole screen in grey");
}

/* The four frame styles side by side, each in its own colour, and the buffer's own outline. */
static void Frames()
{
    ConDrawBox(ConRect{0, 0, Width - 1, Height - 1}, 1);
    LogCursor("outline of the whole buffer, last cell included");
    for (int style = 1; style <= 4; style++) {
        int left = 2 + (style - 1) * 9;
        ConSetColor(9 + style, style - 1);
        ConDrawBox(ConRect{left, 2, left + 7, 5}, style);
        LogCursor("frame style");
    }
    ConSetColor(15, 0);
    ConDrawBox(ConRect{-3, 7, 2, 10}, 3);
    LogCursor("box off the left edge");
    ConDrawBox(ConRect{44, -3, 54, 1}, 1);
    LogCursor("box off the top edge");
    ConDrawBox(ConRect{68, 24, 76, 29}, 4);
    LogCursor("box off the right edge");
    ConDrawBox(ConRect{40, 28, 50, 35}, 2);
    LogCursor("box off the bottom edge");
    ConDrawBox(ConRect{-5, -5, Width + 4, Height + 4}, 2);
    LogCursor("box wholly around the buffer");
    ConDrawBox(ConRect{10, 9, 5, 8}, 1);
    LogCursor("inverted box");
}

/* Rectangle fills with and without a character, and rectangle clears. */
static void Fills()
{
    ConRect block = {2, 7, 9, 9};
    ConFillRect(&block, '#', 0x2E);
    LogCursor("fill with a character");
    ConRect overlap = {4, 8, 12, 10};
    ConFillRect(&overlap, 0, 0x5F);
    LogCursor("fill of attributes only");
    ConRect offEdge = {-2, 28, 1, 29};
    ConFillRect(&offEdge, '%', 0x61);
    LogCursor("fill off the left edge");
    SetConsoleTextAttribute(ConOutput.handle, 0x30);
    ConRect hole = {5, 8, 6, 8};
    ConClearRect(&hole);
    LogCursor("clear a rectangle in the console's attribute");
    ConSetColor(7, 0);
    ConRect corner = {-2, -2, 1, 0};
    ConClearRect(&corner);
    LogCursor("clear a rectangle off the top-left corner");
}

/* One scroll of the console module's: a tile of text rows and the part of it that moves. */
struct ScrollCase {
    const char *name;
    int tileLeft, tileTop; /* the 6 x 5 tile of text the case starts from */
    ConRect rect;          /* what ConScrollRect is given */
    int direction, lines;
    WORD consoleAttribute; /* set directly after ConSetColor when nonzero */
};

static const int TileWidth = 6;
static const int TileHeight = 5;

/* Writes a tile: row r reads letter, then digit r, in its own colour. */
static void FillTile(int left, int top, char letter)
{
    for (int r = 0; r < TileHeight; r++) {
        char text[TileWidth + 1];
        std::memset(text, '0' + r, TileWidth);
        text[0] = letter;
        text[TileWidth] = '\0';
        ConSetColor(9 + r, r);
        ConGotoXY(left, top + r);
        ConWrite(text, 0);
    }
}

/* The tile at column slot i of a band of tiles starting at row top. */
static ConRect Tile(int i, int top, int rows)
{
    int left = 2 + i * (TileWidth + 1);
    return ConRect{left, top, left + TileWidth - 1, top + rows - 1};
}

/* Names the cells a scroll case may change (its tile and its rectangle, cut to the buffer). */
static void DumpArea(const ScrollCase &c)
{
    int left = std::max(0, std::min(c.tileLeft, c.rect.left));
    int top = std::max(0, std::min(c.tileTop, c.rect.top));
    int right = std::min(Width - 1, std::max(c.tileLeft + TileWidth - 1, c.rect.right));
    int bottom = std::min(Height - 1, std::max(c.tileTop + TileHeight - 1, c.rect.bottom));
    std::fprintf(Run.dump, "area final %d %d %d %d %s\n", left, top, right, bottom, c.name);
}

static void RunScrollCase(const ScrollCase &c, char letter)
{
    FillTile(c.tileLeft, c.tileTop, letter);
    ConSetColor(0, 3);
    if (c.consoleAttribute != 0)
        SetConsoleTextAttribute(ConOutput.handle, c.consoleAttribute);
    /* What the buffer held before a scroll reaching outside it, for a console that refuses one. */
    if (c.rect.right >= Width)
        DumpCells("before-outside-scroll");
    ConScrollRect(c.rect, c.direction, c.lines);
    DumpArea(c);
    LogCursor(c.name);
}

/* Every kind of scroll the console module makes, each on its own tile of text. */
static void Scrolls()
{
    const int band1 = 12, band2 = 18;
    const ScrollCase cases[] = {
        {"scroll up 1", 2, band1, Tile(0, band1, 5), 1, 1, 0},
        {"scroll down 1", 9, band1, Tile(1, band1, 5), 2, 1, 0},
        {"scroll up 3 of 5 rows", 16, band1, Tile(2, band1, 5), 1, 3, 0},
        {"scroll down 3 of 5 rows", 23, band1, Tile(3, band1, 5), 2, 3, 0},
        {"scroll up 4 of 5 rows clears", 30, band1, Tile(4, band1, 5), 1, 4, 0},
        {"scroll 0 lines", 37, band1, Tile(5, band1, 5), 1, 0, 0},
        {"scroll in direction 0", 44, band1, Tile(6, band1, 5), 0, 1, 0},
        {"scroll in direction 3", 51, band1, Tile(7, band1, 5), 3, 1, 0},
        {"scroll a 1-row rectangle", 58, band1, Tile(8, band1, 1), 1, 1, 0},
        {"scroll a 2-row rectangle down", 2, band2, Tile(0, band2, 2), 2, 1, 0},
        {"scroll a 2-row rectangle up", 9, band2, Tile(1, band2, 2), 1, 1, 0},
        {"scroll a 3-row rectangle up 1", 16, band2, Tile(2, band2, 3), 1, 1, 0},
        {"scroll up 2 with the console's attribute changed", 23, band2, Tile(3, band2, 5), 1, 2,
         0x1F},
        {"scroll up 4 clearing with the console's attribute changed", 30, band2, Tile(4, band2, 5),
         1, 4, 0x1F},
        {"scroll -1 lines", 37, band2, Tile(5, band2, 5), 2, -1, 0},
        {"scroll a 1-column rectangle down 2", 44, band2, ConRect{46, band2, 46, band2 + 4}, 2, 2,
         0},
        {"scroll down 1 of a rectangle with no columns", 51, band2,
         ConRect{53, band2, 52, band2 + 4}, 2, 1, 0},
        {"scroll up 1 of a rectangle reaching past the right edge", 65, band2,
         ConRect{65, band2, Width + 3, band2 + 4}, 1, 1, 0},
    };
    char letter = 'A';
    for (const ScrollCase &c : cases)
        RunScrollCase(c, letter++);
}

/* Writes that reach the right edge, run past it, and runs along and down to the edges. */
static void EdgeWrites()
{
    ConSetColor(11, 0);
    ConGotoXY(Width - 12, 6);
    ConWrite("0123456789AB", 0);
    LogCursor("write ending in the last column");
    ConGotoXY(Width - 6, 7);
    ConWrite("abcdefghij", 0);
    LogCursor("write running past the last column");
    ConGotoXY(Width - 22, 8);
    ConRepeatAcross('=', 100);
    LogCursor("run across longer than the row");
    ConGotoXY(Width - 1, 9);
    ConRepeatAcross('>', 1);
    LogCursor("one character into the last column");
    ConGotoXY(60, 25);
    ConRepeatDown('|', 10);
    LogCursor("run down past the last row");
    ConWrite("x", 5);
    LogCursor("write after the run down");
    ConGotoXY(Width, 3);
    LogCursor("cursor beyond the right edge is refused");
    ConGotoXY(3, -1);
    LogCursor("cursor above the top is refused");
}

/* Text in colours set through the console module and directly on the console. */
static void Colours()
{
    for (int colour = 0; colour < 16; colour++) {
        ConSetColor(colour, 15 - colour);
        ConGotoXY(40 + colour, 2);
        ConWrite("C", 0);
    }
    LogCursor("sixteen colours");
    const WORD direct[] = {0x0007, 0x00F0, 0x4007, 0x801C, 0x00A9};
    for (int i = 0; i < 5; i++) {
        SetConsoleTextAttribute(ConOutput.handle, direct[i]);
        ConGotoXY(40 + i, 3);
        ConWrite("D", 0);
    }
    LogCursor("attributes set directly");
    ConSetColor(7, 0);
}

/* Every printable code page 437 byte, 32 to a row. */
static void Glyphs()
{
    ConSetColor(7, 0);
    for (int row = 0; row < 7; row++) {
        char text[33];
        for (int i = 0; i < 32; i++)
            text[i] = static_cast<char>(32 + row * 32 + i);
        text[32] = '\0';
        ConGotoXY(2, 24 + row);
        ConWrite(text, 32);
    }
    LogCursor("code page 437 glyphs");
}

/* The very last cell, written last: the buffer must not scroll and the cursor stays there. */
static void LastCell()
{
    ConSetColor(12, 0);
    ConGotoXY(Width - 1, Height - 1);
    ConWrite("+", 0);
    LogCursor("write into the last cell");
}

static void OutputScript()
{
    WholeScreen();
    Frames();
    Fills();
    Scrolls();
    EdgeWrites();
    Colours();
    Glyphs();
    LastCell();
    DumpCells("final");
}

/* ----------------------------------------------------------- Input script */

/* A key record as the console queues it. */
static INPUT_RECORD KeyRecord(bool down, char character, WORD virtualKey, DWORD controlKeys)
{
    INPUT_RECORD record = {};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = virtualKey;
    record.Event.KeyEvent.uChar.AsciiChar = character;
    record.Event.KeyEvent.dwControlKeyState = controlKeys;
    return record;
}

static void Queue(const INPUT_RECORD *records, DWORD count)
{
    DWORD written = 0;
    WriteConsoleInputA(ConInput.handle, records, count, &written);
}

/* Queues a key-down and then its key-up. */
static void QueueKey(char character, WORD virtualKey, DWORD controlKeys = 0)
{
    INPUT_RECORD pair[2] = {KeyRecord(true, character, virtualKey, controlKeys),
                            KeyRecord(false, character, virtualKey, controlKeys)};
    Queue(pair, 2);
}

static void LogPending(const char *when)
{
    char line[96];
    std::snprintf(line, sizeof line, "%s: ConKeyPending %d", when, ConKeyPending());
    LogLine(line);
    Run.step++;
}

/* Takes count keys from the module and logs each one's character and virtual-key code. */
static void LogKeys(const char *when, int count)
{
    for (int i = 0; i < count; i++) {
        int virtualKey = -1;
        int character = ConGetKey(&virtualKey);
        char line[96];
        std::snprintf(line, sizeof line, "%s: ConGetKey %d vk %d", when, character, virtualKey);
        LogLine(line);
    }
    Run.step++;
}

/* Records that are no key press: modifiers, releases, mouse, focus and menu events. */
static void QueueNonKeys()
{
    INPUT_RECORD records[6] = {KeyRecord(true, 0, VK_SHIFT, SHIFT_PRESSED),
                               KeyRecord(false, 0, VK_SHIFT, 0),
                               {},
                               {},
                               {},
                               KeyRecord(false, 'q', 'Q', 0)};
    records[2].EventType = MOUSE_EVENT;
    records[2].Event.MouseEvent.dwMousePosition = COORD{3, 4};
    records[3].EventType = FOCUS_EVENT;
    records[3].Event.FocusEvent.bSetFocus = TRUE;
    records[4].EventType = MENU_EVENT;
    records[4].Event.MenuEvent.dwCommandId = 7;
    Queue(records, 6);
}

/* Keys with characters, keys with only a code, and one held key. */
static void QueueMixedKeys()
{
    QueueKey('a', 'A');
    QueueKey(27, VK_ESCAPE);
    QueueKey(0, VK_LEFT, ENHANCED_KEY);
    QueueKey(0, VK_F1);
    QueueKey('\r', VK_RETURN);
    QueueKey('Z', 'Z', SHIFT_PRESSED);
    QueueKey('\xE9', 0);
    INPUT_RECORD held = KeyRecord(true, 'x', 'X', 0);
    held.Event.KeyEvent.wRepeatCount = 3;
    Queue(&held, 1);
}

static void InputScript()
{
    LogPending("nothing queued");
    QueueNonKeys();
    LogPending("only records that are no key press");
    QueueKey(0, VK_SHIFT);
    LogPending("a key-down with neither character nor navigation code");
    QueueKey(0, VK_DOWN, ENHANCED_KEY);
    LogPending("an arrow key");
    QueueMixedKeys();
    LogKeys("first batch", 3);
    LogPending("keys left only in the module's ring");
    QueueKey('7', '7');
    LogPending("a key queued behind the ring");
    LogKeys("rest of the ring and the new key", 9);
    LogPending("everything taken");
    for (int i = 0; i < 130; i++)
        QueueKey(static_cast<char>('a' + i % 26), static_cast<WORD>('A' + i % 26));
    LogKeys("a run longer than one batch", 130);
    LogPending("after the long run");
}

int main(int argc, char **argv)
{
    Run.dump = argc > 1 ? std::fopen(argv[1], "wb") : stdout;
    if (Run.dump == nullptr)
        return 1;
    if (!OpenConsole()) {
        std::fprintf(Run.dump, "error no console of %d x %d\n", Width, Height);
        return 1;
    }
    std::fprintf(Run.dump, "size %d %d\n", Width, Height);
    OutputScript();
    InputScript();
    std::fprintf(Run.dump, "end\n");
    return std::fclose(Run.dump) == 0 ? 0 : 1;
}
