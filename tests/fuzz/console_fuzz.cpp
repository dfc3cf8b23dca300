/*
 * Fuzzes the console module's drawing operations on a headless console of a
 * random size: random sequences of cursor moves, writes, runs, fills,
 * scrolls, clears, frames and message-window lines, on rectangles inside,
 * across and outside the buffer, and now and then a buffer resized under the
 * module.  After every operation the cursor is inside the buffer and no cell
 * outside what the operation may touch has changed: a rectangle's cells for
 * fills, clears, scrolls and window lines, a frame's outline, the cursor's
 * row or column for text and runs.  Fills and clears leave their rectangle
 * filled.  While the buffer is smaller than the extent the module took at
 * start, its operations may write anywhere in the buffer (a run down a
 * column goes on beside it once the cursor cannot follow), so then only the
 * cursor and the buffer are checked.
 */
#include "console.h"
#include "headless.h"
#include "memconsole.h"
#include "screen.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

/* The headless console, seen through the hook that shows it after every output call. */
const MemConsole *Console;

void TakeConsole(const MemConsole *console)
{
    Console = console;
}

void Check(bool holds, const char *what, const char *operation)
{
    if (!holds) {
        std::fprintf(stderr, "console: %s after %s\n", what, operation);
        std::abort();
    }
}

/* The cells an operation may change: a rectangle, with or without its inside. */
struct Allowed {
    ConRect rect;
    bool outlineOnly;
};

bool MayChange(const Allowed &allowed, int x, int y)
{
    const ConRect &r = allowed.rect;
    if (x < r.left || x > r.right || y < r.top || y > r.bottom)
        return false;
    return !allowed.outlineOnly || x == r.left || x == r.right || y == r.top || y == r.bottom;
}

void CheckUntouched(const std::vector<MemCell> &before, const Allowed &allowed,
                    const char *operation)
{
    for (int y = 0; y < Console->height; y++) {
        for (int x = 0; x < Console->width; x++) {
            size_t at = static_cast<size_t>(y) * Console->width + x;
            if (!MayChange(allowed, x, y))
                Check(before[at].ch == Console->cells[at].ch &&
                          before[at].attr == Console->cells[at].attr,
                      "a cell changed outside what the operation may touch", operation);
        }
    }
}

/* Every cell of the rectangle (cut to the buffer) holds the character (unless 0) and the attribute. */
void CheckFilled(const ConRect &rect, unsigned char ch, bool checkAttr, WORD attr,
                 const char *operation)
{
    for (int y = std::max(rect.top, 0); y <= std::min(rect.bottom, Console->height - 1); y++) {
        for (int x = std::max(rect.left, 0); x <= std::min(rect.right, Console->width - 1); x++) {
            const MemCell &cell = Console->cells[static_cast<size_t>(y) * Console->width + x];
            Check(ch == 0 || cell.ch == ch, "a cell of the rectangle not filled", operation);
            Check(!checkAttr || cell.attr == attr, "a cell of the rectangle not coloured",
                  operation);
        }
    }
}

/* A coordinate mostly near the buffer of that span, now and then far off it. */
int Coordinate(FuzzedDataProvider &input, int span)
{
    if (input.ConsumeIntegralInRange(0, 15) == 0)
        return input.ConsumeIntegralInRange(-2000, 2000);
    return input.ConsumeIntegralInRange(-8, span + 8);
}

ConRect Rectangle(FuzzedDataProvider &input)
{
    ConRect rect;
    rect.left = Coordinate(input, Console->width);
    rect.top = Coordinate(input, Console->height);
    rect.right = rect.left + input.ConsumeIntegralInRange(-2, Console->width + 4);
    rect.bottom = rect.top + input.ConsumeIntegralInRange(-2, Console->height + 4);
    return rect;
}

const ConRect Everything = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};

/* Shrinks or grows the buffer under the module, which keeps the extent it had at start. */
void ResizeBuffer(FuzzedDataProvider &input)
{
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    SMALL_RECT corner = {0, 0, 0, 0};
    SetConsoleWindowInfo(output, TRUE, &corner);
    COORD size = {static_cast<SHORT>(input.ConsumeIntegralInRange(1, 120)),
                  static_cast<SHORT>(input.ConsumeIntegralInRange(1, 60))};
    SetConsoleScreenBufferSize(output, size);
    if (input.ConsumeBool())
        ConInitOutput();
}

/* Whether the module's extent is the buffer's, so that a filled rectangle can be checked whole. */
bool ExtentIsTheBuffers()
{
    return ConOutput.lastColumn + 1 == Console->width && ConOutput.lastRow + 1 == Console->height;
}

/* ConFillRect on a rectangle or (now and then) the whole screen. */
const char *Fill(FuzzedDataProvider &input, Allowed *allowed)
{
    ConRect rect = Rectangle(input);
    bool whole = input.ConsumeIntegralInRange(0, 7) == 0;
    char ch = input.ConsumeBool() ? 0 : input.ConsumeIntegral<char>();
    WORD attr = input.ConsumeIntegral<WORD>();
    allowed->rect = whole ? Everything : rect;
    ConFillRect(whole ? nullptr : &rect, ch, attr);
    if (!whole && ExtentIsTheBuffers())
        CheckFilled(rect, static_cast<unsigned char>(ch), true, attr, "ConFillRect");
    return "ConFillRect";
}

/* ConClearRect on a rectangle or (now and then) the whole screen. */
const char *Clear(FuzzedDataProvider &input, Allowed *allowed)
{
    ConRect rect = Rectangle(input);
    bool whole = input.ConsumeIntegralInRange(0, 7) == 0;
    allowed->rect = whole ? Everything : rect;
    ConClearRect(whole ? nullptr : &rect);
    if (!whole && ExtentIsTheBuffers())
        CheckFilled(rect, ' ', false, 0, "ConClearRect");
    return "ConClearRect";
}

/* PrintInWindow: the text goes on the bottom row, even of a window whose bottom is above its top. */
const char *Print(FuzzedDataProvider &input, Allowed *allowed)
{
    ConRect window = Rectangle(input);
    std::string text = input.ConsumeRandomLengthString(200);
    PrintInWindow(window, text.c_str());
    allowed->rect =
        ConRect{window.left, std::min(window.top, window.bottom), window.right, window.bottom};
    return "PrintInWindow";
}

/* Text and runs from the cursor: along its row, or down its column. */
const char *WriteAtCursor(FuzzedDataProvider &input, int kind, Allowed *allowed)
{
    COORD cursor = Console->cursor;
    allowed->rect = ConRect{cursor.X, cursor.Y, INT32_MAX, cursor.Y};
    if (kind == 0) {
        std::string text = input.ConsumeRandomLengthString(200);
        ConWrite(text.c_str(), input.ConsumeIntegralInRange(-2, 250));
        return "ConWrite";
    }
    if (kind == 1) {
        ConRepeatAcross(input.ConsumeIntegral<char>(), input.ConsumeIntegralInRange(-2, 300));
        return "ConRepeatAcross";
    }
    allowed->rect = ConRect{cursor.X, cursor.Y, cursor.X, INT32_MAX};
    ConRepeatDown(input.ConsumeIntegral<char>(), input.ConsumeIntegralInRange(-2, 100));
    return "ConRepeatDown";
}

/* Does one operation; returns its name and stores what it may change. */
const char *Operate(FuzzedDataProvider &input, Allowed *allowed)
{
    *allowed = Allowed{{0, 0, -1, -1}, false};
    int x = -1, y = -1;
    switch (input.ConsumeIntegralInRange(0, 11)) {
    case 0:
        ConSetColor(input.ConsumeIntegralInRange(0, 15), input.ConsumeIntegralInRange(0, 15));
        return "ConSetColor";
    case 1:
        ConGotoXY(Coordinate(input, Console->width), Coordinate(input, Console->height));
        return "ConGotoXY";
    case 2:
    case 3:
    case 4:
        return WriteAtCursor(input, input.ConsumeIntegralInRange(0, 2), allowed);
    case 5:
        return Fill(input, allowed);
    case 6:
        return Clear(input, allowed);
    case 7:
        allowed->rect = Rectangle(input);
        ConScrollRect(allowed->rect, input.ConsumeIntegralInRange(0, 3),
                      input.ConsumeIntegralInRange(-1, 40));
        return "ConScrollRect";
    case 8:
        *allowed = Allowed{Rectangle(input), true};
        ConDrawBox(allowed->rect, input.ConsumeIntegralInRange(0, 5));
        return "ConDrawBox";
    case 9:
        return Print(input, allowed);
    case 10:
        ConGetXY(&x, &y);
        Check(x == Console->cursor.X && y == Console->cursor.Y, "ConGetXY gave another position",
              "ConGetXY");
        return "ConGetXY";
    default:
        allowed->rect = Everything;
        ResizeBuffer(input);
        return "a resize";
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    int width = input.ConsumeIntegralInRange(1, 120);
    int height = input.ConsumeIntegralInRange(1, 60);
    HeadlessOpen(width, height, 240, 120);
    HeadlessSetOutputHook(TakeConsole);
    ConInitOutput();
    ConGotoXY(0, 0); /* an output call: the hook now knows the console */
    for (int operations = 0; operations < 32 && input.remaining_bytes() > 0; operations++) {
        std::vector<MemCell> before = Console->cells;
        int beforeWidth = Console->width;
        Allowed allowed;
        const char *operation = Operate(input, &allowed);
        Check(Console->cursor.X >= 0 && Console->cursor.X < Console->width &&
                  Console->cursor.Y >= 0 && Console->cursor.Y < Console->height,
              "the cursor outside the buffer", operation);
        Check(Console->cells.size() == static_cast<size_t>(Console->width) * Console->height,
              "a buffer of the wrong size", operation);
        bool extentFits =
            ConOutput.lastColumn < Console->width && ConOutput.lastRow < Console->height;
        if (extentFits && Console->width == beforeWidth && Console->cells.size() == before.size())
            CheckUntouched(before, allowed, operation);
    }
    return 0;
}
