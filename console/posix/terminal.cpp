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
/* The stop handler undid every setting before the process stopped. */
volatile sig_atomic_t GaveBack;

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

/*
 * The front frame records what the terminal shows, cell by cell.  Besides
 * cells written from a console, it holds two marks of its own: a cell the
 * terminal erased (EL, ED or a scroll) in the background colour kept in
 * bits 4 to 7, and a cell whose content is unknown.  Console attributes are
 * compared without the mark bit, so no console cell is ever taken for one.
 *
 * Erasing relies on the terminal filling erased cells with the background
 * colour then in effect (background colour erase), as xterm-compatible
 * terminals do.  An erased blank shows exactly what a written one shows,
 * but a terminal's copy of the screen gives it the default foreground; so
 * inside a row blanks are left erased only in runs of ERASED_RUN_MIN cells
 * or more, and every shorter gap between two cells is written in its own
 * colours.  At either end of a row, blanks may stay erased however few.
 */

namespace {

const WORD CELL_ERASED = 0x2000;
const WORD CELL_UNKNOWN = 0x2100;
/* Skipping a shorter run costs a cursor move of 3 or 4 bytes: no less than writing it. */
const int ERASED_RUN_MIN = 5;
/* A scroll region is tried only when at least this many rows moved. */
const int SCROLL_ROWS_MIN = 2;
/* Rewriting more unchanged cells than this never beats a cursor move. */
const int REWRITE_MAX = 4;

} // namespace

void TermFrameOf(const MemConsole *mc, TermFrame *frame)
{
    frame->width = mc->width;
    frame->height = mc->height;
    frame->cells = mc->cells;
    frame->cursor = mc->cursor;
    frame->cursorVisible = mc->cursorVisible;
    frame->known = true;
}

static size_t CellAt(const TermFrame &frame, int x, int y)
{
    return static_cast<size_t>(y) * static_cast<size_t>(frame.width) + static_cast<size_t>(x);
}

static int Background(WORD attr)
{
    return (attr >> 4) & 0xF;
}

/* A cell that shows only its background: a space or NUL, not reversed or underscored. */
static bool IsPlainBlank(const MemCell &cell)
{
    return (cell.ch == ' ' || cell.ch == 0) && !(cell.attr & (ATTR_REVERSE | ATTR_UNDERSCORE));
}

/* Whether the terminal shows the wanted cell as written from a console. */
static bool SameCell(const MemCell &want, const MemCell &front)
{
    return !(front.attr & CELL_ERASED) && want.ch == front.ch &&
           static_cast<WORD>(want.attr & ~CELL_ERASED) == front.attr;
}

/* Whether the terminal shows the wanted blank as an erased cell of its background. */
static bool ErasedAlike(const MemCell &want, const MemCell &front)
{
    return (front.attr & CELL_UNKNOWN) == CELL_ERASED && IsPlainBlank(want) &&
           Background(front.attr) == Background(want.attr);
}

static bool ShowsAlike(const MemCell &want, const MemCell &front)
{
    return SameCell(want, front) || ErasedAlike(want, front);
}

static MemCell ErasedCell(int background)
{
    return MemCell{' ', static_cast<WORD>(CELL_ERASED | (background << 4))};
}

/* Appends a CSI sequence with one parameter, left out when it is 1. */
static void AppendCsi(int n, char final, std::string *out)
{
    out->append("\x1b[");
    if (n != 1)
        out->append(std::to_string(n));
    out->push_back(final);
}

static void AppendCup(int x, int y, std::string *out)
{
    out->append("\x1b[").append(std::to_string(y + 1)).append(";");
    out->append(std::to_string(x + 1)).push_back('H');
}

/* Moves from the pen across rows (CUU, CUD), then along the row (CUF, CUB). */
static void AppendRelativeMove(const Pen &pen, int x, int y, std::string *out)
{
    if (y != pen.y)
        AppendCsi(std::abs(y - pen.y), y > pen.y ? 'B' : 'A', out);
    if (x != pen.x)
        AppendCsi(std::abs(x - pen.x), x > pen.x ? 'C' : 'D', out);
}

/* Moves right along the pen's row by writing again the cells passed over, when
   the terminal shows them as wanted in the pen's colours; false when it cannot. */
static bool AppendRewrite(const Pen &pen, int x, const TermFrame &want, const TermFrame &front,
                          std::string *out)
{
    if (pen.attr < 0 || x <= pen.x || x - pen.x > REWRITE_MAX)
        return false;
    for (int i = pen.x; i < x; i++) {
        const MemCell &cell = want.cells[CellAt(want, i, pen.y)];
        if (!SameCell(cell, front.cells[CellAt(front, i, pen.y)]) ||
            (cell.attr & ATTR_SHOWN) != pen.attr)
            return false;
        out->append(Cp437ToUtf8(cell.ch));
    }
    return true;
}

/* Moves the terminal's cursor to (x, y) the cheapest way: CUP, relative moves,
   or writing again a few cells that already show what they should. */
static void RenderMove(Pen *pen, int x, int y, const TermFrame &want, const TermFrame &front,
                       std::string *out)
{
    if (pen->placed && pen->y == y && pen->x == x)
        return;
    std::string best;
    AppendCup(x, y, &best);
    if (pen->placed) {
        std::string other;
        AppendRelativeMove(*pen, x, y, &other);
        if (other.size() < best.size())
            best.swap(other);
        other.clear();
        bool rewrites = pen->y == y && AppendRewrite(*pen, x, want, front, &other);
        if (rewrites && other.size() < best.size())
            best.swap(other);
    }
    out->append(best);
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

/* Writes the wanted cell at (x, y) and records it in the front. */
static void RenderCell(const TermFrame &want, int x, int y, int columns, TermFrame *front,
                       Pen *pen, std::string *out)
{
    const MemCell &cell = want.cells[CellAt(want, x, y)];
    RenderMove(pen, x, y, want, *front, out);
    RenderAttr(pen, cell.attr, out);
    out->append(Cp437ToUtf8(cell.ch));
    front->cells[CellAt(*front, x, y)] =
        MemCell{cell.ch, static_cast<WORD>(cell.attr & ~CELL_ERASED)};
    pen->x++;
    /* Terminals differ on where the cursor is after the last column. */
    if (x == columns - 1)
        pen->placed = false;
}

/*
 * At a blank to be sent, erases the rest of the row (EL) when the rest is to
 * show blanks of that background throughout, is long enough to stay erased
 * and has at least three cells to change.  Returns whether it did.
 */
static bool RenderEraseRest(const TermFrame &want, int x, int y, int width, int columns,
                            TermFrame *front, Pen *pen, std::string *out)
{
    if (width != columns || width - x < ERASED_RUN_MIN)
        return false;
    const MemCell &first = want.cells[CellAt(want, x, y)];
    int changes = 0;
    for (int i = x; i < width; i++) {
        const MemCell &cell = want.cells[CellAt(want, i, y)];
        if (!IsPlainBlank(cell) || Background(cell.attr) != Background(first.attr))
            return false;
        changes += ShowsAlike(cell, front->cells[CellAt(*front, i, y)]) ? 0 : 1;
    }
    if (changes < 3)
        return false;
    RenderMove(pen, x, y, want, *front, out);
    RenderAttr(pen, first.attr, out);
    out->append("\x1b[K");
    for (int i = x; i < width; i++)
        front->cells[CellAt(*front, i, y)] = ErasedCell(Background(first.attr));
    return true;
}

/* Where the run of cells from x that the terminal shows as erased alike ends. */
static int ErasedRunEnd(const TermFrame &want, const TermFrame &front, int x, int y, int width)
{
    while (x < width &&
           ErasedAlike(want.cells[CellAt(want, x, y)], front.cells[CellAt(front, x, y)]))
        x++;
    return x;
}

/* Sends what differs in one row; returns whether anything was sent. */
static bool RenderRow(const TermFrame &want, int y, int width, int columns, TermFrame *front,
                      Pen *pen, std::string *out)
{
    bool sent = false;
    for (int x = 0; x < width;) {
        const MemCell &cell = want.cells[CellAt(want, x, y)];
        const MemCell &shown = front->cells[CellAt(*front, x, y)];
        if (SameCell(cell, shown)) {
            x++;
        } else if (ErasedAlike(cell, shown)) {
            int end = ErasedRunEnd(want, *front, x, y, width);
            /* A short gap between two cells is written; a long run, or one at an end, stays. */
            bool write = x > 0 && end < width && end - x < ERASED_RUN_MIN;
            for (; write && x < end; x++)
                RenderCell(want, x, y, columns, front, pen, out);
            sent = sent || write;
            x = end;
        } else if (IsPlainBlank(cell) &&
                   RenderEraseRest(want, x, y, width, columns, front, pen, out)) {
            return true;
        } else {
            RenderCell(want, x, y, columns, front, pen, out);
            sent = true;
            x++;
        }
    }
    return sent;
}

/* Whether a row of want shows alike what the front shows in row from. */
static bool RowShowsAlike(const TermFrame &want, int y, const TermFrame &front, int from, int width)
{
    for (int x = 0; x < width; x++)
        if (!ShowsAlike(want.cells[CellAt(want, x, y)], front.cells[CellAt(front, x, from)]))
            return false;
    return true;
}

/* The visible rows with something to send, first and last; false when there are none. */
static bool ChangedRows(const TermFrame &want, const TermFrame &front, int width, int height,
                        int *first, int *last)
{
    *first = -1;
    for (int y = 0; y < height; y++) {
        if (RowShowsAlike(want, y, front, y, width))
            continue;
        if (*first < 0)
            *first = y;
        *last = y;
    }
    return *first >= 0;
}

/* The colours most plain blanks of rows top to bottom have, or -1 when none has one. */
static int CommonBlank(const TermFrame &want, int width, int top, int bottom)
{
    int counts[256] = {};
    int best = 0;
    for (int y = top; y <= bottom; y++)
        for (int x = 0; x < width; x++) {
            const MemCell &cell = want.cells[CellAt(want, x, y)];
            int colours = cell.attr & 0xFF;
            if (IsPlainBlank(cell) && ++counts[colours] > counts[best])
                best = colours;
        }
    return counts[best] > 0 ? best : -1;
}

/* Starts a whole frame that covers the terminal from a screen erased (ED) in
   its most common blank colours, so that those blanks cost nothing. */
static void RenderClear(const TermFrame &want, int width, int height, TermFrame *front, Pen *pen,
                        std::string *out)
{
    int blank = CommonBlank(want, width, 0, height - 1);
    if (blank < 0)
        return;
    RenderAttr(pen, static_cast<WORD>(blank), out);
    out->append("\x1b[2J");
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            front->cells[CellAt(*front, x, y)] = ErasedCell(Background(static_cast<WORD>(blank)));
}

/* A block of rows that moved one row up or down on the screen. */
struct Scroll {
    int top;    /* the scroll region, inclusive */
    int bottom;
    bool up;    /* the rows moved up: the region scrolls up and its bottom row is new */
};

/*
 * Finds the longest run of changed rows that the front shows one row lower
 * (up) or higher (down), at least SCROLL_ROWS_MIN long; the region takes in
 * the row the scroll brings in.  False when there is none.
 */
static bool FindScroll(const TermFrame &want, const TermFrame &front, int width, int first,
                       int last, bool up, Scroll *scroll)
{
    int bestTop = 0, bestLength = 0;
    for (int y = first, length = 0; y <= last; y++) {
        int from = up ? y + 1 : y - 1;
        bool moved = from >= first && from <= last && !RowShowsAlike(want, y, front, y, width) &&
                     RowShowsAlike(want, y, front, from, width);
        length = moved ? length + 1 : 0;
        if (length > bestLength) {
            bestLength = length;
            bestTop = y - length + 1;
        }
    }
    if (bestLength < SCROLL_ROWS_MIN)
        return false;
    *scroll = up ? Scroll{bestTop, bestTop + bestLength, true}
                 : Scroll{bestTop - 1, bestTop + bestLength - 1, false};
    return true;
}

/*
 * Scrolls the region by one row (DECSTBM, then IND at its bottom or RI at its
 * top, then the whole screen as the region again) and moves the front's rows
 * with it.  The row brought in is erased in the colours of the new row's
 * blanks, set before the scroll; without blanks it is unknown.
 */
static void RenderScroll(const TermFrame &want, const Scroll &scroll, int width, TermFrame *front,
                         Pen *pen, std::string *out)
{
    int fresh = scroll.up ? scroll.bottom : scroll.top;
    int blank = CommonBlank(want, width, fresh, fresh);
    if (blank >= 0)
        RenderAttr(pen, static_cast<WORD>(blank), out);
    out->append("\x1b[").append(std::to_string(scroll.top + 1)).append(";");
    out->append(std::to_string(scroll.bottom + 1)).append("r");
    AppendCup(0, fresh, out);
    out->append(scroll.up ? "\x1b" "D" : "\x1bM");
    out->append("\x1b[r");
    pen->placed = false; /* a margin change homes the cursor */
    int step = scroll.up ? 1 : -1;
    for (int y = scroll.up ? scroll.top : scroll.bottom; y != fresh; y += step)
        for (int x = 0; x < width; x++)
            front->cells[CellAt(*front, x, y)] = front->cells[CellAt(*front, x, y + step)];
    for (int x = 0; x < width; x++)
        front->cells[CellAt(*front, x, fresh)] =
            pen->attr >= 0 ? ErasedCell(Background(static_cast<WORD>(pen->attr)))
                           : MemCell{0, CELL_UNKNOWN};
}

static bool RenderRows(const TermFrame &want, int first, int last, int width, int columns,
                       TermFrame *front, Pen *pen, std::string *out)
{
    bool sent = false;
    for (int y = first; y <= last; y++)
        sent = RenderRow(want, y, width, columns, front, pen, out) || sent;
    return sent;
}

/*
 * Sends the changed rows first..last; when some of them moved a row up or down
 * as whole screen rows, also tries scrolling them and keeps whichever sends
 * fewer bytes.  Returns whether anything was sent.
 */
static bool RenderChanges(const TermFrame &want, int first, int last, int width, int columns,
                          TermFrame *front, Pen *pen, std::string *out)
{
    Scroll scroll = {};
    bool found = width == columns && last - first >= SCROLL_ROWS_MIN &&
                 (FindScroll(want, *front, width, first, last, true, &scroll) ||
                  FindScroll(want, *front, width, first, last, false, &scroll));
    if (!found)
        return RenderRows(want, first, last, width, columns, front, pen, out);
    TermFrame scrolled = *front;
    Pen scrolledPen = *pen;
    std::string scrolledOut;
    RenderScroll(want, scroll, width, &scrolled, &scrolledPen, &scrolledOut);
    RenderRows(want, first, last, width, columns, &scrolled, &scrolledPen, &scrolledOut);
    std::string plainOut;
    bool sent = RenderRows(want, first, last, width, columns, front, pen, &plainOut);
    if (scrolledOut.size() < plainOut.size()) {
        front->cells.swap(scrolled.cells);
        *pen = scrolledPen;
        plainOut.swap(scrolledOut);
        sent = true;
    }
    out->append(plainOut);
    return sent;
}

void TermRender(const TermFrame &want, TermFrame *front, int columns, int rows,
                std::string *out)
{
    int width = std::min(want.width, columns);
    int height = std::min(want.height, rows);
    bool whole = !front->known || front->width != want.width || front->height != want.height;
    bool showChange = whole || front->cursorVisible != want.cursorVisible;
    /* The cursor is where the last frame left it, unless that is unknown. */
    Pen pen = {front->cursor.X, front->cursor.Y, !whole && front->cursor.X >= 0, -1};
    if (whole) {
        front->width = want.width;
        front->height = want.height;
        front->cells.assign(want.cells.size(), MemCell{0, CELL_UNKNOWN});
    }
    if (showChange && !want.cursorVisible)
        out->append("\x1b[?25l");
    if (whole && want.width >= columns && want.height >= rows)
        RenderClear(want, width, height, front, &pen, out);
    int first = 0, last = 0;
    if (ChangedRows(want, *front, width, height, &first, &last))
        RenderChanges(want, first, last, width, columns, front, &pen, out);
    if (pen.attr >= 0)
        out->append("\x1b[0m");
    pen.attr = -1;
    bool cursorOnScreen = want.cursor.X < columns && want.cursor.Y < rows;
    if (want.cursorVisible && cursorOnScreen) {
        RenderMove(&pen, want.cursor.X, want.cursor.Y, want, *front, out);
        if (showChange)
            out->append("\x1b[?25h");
    }
    front->cursor = pen.placed ? COORD{static_cast<SHORT>(pen.x), static_cast<SHORT>(pen.y)}
                               : COORD{-1, -1};
    front->cursorVisible = want.cursorVisible;
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

/* After a stop that no handler saw (SIGSTOP), the screen, the cursor and the title are
   still as we set them; only the shell may have put its own settings back meanwhile. */
static void ReapplyRawMode(void)
{
    for (int i = 0; i < Term.undoCount; i++)
        if (Term.undo[i] == UNDO_RAW_MODE)
            tcsetattr(Term.inFd, TCSANOW, &Term.raw);
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
    /* A signal may come in the middle of a frame that set a scroll region. */
    std::string bytes = "\x1b[r\x1b[0m";
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
    if (!TermWriteText("\x1b[6n"))
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
