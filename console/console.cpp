/* CONSOLE: the module's start-up and shutdown, and output and drawing on the screen buffer. */
#include "console.h"

#include <algorithm>
#include <cstring>
#include <new>

ConsoleOutput ConOutput;

/* ------------------------------------------------- Start-up and shutdown */

int ConInit()
{
    int queued = ConInitInput();
    ConInitOutput();
    return queued;
}

/* The output half of start-up: handle, extent and the attribute the screen has. */
void ConInitOutput()
{
    ConOutput.handle = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(ConOutput.handle, &info);
    ConOutput.lastColumn = static_cast<SHORT>(info.dwSize.X - 1);
    ConOutput.lastRow = static_cast<SHORT>(info.dwSize.Y - 1);
    ConOutput.rememberedAttribute = info.wAttributes;
}

void ConShutdown()
{
    ConShutdownInput();
    CONSOLE_CURSOR_INFO cursor = {25, TRUE};
    SetConsoleCursorInfo(ConOutput.handle, &cursor);
    ConSetColor(7, 0);
}

/* ------------------------------------------------------ Text and colour */

int ConSetColor(int foreground, int background)
{
    ConOutput.rememberedAttribute = static_cast<WORD>(foreground | (background << 4));
    return SetConsoleTextAttribute(ConOutput.handle, ConOutput.rememberedAttribute);
}

int ConGotoXY(int x, int y)
{
    COORD position = {static_cast<SHORT>(x), static_cast<SHORT>(y)};
    return SetConsoleCursorPosition(ConOutput.handle, position);
}

int ConWrite(const char *text, int length)
{
    if (text == nullptr)
        return 0;
    size_t count = length <= 0 ? std::strlen(text) : strnlen(text, static_cast<size_t>(length));
    if (count == 0)
        return 0;
    DWORD written = 0;
    return WriteConsoleA(ConOutput.handle, text, static_cast<DWORD>(count), &written, nullptr);
}

void ConGetXY(int *column, int *row)
{
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(ConOutput.handle, &info);
    if (column != nullptr)
        *column = info.dwCursorPosition.X;
    if (row != nullptr)
        *row = info.dwCursorPosition.Y;
}

/* --------------------------------------------------------------- Runs */

void ConRepeatDown(char character, int count)
{
    if (count <= 0)
        return;
    int x = 0, y = 0;
    ConGetXY(&x, &y);
    /* Below the last row the cursor cannot follow; stop rather than write beside the column. */
    count = std::min(count, ConOutput.lastRow + 1 - y);
    for (int i = 0; i < count; i++) {
        ConWrite(&character, 1);
        ConGotoXY(x, ++y);
    }
}

void ConRepeatAcross(char character, int count)
{
    if (count <= 0)
        return;
    if (count == 1) {
        ConWrite(&character, 1);
        return;
    }
    /* A row shows at most its width; writing more changes no further cell. */
    count = std::min(count, ConOutput.lastColumn + 1);
    char *run = new (std::nothrow) char[count];
    if (run == nullptr)
        return;
    std::memset(run, character, static_cast<size_t>(count));
    ConWrite(run, count);
    delete[] run;
}

/* ----------------------------------------------------------- Rectangles */

/* The whole screen as one run of cells from (0, 0). */
static DWORD ScreenCells()
{
    return static_cast<DWORD>((ConOutput.lastColumn + 1) * (ConOutput.lastRow + 1));
}

/* Cuts a rectangle to the screen, so that runs along its rows never spill onto the next. */
static ConRect ClipToScreen(const ConRect &rect)
{
    ConRect clipped = rect;
    clipped.left = std::max(rect.left, 0);
    clipped.top = std::max(rect.top, 0);
    clipped.right = std::min(rect.right, static_cast<std::int32_t>(ConOutput.lastColumn));
    clipped.bottom = std::min(rect.bottom, static_cast<std::int32_t>(ConOutput.lastRow));
    return clipped;
}

/* Fills the whole screen with a character (unless 0), then with an attribute. */
static void FillScreen(char character, WORD attribute)
{
    COORD origin = {0, 0};
    DWORD written = 0;
    if (character != 0)
        FillConsoleOutputCharacterA(ConOutput.handle, character, ScreenCells(), origin, &written);
    FillConsoleOutputAttribute(ConOutput.handle, attribute, ScreenCells(), origin, &written);
}

void ConFillRect(const ConRect *rect, char character, WORD attribute)
{
    if (rect == nullptr) {
        FillScreen(character, attribute);
        return;
    }
    ConRect area = ClipToScreen(*rect);
    DWORD width = area.right >= area.left ? static_cast<DWORD>(area.right - area.left + 1) : 0;
    for (int row = area.top; width > 0 && row <= area.bottom; row++) {
        COORD start = {static_cast<SHORT>(area.left), static_cast<SHORT>(row)};
        DWORD written = 0;
        if (character != 0)
            FillConsoleOutputCharacterA(ConOutput.handle, character, width, start, &written);
        FillConsoleOutputAttribute(ConOutput.handle, attribute, width, start, &written);
    }
    ConGotoXY(rect->left, rect->top);
}

void ConScrollRect(const ConRect &rect, int direction, int lines)
{
    if (lines < 1 || (direction != 1 && direction != 2))
        return;
    if (lines > rect.bottom - rect.top - 1) {
        ConClearRect(&rect);
        return;
    }
    SMALL_RECT region = {static_cast<SHORT>(rect.left), static_cast<SHORT>(rect.top),
                         static_cast<SHORT>(rect.right), static_cast<SHORT>(rect.bottom)};
    COORD destination = {static_cast<SHORT>(rect.left), static_cast<SHORT>(rect.top)};
    if (direction == 1) {
        region.Top = static_cast<SHORT>(rect.top + lines);
    } else {
        region.Bottom = static_cast<SHORT>(rect.bottom - lines);
        destination.Y = static_cast<SHORT>(rect.top + lines);
    }
    CHAR_INFO fill = {};
    fill.Char.AsciiChar = ' ';
    fill.Attributes = ConOutput.rememberedAttribute;
    ScrollConsoleScreenBufferA(ConOutput.handle, &region, nullptr, destination, &fill);
}

void ConClearRect(const ConRect *rect)
{
    if (rect == nullptr) {
        FillScreen(' ', ConOutput.rememberedAttribute);
        ConGotoXY(1, 1);
        return;
    }
    ConRect area = ClipToScreen(*rect);
    int width = area.right - area.left + 1;
    for (int row = area.top; width > 0 && row <= area.bottom; row++) {
        ConGotoXY(area.left, row);
        ConRepeatAcross(' ', width);
    }
    ConGotoXY(rect->left, rect->top);
}

/* --------------------------------------------------------------- Frames */

/* Frame glyphs in code page 437: top-left, top, top-right, side, bottom-left, bottom, bottom-right. */
const char FrameSingle[7] = {'\xDA', '\xC4', '\xBF', '\xB3', '\xC0', '\xC4', '\xD9'};
const char FrameDouble[7] = {'\xC9', '\xCD', '\xBB', '\xBA', '\xC8', '\xCD', '\xBC'};
const char FrameDoubleSides[7] = {'\xD6', '\xC4', '\xB7', '\xBA', '\xD3', '\xC4', '\xBD'};
const char FrameDoubleEdges[7] = {'\xD5', '\xCD', '\xB8', '\xB3', '\xD4', '\xCD', '\xBE'};

void ConDrawBox(const ConRect &rect, int style)
{
    const char *glyphs = style == 2   ? FrameDouble
                         : style == 3 ? FrameDoubleSides
                         : style == 4 ? FrameDoubleEdges
                                      : FrameSingle;
    ConDrawFrame(rect, glyphs);
}

static bool OnScreen(int x, int y)
{
    return x >= 0 && x <= ConOutput.lastColumn && y >= 0 && y <= ConOutput.lastRow;
}

/* Draws one edge row of a frame, corner to corner, leaving out what lies off the screen. */
static void DrawEdgeRow(const ConRect &rect, int y, char leftCorner, char edge, char rightCorner)
{
    if (y < 0 || y > ConOutput.lastRow)
        return;
    if (OnScreen(rect.left, y)) {
        ConGotoXY(rect.left, y);
        ConWrite(&leftCorner, 1);
    }
    int from = std::max(rect.left + 1, 0);
    int to = std::min(rect.right - 1, static_cast<int>(ConOutput.lastColumn));
    if (from <= to) {
        ConGotoXY(from, y);
        ConRepeatAcross(edge, to - from + 1);
    }
    if (OnScreen(rect.right, y)) {
        ConGotoXY(rect.right, y);
        ConWrite(&rightCorner, 1);
    }
}

/* Draws one side column of a frame between its corners, leaving out what lies off the screen. */
static void DrawSide(const ConRect &rect, int x, char side)
{
    int from = std::max(rect.top + 1, 0);
    int to = std::min(rect.bottom - 1, static_cast<int>(ConOutput.lastRow));
    if (x < 0 || x > ConOutput.lastColumn || from > to)
        return;
    ConGotoXY(x, from);
    ConRepeatDown(side, to - from + 1);
}

void ConDrawFrame(const ConRect &rect, const char *glyphs)
{
    if (rect.right < rect.left || rect.bottom < rect.top)
        return;
    DrawEdgeRow(rect, rect.top, glyphs[0], glyphs[1], glyphs[2]);
    DrawSide(rect, rect.left, glyphs[3]);
    DrawSide(rect, rect.right, glyphs[3]);
    DrawEdgeRow(rect, rect.bottom, glyphs[4], glyphs[5], glyphs[6]);
}

/* --------------------------------------------------------------- Waiting */

/* A console that holds its output back until the program waits shows it here too. */
void ConPause(int ms)
{
    Sleep(static_cast<DWORD>(ms > 0 ? ms : 0));
}
