/*
 * The in-memory console: a screen buffer of code page 437 cells with a
 * cursor, a text attribute, a window, console modes, a queue of input
 * records and a title.  The functions here act on it as the Win32 console
 * does, with output as when ENABLE_WRAP_AT_EOL_OUTPUT is cleared: a write
 * never moves to the next row and never scrolls.  No I/O happens here; the
 * Win32 calls in winconsole.cpp sit on top, and a driver shows it.
 *
 * Functions that can fail return ERROR_SUCCESS or the Win32 error code, and
 * change nothing when they fail.  Nothing is ever written outside the buffer.
 */
#ifndef ZOP_PLATFORM_EMULATED_MEMCONSOLE_H
#define ZOP_PLATFORM_EMULATED_MEMCONSOLE_H

#include "wintypes.h"

#include <deque>
#include <string>
#include <vector>

/* One character cell: a code page 437 byte and a text attribute. */
struct MemCell {
    unsigned char ch;
    WORD attr;
};

struct MemConsole {
    int width;                  /* buffer columns */
    int height;                 /* buffer rows */
    std::vector<MemCell> cells; /* width * height, row-major */
    COORD cursor;               /* always inside the buffer */
    DWORD cursorSize;           /* percent of the cell, 1..100 */
    bool cursorVisible;
    WORD attribute;    /* what written text takes */
    SMALL_RECT window; /* visible part of the buffer, inclusive */
    COORD largest;     /* largest window the "display" allows */
    DWORD inputMode;
    DWORD outputMode;
    std::deque<INPUT_RECORD> input; /* oldest first */
    std::string title;
};

/* Blank cells in light grey on black, as a new console has. */
const WORD MemDefaultAttribute = 7;
const DWORD MemDefaultCursorSize = 25;
/* The modes a new Win32 console starts with. */
const DWORD MemDefaultInputMode =
    ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_MOUSE_INPUT;
const DWORD MemDefaultOutputMode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;
/* Largest buffer we agree to hold, in cells; bigger asks fail with error 8. */
const long MemMaxCells = 16L * 1024 * 1024;

/* Makes a new console: blanks, cursor at (0, 0) visible, window = buffer,
   default modes, empty input queue and title.  Sizes below 1 become 1. */
void MemReset(MemConsole *mc, int width, int height, int largestWidth, int largestHeight);

bool MemInside(const MemConsole *mc, int x, int y);
/* The cell at (x, y), or a NUL cell in attribute 0 outside the buffer. */
MemCell MemCellAt(const MemConsole *mc, int x, int y);

void MemGetInfo(const MemConsole *mc, CONSOLE_SCREEN_BUFFER_INFO *info);
DWORD MemSetCursor(MemConsole *mc, int x, int y);
DWORD MemSetCursorInfo(MemConsole *mc, DWORD size, bool visible);

/* Writes bytes at the cursor in the current attribute; returns the count. */
DWORD MemWrite(MemConsole *mc, const unsigned char *bytes, DWORD length);
/* Fills run on across rows from start and stop at the buffer's end; they
   return the number of cells filled (0 when start is outside the buffer). */
DWORD MemFillChar(MemConsole *mc, unsigned char ch, DWORD length, COORD start);
DWORD MemFillAttr(MemConsole *mc, WORD attr, DWORD length, COORD start);
DWORD MemScroll(MemConsole *mc, const SMALL_RECT &scroll, const SMALL_RECT *clip, COORD destination,
                const CHAR_INFO &fill);
DWORD MemReadOutput(const MemConsole *mc, CHAR_INFO *buffer, COORD bufferSize, COORD bufferCoord,
                    SMALL_RECT *region);

COORD MemMaxWindow(const MemConsole *mc);
DWORD MemSetBufferSize(MemConsole *mc, int width, int height);
DWORD MemSetWindow(MemConsole *mc, bool absolute, const SMALL_RECT &window);

/* Copies up to length records from the front of the input queue, removing
   them when take is set; returns the count. */
DWORD MemTakeInput(MemConsole *mc, INPUT_RECORD *buffer, DWORD length, bool take);
/* Takes characters of queued key-down records, dropping records without one,
   until length bytes are taken or the queue is empty; returns the count. */
DWORD MemTakeChars(MemConsole *mc, unsigned char *buffer, DWORD length);
/* Queues a key-down record and then its key-up. */
void MemPushKey(MemConsole *mc, char character, WORD virtualKey);

#endif
