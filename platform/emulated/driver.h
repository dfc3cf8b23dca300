/*
 * The driver under the emulated console: what the Win32 calls need of the
 * place their console is shown on.  Three drivers implement it, one folder
 * each, and an executable links exactly one of them:
 *   platform/tty/       the tty driver: the controlling terminal, through terminfo;
 *   platform/page/      the page driver: a web page, waited on through Asyncify;
 *   platform/headless/  the headless driver: no screen at all, for tests and the benchmark.
 * The tty and page drivers call back only into the pure parts of the
 * platform (code page 437 in this folder, and for a terminal the renderer,
 * the capability profiles and the terminfo reader of platform/terminal/),
 * never into the calls.  The headless driver, the tests' seam, reads and
 * feeds the console's state (state.h) as well.
 */
#ifndef ZOP_PLATFORM_EMULATED_DRIVER_H
#define ZOP_PLATFORM_EMULATED_DRIVER_H

#include "memconsole.h"

#include <string>

/* The screen a driver opened. */
struct DriverScreen {
    int columns; /* its size, which the buffer takes */
    int rows;
    int largestColumns; /* the largest window the display allows */
    int largestRows;
    COORD cursor;   /* where the cursor stands: (0, 0) on a blank screen of our own */
    bool resizable; /* the program sizes buffer and window, as on a console window; a
                           terminal's size is the terminal's own and follows its resizes */
};

/*
 * Asks, before the screen is opened, for the game to be told in lines of text
 * from its announcements (DriverAnnounce) rather than shown as a picture: 1,
 * or 0 where the driver has only its one way of showing the console.
 */
int DriverShowLines(void);

/* What DriverOpen found. */
enum DriverOpening {
    DriverOpened,
    DriverNoTerminal,   /* no terminal on standard input and output, nor at /dev/tty */
    DriverTermUnset,    /* TERM is not set, so the kind of terminal is unknown */
    DriverCannotAddress /* TERM's terminal cannot place the cursor as the game does */
};

/*
 * Opens the screen, on the first Win32 call of the program.  Returns
 * DriverOpened with the screen described, or why there is none, having
 * shown nothing.  The tty driver opens the terminal here, puts it in raw
 * mode, installs its signal handlers and asks where the cursor stands.
 */
int DriverOpen(DriverScreen *screen);

/*
 * Every Win32 call first asks whether it may go ahead: ERROR_SUCCESS, or the
 * error code it is to fail with, changing nothing.  The tty and page drivers
 * let every call go; the headless driver counts the calls and fails those a
 * test names.
 */
DWORD DriverCheckCall(const char *call);

/* An output call has just changed the console.  The tty and page drivers show it only
   at the next wait (a terminal is not drawn on before the program has drawn); the
   headless driver shows it to a test that watches every change. */
void DriverNoteDrawing(const MemConsole *mc);

/* Makes the screen the program's own (AllocConsole): the alternate screen from the next
   present on.  0 when it cannot. */
int DriverEnterScreen(void);

/* Hands the screen back (FreeConsole, and at exit): every setting made is undone, in the
   mirror order of setup.  A second call does nothing. */
void DriverRestore(void);

/* Shows the console: the cells that differ from what the screen shows, in one write.
   Called only where the program is about to wait, and before the screen is handed back. */
void DriverPresent(const MemConsole *mc);

/* Forgets what the screen shows, so that the next present shows the whole picture again:
   Ctrl-L, after something else wrote over it. */
void DriverForgetScreen(void);

/* Keeps a code page 437 text for a reader of the screen (PlatformAnnounce), to be said at
   the next present; a terminal has none, so the tty driver drops it. */
void DriverAnnounce(int channel, const char *text);

/* Sets the screen's title from code page 437 text at the next present. */
void DriverSetTitle(const std::string &title);

/* What happened to the screen since the last look. */
enum { DriverResized = 1, DriverResumed = 2 };

/*
 * Takes what happened since the last look: a resize, or a resume after a
 * stop (the settings are made again).  Either way the next present repaints
 * everything.  Stores the screen's size; returns the DRIVER_ flags.
 */
int DriverTakeEvents(int *columns, int *rows);

/*
 * Reads key bytes, waiting at most timeoutMs (0: only what is there;
 * negative: no limit).  Returns the count; 0 when none came or a resize or
 * resume cut the wait short (a look with DriverTakeEvents tells which);
 * -1 when input has ended (hangup), so that the wait ends with ESC.
 */
int DriverReadBytes(unsigned char *buffer, int size, int timeoutMs);

/* The monotonic clock in milliseconds, which the key decoder's timeouts count on. */
long DriverNowMs(void);

/* Waits at least ms milliseconds; it never spins. */
void DriverSleepMs(int ms);

/* Where keys come in a single-byte character set, the character of each byte
   0x80 to 0xFF (0 for none); null where they come in UTF-8. */
const char32_t *DriverKeyCharset(void);

#endif
