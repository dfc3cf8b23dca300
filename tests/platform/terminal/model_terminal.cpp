/* The model terminal of the renderer tests. */
#include "model_terminal.h"

#include "cp437.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

/* The colours SGR 0 sets: the terminal's own, unknown where it has colours; where it has
   none, its only ones, taken as light grey on black. */
static int PlainColour(const Caps &caps, bool background)
{
    return caps.colours != CapsColoursNone ? -1 : background ? 0 : 7;
}

Model NewModel(int columns, int rows, const Caps &caps)
{
    size_t cells = static_cast<size_t>(columns * rows);
    return Model{columns,
                 rows,
                 std::vector<ModelCell>(cells, ModelCell{"?", -1, -1, false, false}),
                 0,
                 0,
                 false,
                 PlainColour(caps, false),
                 PlainColour(caps, true),
                 true,
                 0,
                 rows - 1,
                 std::vector<int>(cells, 0),
                 false,
                 false,
                 false,
                 false,
                 false,
                 false,
                 false,
                 caps};
}

Model NewModel(int columns, int rows)
{
    return NewModel(columns, rows, CapsXterm());
}

static ModelCell &CellOf(Model *m, int x, int y)
{
    return m->cells[static_cast<size_t>(y * m->columns + x)];
}

/* The cell at (x, y), counted as sent: the terminal was told to change it. */
static ModelCell &SentCell(Model *m, int x, int y)
{
    m->sent[static_cast<size_t>(y * m->columns + x)]++;
    return CellOf(m, x, y);
}

/* ANSI colour numbers (red 1, blue 4) back to Windows order (blue 1, red 4). */
static int WindowsColour(int ansi)
{
    static const int table[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    return table[ansi];
}

/* Plays an SGR, failing on any parameter the profile does not take. */
static void ApplySgr(Model *m, const std::vector<int> &params)
{
    const Caps &caps = m->caps;
    EXPECT_TRUE(caps.colours != CapsColoursNone || caps.bold || caps.reverse || caps.underline)
        << "SGR to a terminal that takes none";
    std::vector<int> all = params.empty() ? std::vector<int>{0} : params;
    for (size_t i = 0; i < all.size(); i++) {
        int p = all[i];
        bool base = (p >= 30 && p <= 37) || (p >= 40 && p <= 47);
        bool bright = (p >= 90 && p <= 97) || (p >= 100 && p <= 107);
        bool indexed =
            (p == 38 || p == 48) && i + 2 < all.size() && all[i + 1] == 5 && all[i + 2] < 16;
        bool taken = p == 0 || (p == 1 && caps.bold) || (p == 7 && caps.reverse) ||
                     (p == 4 && caps.underline) || (p == 5 && caps.vgaIntensity) ||
                     (base && (caps.colours == CapsColours8 || caps.colours == CapsColours16)) ||
                     (bright && caps.colours == CapsColours16) ||
                     (indexed && caps.colours == CapsColoursIndexed);
        EXPECT_TRUE(taken) << "SGR " << p << " to a terminal that does not take it";
        int colour = indexed ? all[i + 2] : base ? p % 10 : bright ? 8 + p % 10 : 0;
        bool background = indexed ? p == 48 : (base || bright) && (p / 10) % 2 == 0;
        if (p == 0) {
            m->fg = PlainColour(caps, false);
            m->bg = PlainColour(caps, true);
            m->bold = m->reverse = m->underline = m->blink = false;
        } else if (p == 1 || p == 4 || p == 5 || p == 7) {
            (p == 1 ? m->bold : p == 4 ? m->underline : p == 5 ? m->blink : m->reverse) = true;
        } else if (indexed || base || bright) {
            (background ? m->bg : m->fg) = (colour & 8) | WindowsColour(colour & 7);
            i += indexed ? 2 : 0;
        }
    }
}

/* A colour made bright, where it is known. */
static int Brightened(int colour, bool bright)
{
    return bright && colour >= 0 ? colour | 8 : colour;
}

/* Blanks cells [from, to) of row y as an erase does: in the current background, where
   the terminal erases so (the kernel's console with its blink bit). */
static void EraseCells(Model *m, int y, int from, int to)
{
    int bg = m->caps.backgroundErase ? Brightened(m->bg, m->blink) : PlainColour(m->caps, true);
    for (int x = from; x < to; x++)
        SentCell(m, x, y) = ModelCell{" ", -1, bg, true, false};
}

/* The colours a written cell shows: bold brightens on 8 colours or none, then reverse
   swaps; on the kernel's console reverse swaps first, then bold brightens the text and
   blink the background. */
static ModelCell WrittenCell(const Model *m, const std::string &glyph)
{
    int fg = m->fg, bg = m->bg;
    bool brightens = m->caps.colours == CapsColours8 || m->caps.colours == CapsColoursNone;
    if (m->caps.vgaIntensity) {
        if (m->reverse)
            std::swap(fg, bg);
        return ModelCell{glyph, Brightened(fg, m->bold), Brightened(bg, m->blink), false,
                         m->underline};
    }
    fg = Brightened(fg, m->bold && brightens);
    return m->reverse ? ModelCell{glyph, bg, fg, false, m->underline}
                      : ModelCell{glyph, fg, bg, false, m->underline};
}

/* The single lines of code page 437 and the characters of DEC special graphics that
   select them. */
const char SingleLines[] = "\xB3\xB4\xBF\xC0\xC1\xC2\xC3\xC4\xC5\xD9\xDA";
const char DecLines[] = "xukmvwtqnjl";

/* What the line drawing shows for a byte: the line that the profile draws with it, as
   UTF-8, or a glyph of its own where the profile draws none with it. */
static std::string DecGlyph(const Caps &caps, char c)
{
    for (const char *dec = DecLines; *dec; dec++)
        if (c != 0 && caps.acs[static_cast<unsigned char>(*dec)] == c)
            return Cp437ToUtf8(static_cast<unsigned char>(SingleLines[dec - DecLines]));
    return std::string("\xEE") + c;
}

/* Moves the rows of the scroll region one up (IND at its bottom) or down (RI at its top). */
static void ScrollRegion(Model *m, bool up)
{
    int fresh = up ? m->bottom : m->top;
    int step = up ? 1 : -1;
    for (int y = up ? m->top : m->bottom; y != fresh; y += step)
        for (int x = 0; x < m->columns; x++)
            SentCell(m, x, y) = CellOf(m, x, y + step);
    EraseCells(m, fresh, 0, m->columns);
}

/* ESC D (IND) and ESC M (RI): down or up a row, scrolling at the region's edge. */
static void FeedIndex(Model *m, bool down)
{
    EXPECT_TRUE(m->caps.scrollRegion) << "IND or RI to a terminal without a scroll region";
    EXPECT_FALSE(m->pastEnd) << "index from the pending-wrap state";
    if (down && m->y == m->bottom)
        ScrollRegion(m, true);
    else if (!down && m->y == m->top)
        ScrollRegion(m, false);
    else
        m->y += down ? 1 : -1;
    EXPECT_TRUE(m->y >= 0 && m->y < m->rows) << "index off the screen";
}

static void FeedCursorMove(Model *m, char final, int n)
{
    EXPECT_TRUE(m->caps.relativeMoves) << "a relative move to a terminal without them";
    EXPECT_FALSE(m->pastEnd) << "relative move from the pending-wrap state";
    EXPECT_TRUE(m->top == 0 && m->bottom == m->rows - 1) << "relative move inside a scroll region";
    m->y += final == 'B' ? n : final == 'A' ? -n : 0;
    m->x += final == 'C' ? n : final == 'D' ? -n : 0;
    EXPECT_TRUE(m->x >= 0 && m->x < m->columns && m->y >= 0 && m->y < m->rows)
        << "cursor moved off the screen to " << m->x << "," << m->y;
}

static void FeedMargins(Model *m, const std::vector<int> &params)
{
    EXPECT_TRUE(m->caps.scrollRegion) << "DECSTBM to a terminal without a scroll region";
    bool whole = params.empty() || (params.size() == 1 && params[0] < 0);
    m->top = whole ? 0 : params[0] - 1;
    m->bottom = whole ? m->rows - 1 : params.at(1) - 1;
    EXPECT_TRUE(m->top >= 0 && m->top < m->bottom && m->bottom < m->rows) << "bad scroll region";
    m->x = 0;
    m->y = 0;
    m->pastEnd = false;
}

/* Plays one control sequence of the CSI form. */
static void FeedCsi(Model *m, bool isPrivate, const std::vector<int> &params, char final)
{
    auto param = [&](size_t n) { return n < params.size() && params[n] > 0 ? params[n] : 1; };
    if (final == 'H' && !isPrivate) {
        m->y = param(0) - 1;
        m->x = param(1) - 1;
        m->pastEnd = false;
    } else if ((final == 'A' || final == 'B' || final == 'C' || final == 'D') && !isPrivate) {
        FeedCursorMove(m, final, param(0));
    } else if (final == 'J' && !isPrivate && params.size() == 1 && params[0] == 2) {
        EXPECT_TRUE(m->caps.eraseScreen) << "ED to a terminal without it";
        for (int y = 0; y < m->rows; y++)
            EraseCells(m, y, 0, m->columns);
    } else if (final == 'K' && !isPrivate && params.size() == 1 && params[0] < 1) {
        EXPECT_TRUE(m->caps.eraseLine) << "EL to a terminal without it";
        EXPECT_FALSE(m->pastEnd) << "EL from the pending-wrap state";
        EraseCells(m, m->y, m->x, m->columns);
    } else if (final == 'r' && !isPrivate) {
        FeedMargins(m, params);
    } else if (final == 'm' && !isPrivate) {
        std::vector<int> sgr;
        for (int p : params)
            sgr.push_back(p < 0 ? 0 : p);
        ApplySgr(m, sgr);
    } else if ((final == 'h' || final == 'l') && isPrivate && params == std::vector<int>{25}) {
        m->cursorVisible = final == 'h';
    } else if (final == 'c' && isPrivate &&
               m->caps.hideCursor.find("\x1b[?1c") != std::string::npos) {
        /* the kernel console's cursor shape, sent with the cursor's visibility */
    } else {
        ADD_FAILURE() << "unexpected sequence ending in '" << final << "'";
    }
}

/* Plays one escape sequence starting at bytes[at]; returns its length. */
static size_t FeedEscape(Model *m, const std::string &bytes, size_t at)
{
    size_t i = at + 1;
    if (i < bytes.size() && (bytes[i] == 'D' || bytes[i] == 'M')) {
        FeedIndex(m, bytes[i] == 'D');
        return 2;
    }
    if (i + 1 < bytes.size() && bytes[i] == '(' && (bytes[i + 1] == '0' || bytes[i + 1] == 'B')) {
        m->lineDrawing = bytes[i + 1] == '0';
        EXPECT_EQ(bytes.substr(at, 3), m->lineDrawing ? m->caps.enterAcs : m->caps.leaveAcs)
            << "a character set the profile does not switch to so";
        return 3;
    }
    if (i + 1 < bytes.size() && bytes[i] == ')' && (bytes[i + 1] == '0' || bytes[i + 1] == 'B')) {
        m->g1LineDrawing = bytes[i + 1] == '0';
        EXPECT_EQ(bytes.substr(at, 3), m->caps.enableAcs) << "G1 set, not by the profile's enacs";
        return 3;
    }
    EXPECT_TRUE(i < bytes.size() && bytes[i] == '[') << "not a CSI at " << at;
    bool isPrivate = ++i < bytes.size() && bytes[i] == '?';
    i += isPrivate ? 1 : 0;
    std::vector<int> params;
    for (int value = -1; i < bytes.size(); i++) {
        char c = bytes[i];
        if (c >= '0' && c <= '9') {
            value = (value < 0 ? 0 : value * 10) + (c - '0');
            continue;
        }
        params.push_back(value);
        value = -1;
        if (c != ';')
            break;
    }
    FeedCsi(m, isPrivate, params, i < bytes.size() ? bytes[i] : '\0');
    return i + 1 - at;
}

void Feed(Model *m, const std::string &bytes)
{
    for (size_t i = 0; i < bytes.size();) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == 0x1b) {
            i += FeedEscape(m, bytes, i);
            continue;
        }
        if (c == 0x0E || c == 0x0F) { /* SO and SI: G1, then G0 */
            m->shiftOut = c == 0x0E;
            EXPECT_TRUE(m->g1LineDrawing) << "SO with no line drawing in G1";
            EXPECT_EQ(bytes.substr(i, 1), m->shiftOut ? m->caps.enterAcs : m->caps.leaveAcs)
                << "a shift the profile does not switch its line drawing with";
            i++;
            continue;
        }
        if (c == '\b' || c == '\r') {
            EXPECT_TRUE(c == '\b' ? m->caps.backspace : m->caps.carriageReturn)
                << "a backspace or return to a terminal that does not take it";
            /* Where the cursor stands after the last column differs between terminals. */
            EXPECT_FALSE(m->pastEnd) << "a backspace or return after the last column";
            m->x = c == '\r' ? 0 : std::max(m->x - 1, 0);
            m->pastEnd = false;
            i++;
            continue;
        }
        ASSERT_GE(c, 0x20) << "raw control byte sent";
        ASSERT_TRUE(c < 0x80 || m->caps.utf8) << "a byte beyond ASCII to a terminal without UTF-8";
        /* The box drawing's dashed lines (U+254C to U+254F) are the only lines drawn narrow. */
        ASSERT_TRUE(c < 0x80 || !m->caps.wideAmbiguous ||
                    (bytes.compare(i, 2, "\xE2\x95") == 0 && i + 2 < bytes.size() &&
                     (bytes[i + 2] & 0xFC) == ('\x8C' & 0xFC)))
            << "a character of ambiguous width, drawn two cells wide";
        ASSERT_FALSE(m->pastEnd) << "text after the last column without a CUP";
        ASSERT_TRUE(m->x >= 0 && m->x < m->columns && m->y >= 0 && m->y < m->rows)
            << "text outside the screen at " << m->x << "," << m->y;
        size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        bool drawing = m->lineDrawing || (m->shiftOut && m->g1LineDrawing);
        std::string glyph = drawing ? DecGlyph(m->caps, bytes[i]) : bytes.substr(i, length);
        SentCell(m, m->x, m->y) = WrittenCell(m, glyph);
        if (m->caps.scrollsAtLastCell && m->x == m->columns - 1 && m->y == m->rows - 1) {
            m->top = 0, m->bottom = m->rows - 1;
            ScrollRegion(m, true); /* the terminal wraps and scrolls the whole screen */
            ADD_FAILURE() << "the bottom-right cell written: the screen scrolled";
        }
        if (++m->x == m->columns) {
            m->x = m->columns - 1;
            m->pastEnd = true;
        }
        i += length;
    }
}

static bool IsPlainBlank(const MemCell &cell)
{
    return std::string(Cp437ToUtf8(cell.ch)) == " " && (cell.attr & 0xC000) == 0;
}

static std::string CellName(int x, int y)
{
    return "cell " + std::to_string(x) + "," + std::to_string(y);
}

/* Whether a glyph shows as the character wanted: as itself in UTF-8, in ASCII and where
   the line drawing has it; where ambiguous characters are wide, the four straight lines
   dashed; a line it lacks as one of + - | =; the full block as a space where there is
   reverse video (in WantedLook); anything else as any one character. */
static bool GlyphAlike(const Caps &caps, unsigned char ch, const std::string &shown)
{
    static const struct {
        unsigned char ch;
        const char *dashed;
    } NarrowLines[] = {{0xC4, "╌"}, {0xB3, "╎"}, {0xCD, "╍"}, {0xBA, "╏"}};
    const char *line = ch != 0 ? std::strchr(SingleLines, static_cast<char>(ch)) : nullptr;
    bool drawn = line != nullptr && !caps.utf8 && !caps.enterAcs.empty() &&
                 caps.acs[static_cast<unsigned char>(DecLines[line - SingleLines])] != 0;
    if ((caps.utf8 && !caps.wideAmbiguous) || ch == 0 || (ch >= 0x20 && ch < 0x7F) || drawn)
        return shown == Cp437ToUtf8(ch);
    for (const auto &narrow : NarrowLines)
        if (caps.wideAmbiguous && ch == narrow.ch)
            return shown == narrow.dashed;
    if (ch == 0xDB && caps.reverse)
        return shown == " ";
    bool one = !shown.empty() && std::all_of(shown.begin() + 1, shown.end(),
                                             [](char c) { return (c & 0xC0) == 0x80; });
    return one && (line == nullptr || std::strchr("+-|=", shown[0]) != nullptr);
}

/* The colours a wanted cell is to show, as near as the profile can show them. */
static ModelCell WantedLook(const Caps &caps, const MemCell &cell)
{
    int fg = cell.attr & 15, bg = (cell.attr >> 4) & 15;
    bool block = (!caps.utf8 || caps.wideAmbiguous) && cell.ch == 0xDB && caps.reverse;
    bool reverse = ((cell.attr & COMMON_LVB_REVERSE_VIDEO) != 0) != block;
    if (caps.colours == CapsColoursNone) {
        reverse = reverse != (bg != 0); /* the background by reverse video, bright text by bold */
        fg = 7 | (fg & 8);
        bg = 0;
    } else if (caps.colours == CapsColours8 && !caps.vgaIntensity) {
        ((bg & 8) && caps.reverse ? fg : bg) &= 7; /* a bright background by reverse video */
    }
    if ((caps.colours == CapsColoursNone || caps.colours == CapsColours8) && !caps.bold) {
        fg &= 7; /* only bold makes a colour bright */
        bg &= 7;
    }
    if (reverse && caps.reverse)
        std::swap(fg, bg);
    return ModelCell{"", fg, bg, false, (cell.attr & COMMON_LVB_UNDERSCORE) != 0 && caps.underline};
}

/* How the cell at (x, y) shows otherwise than the frame wants it, or "". */
static std::string CellDifference(const Model &m, const RenderFrame &f, int x, int y)
{
    const ModelCell &shown = m.cells[static_cast<size_t>(y * m.columns + x)];
    const MemCell &cell = f.cells[static_cast<size_t>(y * f.width + x)];
    if (m.caps.scrollsAtLastCell && x == m.columns - 1 && y == m.rows - 1)
        return "";
    ModelCell want = WantedLook(m.caps, cell);
    if (shown.erased && !(IsPlainBlank(cell) && shown.bg == want.bg))
        return CellName(x, y) + " is erased in background " + std::to_string(shown.bg);
    if (!shown.erased && (!GlyphAlike(m.caps, cell.ch, shown.glyph) || shown.fg != want.fg ||
                          shown.bg != want.bg || shown.underline != want.underline))
        return CellName(x, y) + " shows '" + shown.glyph + "' " + std::to_string(shown.fg) + "/" +
               std::to_string(shown.bg) + (shown.underline ? " underlined" : "");
    return "";
}

std::string Difference(const Model &m, const RenderFrame &f)
{
    int width = std::min(m.columns, f.width);
    for (int y = 0; y < std::min(m.rows, f.height); y++) {
        for (int x = 0, run = 0; x <= width; x++) {
            bool erased = x < width && m.cells[static_cast<size_t>(y * m.columns + x)].erased;
            if (!erased && run > 0 && run < 5 && run < x && x < width)
                return "only " + std::to_string(run) + " erased cells before " + CellName(x, y);
            run = erased ? run + 1 : 0;
            std::string problem = x < width ? CellDifference(m, f, x, y) : "";
            if (!problem.empty())
                return problem;
        }
    }
    if (m.cursorVisible != f.cursorVisible)
        return "cursor visibility";
    if (f.cursorVisible && (m.x != f.cursor.X || m.y != f.cursor.Y || m.pastEnd))
        return "cursor at " + std::to_string(m.x) + "," + std::to_string(m.y);
    return "";
}

std::string EndOfFrameProblem(const Model &m)
{
    if (m.lineDrawing || m.shiftOut)
        return "the frame ends with the alternate character set on";
    if (m.top != 0 || m.bottom != m.rows - 1)
        return "the frame leaves a scroll region";
    return "";
}
