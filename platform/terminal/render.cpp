/* The renderer: front and back screen pictures to terminal bytes. */
#include "render.h"

#include "cp437.h"

#include <algorithm>
#include <cstdlib>
#include <string>

/* The attribute bits the terminal can show: the colours, reverse video and underscore. */
const WORD AttrShown = 0xC0FF;

namespace {

/* Where the renderer's output has left the terminal (cursor, colours, character
   set), and what may be sent to it. */
struct Pen {
    int x;
    int y;
    bool placed; /* false: position unknown, so the next cell needs a CUP */
    int attr;    /* the attribute drawn in; -1: not known, so the next SGR starts from 0 */
    bool acs;    /* the alternate character set is on */
    const Caps *caps;
    int rows; /* the terminal's */
};

} // namespace

/* The full block: where there is no UTF-8 it is drawn as a space in reverse video. */
const unsigned char FullBlock = 0xDB;

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
 * inside a row blanks are left erased only in runs of ErasedRunMin cells
 * or more, and every shorter gap between two cells is written in its own
 * colours.  At either end of a row, blanks may stay erased however few.
 */
const WORD CellErased = 0x2000;
const WORD CellUnknown = 0x2100;
/* Skipping a shorter run costs a cursor move of 3 or 4 bytes: no less than writing it. */
const int ErasedRunMin = 5;
/* A scroll region is tried only when at least this many rows moved. */
const int ScrollRowsMin = 2;
/* Rewriting more unchanged cells than this never beats a cursor move. */
const int RewriteMax = 4;

void RenderFrameOf(const MemConsole *mc, RenderFrame *frame)
{
    frame->width = mc->width;
    frame->height = mc->height;
    frame->cells = mc->cells;
    frame->cursor = mc->cursor;
    frame->cursorVisible = mc->cursorVisible;
    frame->known = true;
}

static size_t RenderCellAt(const RenderFrame &frame, int x, int y)
{
    return static_cast<size_t>(y) * static_cast<size_t>(frame.width) + static_cast<size_t>(x);
}

static int RenderBackground(WORD attr)
{
    return (attr >> 4) & 0xF;
}

/* A cell that shows only its background: a space or NUL, not reversed or underscored. */
static bool RenderIsPlainBlank(const MemCell &cell)
{
    return (cell.ch == ' ' || cell.ch == 0) &&
           !(cell.attr & (COMMON_LVB_REVERSE_VIDEO | COMMON_LVB_UNDERSCORE));
}

/* Whether the terminal shows the wanted cell as written from a console. */
static bool RenderSameCell(const MemCell &want, const MemCell &front)
{
    return !(front.attr & CellErased) && want.ch == front.ch &&
           static_cast<WORD>(want.attr & ~CellErased) == front.attr;
}

/* Whether the terminal shows the wanted blank as an erased cell of its background. */
static bool RenderErasedAlike(const MemCell &want, const MemCell &front)
{
    return (front.attr & CellUnknown) == CellErased && RenderIsPlainBlank(want) &&
           RenderBackground(front.attr) == RenderBackground(want.attr);
}

static bool RenderShowsAlike(const MemCell &want, const MemCell &front)
{
    return RenderSameCell(want, front) || RenderErasedAlike(want, front);
}

static MemCell RenderErasedCell(int background)
{
    return MemCell{' ', static_cast<WORD>(CellErased | (background << 4))};
}

/* How a cell is drawn here: the cell itself, or for the full block without UTF-8 a reversed space. */
static MemCell RenderLook(const MemCell &cell, const Caps &caps)
{
    if ((!caps.utf8 || caps.wideAmbiguous) && cell.ch == FullBlock && caps.reverse)
        return MemCell{' ', static_cast<WORD>(cell.attr ^ COMMON_LVB_REVERSE_VIDEO)};
    return cell;
}

/* The byte the alternate character set draws a glyph with, or 0 when it is sent as ASCII. */
static char RenderAcsByte(unsigned char ch, const Caps &caps)
{
    char dec = Cp437ToDecGraphics(ch);
    if (caps.utf8 || dec == 0 || caps.enterAcs.empty())
        return 0;
    return caps.acs[static_cast<unsigned char>(dec)];
}

/* Appends a glyph: in UTF-8, or as ASCII or a line drawing, switching the alternate
   character set on or off as it needs. */
static void RenderAppendGlyph(Pen *pen, unsigned char ch, std::string *out)
{
    const Caps &caps = *pen->caps;
    if (caps.utf8) {
        out->append(caps.wideAmbiguous ? Cp437ToNarrow(ch) : Cp437ToUtf8(ch));
        return;
    }
    char acs = RenderAcsByte(ch, caps);
    if ((acs != 0) != pen->acs) {
        out->append(acs != 0 ? caps.enterAcs : caps.leaveAcs);
        pen->acs = acs != 0;
    }
    out->push_back(acs != 0 ? acs : Cp437ToAscii(ch));
}

/* Appends a CSI sequence with one parameter, left out when it is 1. */
static void RenderAppendCsi(int n, char final, std::string *out)
{
    out->append("\x1b[");
    if (n != 1)
        out->append(std::to_string(n));
    out->push_back(final);
}

static void RenderAppendCup(int x, int y, std::string *out)
{
    out->append("\x1b[").append(std::to_string(y + 1)).append(";");
    out->append(std::to_string(x + 1)).push_back('H');
}

/* Keeps the shorter of two ways to move, the first when they are as long; an empty one is
   no way at all. */
static void RenderKeepShorter(std::string *best, std::string *other)
{
    if (!other->empty() && (best->empty() || other->size() < best->size()))
        best->swap(*other);
    other->clear();
}

/*
 * Appends the shortest move along the pen's row to column x that the
 * terminal takes: CUF or CUB, backspaces (one byte a column), or a carriage
 * return and CUF.  None of them can scroll.  False when it takes none.
 */
static bool RenderAppendColumnMove(const Pen &pen, int x, std::string *out)
{
    const Caps &caps = *pen.caps;
    std::string best, other;
    if (x == pen.x)
        return true;
    if (caps.relativeMoves)
        RenderAppendCsi(std::abs(x - pen.x), x > pen.x ? 'C' : 'D', &best);
    if (caps.backspace && x < pen.x)
        other.assign(static_cast<size_t>(pen.x - x), '\b');
    RenderKeepShorter(&best, &other);
    if (caps.carriageReturn && (x == 0 || caps.relativeMoves)) {
        other = "\r";
        if (x > 0)
            RenderAppendCsi(x, 'C', &other);
    }
    RenderKeepShorter(&best, &other);
    out->append(best);
    return !best.empty();
}

/* Moves from the pen across rows (CUU, CUD), then along the row; false when the
   terminal cannot move so. */
static bool RenderAppendRelativeMove(const Pen &pen, int x, int y, std::string *out)
{
    if (y != pen.y && !pen.caps->relativeMoves)
        return false;
    if (y != pen.y)
        RenderAppendCsi(std::abs(y - pen.y), y > pen.y ? 'B' : 'A', out);
    return RenderAppendColumnMove(pen, x, out);
}

/* Moves right along the pen's row by writing again the cells passed over, when
   the terminal shows them as wanted in the pen's colours; false when it cannot. */
static bool RenderAppendRewrite(const Pen &pen, int x, const RenderFrame &want,
                                const RenderFrame &front, std::string *out)
{
    if (pen.attr < 0 || x <= pen.x || x - pen.x > RewriteMax)
        return false;
    Pen rewriting = pen;
    for (int i = pen.x; i < x; i++) {
        const MemCell &cell = want.cells[RenderCellAt(want, i, pen.y)];
        MemCell look = RenderLook(cell, *pen.caps);
        if (!RenderSameCell(cell, front.cells[RenderCellAt(front, i, pen.y)]) ||
            (look.attr & AttrShown) != pen.attr ||
            (RenderAcsByte(look.ch, *pen.caps) != 0) != pen.acs)
            return false;
        RenderAppendGlyph(&rewriting, look.ch, out);
    }
    return true;
}

/* Moves the terminal's cursor to (x, y) the cheapest way: CUP, relative moves,
   or writing again a few cells that already show what they should. */
static void RenderMove(Pen *pen, int x, int y, const RenderFrame &want, const RenderFrame &front,
                       std::string *out)
{
    if (pen->placed && pen->y == y && pen->x == x)
        return;
    std::string best;
    RenderAppendCup(x, y, &best);
    if (pen->placed) {
        std::string other;
        if (!RenderAppendRelativeMove(*pen, x, y, &other))
            other.clear();
        RenderKeepShorter(&best, &other);
        if (pen->y != y || !RenderAppendRewrite(*pen, x, want, front, &other))
            other.clear();
        RenderKeepShorter(&best, &other);
    }
    out->append(best);
    pen->x = x;
    pen->y = y;
    pen->placed = true;
}

/* Windows colour bits (blue 1, green 2, red 4) in ANSI order (red 1, blue 4). */
static int RenderAnsiColour(int windowsColour)
{
    return ((windowsColour & 1) << 2) | (windowsColour & 2) | ((windowsColour & 4) >> 2);
}

namespace {

/* An attribute as the terminal sets it: colours, and the video attributes. */
struct Sgr {
    int fg; /* a Windows colour 0..15, or -1 for none */
    int bg;
    bool bold; /* for a bright colour where the terminal has only 8 */
    bool reverse;
    bool underline;
    bool blink; /* for a bright background on the kernel's console */
};

} // namespace

/*
 * The kernel's console makes a VGA attribute of the colours (SGR 30-37,
 * 40-47); reverse video swaps its two colours but leaves the intensity bits
 * in place, then bold sets the text's and blink the background's.  So the
 * colours go as they are, with bold for a bright text colour as shown and
 * blink for a bright background as shown, and every attribute is stored
 * exactly: the lever labels black on light green, where xterm's rule would
 * make them dark grey on green.  The framebuffer console draws the blink bit
 * as a light background; only the VGA text mode blinks it.
 */
static Sgr RenderSgrOfVga(int fg, int bg, bool reverse, bool underline)
{
    int shownFg = reverse ? bg : fg, shownBg = reverse ? fg : bg;
    return Sgr{fg & 7, bg & 7, (shownFg & 8) != 0, reverse, underline, (shownBg & 8) != 0};
}

/*
 * The SGR that shows an attribute as near as the terminal can: the 16
 * colours as they are; with 8, a bright text colour in bold and a bright
 * background as reverse video of the colours swapped (xterm brightens in
 * bold before it reverses), or on the kernel's console as above; with none,
 * bold for bright text and reverse video for any background but black.
 */
static Sgr RenderSgrOf(int attr, const Caps &caps)
{
    int fg = attr & 0xF, bg = (attr >> 4) & 0xF;
    bool reverse = (attr & COMMON_LVB_REVERSE_VIDEO) != 0;
    bool underline = (attr & COMMON_LVB_UNDERSCORE) != 0;
    Sgr sgr = {fg, bg, false, reverse, underline, false};
    if (caps.colours == CapsColours8 && caps.vgaIntensity) {
        sgr = RenderSgrOfVga(fg, bg, reverse, underline);
    } else if (caps.colours == CapsColours8 && (bg & 8) && caps.reverse) {
        sgr = Sgr{bg & 7, fg & 7, true, !reverse, underline, false};
    } else if (caps.colours == CapsColours8) {
        sgr = Sgr{fg & 7, bg & 7, (fg & 8) != 0, reverse, underline, false};
    } else if (caps.colours == CapsColoursNone) {
        sgr = Sgr{-1, -1, (fg & 8) != 0, reverse != (bg != 0), underline, false};
    }
    sgr.bold = sgr.bold && caps.bold;
    sgr.reverse = sgr.reverse && caps.reverse;
    sgr.underline = sgr.underline && caps.underline;
    return sgr;
}

/* Appends ";" and a colour's SGR parameter (base 30 for the text, 40 for the background):
   base + 0..7, base + 60 + 0..7 for the bright ones, or the colour's index. */
static void RenderAppendColour(int colour, int base, const Caps &caps, std::string *out)
{
    int ansi = (colour & 8) | RenderAnsiColour(colour & 7);
    if (caps.colours == CapsColoursIndexed)
        out->append(base == 30 ? ";38;5;" : ";48;5;").append(std::to_string(ansi));
    else
        out->append(";").append(
            std::to_string(base + (colour & 8 ? 60 : 0) + RenderAnsiColour(colour & 7)));
}

/* Whether an erase in an attribute leaves cells that show its background (a
   background swapped into reverse video, or none at all, would not). */
static bool RenderErasesInItsBackground(WORD attr, const Caps &caps)
{
    Sgr sgr = RenderSgrOf(attr & AttrShown, caps);
    return caps.backgroundErase && sgr.bg == RenderBackground(attr) && !sgr.reverse;
}

/* Sends the SGR for an attribute, unless the terminal already draws in it or takes none. */
static void RenderAttr(Pen *pen, WORD attr, std::string *out)
{
    int shown = attr & AttrShown;
    const Caps &caps = *pen->caps;
    if (pen->attr == shown || !CapsHasVideo(caps)) {
        pen->attr = shown;
        return;
    }
    Sgr sgr = RenderSgrOf(shown, caps);
    Sgr before =
        pen->attr >= 0 ? RenderSgrOf(pen->attr, caps) : Sgr{-1, -1, false, false, false, false};
    bool dropping = pen->attr < 0 || (before.bold && !sgr.bold) ||
                    (before.reverse && !sgr.reverse) || (before.underline && !sgr.underline) ||
                    (before.blink && !sgr.blink);
    std::string parameters = dropping ? ";0" : "";
    if (sgr.fg >= 0)
        RenderAppendColour(sgr.fg, 30, caps, &parameters);
    if (sgr.bg >= 0)
        RenderAppendColour(sgr.bg, 40, caps, &parameters);
    if (sgr.bold)
        parameters.append(";1");
    if (sgr.reverse)
        parameters.append(";7");
    if (sgr.underline)
        parameters.append(";4");
    if (sgr.blink)
        parameters.append(";5");
    out->append("\x1b[").append(parameters.empty() ? "0" : parameters.substr(1)).push_back('m');
    pen->attr = shown;
}

/* Writes the wanted cell at (x, y) and records it in the front. */
static void RenderCell(const RenderFrame &want, int x, int y, int columns, RenderFrame *front,
                       Pen *pen, std::string *out)
{
    const MemCell &cell = want.cells[RenderCellAt(want, x, y)];
    front->cells[RenderCellAt(*front, x, y)] =
        MemCell{cell.ch, static_cast<WORD>(cell.attr & ~CellErased)};
    /* Where writing it would scroll the whole screen, the last cell is left out (and taken as
       shown, so that it is not tried again). */
    if (pen->caps->scrollsAtLastCell && x == columns - 1 && y == pen->rows - 1)
        return;
    MemCell look = RenderLook(cell, *pen->caps);
    RenderMove(pen, x, y, want, *front, out);
    RenderAttr(pen, look.attr, out);
    RenderAppendGlyph(pen, look.ch, out);
    pen->x++;
    /* Terminals differ on where the cursor is after the last column. */
    if (x == columns - 1)
        pen->placed = false;
}

/*
 * At a blank to be sent, erases the rest of the row (EL) when the rest is to
 * show blanks of that background throughout, is long enough to stay erased
 * and has at least three cells to change, and the terminal erases in the
 * background colour.  Returns whether it did.
 */
static bool RenderEraseRest(const RenderFrame &want, int x, int y, int width, int columns,
                            RenderFrame *front, Pen *pen, std::string *out)
{
    const MemCell &first = want.cells[RenderCellAt(want, x, y)];
    if (width != columns || width - x < ErasedRunMin || !pen->caps->eraseLine ||
        !RenderErasesInItsBackground(first.attr, *pen->caps))
        return false;
    int changes = 0;
    for (int i = x; i < width; i++) {
        const MemCell &cell = want.cells[RenderCellAt(want, i, y)];
        if (!RenderIsPlainBlank(cell) ||
            RenderBackground(cell.attr) != RenderBackground(first.attr))
            return false;
        changes += RenderShowsAlike(cell, front->cells[RenderCellAt(*front, i, y)]) ? 0 : 1;
    }
    if (changes < 3)
        return false;
    RenderMove(pen, x, y, want, *front, out);
    RenderAttr(pen, first.attr, out);
    out->append("\x1b[K");
    for (int i = x; i < width; i++)
        front->cells[RenderCellAt(*front, i, y)] = RenderErasedCell(RenderBackground(first.attr));
    return true;
}

/* Where the run of cells from x that the terminal shows as erased alike ends. */
static int RenderErasedRunEnd(const RenderFrame &want, const RenderFrame &front, int x, int y,
                              int width)
{
    while (x < width && RenderErasedAlike(want.cells[RenderCellAt(want, x, y)],
                                          front.cells[RenderCellAt(front, x, y)]))
        x++;
    return x;
}

/* Sends what differs in one row; returns whether anything was sent. */
static bool RenderRow(const RenderFrame &want, int y, int width, int columns, RenderFrame *front,
                      Pen *pen, std::string *out)
{
    bool sent = false;
    for (int x = 0; x < width;) {
        const MemCell &cell = want.cells[RenderCellAt(want, x, y)];
        const MemCell &shown = front->cells[RenderCellAt(*front, x, y)];
        if (RenderSameCell(cell, shown)) {
            x++;
        } else if (RenderErasedAlike(cell, shown)) {
            int end = RenderErasedRunEnd(want, *front, x, y, width);
            /* A short gap between two cells is written; a long run, or one at an end, stays. */
            bool write = x > 0 && end < width && end - x < ErasedRunMin;
            for (; write && x < end; x++)
                RenderCell(want, x, y, columns, front, pen, out);
            sent = sent || write;
            x = end;
        } else if (RenderIsPlainBlank(cell) &&
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
static bool RenderRowShowsAlike(const RenderFrame &want, int y, const RenderFrame &front, int from,
                                int width)
{
    for (int x = 0; x < width; x++)
        if (!RenderShowsAlike(want.cells[RenderCellAt(want, x, y)],
                              front.cells[RenderCellAt(front, x, from)]))
            return false;
    return true;
}

/* The visible rows with something to send, first and last; false when there are none. */
static bool RenderChangedRows(const RenderFrame &want, const RenderFrame &front, int width,
                              int height, int *first, int *last)
{
    *first = -1;
    for (int y = 0; y < height; y++) {
        if (RenderRowShowsAlike(want, y, front, y, width))
            continue;
        if (*first < 0)
            *first = y;
        *last = y;
    }
    return *first >= 0;
}

/* The colours most plain blanks of rows top to bottom have, or -1 when none has one. */
static int RenderCommonBlank(const RenderFrame &want, int width, int top, int bottom)
{
    int counts[256] = {};
    int best = 0;
    for (int y = top; y <= bottom; y++)
        for (int x = 0; x < width; x++) {
            const MemCell &cell = want.cells[RenderCellAt(want, x, y)];
            int colours = cell.attr & 0xFF;
            if (RenderIsPlainBlank(cell) && ++counts[colours] > counts[best])
                best = colours;
        }
    return counts[best] > 0 ? best : -1;
}

/* Starts a whole frame that covers the terminal from a screen erased (ED) in
   its most common blank colours, so that those blanks cost nothing. */
static void RenderClear(const RenderFrame &want, int width, int height, RenderFrame *front,
                        Pen *pen, std::string *out)
{
    int blank = RenderCommonBlank(want, width, 0, height - 1);
    if (blank < 0 || !pen->caps->eraseScreen ||
        !RenderErasesInItsBackground(static_cast<WORD>(blank), *pen->caps))
        return;
    RenderAttr(pen, static_cast<WORD>(blank), out);
    out->append("\x1b[2J");
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            front->cells[RenderCellAt(*front, x, y)] =
                RenderErasedCell(RenderBackground(static_cast<WORD>(blank)));
}

namespace {

/* A block of rows that moved one row up or down on the screen. */
struct Scroll {
    int top; /* the scroll region, inclusive */
    int bottom;
    bool up; /* the rows moved up: the region scrolls up and its bottom row is new */
};

} // namespace

/*
 * Finds the longest run of changed rows that the front shows one row lower
 * (up) or higher (down), at least ScrollRowsMin long; the region takes in
 * the row the scroll brings in.  False when there is none.
 */
static bool RenderFindScroll(const RenderFrame &want, const RenderFrame &front, int width,
                             int first, int last, bool up, Scroll *scroll)
{
    int bestTop = 0, bestLength = 0;
    for (int y = first, length = 0; y <= last; y++) {
        int from = up ? y + 1 : y - 1;
        bool moved = from >= first && from <= last &&
                     !RenderRowShowsAlike(want, y, front, y, width) &&
                     RenderRowShowsAlike(want, y, front, from, width);
        length = moved ? length + 1 : 0;
        if (length > bestLength) {
            bestLength = length;
            bestTop = y - length + 1;
        }
    }
    if (bestLength < ScrollRowsMin)
        return false;
    *scroll = up ? Scroll{bestTop, bestTop + bestLength, true}
                 : Scroll{bestTop - 1, bestTop + bestLength - 1, false};
    return true;
}

/*
 * Scrolls the region by one row (DECSTBM, then IND at its bottom or RI at its
 * top, then the whole screen as the region again) and moves the front's rows
 * with it.  The row brought in is erased in the colours of the new row's
 * blanks, set before the scroll; without blanks, or where erased cells do
 * not take the background colour, it is unknown.
 */
static void RenderScroll(const RenderFrame &want, const Scroll &scroll, int width,
                         RenderFrame *front, Pen *pen, std::string *out)
{
    int fresh = scroll.up ? scroll.bottom : scroll.top;
    int blank = RenderCommonBlank(want, width, fresh, fresh);
    if (blank >= 0)
        RenderAttr(pen, static_cast<WORD>(blank), out);
    out->append("\x1b[").append(std::to_string(scroll.top + 1)).append(";");
    out->append(std::to_string(scroll.bottom + 1)).append("r");
    RenderAppendCup(0, fresh, out);
    out->append(scroll.up ? "\x1b"
                            "D"
                          : "\x1bM");
    out->append("\x1b[r");
    pen->placed = false; /* a margin change homes the cursor */
    int step = scroll.up ? 1 : -1;
    for (int y = scroll.up ? scroll.top : scroll.bottom; y != fresh; y += step)
        for (int x = 0; x < width; x++)
            front->cells[RenderCellAt(*front, x, y)] =
                front->cells[RenderCellAt(*front, x, y + step)];
    /* The bottom-right cell, left out where writing it scrolls, comes up unwritten. */
    if (pen->caps->scrollsAtLastCell && scroll.up && scroll.bottom == pen->rows - 1)
        front->cells[RenderCellAt(*front, width - 1, scroll.bottom - 1)] = MemCell{0, CellUnknown};
    bool erasedAlike =
        pen->attr >= 0 && RenderErasesInItsBackground(static_cast<WORD>(pen->attr), *pen->caps);
    for (int x = 0; x < width; x++)
        front->cells[RenderCellAt(*front, x, fresh)] =
            erasedAlike ? RenderErasedCell(RenderBackground(static_cast<WORD>(pen->attr)))
                        : MemCell{0, CellUnknown};
}

static bool RenderRows(const RenderFrame &want, int first, int last, int width, int columns,
                       RenderFrame *front, Pen *pen, std::string *out)
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
static bool RenderChanges(const RenderFrame &want, int first, int last, int width, int columns,
                          RenderFrame *front, Pen *pen, std::string *out)
{
    Scroll scroll = {};
    bool found = width == columns && last - first >= ScrollRowsMin && pen->caps->scrollRegion &&
                 (RenderFindScroll(want, *front, width, first, last, true, &scroll) ||
                  RenderFindScroll(want, *front, width, first, last, false, &scroll));
    if (!found)
        return RenderRows(want, first, last, width, columns, front, pen, out);
    RenderFrame scrolled = *front;
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

void RenderUpdate(const RenderFrame &want, RenderFrame *front, int columns, int rows,
                  std::string *out, const Caps &caps)
{
    int width = std::min(want.width, columns);
    int height = std::min(want.height, rows);
    bool whole = !front->known || front->width != want.width || front->height != want.height;
    bool showChange = whole || front->cursorVisible != want.cursorVisible;
    /* The cursor is where the last frame left it and the colours as it set them, unless
       what the terminal shows is unknown. */
    Pen pen = {front->cursor.X,
               front->cursor.Y,
               !whole && front->cursor.X >= 0,
               whole ? -1 : front->attr,
               false,
               &caps,
               rows};
    if (whole) {
        front->width = want.width;
        front->height = want.height;
        front->cells.assign(want.cells.size(), MemCell{0, CellUnknown});
    }
    if (showChange && !want.cursorVisible)
        out->append(caps.hideCursor);
    if (whole && want.width >= columns && want.height >= rows)
        RenderClear(want, width, height, front, &pen, out);
    int first = 0, last = 0;
    if (RenderChangedRows(want, *front, width, height, &first, &last))
        RenderChanges(want, first, last, width, columns, front, &pen, out);
    /* The colours stay set for the next frame: between two frames the terminal is ours, and
       handing it back resets them. */
    if (pen.acs)
        out->append(caps.leaveAcs);
    bool cursorOnScreen = want.cursor.X < columns && want.cursor.Y < rows;
    if (want.cursorVisible && cursorOnScreen) {
        RenderMove(&pen, want.cursor.X, want.cursor.Y, want, *front, out);
        if (showChange)
            out->append(caps.showCursor);
    }
    front->cursor =
        pen.placed ? COORD{static_cast<SHORT>(pen.x), static_cast<SHORT>(pen.y)} : COORD{-1, -1};
    front->attr = pen.attr;
    front->cursorVisible = want.cursorVisible;
    front->known = true;
}

void RenderUpdate(const RenderFrame &want, RenderFrame *front, int columns, int rows,
                  std::string *out)
{
    RenderUpdate(want, front, columns, rows, out, CapsXterm());
}

bool RenderShowsBlank(const RenderFrame &front)
{
    if (!front.known)
        return false;
    for (const MemCell &cell : front.cells)
        if ((cell.attr & CellUnknown) == CellUnknown ||
            (!(cell.attr & CellErased) && !RenderIsPlainBlank(cell)))
            return false;
    return true;
}
