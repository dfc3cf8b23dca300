/*
 * The in-memory console: cells, cursor, sizing and the input queue, acting
 * as the Win32 console does.  Rectangle arithmetic is done in int so that
 * coordinates near the SHORT limits cannot overflow.
 */
#include "memconsole.h"

#include <algorithm>
#include <climits>

namespace {

/* An inclusive rectangle in int coordinates; empty when right < left or
   bottom < top. */
struct Box {
    int left;
    int top;
    int right;
    int bottom;
};

} // namespace

/* ------------------------------------------------------------- Helpers */

static Box MemBoxOf(const SMALL_RECT &r)
{
    return Box{r.Left, r.Top, r.Right, r.Bottom};
}

static Box MemBoxWhole(const MemConsole *mc)
{
    return Box{0, 0, mc->width - 1, mc->height - 1};
}

static Box MemBoxIntersect(const Box &a, const Box &b)
{
    return Box{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
}

static bool MemBoxEmpty(const Box &b)
{
    return b.right < b.left || b.bottom < b.top;
}

static bool MemBoxHas(const Box &b, int x, int y)
{
    return x >= b.left && x <= b.right && y >= b.top && y <= b.bottom;
}

static SMALL_RECT MemSmallRectOf(const Box &b)
{
    return SMALL_RECT{static_cast<SHORT>(b.left), static_cast<SHORT>(b.top),
                      static_cast<SHORT>(b.right), static_cast<SHORT>(b.bottom)};
}

static MemCell &CellRef(MemConsole *mc, int x, int y)
{
    return mc
        ->cells[static_cast<size_t>(y) * static_cast<size_t>(mc->width) + static_cast<size_t>(x)];
}

/* Cells from start to the end of the buffer, or -1 when start is outside. */
static long MemCellsToEnd(const MemConsole *mc, COORD start)
{
    if (!MemInside(mc, start.X, start.Y))
        return -1;
    long total = static_cast<long>(mc->width) * mc->height;
    return total - (static_cast<long>(start.Y) * mc->width + start.X);
}

/* ------------------------------------------------------ Buffer and cursor */

void MemReset(MemConsole *mc, int width, int height, int largestWidth, int largestHeight)
{
    mc->width = std::clamp(width, 1, static_cast<int>(SHRT_MAX));
    mc->height = std::clamp(height, 1, static_cast<int>(SHRT_MAX));
    mc->cells.assign(static_cast<size_t>(mc->width) * static_cast<size_t>(mc->height),
                     MemCell{' ', MemDefaultAttribute});
    mc->cursor = COORD{0, 0};
    mc->cursorSize = MemDefaultCursorSize;
    mc->cursorVisible = true;
    mc->attribute = MemDefaultAttribute;
    mc->window = MemSmallRectOf(MemBoxWhole(mc));
    mc->largest =
        COORD{static_cast<SHORT>(std::clamp(largestWidth, 1, static_cast<int>(SHRT_MAX))),
              static_cast<SHORT>(std::clamp(largestHeight, 1, static_cast<int>(SHRT_MAX)))};
    mc->inputMode = MemDefaultInputMode;
    mc->outputMode = MemDefaultOutputMode;
    mc->input.clear();
    mc->title.clear();
}

bool MemInside(const MemConsole *mc, int x, int y)
{
    return x >= 0 && y >= 0 && x < mc->width && y < mc->height;
}

MemCell MemCellAt(const MemConsole *mc, int x, int y)
{
    if (!MemInside(mc, x, y))
        return MemCell{0, 0};
    return mc
        ->cells[static_cast<size_t>(y) * static_cast<size_t>(mc->width) + static_cast<size_t>(x)];
}

void MemGetInfo(const MemConsole *mc, CONSOLE_SCREEN_BUFFER_INFO *info)
{
    info->dwSize = COORD{static_cast<SHORT>(mc->width), static_cast<SHORT>(mc->height)};
    info->dwCursorPosition = mc->cursor;
    info->wAttributes = mc->attribute;
    info->srWindow = mc->window;
    info->dwMaximumWindowSize = MemMaxWindow(mc);
}

DWORD MemSetCursor(MemConsole *mc, int x, int y)
{
    if (!MemInside(mc, x, y))
        return ERROR_INVALID_PARAMETER;
    mc->cursor = COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)};
    return ERROR_SUCCESS;
}

DWORD MemSetCursorInfo(MemConsole *mc, DWORD size, bool visible)
{
    if (size < 1 || size > 100)
        return ERROR_INVALID_PARAMETER;
    mc->cursorSize = size;
    mc->cursorVisible = visible;
    return ERROR_SUCCESS;
}

/* ------------------------------------------------------------- Output */

/*
 * With wrapping off the row never ends: once a write reaches the last column
 * its further characters start again at the column where the write began,
 * so character i lands in column start + i mod (width - start).  Only the
 * last (width - start) characters can survive, so only they are stored.  The
 * cursor follows the last character, except that a write ending in the last
 * column leaves it where the write began, as the Win32 console does (a
 * one-character write there leaves it on the last column).
 */
DWORD MemWrite(MemConsole *mc, const unsigned char *bytes, DWORD length)
{
    if (length == 0)
        return 0;
    int startX = mc->cursor.X;
    int y = mc->cursor.Y;
    DWORD span = static_cast<DWORD>(mc->width - startX);
    DWORD first = length > span ? length - span : 0;
    for (DWORD i = first; i < length; i++)
        CellRef(mc, startX + static_cast<int>(i % span), y) = MemCell{bytes[i], mc->attribute};
    int last = startX + static_cast<int>((length - 1) % span);
    mc->cursor.X = static_cast<SHORT>(last == mc->width - 1 ? startX : last + 1);
    return length;
}

/* The cells a fill of length from start reaches: where they begin, and how many (none outside). */
static long MemFillRun(const MemConsole *mc, DWORD length, COORD start, size_t *from)
{
    long room = MemCellsToEnd(mc, start);
    if (room <= 0)
        return 0;
    *from = static_cast<size_t>(start.Y) * static_cast<size_t>(mc->width) +
            static_cast<size_t>(start.X);
    return std::min(static_cast<long>(length), room);
}

DWORD MemFillChar(MemConsole *mc, unsigned char ch, DWORD length, COORD start)
{
    size_t from = 0;
    long count = MemFillRun(mc, length, start, &from);
    for (long i = 0; i < count; i++)
        mc->cells[from + static_cast<size_t>(i)].ch = ch;
    return static_cast<DWORD>(count);
}

DWORD MemFillAttr(MemConsole *mc, WORD attr, DWORD length, COORD start)
{
    size_t from = 0;
    long count = MemFillRun(mc, length, start, &from);
    for (long i = 0; i < count; i++)
        mc->cells[from + static_cast<size_t>(i)].attr = attr;
    return static_cast<DWORD>(count);
}

/*
 * The Win32 scroll: the region (cut to the buffer) is copied so that its
 * top-left lands on destination, shifted by whatever the cut took off; only
 * cells inside the clip (cut to the buffer) change; the cells of the region
 * inside the clip that the copy does not cover get the fill cell.  The copy
 * reads from a snapshot, so overlapping moves are safe.
 */
DWORD MemScroll(MemConsole *mc, const SMALL_RECT &scroll, const SMALL_RECT *clip, COORD destination,
                const CHAR_INFO &fill)
{
    Box whole = MemBoxWhole(mc);
    Box asked = MemBoxOf(scroll);
    Box src = MemBoxIntersect(asked, whole);
    if (MemBoxEmpty(src))
        return ERROR_SUCCESS;
    Box clipBox = clip ? MemBoxIntersect(MemBoxOf(*clip), whole) : whole;
    Box fillArea = MemBoxIntersect(src, clipBox);
    int toX = destination.X + (src.left - asked.left);
    int toY = destination.Y + (src.top - asked.top);
    Box target = MemBoxIntersect(
        Box{toX, toY, toX + src.right - src.left, toY + src.bottom - src.top}, clipBox);

    unsigned char fillChar = static_cast<unsigned char>(fill.Char.AsciiChar);
    MemCell blank = MemCell{fillChar, fill.Attributes};
    if (fillChar == 0 && fill.Attributes == 0)
        blank = MemCell{' ', mc->attribute};

    std::vector<MemCell> before = mc->cells;
    for (int y = target.top; y <= target.bottom; y++)
        for (int x = target.left; x <= target.right; x++)
            CellRef(mc, x, y) =
                before[static_cast<size_t>(src.top + y - toY) * static_cast<size_t>(mc->width) +
                       static_cast<size_t>(src.left + x - toX)];
    for (int y = fillArea.top; y <= fillArea.bottom; y++)
        for (int x = fillArea.left; x <= fillArea.right; x++)
            if (!MemBoxHas(target, x, y))
                CellRef(mc, x, y) = blank;
    return ERROR_SUCCESS;
}

/*
 * Copies the region (cut to the buffer, and to what fits into the caller's
 * buffer from bufferCoord) into buffer; region is set to what was read.
 */
DWORD MemReadOutput(const MemConsole *mc, CHAR_INFO *buffer, COORD bufferSize, COORD bufferCoord,
                    SMALL_RECT *region)
{
    if (bufferCoord.X < 0 || bufferCoord.Y < 0 || bufferCoord.X >= bufferSize.X ||
        bufferCoord.Y >= bufferSize.Y)
        return ERROR_INVALID_PARAMETER;
    Box r = MemBoxIntersect(MemBoxOf(*region), MemBoxWhole(mc));
    r.right = std::min(r.right, r.left + (bufferSize.X - bufferCoord.X) - 1);
    r.bottom = std::min(r.bottom, r.top + (bufferSize.Y - bufferCoord.Y) - 1);
    for (int y = r.top; y <= r.bottom; y++) {
        for (int x = r.left; x <= r.right; x++) {
            MemCell cell = MemCellAt(mc, x, y);
            CHAR_INFO &out = buffer[static_cast<size_t>(bufferCoord.Y + y - r.top) *
                                        static_cast<size_t>(bufferSize.X) +
                                    static_cast<size_t>(bufferCoord.X + x - r.left)];
            out.Char.UnicodeChar = 0;
            out.Char.AsciiChar = static_cast<CHAR>(cell.ch);
            out.Attributes = cell.attr;
        }
    }
    *region = MemSmallRectOf(r);
    return ERROR_SUCCESS;
}

/* ------------------------------------------------------------- Sizing */

COORD MemMaxWindow(const MemConsole *mc)
{
    return COORD{static_cast<SHORT>(std::min(mc->width, static_cast<int>(mc->largest.X))),
                 static_cast<SHORT>(std::min(mc->height, static_cast<int>(mc->largest.Y)))};
}

/* Moves the window back inside a buffer that has shrunk, keeping its size. */
static void MemKeepWindowInside(MemConsole *mc)
{
    Box w = MemBoxOf(mc->window);
    int shiftX = std::max(0, w.right - (mc->width - 1));
    int shiftY = std::max(0, w.bottom - (mc->height - 1));
    mc->window =
        MemSmallRectOf(Box{w.left - shiftX, w.top - shiftY, w.right - shiftX, w.bottom - shiftY});
}

/*
 * A new buffer size keeps the contents at the top-left, fills new cells with
 * blanks in attribute 7 and pulls the cursor inside.  The buffer may never be
 * smaller than the window, so callers shrink the window first.
 */
DWORD MemSetBufferSize(MemConsole *mc, int width, int height)
{
    Box w = MemBoxOf(mc->window);
    if (width < 1 || height < 1 || width < w.right - w.left + 1 || height < w.bottom - w.top + 1)
        return ERROR_INVALID_PARAMETER;
    if (static_cast<long>(width) * height > MemMaxCells)
        return ERROR_NOT_ENOUGH_MEMORY;
    std::vector<MemCell> cells(static_cast<size_t>(width) * static_cast<size_t>(height),
                               MemCell{' ', MemDefaultAttribute});
    for (int y = 0; y < std::min(height, mc->height); y++)
        for (int x = 0; x < std::min(width, mc->width); x++)
            cells[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
                MemCellAt(mc, x, y);
    mc->cells.swap(cells);
    mc->width = width;
    mc->height = height;
    mc->cursor.X = static_cast<SHORT>(std::min(static_cast<int>(mc->cursor.X), width - 1));
    mc->cursor.Y = static_cast<SHORT>(std::min(static_cast<int>(mc->cursor.Y), height - 1));
    MemKeepWindowInside(mc);
    return ERROR_SUCCESS;
}

/*
 * Sets the visible window.  Relative rectangles are added to the current
 * window first.  A negative left or top moves the whole rectangle to 0 (the
 * Win32 console accepts that); a rectangle that is inverted, reaches beyond
 * the buffer or is larger than the largest window fails with 87.
 */
DWORD MemSetWindow(MemConsole *mc, bool absolute, const SMALL_RECT &window)
{
    Box r = MemBoxOf(window);
    if (!absolute) {
        Box now = MemBoxOf(mc->window);
        r = Box{r.left + now.left, r.top + now.top, r.right + now.right, r.bottom + now.bottom};
    }
    if (r.left < 0) {
        r.right -= r.left;
        r.left = 0;
    }
    if (r.top < 0) {
        r.bottom -= r.top;
        r.top = 0;
    }
    COORD most = MemMaxWindow(mc);
    if (MemBoxEmpty(r) || r.right >= mc->width || r.bottom >= mc->height ||
        r.right - r.left + 1 > most.X || r.bottom - r.top + 1 > most.Y)
        return ERROR_INVALID_PARAMETER;
    mc->window = MemSmallRectOf(r);
    return ERROR_SUCCESS;
}

/* -------------------------------------------------------------- Input */

DWORD MemTakeInput(MemConsole *mc, INPUT_RECORD *buffer, DWORD length, bool take)
{
    DWORD count = static_cast<DWORD>(std::min(static_cast<size_t>(length), mc->input.size()));
    for (DWORD i = 0; i < count; i++)
        buffer[i] = mc->input[i];
    if (take)
        mc->input.erase(mc->input.begin(), mc->input.begin() + static_cast<long>(count));
    return count;
}

DWORD MemTakeChars(MemConsole *mc, unsigned char *buffer, DWORD length)
{
    DWORD count = 0;
    while (count < length && !mc->input.empty()) {
        INPUT_RECORD &record = mc->input.front();
        KEY_EVENT_RECORD &key = record.Event.KeyEvent;
        if (record.EventType != KEY_EVENT || !key.bKeyDown || key.uChar.AsciiChar == 0) {
            mc->input.pop_front();
            continue;
        }
        buffer[count++] = static_cast<unsigned char>(key.uChar.AsciiChar);
        /* A held key gives its character once per repeat. */
        if (key.wRepeatCount > 1)
            key.wRepeatCount--;
        else
            mc->input.pop_front();
    }
    return count;
}

void MemPushKey(MemConsole *mc, char character, WORD virtualKey)
{
    INPUT_RECORD record = {};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = TRUE;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = virtualKey;
    record.Event.KeyEvent.uChar.AsciiChar = character;
    mc->input.push_back(record);
    record.Event.KeyEvent.bKeyDown = FALSE;
    mc->input.push_back(record);
}
