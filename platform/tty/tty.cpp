/*
 * The tty driver.  It owns the terminal's file descriptors, its saved
 * settings, the undo stack of every setting it made, the signal handlers,
 * and the front frame (what the terminal shows), which the renderer keeps.
 */
#include "tty.h"

#include "caps.h"
#include "cp437.h"
#include "lines.h"
#include "render.h"
#include "terminfo.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

const int UndoMax = 8; /* settings the undo stack holds at most */
/* How long the start waits for the answers to the cursor questions. */
const int CursorQueryMs = 200;
/* How long after the questions an answer still owed is waited for when the terminal is
   handed back: over a slow link it may come after the start stopped waiting, and then
   it would reach the shell as typed text. */
const int AnswerLimitMs = 1000;
/* How long the rest of an answer begun in one read is waited for in the next. */
const int AnswerRestMs = 50;
/* Written to see how wide the terminal draws them: a box-drawing character and a full
   block, of East Asian ambiguous width, as the game's frames and walls are. */
const unsigned char WidthSample[2] = {0xC4, 0xDB};
/* Saves the player's title on the terminal's stack of titles, and puts it back. */
const char SaveTitle[] = "\x1b[22;0t";
const char RestoreTitle[] = "\x1b[23;0t";
/* The console's size when the game is told in lines: the size its screen is laid out for,
   whatever the terminal's, so that its messages are as long as they were written. */
const int LinesColumns = 81;
const int LinesRows = 46;

namespace {

/* Settings the driver makes, each undone by DriverRestore. */
enum TtyUndo { UndoRawMode, UndoAltScreen, UndoCursor, UndoTitle };

struct TtyState {
    bool open;
    bool ownFd;       /* inFd is /dev/tty, opened by us */
    bool exitHookSet; /* DriverRestore is registered with atexit */
    int inFd;
    int outFd;
    struct termios saved; /* the settings found at open */
    int columns;
    int rows;
    int undo[UndoMax]; /* settings made, oldest first */
    int undoCount;
    char emergencyBytes[160]; /* what TtyEmergencyRestore writes */
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

} // namespace

/* What the signal handlers noted for the driver's next look; set in handlers only. */
static volatile sig_atomic_t Resized;
static volatile sig_atomic_t Resumed;
/* The handlers' wake-up call (read end, write end): a byte written here ends a key
   wait at once, even when the signal came after the last look at the flags and
   before the wait began. */
static int WakePipe[2] = {-1, -1};
/* The stop handler undid every setting before the process stopped. */
static volatile sig_atomic_t GaveBack;
/* Answers to the cursor questions the terminal still owes, and until when they are
   waited for at the end; read by the handlers too. */
static volatile sig_atomic_t AnswersOwed;
static long AnswerDeadlineMs;

static TtyState Tty = {};

static void TtyEmergencyRestore(void);
static void TtyAwaitAnswers(void);
static void TtyAwaitAnswersKeepingKeys(void);
static void TtyDrainWakePipe(void);

/* -------------------------------------------------------------- Waiting */

namespace {

/* What a wait saw: bits of these; none when its time ran out or a signal cut it short. */
enum TtyWaitSeen { WaitReady = 1, WaitWoken = 2, WaitClosed = 4, WaitRefused = 8 };

} // namespace

/* Waits with poll() on fd (for reading, or for writing) and on wakeFd (-1: none). */
static int TtyPoll(int fd, bool writing, int wakeFd, int timeoutMs)
{
    struct pollfd p[2] = {{fd, static_cast<short>(writing ? POLLOUT : POLLIN), 0},
                          {wakeFd, POLLIN, 0}};
    int ready = poll(p, wakeFd >= 0 ? 2 : 1, timeoutMs);
    if (ready < 0)
        return errno == EINTR ? 0 : WaitClosed;
    int seen = wakeFd >= 0 && p[1].revents != 0 ? WaitWoken : 0;
    /* Invalid for a descriptor that is open: this poll does not take terminals. */
    if (p[0].revents & POLLNVAL)
        return fcntl(fd, F_GETFD) == -1 ? seen | WaitClosed : WaitRefused;
    return seen | (p[0].revents != 0 ? WaitReady : 0);
}

/* The same wait with select(), which takes terminals everywhere, for descriptors below
   FD_SETSIZE: a set cannot hold one beyond, and such a terminal counts as closed. */
static int TtySelect(int fd, bool writing, int wakeFd, int timeoutMs)
{
    if (fd < 0 || fd >= FD_SETSIZE || wakeFd >= FD_SETSIZE)
        return WaitClosed;
    fd_set reading, written;
    FD_ZERO(&reading);
    FD_ZERO(&written);
    FD_SET(fd, writing ? &written : &reading);
    if (wakeFd >= 0)
        FD_SET(wakeFd, &reading);
    struct timeval limit = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int ready = select(std::max(fd, wakeFd) + 1, &reading, &written, nullptr,
                       timeoutMs < 0 ? nullptr : &limit);
    if (ready < 0)
        return errno == EINTR ? 0 : WaitClosed;
    int seen = wakeFd >= 0 && FD_ISSET(wakeFd, &reading) ? WaitWoken : 0;
    return seen | (FD_ISSET(fd, writing ? &written : &reading) ? WaitReady : 0);
}

/*
 * Waits up to timeoutMs (negative: no limit) for fd and the wake-up pipe; a
 * TtyWaitSeen.  poll() first, as it has no limit on descriptors; where it
 * refuses the terminal (macOS's poll does not support devices and answers
 * POLLNVAL at once), select() from then on.  Async-signal-safe.
 */
static int TtyWait(int fd, bool writing, int wakeFd, int timeoutMs)
{
    if (!Tty.pollRefuses) {
        int seen = TtyPoll(fd, writing, wakeFd, timeoutMs);
        if (seen != WaitRefused)
            return seen;
        Tty.pollRefuses = true;
    }
    return TtySelect(fd, writing, wakeFd, timeoutMs);
}

/* Sets the terminal's settings, again where a signal cut the call short. */
static bool TtySetSettings(int when, const struct termios *settings)
{
    int result;
    while ((result = tcsetattr(Tty.inFd, when, settings)) != 0 && errno == EINTR) {
    }
    return result == 0;
}

/* ------------------------------------------------------------- Writing */

/* Writes all bytes, through partial writes, EINTR and EAGAIN. */
static bool TtyWriteAll(const char *bytes, size_t length)
{
    while (length > 0) {
        ssize_t n = write(Tty.outFd, bytes, length);
        if (n > 0) {
            bytes += n;
            length -= static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            TtyWait(Tty.outFd, true, -1, 100);
        } else if (n < 0 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

static bool TtyWriteText(const std::string &text)
{
    return TtyWriteAll(text.data(), text.size());
}

/* -------------------------------------------------------------- Signals */

/* Opens the wake-up pipe, both ends non-blocking: a handler never waits on it. */
static bool TtyOpenWakePipe(void)
{
    if (WakePipe[0] >= 0)
        return true;
    int ends[2];
    if (pipe(ends) != 0)
        return false;
    for (int end : ends) {
        fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
        fcntl(end, F_SETFD, FD_CLOEXEC);
    }
    WakePipe[0] = ends[0];
    WakePipe[1] = ends[1];
    return true;
}

/* From a handler: wakes the key wait.  A full pipe already holds a wake-up. */
static void TtyWakeUp(void)
{
    int savedErrno = errno;
    if (write(WakePipe[1], "!", 1) < 0) {
    }
    errno = savedErrno;
}

/* Empties the pipe: the wake-ups it held are answered by the look that follows. */
static void TtyDrainWakePipe(void)
{
    char bytes[64];
    while (read(WakePipe[0], bytes, sizeof bytes) > 0) {
    }
}

/* Signals the driver handles: those that end the program (crashes among them), the
   stop and continue of job control, and resizes; with the actions found before. */
const int HandledSignals[] = {SIGINT, SIGTERM, SIGHUP,  SIGQUIT, SIGSEGV, SIGABRT, SIGBUS,
                              SIGFPE, SIGILL,  SIGPIPE, SIGTSTP, SIGCONT, SIGWINCH};
const int HandledCount = sizeof HandledSignals / sizeof HandledSignals[0];
static struct sigaction ActionsFound[HandledCount];
static bool Handled[HandledCount];
/* A stack of its own for the handlers, so that a stack overflow still restores the terminal. */
static char HandlerStack[64 * 1024];

/* Restores the terminal, then lets the signal end the program as it would have. */
static void TtyOnEndingSignal(int signal)
{
    TtyEmergencyRestore();
    std::signal(signal, SIG_DFL);
    raise(signal); /* delivered when the handler returns: the signal is blocked until then */
}

/* Ctrl-Z: gives the shell its terminal back, stops, and on `fg` asks for the game's terminal again. */
static void TtyOnStop(int)
{
    int savedErrno = errno;
    TtyEmergencyRestore();
    GaveBack = 1;
    struct sigaction stop = {}, ours = {};
    stop.sa_handler = SIG_DFL;
    sigaction(SIGTSTP, &stop, &ours);
    sigset_t tstp;
    sigemptyset(&tstp);
    sigaddset(&tstp, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &tstp, nullptr);
    raise(SIGTSTP); /* the process stops here until it is continued */
    sigaction(SIGTSTP, &ours, nullptr);
    Resumed = 1;
    TtyWakeUp();
    errno = savedErrno;
}

static void TtyOnContinue(int)
{
    Resumed = 1;
    TtyWakeUp();
}

static void TtyOnResize(int)
{
    Resized = 1;
    TtyWakeUp();
}

static void (*TtyHandlerFor(int signal))(int)
{
    if (signal == SIGTSTP)
        return TtyOnStop;
    if (signal == SIGCONT)
        return TtyOnContinue;
    if (signal == SIGWINCH)
        return TtyOnResize;
    return TtyOnEndingSignal;
}

/* Installs the handlers, leaving alone signals that were ignored (as under nohup). No
   SA_RESTART: a signal wakes a key wait, so that a resize or a resume is seen at once. */
static void TtyInstallHandlers(void)
{
    if (Tty.handlersSet)
        return;
    stack_t stack = {};
    stack.ss_sp = HandlerStack;
    stack.ss_size = sizeof HandlerStack;
    sigaltstack(&stack, nullptr);
    for (int i = 0; i < HandledCount; i++) {
        struct sigaction found = {};
        sigaction(HandledSignals[i], nullptr, &found);
        if (found.sa_handler == SIG_IGN)
            continue;
        struct sigaction ours = {};
        ours.sa_handler = TtyHandlerFor(HandledSignals[i]);
        ours.sa_flags = SA_ONSTACK;
        sigemptyset(&ours.sa_mask);
        Handled[i] = sigaction(HandledSignals[i], &ours, &ActionsFound[i]) == 0;
    }
    Tty.handlersSet = true;
}

static void TtyRemoveHandlers(void)
{
    if (!Tty.handlersSet)
        return;
    for (int i = 0; i < HandledCount; i++)
        if (Handled[i])
            sigaction(HandledSignals[i], &ActionsFound[i], nullptr);
    Tty.handlersSet = false;
}

/* Makes every setting again, in the order first made: after a stop the shell had them undone. */
static void TtyReapplySettings(void)
{
    std::string bytes;
    for (int i = 0; i < Tty.undoCount; i++) {
        switch (Tty.undo[i]) {
        case UndoRawMode:
            TtySetSettings(TCSANOW, &Tty.raw);
            break;
        case UndoAltScreen:
            bytes += Tty.caps.enterScreen;
            break;
        case UndoCursor:
            bytes += Tty.caps.hideCursor;
            break;
        case UndoTitle:
            bytes += SaveTitle;
            break;
        }
    }
    if (Tty.acsEnabled)
        bytes += Tty.caps.enableAcs;
    if (Tty.caps.title && Tty.caps.titleStack && !Tty.title.empty())
        bytes += Tty.caps.titleStart + Tty.title + Tty.caps.titleEnd;
    TtyWriteText(bytes);
}

/* After a stop that no handler saw (SIGSTOP), the screen, the cursor and the title are
   still as we set them; only the shell may have put its own settings back meanwhile. */
static void TtyReapplyRawMode(void)
{
    for (int i = 0; i < Tty.undoCount; i++)
        if (Tty.undo[i] == UndoRawMode)
            TtySetSettings(TCSANOW, &Tty.raw);
}

/* ---------------------------------------------------------- Undo stack */

static std::string TtyUndoBytes(int step)
{
    switch (step) {
    case UndoAltScreen:
        return Tty.caps.leaveScreen;
    case UndoCursor:
        return Tty.caps.showCursor;
    case UndoTitle:
        return RestoreTitle;
    default:
        return "";
    }
}

/* The colours back to the terminal's own, where the game sets any. */
static std::string TtyResetBytes(void)
{
    return CapsHasVideo(Tty.caps) ? "\x1b[0m" : "";
}

static bool TtyHasUndo(int step)
{
    for (int i = 0; i < Tty.undoCount; i++)
        if (Tty.undo[i] == step)
            return true;
    return false;
}

/* Prebuilds the restore string for a signal handler: colours back, then every
   undo in mirror order (the saved settings follow with tcsetattr). */
static void TtyBuildEmergency(void)
{
    Tty.emergencyLength = 0;
    if (Tty.lines)
        return; /* lines of text set nothing on the terminal but its modes */
    /* A signal may come in the middle of a frame that set a scroll region or drew lines. */
    std::string bytes = Tty.caps.scrollRegion ? "\x1b[r" : "";
    if (!Tty.caps.utf8)
        bytes += Tty.caps.leaveAcs;
    bytes += TtyResetBytes();
    for (int i = Tty.undoCount - 1; i >= 0; i--)
        bytes += TtyUndoBytes(Tty.undo[i]);
    /* On the shell's own screen, its next words go below the picture rather than into it. */
    if (!TtyHasUndo(UndoAltScreen) && Tty.rows > 0)
        bytes += "\x1b[" + std::to_string(Tty.rows) + ";1H";
    size_t length = std::min(bytes.size(), sizeof Tty.emergencyBytes);
    std::memcpy(Tty.emergencyBytes, bytes.data(), length);
    Tty.emergencyLength = static_cast<sig_atomic_t>(length);
}

static void TtyPushUndo(int step)
{
    if (TtyHasUndo(step) || Tty.undoCount == UndoMax)
        return;
    Tty.undo[Tty.undoCount++] = step;
    TtyBuildEmergency();
}

/* A blank picture left on the shell's own screen is erased in the terminal's own
   colours, so that the shell goes on in its colours rather than in the game's black. */
static std::string TtyEraseBlankPicture(void)
{
    if (TtyHasUndo(UndoAltScreen) || !Tty.caps.eraseScreen || !RenderShowsBlank(Tty.front))
        return "";
    return "\x1b[H\x1b[2J";
}

/* Hands back what lines of text took: the keys' terminal, where they came from one. */
static void TtyRestoreLines(void)
{
    if (TtyHasUndo(UndoRawMode))
        TtySetSettings(TCSADRAIN, &Tty.saved);
    Tty.undoCount = 0;
    TtyRemoveHandlers();
}

void DriverRestore(void)
{
    if (Tty.lines && Tty.open) {
        TtyRestoreLines();
        return;
    }
    Tty.drawn = false;
    if (Tty.open)
        TtyAwaitAnswersKeepingKeys();
    /* A picture leaves its colours set, even where no other setting could be made. */
    bool coloured = Tty.front.attr >= 0;
    if (!Tty.open || (Tty.undoCount == 0 && !coloured))
        return;
    std::string bytes = TtyResetBytes() + TtyEraseBlankPicture();
    while (Tty.undoCount > 0) {
        int step = Tty.undo[--Tty.undoCount];
        bytes += TtyUndoBytes(step);
        if (step == UndoRawMode) {
            TtyWriteText(bytes);
            bytes.clear();
            TtySetSettings(TCSADRAIN, &Tty.saved);
        }
    }
    TtyWriteText(bytes);
    Tty.front.known = false;
    Tty.front.attr = -1;
    Tty.screenWanted = false;
    Tty.titlePending = false;
    TtyBuildEmergency();
    TtyRemoveHandlers();
}

/* Async-signal-safe restore: writes the prebuilt restore string and puts the saved
   terminal settings back, without touching any other state. */
static void TtyEmergencyRestore(void)
{
    if (!Tty.open)
        return;
    size_t length = static_cast<size_t>(Tty.emergencyLength);
    if (length > 0 && write(Tty.outFd, Tty.emergencyBytes, length) < 0)
        length = 0;
    TtyAwaitAnswers();
    TtySetSettings(TCSANOW, &Tty.saved);
}

/* ------------------------------------------------------ Opening the tty */

/* Standard input and output when both are terminals, else /dev/tty. */
static bool TtyFindTerminal(void)
{
    if (isatty(STDIN_FILENO) && isatty(STDOUT_FILENO)) {
        Tty.inFd = STDIN_FILENO;
        Tty.outFd = STDOUT_FILENO;
        Tty.ownFd = false;
        return true;
    }
    int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    Tty.inFd = fd;
    Tty.outFd = fd;
    Tty.ownFd = true;
    return true;
}

/* No line input, no echo, 8-bit bytes; signals stay on for Ctrl-C and
   Ctrl-Z.  Output processing is left as found (a failure report's lines end
   as the shell's do), but a carriage return goes out as it is and always:
   the cursor moves take it to the row's start. */
static void TtyEnterRawMode(void)
{
    if (TtyHasUndo(UndoRawMode))
        return;
    struct termios raw = Tty.saved;
    raw.c_iflag &=
        ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | IEXTEN);
    raw.c_oflag &= ~static_cast<tcflag_t>(OCRNL | ONOCR);
    raw.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
    raw.c_cflag |= CS8;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    Tty.raw = raw;
    if (TtySetSettings(TCSANOW, &raw))
        TtyPushUndo(UndoRawMode);
}

static void TtyQuerySize(void)
{
    if (Tty.lines)
        return; /* the size of a console that is never shown */
    struct winsize size = {};
    if ((ioctl(Tty.outFd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) &&
        (ioctl(Tty.inFd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0)) {
        size.ws_col = 80;
        size.ws_row = 24;
    }
    Tty.columns = std::min(static_cast<int>(size.ws_col), static_cast<int>(SHRT_MAX));
    Tty.rows = std::max(1, std::min(static_cast<int>(size.ws_row), static_cast<int>(SHRT_MAX)));
}

long DriverNowMs(void)
{
    struct timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

/* Waits up to timeoutMs for input and reads what is there: 0 when none came or a
   signal's wake-up ended the wait; -1 at end of input. */
static int TtyReadSome(unsigned char *buffer, int size, int timeoutMs)
{
    int seen = TtyWait(Tty.inFd, false, WakePipe[0], timeoutMs);
    if (seen & WaitWoken)
        TtyDrainWakePipe();
    if (seen & WaitClosed)
        return -1;
    if (!(seen & WaitReady))
        return 0;
    ssize_t n = read(Tty.inFd, buffer, static_cast<size_t>(size));
    if (n < 0)
        return (errno == EINTR || errno == EAGAIN) ? 0 : -1;
    return n == 0 ? -1 : static_cast<int>(n);
}

bool TtyTakeCursorReport(std::string *bytes, int *row, int *column)
{
    for (size_t start = bytes->find("\x1b["); start != std::string::npos;
         start = bytes->find("\x1b[", start + 1)) {
        size_t at = start + 2;
        long numbers[2] = {0, 0};
        int digits[2] = {0, 0};
        int index = 0;
        for (; at < bytes->size() && index < 2; at++) {
            char c = (*bytes)[at];
            if (c >= '0' && c <= '9' && digits[index] < 5) {
                numbers[index] = numbers[index] * 10 + (c - '0');
                digits[index]++;
            } else if (c == ';' && index == 0 && digits[0] > 0) {
                index = 1;
            } else if (c == 'R' && index == 1 && digits[1] > 0) {
                index = 2;
            } else {
                break;
            }
        }
        if (index == 2) {
            *row = static_cast<int>(numbers[0]);
            *column = static_cast<int>(numbers[1]);
            bytes->erase(start, at - start);
            return true;
        }
    }
    return false;
}

/* ------------------------------------------------- The terminal's answers */

/* The step of TtyAnswerStep at the end of an answer. */
const int AnswerDone = 6;

/* Follows an answer (ESC [ digits ; digits R) byte by byte: the step reached after
   byte, AnswerDone at the answer's end, 0 outside one. */
static int TtyAnswerStep(int step, unsigned char byte)
{
    bool digit = byte >= '0' && byte <= '9';
    switch (step) {
    case 1:
        if (byte == '[')
            return 2;
        break;
    case 2:
    case 4:
        if (digit)
            return step + 1;
        break;
    case 3:
        if (digit || byte == ';')
            return digit ? 3 : 4;
        break;
    case 5:
        if (digit || byte == 'R')
            return digit ? 5 : AnswerDone;
        break;
    }
    return byte == 0x1b ? 1 : 0;
}

/*
 * Waits for the answers the terminal still owes, until their time is up, and
 * reads them, so that none is left for the shell to print after the program;
 * whatever else comes meanwhile goes with them, as the program is ending.  A
 * terminal that never answers is waited for only until that limit after the
 * questions: no wait at all once the game has gone on longer.
 * Async-signal-safe: the handlers call it before they hand the terminal back.
 */
static void TtyAwaitAnswers(void)
{
    for (int step = 0; AnswersOwed > 0;) {
        long left = AnswerDeadlineMs - DriverNowMs();
        int seen = left > 0 ? TtyWait(Tty.inFd, false, -1, static_cast<int>(left)) : WaitClosed;
        if (seen & WaitClosed)
            break;
        unsigned char bytes[64];
        ssize_t n = seen & WaitReady ? read(Tty.inFd, bytes, sizeof bytes) : 0;
        if (n == 0 && (seen & WaitReady))
            break; /* the terminal hung up */
        for (ssize_t i = 0; i < n; i++)
            if ((step = TtyAnswerStep(step, bytes[i])) == AnswerDone)
                AnswersOwed = AnswersOwed - 1;
    }
    AnswersOwed = 0;
}

/* Whether bytes end in what may be the start of an answer: ESC, then [, digits and ';'. */
static bool TtyEndsInPartialAnswer(const std::string &bytes)
{
    size_t escape = bytes.rfind('\x1b');
    if (escape == std::string::npos || bytes.size() - escape > 12)
        return false;
    int step = 0;
    for (size_t i = escape; i < bytes.size(); i++)
        step = TtyAnswerStep(step, static_cast<unsigned char>(bytes[i]));
    return step != 0 && step != AnswerDone;
}

/* Takes the answers still owed out of the bytes the key reader has waiting, with the
   rest of one begun: an answer that came after the start stopped waiting is no key. */
static void TtyTakeLateAnswers(void)
{
    for (int reads = 0; AnswersOwed > 0 && TtyEndsInPartialAnswer(Tty.pendingInput) && reads < 4;
         reads++) {
        unsigned char chunk[64];
        int n = TtyReadSome(chunk, sizeof chunk, AnswerRestMs);
        if (n <= 0)
            break;
        Tty.pendingInput.append(reinterpret_cast<char *>(chunk), static_cast<size_t>(n));
    }
    int row = 0, column = 0;
    while (AnswersOwed > 0 && TtyTakeCursorReport(&Tty.pendingInput, &row, &column))
        AnswersOwed = AnswersOwed - 1;
}

/*
 * Waits for the answers still owed, as TtyAwaitAnswers does, but keeps what
 * else comes for the key reader: the terminal may be taken again at once
 * (a new console at start), and keys typed before the first screen are the
 * game's.
 */
static void TtyAwaitAnswersKeepingKeys(void)
{
    for (long left; AnswersOwed > 0 && (left = AnswerDeadlineMs - DriverNowMs()) > 0;) {
        unsigned char chunk[64];
        int n = TtyReadSome(chunk, sizeof chunk, static_cast<int>(left));
        if (n < 0)
            break;
        Tty.pendingInput.append(reinterpret_cast<char *>(chunk), static_cast<size_t>(n));
        TtyTakeLateAnswers();
    }
    AnswersOwed = 0;
}

/*
 * The questions asked of the terminal at start: where its cursor stands
 * (DSR 6n) and, on a UTF-8 terminal with an alternate screen, how wide it
 * draws the characters of East Asian ambiguous width, which terminals set
 * for Chinese, Japanese or Korean draw two cells wide: a box-drawing
 * character and a full block at the start of the alternate screen's second
 * row, the cursor asked for again, the two erased and the shell's screen
 * back, all in one write, so that both answers come in the time of one.
 * (On the second row an answer that comes too late is no key: ESC [ 1 ; n R
 * would be a modified F3.)
 */
static std::string TtyCursorQuestions(bool measureWidth)
{
    std::string ask = "\x1b[6n";
    if (measureWidth)
        ask += Tty.caps.enterScreen + "\x1b[2;1H" + Cp437ToUtf8(WidthSample[0]) +
               Cp437ToUtf8(WidthSample[1]) + "\x1b[6n\x1b[2;1H    " + Tty.caps.leaveScreen;
    return ask;
}

/*
 * Asks the terminal where the cursor is, and whether it draws the ambiguous
 * characters two cells wide: then every glyph goes as a narrow one (lines
 * dashed, the block as a reversed space, the rest in ASCII), since its own
 * line drawing is as wide, being drawn with the same characters.  Bytes
 * typed meanwhile are kept in pendingInput for the key reader.  No answer: the
 * bottom-left corner, and one cell each.
 */
static COORD TtyAskCursor(void)
{
    COORD guess = {0, static_cast<SHORT>(Tty.rows - 1)};
    bool measureWidth = Tty.caps.utf8 && !Tty.caps.enterScreen.empty();
    if (!Tty.caps.cursorReport)
        return guess;
    int answers[2][2] = {}; /* row, column */
    int answered = 0, wanted = measureWidth ? 2 : 1;
    AnswerDeadlineMs = DriverNowMs() + AnswerLimitMs;
    AnswersOwed = wanted;
    if (!TtyWriteText(TtyCursorQuestions(measureWidth))) {
        AnswersOwed = 0;
        return guess;
    }
    std::string got;
    long deadline = DriverNowMs() + CursorQueryMs;
    for (long left = CursorQueryMs; answered < wanted && left > 0;
         left = deadline - DriverNowMs()) {
        unsigned char chunk[64];
        int n = TtyReadSome(chunk, sizeof chunk, static_cast<int>(left));
        if (n < 0)
            break;
        got.append(reinterpret_cast<char *>(chunk), static_cast<size_t>(n));
        while (answered < wanted &&
               TtyTakeCursorReport(&got, &answers[answered][0], &answers[answered][1]))
            AnswersOwed = wanted - ++answered;
    }
    Tty.pendingInput += got;
    TtyTakeLateAnswers();
    /* Written from the first column, the two end before the fourth where each takes one
       cell. */
    Tty.caps.wideAmbiguous = answered == 2 && answers[1][1] > 3;
    if (answered == 0)
        return guess;
    return COORD{static_cast<SHORT>(std::max(answers[0][1] - 1, 0)),
                 static_cast<SHORT>(std::max(answers[0][0] - 1, 0))};
}

/* The character of each byte 0x80 to 0xFF in the locale's single-byte character set. */
static void TtyReadHighBytes(void)
{
    for (int byte = 0x80; byte <= 0xFF; byte++) {
        char text = static_cast<char>(byte);
        wchar_t wide = 0;
        std::mbstate_t state = {};
        size_t length = std::mbrtowc(&wide, &text, 1, &state);
        Tty.highBytes[byte - 0x80] = length == 1 ? static_cast<char32_t>(wide) : 0;
    }
}

/* Whether the locale's codeset is UTF-8, however the system spells it ("UTF-8", or
   "utf-8" after a locale named so, as on macOS, or "UTF8"). */
static bool TtyIsUtf8Codeset(const char *codeset)
{
    std::string letters;
    for (const char *c = codeset; c != nullptr && *c != '\0'; c++)
        if (*c != '-' && *c != '_')
            letters += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    return letters == "utf8";
}

/* The locale's character set: UTF-8, or single bytes, whose characters are noted. */
static void TtyReadLocale(void)
{
    std::setlocale(LC_CTYPE, "");
    Tty.singleByte = !TtyIsUtf8Codeset(nl_langinfo(CODESET));
    if (Tty.singleByte)
        TtyReadHighBytes();
}

/* What the terminal can do, from TERM's entry, and the locale's characters; a TerminfoVerdict. */
static int TtyReadCapabilities(void)
{
    TtyReadLocale();
    int verdict = TerminfoRead(std::getenv("TERM"), !Tty.singleByte, std::getenv("TMUX") != nullptr,
                               &Tty.caps);
    /* NO_COLOR, present and not empty: no colour at all, whatever the terminal can do. */
    const char *noColour = std::getenv("NO_COLOR");
    if (noColour != nullptr && noColour[0] != '\0')
        Tty.caps.colours = CapsColoursNone;
    /* macOS's Terminal answers to xterm's name but keeps no stack of titles. */
    const char *program = std::getenv("TERM_PROGRAM");
    if (program != nullptr && std::strcmp(program, "Apple_Terminal") == 0)
        Tty.caps.titleStack = false;
    return verdict;
}

/* Lets go of a terminal that will not be played on. */
static int TtyRefuse(int why)
{
    if (Tty.ownFd)
        close(Tty.inFd);
    return why;
}

/* Standard input, output and error open, on /dev/null where one was closed, so that no
   descriptor the driver opens takes a standard one's number. */
static void TtyKeepStandardFilesOpen(void)
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; fd++)
        if (fcntl(fd, F_GETFD) == -1 && open("/dev/null", O_RDWR) < 0)
            return;
}

/*
 * Opens the game told in lines: keys from standard input, in raw mode where
 * it is a terminal, and lines to standard output, whatever they are and
 * whatever TERM says; a console of the size the screen is laid out for.
 */
static int TtyOpenLines(DriverScreen *screen)
{
    if (!Tty.open) {
        TtyKeepStandardFilesOpen();
        Tty.inFd = STDIN_FILENO;
        Tty.outFd = STDOUT_FILENO;
        Tty.ownFd = false;
        if (!TtyOpenWakePipe())
            return DriverNoTerminal;
        TtyReadLocale();
        LinesReset(&Tty.teller, Tty.singleByte ? Tty.highBytes : nullptr);
        Tty.open = true;
        if (!Tty.exitHookSet && std::atexit(DriverRestore) == 0)
            Tty.exitHookSet = true;
        if (isatty(Tty.inFd) && tcgetattr(Tty.inFd, &Tty.saved) == 0)
            TtyEnterRawMode();
        TtyInstallHandlers();
        Tty.columns = LinesColumns;
        Tty.rows = LinesRows;
    }
    *screen = DriverScreen{LinesColumns, LinesRows, LinesColumns, LinesRows, COORD{0, 0}, false};
    return DriverOpened;
}

int DriverShowLines(void)
{
    if (Tty.open)
        return 0;
    Tty.lines = true;
    return 1;
}

int DriverOpen(DriverScreen *screen)
{
    if (Tty.lines)
        return TtyOpenLines(screen);
    if (!Tty.open) {
        if (!TtyFindTerminal())
            return DriverNoTerminal;
        int verdict = TtyReadCapabilities();
        if (verdict == TerminfoUnset)
            return TtyRefuse(DriverTermUnset);
        if (verdict == TerminfoCannotAddress)
            return TtyRefuse(DriverCannotAddress);
        if (tcgetattr(Tty.inFd, &Tty.saved) != 0 || !TtyOpenWakePipe())
            return TtyRefuse(DriverNoTerminal);
        Tty.open = true;
        if (!Tty.exitHookSet && std::atexit(DriverRestore) == 0)
            Tty.exitHookSet = true;
        TtyEnterRawMode();
        TtyInstallHandlers();
        TtyQuerySize();
        TtyBuildEmergency();
        Tty.front.known = false;
        Tty.front.attr = -1;
    }
    *screen = DriverScreen{Tty.columns, Tty.rows, Tty.columns, Tty.rows, TtyAskCursor(), false};
    return DriverOpened;
}

/* The terminal lets every call go. */
DWORD DriverCheckCall(const char *)
{
    return ERROR_SUCCESS;
}

/* What was drawn goes out at the next wait, all of it in one write. */
void DriverNoteDrawing(const MemConsole *)
{
    Tty.drawn = true;
}

int DriverTakeEvents(int *columns, int *rows)
{
    int events = 0;
    if (Resumed) {
        Resumed = 0;
        if (GaveBack) {
            GaveBack = 0;
            TtyReapplySettings();
            if (Tty.lines)
                LinesSayAgain(&Tty.teller); /* the shell has spoken meanwhile */
        } else {
            TtyReapplyRawMode();
        }
        events |= DriverResumed;
    }
    /* A resize while stopped signals the shell, not us: on resume the size is asked anew too.
       The flag is taken before the size is asked, so that a resize signalled meanwhile
       stays noted for the next look. */
    bool resized = Resized != 0;
    Resized = 0;
    if (resized || (events & DriverResumed)) {
        int columnsBefore = Tty.columns, rowsBefore = Tty.rows;
        TtyQuerySize();
        if (resized || columnsBefore != Tty.columns || rowsBefore != Tty.rows)
            events |= DriverResized;
        TtyBuildEmergency(); /* it places the cursor on the last row, which may have moved */
    }
    if (events != 0)
        Tty.front.known = false;
    *columns = Tty.columns;
    *rows = Tty.rows;
    return events;
}

int DriverEnterScreen(void)
{
    if (!Tty.open)
        return 0;
    TtyEnterRawMode();
    TtyInstallHandlers();
    Tty.screenWanted = !TtyHasUndo(UndoAltScreen) && !Tty.caps.enterScreen.empty();
    Tty.front.known = false;
    return 1;
}

/* --------------------------------------------------------------- Output */

/* The settings asked for since the last present: the alternate screen, then the title. */
static void TtyAppendSettings(std::string *out)
{
    const Caps &caps = Tty.caps;
    if (Tty.screenWanted) {
        out->append(caps.enterScreen);
        TtyPushUndo(UndoAltScreen);
        Tty.screenWanted = false;
    }
    /* enacs only makes line drawing selectable (screen puts it in G1); nothing the shell
       uses selects it, so there is nothing to undo. */
    if (!Tty.acsEnabled && !caps.utf8 && !caps.enterAcs.empty()) {
        out->append(caps.enableAcs);
        Tty.acsEnabled = true;
    }
    /* A title that could not be put back would outlive the game. */
    if (Tty.titlePending && caps.title && caps.titleStack) {
        if (!TtyHasUndo(UndoTitle)) {
            out->append(SaveTitle);
            TtyPushUndo(UndoTitle);
        }
        out->append(caps.titleStart).append(Tty.title).append(caps.titleEnd);
    }
    Tty.titlePending = false;
}

void DriverPresent(const MemConsole *mc)
{
    if (Tty.lines && Tty.open) {
        TtyWriteText(LinesTake(&Tty.teller));
        return;
    }
    if (!Tty.open || !Tty.drawn)
        return;
    Tty.out.clear();
    TtyAppendSettings(&Tty.out);
    RenderFrameOf(mc, &Tty.want);
    RenderUpdate(Tty.want, &Tty.front, Tty.columns, Tty.rows, &Tty.out, Tty.caps);
    if (!mc->cursorVisible && !Tty.caps.hideCursor.empty())
        TtyPushUndo(UndoCursor);
    TtyWriteText(Tty.out);
}

/* Ctrl-L: the whole picture again, or in lines the state of the game said again. */
void DriverForgetScreen(void)
{
    Tty.front.known = false;
    if (Tty.lines && Tty.open)
        LinesSayAgain(&Tty.teller);
}

/* In lines the announcements are what is told; a picture has nothing beside it to read them. */
void DriverAnnounce(int channel, const char *text)
{
    if (Tty.lines && Tty.open)
        LinesAnnounce(&Tty.teller, channel, text);
}

void DriverSetTitle(const std::string &title)
{
    if (!Tty.open)
        return;
    if (Tty.lines) {
        LinesSayTitle(&Tty.teller, title);
        return;
    }
    Tty.title = Cp437TextToUtf8(title);
    Tty.titlePending = true;
}

/* ---------------------------------------------------------------- Input */

/* Takes carriage returns and line feeds out of bytes read: in lines they are no keys, since
   a line-oriented link (a pipe, an editor's shell) ends every answer with one.  The count left. */
static int TtyDropLineEnds(unsigned char *buffer, int count)
{
    int kept = 0;
    for (int i = 0; i < count; i++)
        if (buffer[i] != '\r' && buffer[i] != '\n')
            buffer[kept++] = buffer[i];
    return kept;
}

int DriverReadBytes(unsigned char *buffer, int size, int timeoutMs)
{
    if (size <= 0)
        return 0;
    if (Tty.lines) {
        int n = Tty.open ? TtyReadSome(buffer, size, timeoutMs) : -1;
        return n > 0 ? TtyDropLineEnds(buffer, n) : n;
    }
    if (Tty.pendingInput.empty()) {
        if (!Tty.open)
            return -1;
        int n = TtyReadSome(buffer, size, timeoutMs);
        if (n <= 0 || AnswersOwed == 0)
            return n;
        Tty.pendingInput.assign(reinterpret_cast<char *>(buffer), static_cast<size_t>(n));
        TtyTakeLateAnswers();
    }
    size_t n = std::min(static_cast<size_t>(size), Tty.pendingInput.size());
    std::memcpy(buffer, Tty.pendingInput.data(), n);
    Tty.pendingInput.erase(0, n);
    return static_cast<int>(n);
}

/* ---------------------------------------------------------------- Waits */

void DriverSleepMs(int ms)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < deadline)
        std::this_thread::sleep_until(deadline);
}

/* --------------------------------------------------- Character set */

const char32_t *DriverKeyCharset(void)
{
    return Tty.singleByte ? Tty.highBytes : nullptr;
}
