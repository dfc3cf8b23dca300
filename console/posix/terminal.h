/*
 * The terminal driver: raw mode on the controlling terminal, the alternate
 * screen, the title, presenting the in-memory console through the renderer,
 * the signals, and reading the terminal's bytes.  Every setting it makes is
 * undone by TermRestore, in the mirror order of setup, and by its signal
 * handlers before the program ends or stops.
 */
#ifndef ZOP_CONSOLE_POSIX_TERMINAL_H
#define ZOP_CONSOLE_POSIX_TERMINAL_H

#include "console/posix/memconsole.h"
#include "console/posix/render.h"

#include <string>

/*
 * Finds a cursor position report (ESC [ row ; column R) in bytes, takes it
 * out and stores its 1-based row and column; other bytes stay, in order.
 */
bool TermTakeCursorReport(std::string *bytes, int *row, int *column);

/* What TermOpen found. */
enum {
    TERM_OPENED,
    TERM_NOT_A_TERMINAL, /* no terminal on standard input and output, nor at /dev/tty */
    TERM_NAME_UNSET,     /* TERM is not set, so the kind of terminal is unknown */
    TERM_CANNOT_ADDRESS  /* TERM's terminal cannot place the cursor as the game does */
};

/*
 * Opens the controlling terminal (standard input and output when both are
 * terminals, else /dev/tty), reads what it can do from TERM's terminfo entry
 * and the locale, switches it to raw mode and asks where the cursor stands.
 * Returns TERM_OPENED, or why the terminal cannot be played on, having sent
 * it nothing.  The size and the cursor position go to the out-arguments; a
 * terminal that does not answer the position query gives a position other
 * than (0, 0).
 */
int TermOpen(int *columns, int *rows, COORD *cursor);

/* What happened to the terminal since the last look. */
enum { TERM_RESIZED = 1, TERM_RESUMED = 2 };

/*
 * Takes what the signal handlers noted: a resize (the size is asked anew) or
 * a resume after a stop (every setting is made again after Ctrl-Z, which
 * undid them; only raw mode after a SIGSTOP, which left the rest in place).
 * Either way the next present repaints everything.  Stores the terminal's
 * size; returns the TERM_ flags.
 */
int TermTakeEvents(int *columns, int *rows);

/* Sets up a console of our own: raw mode, and the alternate screen from the next present on. */
int TermEnterScreen(void);

/*
 * Undoes every setting made (title, alternate screen, hidden cursor, colours,
 * raw mode) in the mirror order of setup.  A second call does nothing.  Not
 * for signal handlers: use TermEmergencyRestore there.
 */
void TermRestore(void);

/* Async-signal-safe restore: writes a prebuilt restore string and puts the
   saved terminal settings back, without touching any other state. */
void TermEmergencyRestore(void);

/* Shows the console on the terminal: the settings asked for since the last
   present (alternate screen, title) and the cells that differ, in one write. */
void TermPresent(const MemConsole *mc);

/* Sets the terminal title from code page 437 text at the next present; the
   old title is saved the first time and put back by TermRestore. */
void TermSetTitle(const std::string &title);

/*
 * Reads terminal input bytes: first those kept from the cursor query, then
 * from the terminal, waiting at most timeoutMs (negative: no limit).
 * Returns the count; 0 on timeout or when a signal cut the wait short, so
 * that the caller can look at what the signal flagged; -1 at end of input
 * (hangup or error).
 */
int TermReadBytes(unsigned char *buffer, int size, int timeoutMs);

/* The monotonic clock in milliseconds, which the key reader's timeouts count on. */
long TermNowMs(void);

/* Sleeps at least ms milliseconds of the monotonic clock; it never spins. */
void TermSleepMs(int ms);

/* Where the locale's characters are single bytes, the character of each
   byte 0x80 to 0xFF (0 for none); null where they are UTF-8. */
const char32_t *TermKeyCharset(void);

#endif
