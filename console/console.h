/*
 * CONSOLE: the game's console module.  Text at positions, colours, runs of
 * one character, rectangle fill, scroll and clear, and framed boxes, all on
 * the screen buffer of the process's standard output console.
 */
#ifndef ZOP_CONSOLE_CONSOLE_H
#define ZOP_CONSOLE_CONSOLE_H

#include "conrect.h"
#include "platform.h"

#include <cstddef>

/* The module's output state, filled by ConInit (and by ConInitOutput again where the
   screen's size may have changed). */
struct ConsoleOutput {
    HANDLE handle;            /* the module's own copy of the standard output handle */
    SHORT lastColumn;         /* buffer width - 1 at start-up */
    SHORT lastRow;            /* buffer height - 1 at start-up */
    WORD rememberedAttribute; /* what blanks brought in by scrolling and whole clears take */
};

extern ConsoleOutput ConOutput;

/* One key press waiting in the keyboard queue's ring. */
struct KeySlot {
    int wrap;       /* 1 on the ring's last slot: advancing from it goes back to the first */
    int virtualKey; /* the Win32 virtual-key code */
    char character; /* what the console translated the key to, 0 for none */
};

/* Records read from the console in one batch, and key slots in the ring. */
const int ConRecordCount = 128;

/* The keyboard queue: key-down events read in batches and handed out one at a time. */
struct ConsoleInput {
    HANDLE handle;         /* standard input, where batches are read */
    HANDLE device;         /* the console input device "CONIN$", for peeking; opened on first use */
    INPUT_RECORD *records; /* the batch buffer, ConRecordCount records */
    KeySlot *ring;         /* ConRecordCount slots */
    KeySlot *writePosition; /* where the next key goes */
    KeySlot *readPosition;  /* the oldest key not yet handed out; the ring is empty when equal */
};

extern ConsoleInput ConInput;

/* ------------------------------------ console.cpp: start-up, shutdown, output, drawing */

/* Starts the module: the keyboard queue and the output state.  0 when the queue's buffers
   cannot be had. */
int ConInit();

/* The output half of ConInit: the output handle, the screen's extent and its attribute. */
void ConInitOutput();

/* Releases the keyboard queue and gives the console back with a visible cursor in light grey. */
void ConShutdown();

/* Sets and remembers the text attribute foreground | background << 4. */
int ConSetColor(int foreground, int background);

int ConGotoXY(int x, int y);

/* Writes at most length characters of a NUL-terminated text (length <= 0: all of it). */
int ConWrite(const char *text, int length);

/* Reads the cursor position into whichever out-argument is not null. */
void ConGetXY(int *column, int *row);

/* Writes the character count times downwards from the cursor. */
void ConRepeatDown(char character, int count);

/* Writes the character count times along the row from the cursor. */
void ConRepeatAcross(char character, int count);

/* Fills a rectangle, or the whole screen when null; a character of 0 sets only attributes. */
void ConFillRect(const ConRect *rect, char character, WORD attribute);

/* Moves a rectangle's contents by lines rows, up (direction 1) or down (2), blanking what it uncovers. */
void ConScrollRect(const ConRect &rect, int direction, int lines);

/* Blanks a rectangle with spaces, or the whole screen when null. */
void ConClearRect(const ConRect *rect);

/* Draws a rectangle's outline in style 1 (single), 2 (double), 3 or 4 (mixed). */
void ConDrawBox(const ConRect &rect, int style);

/* Draws a rectangle's outline from seven glyphs: corners, edges and side, clockwise from top-left. */
void ConDrawFrame(const ConRect &rect, const char *glyphs);

/* Waits at least ms milliseconds with the screen showing all that was drawn. */
void ConPause(int ms);

/* ---------------------------------------------------------- keyqueue.cpp: the keyboard */

/* The input half of ConInit: the queue's two buffers and the input handle; 0 without the buffers. */
int ConInitInput();

/* The input half of ConShutdown: the queue's buffers and the input device let go. */
void ConShutdownInput();

/* Waits for a key press; returns its character (0 for none) and stores its virtual-key code. */
int ConGetKey(int *virtualKey);

/* Whether a key press waits in the console's input; never blocks and removes nothing. */
int ConKeyPending();

/* ---------------- report.cpp: the failure report, its key wait, and window fitting, whose
   failures it reports */

/* The system's text for an error, in lines of at most lineWidth characters (0xFF: one line),
   cut to size; 0 when the system has none. */
int ConSystemText(DWORD errorCode, DWORD lineWidth, char *text, std::size_t size);

/* Reports a failed system call with the system's text for its error, then waits for any key. */
int ConReportFailure(const char *sourceFile, int line, const char *callName, DWORD errorCode);

/* Waits for one key press on standard input, unechoed, and returns its byte. */
char ConGetRawChar();

/* Sizes the window and the screen buffer to fractions of the largest window the display allows. */
void ConFitWindow(HANDLE handle, double widthFraction, double heightFraction);

#endif
