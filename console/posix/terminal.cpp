/*
 * The terminal driver.  It owns the terminal's file descriptors, its saved
 * settings, the undo stack of every setting it made, the signal handlers,
 * and the front frame (what the terminal shows), which the renderer keeps.
 */
#include "console/posix/terminal.h"

#include "console/posix/cp437.h"
#include "console/posix/terminfo.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cwchar>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

/* Settings the driver makes, each undone by TermRestore. */
enum TermUndo { UNDO_RAW_MODE, UNDO_ALT_SCREEN, UNDO_CURSOR, UNDO_TITLE };

const int UNDO_MAX = 8;
/* How long the terminal has to answer the cursor position query. */
const int CURSOR_QUERY_MS = 200;
/* Saves the player's title on the terminal's stack of titles, and puts it back. */
const char SAVE_TITLE[] = "\x1b[22;0t";
const char RESTORE_TITLE[] = "\x1b[23;0t";

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
    char emergency[160];    /* the bytes of TermEmergencyRestore */
    volatile sig_atomic_t emergencyLength;
    TermFrame front;        /* what the terminal shows */
    TermFrame want;         /* reused by TermPresent */
    std::string out;        /* reused by TermPresent */
    std::string pending;    /* input bytes that came during the cursor query */
    std::string title;      /* the title set, in UTF-8, to set again on resume */
    struct termios raw;     /* the raw settings, to enter again on resume */
    bool handlersSet;       /* our signal handlers are installed */
    bool screenWanted;      /* the alternate screen is to be entered at the next present */
    bool titlePending;      /* the title is to be set at the next present */
    bool acsEnabled;        /* the entry's enacs has been sent */
    TermCaps caps;          /* what the terminal can do */
    bool singleByte;        /* the locale's characters are single bytes, not UTF-8 */
    char32_t highBytes[128]; /* then: the character of each byte 0x80 to 0xFF, 0 for none */
};

/* What the signal handlers noted for the driver's next look; set in handlers only. */
volatile sig_atomic_t Resized;
volatile sig_atomic_t Resumed;
/* The stop handler undid every setting before the process stopped. */
volatile sig_atomic_t GaveBack;

TermState Term = {};

} // namespace

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
            bytes += Term.caps.enterScreen;
            break;
        case UNDO_CURSOR:
            bytes += Term.caps.hideCursor;
            break;
        case UNDO_TITLE:
            bytes += SAVE_TITLE;
            break;
        }
    }
    if (Term.acsEnabled)
        bytes += Term.caps.enableAcs;
    if (Term.caps.title && !Term.title.empty())
        bytes += Term.caps.titleStart + Term.title + Term.caps.titleEnd;
    TermWriteText(bytes);
}

/* After a stop that no handler saw (SIGSTOP), the screen, the cursor and the title are
   still as we set them; only the shell may have put its own settings back meanwhile. */
static void ReapplyRawMode(void)
{
    for (int i = 0; i < Term.undoCount; i++)
        if (Term.undo[i] == UNDO_RAW_MODE)
            tcsetattr(Term.inFd, TCSANOW, &Term.raw);
}

/* ---------------------------------------------------------- Undo stack */

static std::string UndoBytes(int step)
{
    switch (step) {
    case UNDO_ALT_SCREEN:
        return Term.caps.leaveScreen;
    case UNDO_CURSOR:
        return Term.caps.showCursor;
    case UNDO_TITLE:
        return RESTORE_TITLE;
    default:
        return "";
    }
}

/* The colours back to the terminal's own, where the game sets any. */
static std::string ResetBytes(void)
{
    return TermCapsHasVideo(Term.caps) ? "\x1b[0m" : "";
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
    /* A signal may come in the middle of a frame that set a scroll region or drew lines. */
    std::string bytes = Term.caps.scrollRegion ? "\x1b[r" : "";
    if (!Term.caps.utf8)
        bytes += Term.caps.leaveAcs;
    bytes += ResetBytes();
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

/* A blank picture left on the shell's own screen is erased in the terminal's own
   colours, so that the shell goes on in its colours rather than in the game's black. */
static std::string EraseBlankPicture(void)
{
    if (HasUndo(UNDO_ALT_SCREEN) || !Term.caps.eraseScreen || !TermShowsBlank(Term.front))
        return "";
    return "\x1b[H\x1b[2J";
}

void TermRestore(void)
{
    if (!Term.open || Term.undoCount == 0)
        return;
    std::string bytes = ResetBytes() + EraseBlankPicture();
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
    Term.screenWanted = false;
    Term.titlePending = false;
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

long TermNowMs(void)
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
    if (!Term.caps.cursorReport || !TermWriteText("\x1b[6n"))
        return guess;
    std::string got;
    long deadline = TermNowMs() + CURSOR_QUERY_MS;
    for (long left = CURSOR_QUERY_MS; left > 0; left = deadline - TermNowMs()) {
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

/* The character of each byte 0x80 to 0xFF in the locale's single-byte character set. */
static void ReadHighBytes(void)
{
    for (int byte = 0x80; byte <= 0xFF; byte++) {
        char text = static_cast<char>(byte);
        wchar_t wide = 0;
        std::mbstate_t state = {};
        size_t length = std::mbrtowc(&wide, &text, 1, &state);
        Term.highBytes[byte - 0x80] = length == 1 ? static_cast<char32_t>(wide) : 0;
    }
}

/* What the terminal can do, from TERM's entry, and the locale's characters; a TermInfoVerdict. */
static int ReadCapabilities(void)
{
    std::setlocale(LC_CTYPE, "");
    const char *codeset = nl_langinfo(CODESET);
    bool utf8 = codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0;
    Term.singleByte = !utf8;
    if (!utf8)
        ReadHighBytes();
    return TermInfoRead(std::getenv("TERM"), utf8, std::getenv("TMUX") != nullptr, &Term.caps);
}

/* Lets go of a terminal that will not be played on. */
static int Refuse(int why)
{
    if (Term.ownFd)
        close(Term.inFd);
    return why;
}

int TermOpen(int *columns, int *rows, COORD *cursor)
{
    if (!Term.open) {
        if (!FindTerminal())
            return TERM_NOT_A_TERMINAL;
        int verdict = ReadCapabilities();
        if (verdict == TERMINFO_UNSET)
            return Refuse(TERM_NAME_UNSET);
        if (verdict == TERMINFO_CANNOT_ADDRESS)
            return Refuse(TERM_CANNOT_ADDRESS);
        if (tcgetattr(Term.inFd, &Term.saved) != 0)
            return Refuse(TERM_NOT_A_TERMINAL);
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
    return TERM_OPENED;
}

int TermTakeEvents(int *columns, int *rows)
{
    int events = 0;
    if (Resumed) {
        Resumed = 0;
        if (GaveBack) {
            GaveBack = 0;
            ReapplySettings();
        } else {
            ReapplyRawMode();
        }
        events |= TERM_RESUMED;
    }
    /* A resize while stopped signals the shell, not us: on resume the size is asked anew too. */
    if (Resized || (events & TERM_RESUMED)) {
        int columnsBefore = Term.columns, rowsBefore = Term.rows;
        QuerySize();
        if (Resized || columnsBefore != Term.columns || rowsBefore != Term.rows)
            events |= TERM_RESIZED;
        Resized = 0;
        BuildEmergency(); /* it places the cursor on the last row, which may have moved */
    }
    if (events != 0)
        Term.front.known = false;
    *columns = Term.columns;
    *rows = Term.rows;
    return events;
}

int TermEnterScreen(void)
{
    if (!Term.open)
        return 0;
    EnterRawMode();
    InstallHandlers();
    Term.screenWanted = !HasUndo(UNDO_ALT_SCREEN) && !Term.caps.enterScreen.empty();
    Term.front.known = false;
    return 1;
}

/* --------------------------------------------------------------- Output */

/* The settings asked for since the last present: the alternate screen, then the title. */
static void AppendSettings(std::string *out)
{
    const TermCaps &caps = Term.caps;
    if (Term.screenWanted) {
        out->append(caps.enterScreen);
        PushUndo(UNDO_ALT_SCREEN);
        Term.screenWanted = false;
    }
    /* enacs only makes line drawing selectable (screen puts it in G1); nothing the shell
       uses selects it, so there is nothing to undo. */
    if (!Term.acsEnabled && !caps.utf8 && !caps.enterAcs.empty()) {
        out->append(caps.enableAcs);
        Term.acsEnabled = true;
    }
    if (Term.titlePending && caps.title) {
        if (caps.titleStack && !HasUndo(UNDO_TITLE)) {
            out->append(SAVE_TITLE);
            PushUndo(UNDO_TITLE);
        }
        out->append(caps.titleStart).append(Term.title).append(caps.titleEnd);
    }
    Term.titlePending = false;
}

void TermPresent(const MemConsole *mc)
{
    if (!Term.open)
        return;
    Term.out.clear();
    AppendSettings(&Term.out);
    TermFrameOf(mc, &Term.want);
    TermRender(Term.want, &Term.front, Term.columns, Term.rows, &Term.out, Term.caps);
    if (!mc->cursorVisible && !Term.caps.hideCursor.empty())
        PushUndo(UNDO_CURSOR);
    TermWriteText(Term.out);
}

void TermSetTitle(const std::string &title)
{
    if (!Term.open)
        return;
    Term.title = Cp437TextToUtf8(title);
    Term.titlePending = true;
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

/* ---------------------------------------------------------------- Waits */

void TermSleepMs(int ms)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < deadline)
        std::this_thread::sleep_until(deadline);
}

/* --------------------------------------------------- Character set */

const char32_t *TermKeyCharset(void)
{
    return Term.singleByte ? Term.highBytes : nullptr;
}

