/* The terminal renderer, rendering into memory: the bytes are played on a
   small model terminal and the result compared with the frame. */
#include "console/posix/cp437.h"
#include "console/posix/terminal.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

/* ---------------------------------------------------------- Model terminal */

struct ModelCell {
    std::string glyph;
    int fg; /* Windows colour 0..15, -1 for the terminal's default */
    int bg;
};

/* Just enough of a terminal to follow the renderer: CUP, CUF, SGR colours,
   cursor show/hide and UTF-8 text.  Anything else is a test failure, and so
   is text sent after the last column without moving the cursor first. */
struct Model {
    int columns;
    int rows;
    std::vector<ModelCell> cells;
    int x;
    int y;
    bool pastEnd;
    int fg;
    int bg;
    bool cursorVisible;
};

Model NewModel(int columns, int rows)
{
    return Model{columns, rows,
                 std::vector<ModelCell>(static_cast<size_t>(columns * rows), ModelCell{"?", -1, -1}),
                 0, 0, false, -1, -1, true};
}

/* ANSI colour numbers (red 1, blue 4) back to Windows order (blue 1, red 4). */
int WindowsColour(int ansi)
{
    static const int table[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    return table[ansi];
}

void ApplySgr(Model *m, const std::vector<int> &params)
{
    for (int p : params.empty() ? std::vector<int>{0} : params) {
        if (p == 0) {
            m->fg = -1;
            m->bg = -1;
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

/* Plays one escape sequence starting at bytes[at]; returns its length. */
size_t FeedEscape(Model *m, const std::string &bytes, size_t at)
{
    size_t i = at + 1;
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
    char final = i < bytes.size() ? bytes[i] : '\0';
    auto param = [&](size_t n) { return n < params.size() && params[n] > 0 ? params[n] : 1; };
    if (final == 'H' && !isPrivate) {
        m->y = param(0) - 1;
        m->x = param(1) - 1;
        m->pastEnd = false;
    } else if (final == 'C' && !isPrivate) {
        EXPECT_FALSE(m->pastEnd) << "CUF from the pending-wrap state";
        m->x += param(0);
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
        ASSERT_GE(c, 0x20) << "raw control byte sent";
        ASSERT_FALSE(m->pastEnd) << "text after the last column without a CUP";
        ASSERT_TRUE(m->x >= 0 && m->x < m->columns && m->y >= 0 && m->y < m->rows)
            << "text outside the screen at " << m->x << "," << m->y;
        size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        m->cells[static_cast<size_t>(m->y * m->columns + m->x)] =
            ModelCell{bytes.substr(i, length), m->fg, m->bg};
        if (++m->x == m->columns) {
            m->x = m->columns - 1;
            m->pastEnd = true;
        }
        i += length;
    }
}

/* The first difference between what the model shows and the frame, or "". */
std::string Difference(const Model &m, const TermFrame &f)
{
    for (int y = 0; y < std::min(m.rows, f.height); y++) {
        for (int x = 0; x < std::min(m.columns, f.width); x++) {
            const ModelCell &shown = m.cells[static_cast<size_t>(y * m.columns + x)];
            const MemCell &cell = f.cells[static_cast<size_t>(y * f.width + x)];
            if (shown.glyph != Cp437ToUtf8(cell.ch) || shown.fg != (cell.attr & 15) ||
                shown.bg != ((cell.attr >> 4) & 15))
                return "cell " + std::to_string(x) + "," + std::to_string(y) + " shows '" +
                       shown.glyph + "' " + std::to_string(shown.fg) + "/" +
                       std::to_string(shown.bg);
        }
    }
    if (m.cursorVisible != f.cursorVisible)
        return "cursor visibility";
    if (f.cursorVisible && (m.x != f.cursor.X || m.y != f.cursor.Y || m.pastEnd))
        return "cursor at " + std::to_string(m.x) + "," + std::to_string(m.y);
    return "";
}

/* ------------------------------------------------------------------ Frames */

TermFrame BlankFrame(int width, int height)
{
    return TermFrame{width, height,
                     std::vector<MemCell>(static_cast<size_t>(width * height), MemCell{' ', 7}),
                     COORD{0, 0}, true, true};
}

void Put(TermFrame *f, int x, int y, const std::string &bytes, WORD attr)
{
    for (size_t i = 0; i < bytes.size(); i++)
        f->cells[static_cast<size_t>(y * f->width + x) + i] =
            MemCell{static_cast<unsigned char>(bytes[i]), attr};
}

TermFrame Unknown()
{
    TermFrame front = {};
    front.known = false;
    return front;
}

/* Renders want over front and plays the bytes on the model. */
std::string RenderOnto(Model *m, const TermFrame &want, TermFrame *front)
{
    std::string out;
    TermRender(want, front, m->columns, m->rows, &out);
    Feed(m, out);
    return out;
}

TEST(Render, FirstFrameDrawsEveryCellInExplicitColours)
{
    TermFrame want = BlankFrame(12, 4);
    Put(&want, 0, 0, "\xC9\xCD\xCD\xBB", 10);
    Put(&want, 0, 1, "\xBA\x01\x7F\xBA", 10);
    Put(&want, 5, 2, "Zop", 0xA0);
    Put(&want, 11, 3, std::string(1, '\0'), 0x1C);
    want.cursor = COORD{4, 2};
    Model m = NewModel(12, 4);
    TermFrame front = Unknown();
    std::string out = RenderOnto(&m, want, &front);
    EXPECT_EQ(Difference(m, want), "");
    EXPECT_TRUE(front.known);
    /* Box drawing and the control glyphs as UTF-8, never as raw bytes. */
    EXPECT_NE(out.find("╔══╗"), std::string::npos);
    EXPECT_NE(out.find("║☺⌂║"), std::string::npos);
    /* Light green, black on light green, light red on blue, light grey on black. */
    EXPECT_NE(out.find("\x1b[92;40m"), std::string::npos);
    EXPECT_NE(out.find("\x1b[30;102m"), std::string::npos);
    EXPECT_NE(out.find("\x1b[91;44m"), std::string::npos);
    EXPECT_NE(out.find("\x1b[37;40m"), std::string::npos);
    /* The terminal's own colours come back at the end of the frame. */
    EXPECT_NE(out.find("\x1b[0m\x1b[3;5H"), std::string::npos);
}

TEST(Render, UnchangedFrameSendsNothing)
{
    TermFrame want = BlankFrame(81, 46);
    Put(&want, 3, 3, "Game of Zop", 10);
    TermFrame front = Unknown();
    std::string out;
    TermRender(want, &front, 81, 46, &out);
    ASSERT_FALSE(out.empty());
    out.clear();
    TermRender(want, &front, 81, 46, &out);
    EXPECT_EQ(out, "");
    want.cursorVisible = false;
    TermRender(want, &front, 81, 46, &out);
    out.clear();
    want.cursor = COORD{7, 7}; /* a hidden cursor's moves show nothing */
    TermRender(want, &front, 81, 46, &out);
    EXPECT_EQ(out, "");
}

TEST(Render, OneChangedCellSendsAFewTensOfBytes)
{
    TermFrame want = BlankFrame(81, 46);
    want.cursorVisible = false;
    Model m = NewModel(81, 46);
    TermFrame front = Unknown();
    RenderOnto(&m, want, &front);
    Put(&want, 40, 20, "\xDB", 10);
    std::string out = RenderOnto(&m, want, &front);
    EXPECT_EQ(Difference(m, want), "");
    EXPECT_LE(out.size(), 30u) << out;
    /* A whole row of changes costs one cursor move and one colour. */
    Put(&want, 0, 30, std::string(81, 'x'), 7);
    out = RenderOnto(&m, want, &front);
    EXPECT_EQ(Difference(m, want), "");
    EXPECT_LE(out.size(), 81u + 20u);
}

TEST(Render, CursorMovesAndVisibilityAloneSendOnlyThat)
{
    TermFrame want = BlankFrame(20, 5);
    want.cursorVisible = false;
    Model m = NewModel(20, 5);
    TermFrame front = Unknown();
    std::string out = RenderOnto(&m, want, &front);
    EXPECT_EQ(out.find("\x1b[?25h"), std::string::npos);
    EXPECT_EQ(out.rfind("\x1b[?25l", 0), 0u);
    want.cursorVisible = true;
    want.cursor = COORD{5, 2};
    out = RenderOnto(&m, want, &front);
    EXPECT_EQ(out, "\x1b[3;6H\x1b[?25h");
    want.cursor = COORD{0, 4};
    out = RenderOnto(&m, want, &front);
    EXPECT_EQ(out, "\x1b[5;1H");
    EXPECT_EQ(Difference(m, want), "");
}

TEST(Render, CellsBeyondASmallerTerminalAreNotSent)
{
    TermFrame want = BlankFrame(30, 10);
    Put(&want, 0, 9, std::string(30, '#'), 12);
    Put(&want, 25, 0, "edge", 12);
    Model m = NewModel(26, 8);
    TermFrame front = Unknown();
    RenderOnto(&m, want, &front);
    EXPECT_EQ(Difference(m, want), "");
}

/* Random edits, many frames: the terminal must always end up showing the
   frame, and the renderer must never rely on where the last column left
   the cursor. */
TEST(Render, RandomEditsKeepTheTerminalInStep)
{
    std::mt19937 random(437);
    const unsigned char glyphs[] = {' ', 'a', 'Z', 0x00, 0x01, 0x7F, 0xB3, 0xC4, 0xDB, 0xFF};
    const WORD attrs[] = {7, 10, 0xA0, 0x1C, 0x07 | 0x80, 0x4E};
    TermFrame want = BlankFrame(30, 8);
    Model m = NewModel(30, 8);
    TermFrame front = Unknown();
    for (int round = 0; round < 200; round++) {
        int edits = static_cast<int>(random() % 12);
        for (int i = 0; i < edits; i++) {
            int y = static_cast<int>(random() % 8);
            int x = random() % 3 == 0 ? 29 : static_cast<int>(random() % 30);
            want.cells[static_cast<size_t>(y * 30 + x)] =
                MemCell{glyphs[random() % sizeof glyphs], attrs[random() % 6]};
        }
        if (random() % 4 == 0)
            want.cursor = COORD{static_cast<SHORT>(random() % 30), static_cast<SHORT>(random() % 8)};
        if (random() % 8 == 0)
            want.cursorVisible = !want.cursorVisible;
        RenderOnto(&m, want, &front);
        ASSERT_EQ(Difference(m, want), "") << "round " << round;
    }
}

/* ------------------------------------------------------ Cursor reports */

TEST(CursorReport, IsTakenOutOfTheBytesAroundIt)
{
    std::string bytes = "ab\x1b[12;5Rcd";
    int row = 0;
    int column = 0;
    ASSERT_TRUE(TermTakeCursorReport(&bytes, &row, &column));
    EXPECT_EQ(row, 12);
    EXPECT_EQ(column, 5);
    EXPECT_EQ(bytes, "abcd");
    /* A key sequence before the report stays, in order. */
    bytes = "\x1b[A\x1b[1;1R";
    ASSERT_TRUE(TermTakeCursorReport(&bytes, &row, &column));
    EXPECT_EQ(row, 1);
    EXPECT_EQ(bytes, "\x1b[A");
    /* Incomplete or absent: nothing taken. */
    for (std::string partial : {"\x1b[12;", "\x1b[12R", "x\x1b[;R", "q"}) {
        std::string kept = partial;
        EXPECT_FALSE(TermTakeCursorReport(&kept, &row, &column)) << partial;
        EXPECT_EQ(kept, partial);
    }
}

} // namespace
