/*
 * The terminal driver, output half.  The renderer is pure; the driver owns
 * the terminal's file descriptors, its saved settings, the undo stack of
 * every setting it made, and the front frame (what the terminal shows).
 */
#include "console/posix/terminal.h"

#include "console/posix/cp437.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

/* Settings the driver makes, each undone by TermRestore. */
enum TermUndo { UNDO_RAW_MODE, UNDO_ALT_SCREEN, UNDO_CURSOR, UNDO_TITLE };

const int UNDO_MAX = 8;
/* How long the terminal has to answer the cursor position query. */
const int CURSOR_QUERY_MS = 200;
/* Attribute bits beyond the colours that the terminal can show. */
const WORD ATTR_REVERSE = 0x4000;
const WORD ATTR_UNDERSCORE = 0x8000;
const WORD ATTR_SHOWN = 0xC0FF;

struct TermState {
    bool open;
    bool ownFd;             /* inFd is /dev/tty, opened by us */
    bool exitHookSet;       /* TermRestore is registered with atexit */
    int inFd;
    int outFd;
    struct termios saved;   /* the settings found at open */
    int columns;
    int rows;
    int undo[UNDO_MAX];     /* settings made, oldest first */
    int undoCount;
    char emergency[64];     /* the bytes of TermEmergencyRestore */
    volatile sig_atomic_t emergencyLength;
    TermFrame front;        /* what the terminal shows */
    TermFrame want;         /* reused by TermPresent */
    std::string out;        /* reused by TermPresent */
    std::string pending;    /* input bytes that came during the cursor query */
    std::string title;      /* the title set, in UTF-8, to set again on resume */
    struct termios raw;     /* the raw settings, to enter again on resume */
    bool handlersSet;       /* our signal handlers are installed */
};

/* What the signal handlers noted for the driver's next look; set in handlers only. */
volatile sig_atomic_t Resized;
volatile sig_atomic_t Resumed;

TermState Term = {};

/* Where the renderer's output has left the terminal's cursor and colours. */
struct Pen {
    int x;
    int y;
    bool placed; /* false: position unknown, so the next cell needs a CUP */
    int attr;    /* -1: the terminal's default colours (after SGR 0) */
};

} // namespace

/* ------------------------------------------------------------- Renderer */

void TermFrameOf(const MemConsole *mc, TermFrame *frame)
{
    frame->width = mc->width;
    frame->height = mc->height;
    frame->cells = mc->cells;
    frame->cursor = mc->cursor;
    frame->cursorVisible = mc->cursorVisible;
    frame->known = true;
}

/* Moves the terminal cursor: CUF along the row, CUP anywhere else. */
static void RenderMove(Pen *pen, int x, int y, std::string *out)
{
    if (pen->placed && pen->y == y && pen->x == x)
        return;
    out->append("\x1b[");
    if (pen->placed && pen->y == y && x > pen->x) {
        if (x - pen->x > 1)
            out->append(std::to_string(x - pen->x));
        out->push_back('C');
    } else {
        out->append(std::to_string(y + 1)).append(";").append(std::to_string(x + 1));
        out->push_back('H');
    }
    *pen = Pen{x, y, true, pen->attr};
}

/* Windows colour bits (blue 1, green 2, red 4) in ANSI order (red 1, blue 4). */
static int AnsiColour(int windowsColour)
{
    return ((windowsColour & 1) << 2) | (windowsColour & 2) | ((windowsColour & 4) >> 2);
}

/* Sends the SGR for an attribute, unless the terminal already draws in it. */
static void RenderAttr(Pen *pen, WORD attr, std::string *out)
{
    int shown = attr & ATTR_SHOWN;
    if (pen->attr == shown)
        return;
    int fg = attr & 0xF;
    int bg = (attr >> 4) & 0xF;
    out->append("\x1b[");
    if (pen->attr >= 0 && (pen->attr & ~shown & (ATTR_REVERSE | ATTR_UNDERSCORE)))
        out->append("0;");
    out->append(std::to_string((fg & 8 ? 90 : 30) + AnsiColour(fg & 7)));
    out->append(";").append(std::to_string((bg & 8 ? 100 : 40) + AnsiColour(bg & 7)));
    if (attr & ATTR_REVERSE)
        out->append(";7");
    if (attr & ATTR_UNDERSCORE)
        out->append(";4");
    out->push_back('m');
    pen->attr = shown;
}

static bool SameCell(const MemCell &a, const MemCell &b)
{
    return a.ch == b.ch && a.attr == b.attr;
}

/* Sends the cells that differ from the front; returns whether any was sent. */
static bool RenderCells(const TermFrame &want, const TermFrame &front, bool all, int columns,
                        int rows, Pen *pen, std::string *out)
{
    bool sent = false;
    int width = std::min(want.width, columns);
    int height = std::min(want.height, rows);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            size_t at = static_cast<size_t>(y) * static_cast<size_t>(want.width) +
                        static_cast<size_t>(x);
            if (!all && SameCell(want.cells[at], front.cells[at]))
                continue;
            RenderMove(pen, x, y, out);
            RenderAttr(pen, want.cells[at].attr, out);
            out->append(Cp437ToUtf8(want.cells[at].ch));
            pen->x++;
            /* Terminals differ on where the cursor is after the last column. */
            if (x == columns - 1)
                pen->placed = false;
            sent = true;
        }
    }
    return sent;
}

void TermRender(const TermFrame &want, TermFrame *front, int columns, int rows,
                std::string *out)
{
    bool all = !front->known || front->width != want.width || front->height != want.height;
    bool showChange = all || front->cursorVisible != want.cursorVisible;
    Pen pen = {0, 0, false, -1};
    if (showChange && !want.cursorVisible)
        out->append("\x1b[?25l");
    bool sent = RenderCells(want, *front, all, columns, rows, &pen, out);
    if (pen.attr >= 0)
        out->append("\x1b[0m");
    bool cursorOnScreen = want.cursor.X < columns && want.cursor.Y < rows;
    if (want.cursorVisible && cursorOnScreen) {
        bool moved = front->cursor.X != want.cursor.X || front->cursor.Y != want.cursor.Y;
        if (sent || moved || showChange)
            RenderMove(&pen, want.cursor.X, want.cursor.Y, out);
        if (showChange)
            out->append("\x1b[?25h");
    }
    *front = want;
    front->known = true;
}

/* ------------------------------------------------------------- Writing */

/* Writes all bytes, through partial writes, EINTR and EAGAIN. */
static bool TermWriteAll(const char *bytes, size_t length)
{
    while (length > 0) {
        ssize_t n = write(Term.outFd, bytes, length);
        if (n > 0) {
            bytes += n;
            length -= static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            struct pollfd p = {Term.outFd, POLLOUT, 0};
            poll(&p, 1, 100);
        } else if (n < 0 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

static bool TermWriteText(const std::string &text)
{
    return TermWriteAll(text.data(), text.size());
}

/* -------------------------------------------------------------- Signals */

/* Signals the driver handles: those that end the program (crashes among them), the
   stop and continue of job control, and resizes; with the actions found before. */
static const int HandledSignals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT,  SIGSEGV, SIGABRT,
                                     SIGBUS,  SIGFPE,  SIGILL,  SIGTSTP,  SIGCONT, SIGWINCH};
static const int HandledCount = sizeof HandledSignals / sizeof HandledSignals[0];
static struct sigaction ActionsFound[HandledCount];
static bool Handled[HandledCount];
/* A stack of its own for the handlers, so that a stack overflow still restores the terminal. */
static char HandlerStack[64 * 1024];

/* Restores the terminal, then lets the signal end the program as it would have. */
static void OnEndingSignal(int signal)
{
    TermEmergencyRestore();
    std::signal(signal, SIG_DFL);
    raise(signal); /* delivered when the handler returns: the signal is blocked until then */
}

/* Ctrl-Z: gives the shell its terminal back, stops, and on `fg` asks for the game's terminal again. */
static void OnStop(int)
{
    int savedErrno = errno;
    TermEmergencyRestore();
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
    errno = savedErrno;
}

static void OnContinue(int)
{
    Resumed = 1;
}

static void OnResize(int)
{
    Resized = 1;
}

static void (*HandlerFor(int signal))(int)
{
    if (signal == SIGTSTP)
        return OnStop;
    if (signal == SIGCONT)
        return OnContinue;
    if (signal == SIGWINCH)
        return OnResize;
    return OnEndingSignal;
}

/* Installs the handlers, leaving alone signals that were ignored (as under nohup). No
   SA_RESTART: a signal wakes a key wait, so that a resize or a resume is seen at once. */
static void InstallHandlers(void)
{
    if (Term.handlersSet)
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
        ours.sa_handler = HandlerFor(HandledSignals[i]);
        ours.sa_flags = SA_ONSTACK;
        sigemptyset(&ours.sa_mask);
        Handled[i] = sigaction(HandledSignals[i], &ours, &ActionsFound[i]) == 0;
    }
    Term.handlersSet = true;
}

static void RemoveHandlers(void)
{
    if (!Term.handlersSet)
        return;
    for (int i = 0; i < HandledCount; i++)
        if (Handled[i])
            sigaction(HandledSignals[i], &ActionsFound[i], nullptr);
    Term.handlersSet = false;
}

/* Makes every setting again, in the order first made: after a stop the shell had them undone. */
static void ReapplySettings(void)
{
    std::string bytes;
    for (int i = 0; i < Term.undoCount; i++) {
        switch (Term.undo[i]) {
        case UNDO_RAW_MODE:
            tcsetattr(Term.inFd, TCSANOW, &Term.raw);
            break;
        case UNDO_ALT_SCREEN:
            bytes += "\x1b[?1049h";
            break;
        case UNDO_CURSOR:
            bytes += "\x1b[?25l";
            break;
        case UNDO_TITLE:
            bytes += "\x1b[22;0t\x1b]2;" + Term.title + "\x07";
            break;
        }
    }
    TermWriteText(bytes);
}

/* ---------------------------------------------------------- Undo stack */

static const char *UndoBytes(int step)
{
    switch (step) {
    case UNDO_ALT_SCREEN:
        return "\x1b[?1049l";
    case UNDO_CURSOR:
        return "\x1b[?25h";
    case UNDO_TITLE:
        return "\x1b[23;0t";
    default:
        return "";
    }
}

static bool HasUndo(int step)
{
    for (int i = 0; i < Term.undoCount; i++)
        if (Term.undo[i] == step)
            return true;
    return false;
}

/* Prebuilds the restore string for a signal handler: colours back, then every
   undo in mirror order (the saved settings follow with tcsetattr). */
static void BuildEmergency(void)
{
    Term.emergencyLength = 0;
    std::string bytes = "\x1b[0m";
    for (int i = Term.undoCount - 1; i >= 0; i--)
        bytes += UndoBytes(Term.undo[i]);
    /* On the shell's own screen, its next words go below the picture rather than into it. */
    if (!HasUndo(UNDO_ALT_SCREEN) && Term.rows > 0)
        bytes += "\x1b[" + std::to_string(Term.rows) + ";1H";
    size_t length = std::min(bytes.size(), sizeof Term.emergency);
    std::memcpy(Term.emergency, bytes.data(), length);
    Term.emergencyLength = static_cast<sig_atomic_t>(length);
}

static void PushUndo(int step)
{
    if (HasUndo(step) || Term.undoCount == UNDO_MAX)
        return;
    Term.undo[Term.undoCount++] = step;
    BuildEmergency();
}

void TermRestore(void)
{
    if (!Term.open || Term.undoCount == 0)
        return;
    std::string bytes = "\x1b[0m";
    while (Term.undoCount > 0) {
        int step = Term.undo[--Term.undoCount];
        bytes += UndoBytes(step);
        if (step == UNDO_RAW_MODE) {
            TermWriteText(bytes);
            bytes.clear();
            tcsetattr(Term.inFd, TCSADRAIN, &Term.saved);
        }
    }
    TermWriteText(bytes);
    Term.front.known = false;
    BuildEmergency();
    RemoveHandlers();
}

void TermEmergencyRestore(void)
{
    if (!Term.open)
        return;
    size_t length = static_cast<size_t>(Term.emergencyLength);
    if (length > 0 && write(Term.outFd, Term.emergency, length) < 0)
        length = 0;
    tcsetattr(Term.inFd, TCSANOW, &Term.saved);
}

/* ------------------------------------------------------ Opening the tty */

/* Standard input and output when both are terminals, else /dev/tty. */
static bool FindTerminal(void)
{
    if (isatty(STDIN_FILENO) && isatty(STDOUT_FILENO)) {
        Term.inFd = STDIN_FILENO;
        Term.outFd = STDOUT_FILENO;
        Term.ownFd = false;
        return true;
    }
    int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    Term.inFd = fd;
    Term.outFd = fd;
    Term.ownFd = true;
    return true;
}

/* No line input, no echo, 8-bit bytes; signals stay on for Ctrl-C and
   Ctrl-Z.  Output processing is left as found: we send only our own bytes. */
static void EnterRawMode(void)
{
    if (HasUndo(UNDO_RAW_MODE))
        return;
    struct termios raw = Term.saved;
    raw.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON);
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | IEXTEN);
    raw.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
    raw.c_cflag |= CS8;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    Term.raw = raw;
    if (tcsetattr(Term.inFd, TCSANOW, &raw) == 0)
        PushUndo(UNDO_RAW_MODE);
}

static void QuerySize(void)
{
    struct winsize size = {};
    if ((ioctl(Term.outFd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) &&
        (ioctl(Term.inFd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0)) {
        size.ws_col = 80;
        size.ws_row = 24;
    }
    Term.columns = std::min(static_cast<int>(size.ws_col), static_cast<int>(SHRT_MAX));
    Term.rows = std::max(1, std::min(static_cast<int>(size.ws_row), static_cast<int>(SHRT_MAX)));
}

static long NowMs(void)
{
    struct timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

/* Waits up to timeoutMs for input and reads what is there; -1 at end of input. */
static int ReadSome(unsigned char *buffer, int size, int timeoutMs)
{
    struct pollfd p = {Term.inFd, POLLIN, 0};
    int ready = poll(&p, 1, timeoutMs);
    if (ready < 0)
        return errno == EINTR ? 0 : -1;
    if (ready == 0)
        return 0;
    if (p.revents & POLLNVAL)
        return -1;
    ssize_t n = read(Term.inFd, buffer, static_cast<size_t>(size));
    if (n < 0)
        return (errno == EINTR || errno == EAGAIN) ? 0 : -1;
    return n == 0 ? -1 : static_cast<int>(n);
}

bool TermTakeCursorReport(std::string *bytes, int *row, int *column)
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

/* Asks the terminal where the cursor is (DSR 6n).  Bytes typed meanwhile are
   kept in pending for the key reader.  No answer: the bottom-left corner. */
static COORD AskCursor(void)
{
    COORD guess = {0, static_cast<SHORT>(Term.rows - 1)};
    if (!TermWriteText("\x1b[6n"))
        return guess;
    std::string got;
    long deadline = NowMs() + CURSOR_QUERY_MS;
    for (long left = CURSOR_QUERY_MS; left > 0; left = deadline - NowMs()) {
        unsigned char chunk[64];
        int n = ReadSome(chunk, sizeof chunk, static_cast<int>(left));
        if (n < 0)
            break;
        got.append(reinterpret_cast<char *>(chunk), static_cast<size_t>(n));
        int row = 0;
        int column = 0;
        if (TermTakeCursorReport(&got, &row, &column)) {
            Term.pending += got;
            return COORD{static_cast<SHORT>(std::max(column - 1, 0)),
                         static_cast<SHORT>(std::max(row - 1, 0))};
        }
    }
    Term.pending += got;
    return guess;
}

int TermOpen(int *columns, int *rows, COORD *cursor)
{
    if (!Term.open) {
        if (!FindTerminal())
            return 0;
        if (tcgetattr(Term.inFd, &Term.saved) != 0) {
            if (Term.ownFd)
                close(Term.inFd);
            return 0;
        }
        Term.open = true;
        if (!Term.exitHookSet && std::atexit(TermRestore) == 0)
            Term.exitHookSet = true;
        EnterRawMode();
        InstallHandlers();
        QuerySize();
        BuildEmergency();
        Term.front.known = false;
    }
    *columns = Term.columns;
    *rows = Term.rows;
    *cursor = AskCursor();
    return 1;
}

int TermTakeEvents(int *columns, int *rows)
{
    int events = 0;
    if (Resumed) {
        Resumed = 0;
        ReapplySettings();
        events |= TERM_RESUMED;
    }
    if (Resized) {
        Resized = 0;
        QuerySize();
        events |= TERM_RESIZED;
    }
    if (events != 0)
        Term.front.known = false;
    *columns = Term.columns;
    *rows = Term.rows;
    return events;
}

bool TermIsOpen(void)
{
    return Term.open;
}

int TermEnterScreen(void)
{
    if (!Term.open)
        return 0;
    EnterRawMode();
    InstallHandlers();
    if (!HasUndo(UNDO_ALT_SCREEN) && TermWriteText("\x1b[?1049h"))
        PushUndo(UNDO_ALT_SCREEN);
    Term.front.known = false;
    return 1;
}

/* --------------------------------------------------------------- Output */

void TermPresent(const MemConsole *mc)
{
    if (!Term.open)
        return;
    TermFrameOf(mc, &Term.want);
    Term.out.clear();
    TermRender(Term.want, &Term.front, Term.columns, Term.rows, &Term.out);
    if (!mc->cursorVisible)
        PushUndo(UNDO_CURSOR);
    TermWriteText(Term.out);
}

void TermInvalidate(void)
{
    Term.front.known = false;
}

void TermSetTitle(const std::string &title)
{
    if (!Term.open)
        return;
    std::string bytes;
    if (!HasUndo(UNDO_TITLE)) {
        bytes += "\x1b[22;0t";
        PushUndo(UNDO_TITLE);
    }
    Term.title.clear();
    for (unsigned char c : title)
        Term.title += Cp437ToUtf8(c);
    bytes += "\x1b]2;" + Term.title + "\x07";
    TermWriteText(bytes);
}

/* ---------------------------------------------------------------- Input */

int TermReadBytes(unsigned char *buffer, int size, int timeoutMs)
{
    if (size <= 0)
        return 0;
    if (!Term.pending.empty()) {
        size_t n = std::min(static_cast<size_t>(size), Term.pending.size());
        std::memcpy(buffer, Term.pending.data(), n);
        Term.pending.erase(0, n);
        return static_cast<int>(n);
    }
    if (!Term.open)
        return -1;
    return ReadSome(buffer, size, timeoutMs);
}
