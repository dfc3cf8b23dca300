/* The tty driver's state, and the functions its files share (tty.h maps them). */
#ifndef ZOP_PLATFORM_TTY_TTYSTATE_H
#define ZOP_PLATFORM_TTY_TTYSTATE_H

#include "caps.h"
#include "lines.h"
#include "render.h"
#include "tty.h"

#include <csignal>
#include <string>
#include <termios.h>

const int UndoMax = 8; /* settings the undo stack holds at most */
/* Saves the player's title on the terminal's stack of titles, and puts it back. */
const char TtySaveTitle[] = "\x1b[22;0t";
const char TtyRestoreTitle[] = "\x1b[23;0t";

/* Settings the driver makes, each undone by DriverRestore. */
enum TtyUndo { UndoRawMode, UndoAltScreen, UndoCursor, UndoTitle };

/* What a wait saw: bits of these; none when its time ran out or a signal cut it short. */
enum TtyWaitSeen { WaitReady = 1, WaitWoken = 2, WaitClosed = 4, WaitRefused = 8 };

struct TtyState {
    bool open;
    bool ownFd;       /* inFd is /dev/tty, opened by us */
    bool exitHookSet; /* the restore at exit is registered with atexit */
    bool ending;      /* the program is ending: the terminal goes back for good */
    int inFd;
    int outFd;
    struct termios saved; /* the settings found at open */
    int columns;
    int rows;
    int undo[UndoMax]; /* settings made, oldest first */
    int undoCount;
    char emergencyBytes[160]; /* what a handler writes to give the terminal back */
    volatile sig_atomic_t emergencyLength;
    RenderFrame front;        /* what the terminal shows */
    RenderFrame want;         /* reused by DriverPresent */
    std::string out;          /* reused by DriverPresent */
    std::string pendingInput; /* input read ahead for the key reader, with the answers taken out */
    std::string title;        /* the title set, in UTF-8, to set again on resume */
    struct termios raw;       /* the raw settings, to enter again on resume */
    bool handlersSet;         /* our signal handlers are installed */
    bool screenWanted;        /* the alternate screen is to be entered at the next present */
    bool titlePending;        /* the title is to be set at the next present */
    bool acsEnabled;          /* the entry's enacs has been sent */
    bool drawn;               /* the program has drawn since it took the terminal: until then
                                the terminal shows the shell's screen, which is left as it is */
    Caps caps;                /* what the terminal can do */
    bool pollRefuses;         /* poll() refused the open terminal (it does not support devices
                                there): every wait of the driver goes through select() */
    bool singleByte;          /* the locale's characters are single bytes, not UTF-8 */
    char32_t highBytes[128];  /* then: the character of each byte 0x80 to 0xFF, 0 for none */
    bool lines;               /* the game is told in lines of text on standard output, from its
                                announcements, and its keys read from standard input */
    LinesTeller teller;       /* then: the lines said and waiting for the next present */
};

extern TtyState Tty;

/* What the signal handlers note for the driver's next look, and what they read. */
struct TtyFlagState {
    volatile sig_atomic_t resized;  /* the terminal was resized */
    volatile sig_atomic_t resumed;  /* the program was continued after a stop */
    volatile sig_atomic_t gaveBack; /* the stop handler undid every setting first */
    /* Answers to the cursor questions the terminal still owes, and until when they are
       waited for before the terminal goes back. */
    volatile sig_atomic_t answersOwed;
    long answerDeadlineMs;
    /* The handlers' wake-up call (read end, write end): a byte written here ends a key
       wait at once, even when the signal came after the last look at the flags and
       before the wait began. */
    int wakePipe[2];
};

extern TtyFlagState TtyFlags;

/* --------------------------------------------------------------- open.cpp */

/* The game told in lines: keys from standard input, lines to standard output. */
int TtyOpenLines(DriverScreen *screen);
/* The controlling terminal, its entry, raw mode and handlers; a DriverOpening. */
int TtyOpenTerminal(DriverScreen *screen);
/* No line input, no echo, 8-bit bytes; signals stay on.  Pushed on the undo stack once. */
void TtyOpenRawMode(void);
/* Stores the terminal's size (80 x 24 where it cannot be read). */
void TtyOpenQuerySize(void);

/* ----------------------------------------------------------------- io.cpp */

/* Waits up to timeoutMs (negative: no limit) for fd and the wake-up pipe; a TtyWaitSeen.
   Async-signal-safe. */
int TtyIoWait(int fd, bool writing, int wakeFd, int timeoutMs);
/* Sets the terminal's settings, again where a signal cut the call short. */
bool TtyIoSetSettings(int when, const struct termios *settings);
/* Writes all bytes, through partial writes, EINTR and EAGAIN. */
bool TtyIoWriteAll(const char *bytes, size_t length);
bool TtyIoWriteText(const std::string &text);
/* Waits up to timeoutMs for input and reads what is there: 0 when none came or a
   signal's wake-up ended the wait; -1 at end of input. */
int TtyIoReadSome(unsigned char *buffer, int size, int timeoutMs);
/* Takes carriage returns and line feeds out of bytes read; the count left. */
int TtyIoDropLineEnds(unsigned char *buffer, int count);

/* ------------------------------------------------------------ answers.cpp */

/* Asks where the cursor stands and how wide ambiguous characters are drawn; the cursor. */
COORD TtyAnswerAskCursor(void);
/* Waits out and reads the answers still owed.  Async-signal-safe. */
void TtyAnswerAwait(void);
/* The same, keeping what else comes for the key reader. */
void TtyAnswerAwaitKeepingKeys(void);
/* Takes the answers still owed out of the input read ahead. */
void TtyAnswerTakeLate(void);

/* ------------------------------------------------------------ present.cpp */

/* Shows the console: the picture's changes, or the lines said since the last present. */
void TtyPresent(const MemConsole *mc);

/* --------------------------------------------------------------- undo.cpp */

bool TtyUndoHas(int step);
void TtyUndoPush(int step);
/* Prebuilds what a signal handler writes to give the terminal back. */
void TtyUndoBuildEmergency(void);
/* Makes every setting again, in the order first made: after a stop the shell undid them. */
void TtyUndoReapply(void);
/* Raw mode again, after a stop that no handler saw. */
void TtyUndoReapplyRawMode(void);
/* Undoes every setting, in the mirror order of setup (DriverRestore). */
void TtyUndoAll(void);

/* ------------------------------------------------------------ signals.cpp */

/* Opens the wake-up pipe, both ends non-blocking. */
bool TtySignalOpenWakePipe(void);
/* Empties the wake-up pipe: the wake-ups it held are answered by the look that follows. */
void TtySignalDrainWakePipe(void);
/* Installs the handlers, and removes them again. */
void TtySignalInstall(void);
void TtySignalRemove(void);

#endif
