/* The model terminal of the renderer tests. */
#include "tests/platform/model_terminal.h"

#include "console/emulated/cp437.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

Model NewModel(int columns, int rows)
{
    return Model{
        columns,
        rows,
        std::vector<ModelCell>(static_cast<size_t>(columns * rows), ModelCell{"?", -1, -1, false}),
        0,
        0,
        false,
        -1,
        -1,
        true,
        0,
        rows - 1,
        std::vector<int>(static_cast<size_t>(columns * rows), 0),
        false,
        false,
        false,
        true,
        false,
        true,
        false,
        false,
        false,
        false};
}

Model NewModel(int columns, int rows, const Caps &caps)
{
    Model m = NewModel(columns, rows);
    m.backgroundErase = caps.backgroundErase;
    m.boldBrightens = caps.colours == CAPS_COLOURS_8;
    m.utf8 = caps.utf8;
    m.wideAmbiguous = caps.wideAmbiguous;
    m.scrollsAtLastCell = caps.scrollsAtLastCell;
    return m;
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

static void ApplySgr(Model *m, const std::vector<int> &params)
{
    std::vector<int> all = params.empty() ? std::vector<int>{0} : params;
    for (size_t i = 0; i < all.size(); i++) {
        int p = all[i];
        if (p == 0) {
            m->fg = -1;
            m->bg = -1;
            m->bold = m->reverse = false;
        } else if (p == 1 || p == 7) {
            (p == 1 ? m->bold : m->reverse) = true;
        } else if ((p == 38 || p == 48) && i + 2 < all.size() && all[i + 1] == 5 &&
                   all[i + 2] < 16) {
            int indexed = all[i + 2];
            (p == 38 ? m->fg : m->bg) = (indexed & 8) | WindowsColour(indexed & 7);
            i += 2;
        } else if (p >= 30 && p <= 37) {
            m->fg = WindowsColour(p - 30);
        } else if (p >= 90 && p <= 97) {
            m->fg = 8 | WindowsColour(p - 90);
        } else if (p >= 40 && p <= 47) {
            m->bg = WindowsColour(p - 40);
        } else if (p >= 100 && p <= 107) {
            m->bg = 8 | WindowsColour(p - 100);
        } else {
            ADD_FAILURE() << "unexpected SGR " << p;
        }
    }
}

/* Blanks cells [from, to) of row y as an erase does: in the current background, where
   the terminal erases so. */
static void EraseCells(Model *m, int y, int from, int to)
{
    for (int x = from; x < to; x++)
        SentCell(m, x, y) = ModelCell{" ", -1, m->backgroundErase ? m->bg : -1, true};
}

/* The colours a written cell shows: bold brightens on 8 colours, reverse swaps. */
static ModelCell WrittenCell(const Model *m, const std::string &glyph)
{
    int fg = m->fg;
    if (m->bold && m->boldBrightens && fg >= 0 && fg < 8)
        fg |= 8;
    return m->reverse ? ModelCell{glyph, m->bg, fg, false} : ModelCell{glyph, fg, m->bg, false};
}

/* The line drawing of DEC special graphics that the renderer uses, as UTF-8. */
static std::string DecGlyph(char c)
{
    static const char Chars[] = "jklmnqtuvwx";
    static const char *const Glyphs[] = {"┘", "┐", "┌", "└", "┼", "─", "├", "┤", "┴", "┬", "│"};
    const char *found = std::strchr(Chars, c);
    return c != 0 && found != nullptr ? Glyphs[found - Chars] : std::string("\xEE") + c;
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
    EXPECT_FALSE(m->pastEnd) << "relative move from the pending-wrap state";
    EXPECT_TRUE(m->top == 0 && m->bottom == m->rows - 1) << "relative move inside a scroll region";
    m->y += final == 'B' ? n : final == 'A' ? -n : 0;
    m->x += final == 'C' ? n : final == 'D' ? -n : 0;
    EXPECT_TRUE(m->x >= 0 && m->x < m->columns && m->y >= 0 && m->y < m->rows)
        << "cursor moved off the screen to " << m->x << "," << m->y;
}

static void FeedMargins(Model *m, const std::vector<int> &params)
{
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
        for (int y = 0; y < m->rows; y++)
            EraseCells(m, y, 0, m->columns);
    } else if (final == 'K' && !isPrivate && params.size() == 1 && params[0] < 1) {
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
        return 3;
    }
    if (i + 1 < bytes.size() && bytes[i] == ')' && (bytes[i + 1] == '0' || bytes[i + 1] == 'B')) {
        m->g1LineDrawing = bytes[i + 1] == '0';
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
            i++;
            continue;
        }
        if (c == '\b' || c == '\r') {
            /* Where the cursor stands after the last column differs between terminals. */
            EXPECT_FALSE(m->pastEnd) << "a backspace or return after the last column";
            m->x = c == '\r' ? 0 : std::max(m->x - 1, 0);
            m->pastEnd = false;
            i++;
            continue;
        }
        ASSERT_GE(c, 0x20) << "raw control byte sent";
        ASSERT_TRUE(c < 0x80 || m->utf8) << "a byte beyond ASCII to a terminal without UTF-8";
        /* The box drawing's dashed lines (U+254C to U+254F) are the only lines drawn narrow. */
        ASSERT_TRUE(c < 0x80 || !m->wideAmbiguous ||
                    (bytes.compare(i, 2, "\xE2\x95") == 0 && i + 2 < bytes.size() &&
                     (bytes[i + 2] & 0xFC) == ('\x8C' & 0xFC)))
            << "a character of ambiguous width, drawn two cells wide";
        ASSERT_FALSE(m->pastEnd) << "text after the last column without a CUP";
        ASSERT_TRUE(m->x >= 0 && m->x < m->columns && m->y >= 0 && m->y < m->rows)
            << "text outside the screen at " << m->x << "," << m->y;
        size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        bool drawing = m->lineDrawing || (m->shiftOut && m->g1LineDrawing);
        std::string glyph = drawing ? DecGlyph(bytes[i]) : bytes.substr(i, length);
        SentCell(m, m->x, m->y) = WrittenCell(m, glyph);
        if (m->scrollsAtLastCell && m->x == m->columns - 1 && m->y == m->rows - 1) {
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

/* The look a wanted cell is to have on the model's profile: its glyph ("" where any one
   character will do) and the colours shown. */
static ModelCell WantedLook(const Model &m, const MemCell &cell)
{
    static const char SingleLines[] = "\xB3\xB4\xBF\xC0\xC1\xC2\xC3\xC4\xC5\xD9\xDA";
    int fg = cell.attr & 15, bg = (cell.attr >> 4) & 15;
    if (m.boldBrightens && (bg & 8))
        fg &= 7;
    if (cell.attr & 0x4000)
        std::swap(fg, bg);
    std::string glyph = Cp437ToUtf8(cell.ch);
    /* Without UTF-8 the single lines come from the terminal's own line drawing; drawn
       narrow where ambiguous characters are wide, they are stand-ins like any other. */
    bool drawnAlike = cell.ch == 0 || (cell.ch >= 0x20 && cell.ch < 0x7F) ||
                      (!m.wideAmbiguous &&
                       std::strchr(SingleLines, static_cast<char>(cell.ch)) != nullptr);
    if ((!m.utf8 || m.wideAmbiguous) && cell.ch == 0xDB)
        return ModelCell{" ", bg, fg, false}; /* a space in reverse video */
    static const struct {
        unsigned char ch;
        const char *dashed;
    } NarrowLines[] = {{0xC4, "╌"}, {0xB3, "╎"}, {0xCD, "╍"}, {0xBA, "╏"}};
    for (const auto &line : NarrowLines)
        if (m.wideAmbiguous && cell.ch == line.ch)
            return ModelCell{line.dashed, fg, bg, false};
    return ModelCell{(m.utf8 && !m.wideAmbiguous) || drawnAlike ? glyph : "", fg, bg, false};
}

/* How the cell at (x, y) shows otherwise than the frame wants it, or "". */
static std::string CellDifference(const Model &m, const RenderFrame &f, int x, int y)
{
    const ModelCell &shown = m.cells[static_cast<size_t>(y * m.columns + x)];
    const MemCell &cell = f.cells[static_cast<size_t>(y * f.width + x)];
    if (m.scrollsAtLastCell && x == m.columns - 1 && y == m.rows - 1)
        return "";
    ModelCell want = WantedLook(m, cell);
    if (shown.erased && !(IsPlainBlank(cell) && shown.bg == want.bg))
        return CellName(x, y) + " is erased in background " + std::to_string(shown.bg);
    bool glyphAlike = want.glyph.empty() ? shown.glyph.size() == 1 : shown.glyph == want.glyph;
    if (!shown.erased && (!glyphAlike || shown.fg != want.fg || shown.bg != want.bg))
        return CellName(x, y) + " shows '" + shown.glyph + "' " + std::to_string(shown.fg) + "/" +
               std::to_string(shown.bg);
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
