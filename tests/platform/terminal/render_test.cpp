/* The terminal renderer, rendering into memory: the bytes are played on a
   small model terminal and the result compared with the frame. */
#include "cp437.h"
#include "model_terminal.h"
#include "render.h"
#include "terminfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

/* ------------------------------------------------------------------ Frames */

RenderFrame BlankFrame(int width, int height)
{
    return RenderFrame{width,
                       height,
                       std::vector<MemCell>(static_cast<size_t>(width * height), MemCell{' ', 7}),
                       COORD{0, 0},
                       true,
                       true,
                       -1};
}

void Put(RenderFrame *f, int x, int y, const std::string &bytes, WORD attr)
{
    for (size_t i = 0; i < bytes.size(); i++)
        f->cells[static_cast<size_t>(y * f->width + x) + i] =
            MemCell{static_cast<unsigned char>(bytes[i]), attr};
}

RenderFrame Unknown()
{
    RenderFrame front = {};
    front.known = false;
    return front;
}

/* Renders want over front and plays the bytes on the model. */
std::string RenderOnto(Model *m, const RenderFrame &want, RenderFrame *front)
{
    std::string out;
    RenderUpdate(want, front, m->columns, m->rows, &out);
    Feed(m, out);
    EXPECT_EQ(EndOfFrameProblem(*m), "");
    return out;
}

TEST(Render, FirstFrameDrawsEveryCellInExplicitColours)
{
    RenderFrame want = BlankFrame(12, 4);
    Put(&want, 0, 0, "\xC9\xCD\xCD\xBB", 10);
    Put(&want, 0, 1, "\xBA\x01\x7F\xBA", 10);
    Put(&want, 5, 2, "Zop", 0xA0);
    Put(&want, 11, 3, std::string(1, '\0'), 0x1C);
    want.cursor = COORD{4, 2};
    Model m = NewModel(12, 4);
    RenderFrame front = Unknown();
    std::string out = RenderOnto(&m, want, &front);
    EXPECT_EQ(Difference(m, want), "");
    EXPECT_TRUE(front.known);
    /* Box drawing and the control glyphs as UTF-8, never as raw bytes. */
    EXPECT_NE(out.find("╔══╗"), std::string::npos);
    EXPECT_NE(out.find("║☺⌂║"), std::string::npos);
    /* Light grey on black first, from nothing known (SGR 0), then light green, black on
       light green and light red on blue, each from the colours before. */
    EXPECT_EQ(out.find("\x1b[0;37;40m"), out.find("\x1b["));
    EXPECT_NE(out.find("\x1b[92;40m"), std::string::npos);
    EXPECT_NE(out.find("\x1b[30;102m"), std::string::npos);
    EXPECT_NE(out.find("\x1b[91;44m"), std::string::npos);
    /* The colours stay set for the next frame: no SGR 0 before the cursor's move. */
    EXPECT_EQ(out.find("m\x1b[3;5H"), std::string::npos);
    EXPECT_EQ(out.find("\x1b[0m"), std::string::npos);
}

TEST(Render, UnchangedFrameSendsNothing)
{
    RenderFrame want = BlankFrame(81, 46);
    Put(&want, 3, 3, "Game of Zop", 10);
    RenderFrame front = Unknown();
    std::string out;
    RenderUpdate(want, &front, 81, 46, &out);
    ASSERT_FALSE(out.empty());
    out.clear();
    RenderUpdate(want, &front, 81, 46, &out);
    EXPECT_EQ(out, "");
    want.cursorVisible = false;
    RenderUpdate(want, &front, 81, 46, &out);
    out.clear();
    want.cursor = COORD{7, 7}; /* a hidden cursor's moves show nothing */
    RenderUpdate(want, &front, 81, 46, &out);
    EXPECT_EQ(out, "");
}

TEST(Render, OneChangedCellSendsAFewTensOfBytes)
{
    RenderFrame want = BlankFrame(81, 46);
    want.cursorVisible = false;
    Model m = NewModel(81, 46);
    RenderFrame front = Unknown();
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
    RenderFrame want = BlankFrame(20, 5);
    want.cursorVisible = false;
    Model m = NewModel(20, 5);
    RenderFrame front = Unknown();
    std::string out = RenderOnto(&m, want, &front);
    EXPECT_EQ(out.find("\x1b[?25h"), std::string::npos);
    EXPECT_EQ(out.rfind("\x1b[?25l", 0), 0u);
    want.cursorVisible = true;
    want.cursor = COORD{5, 2};
    out = RenderOnto(&m, want, &front);
    EXPECT_EQ(out, "\x1b[3;6H\x1b[?25h");
    want.cursor = COORD{0, 4};
    out = RenderOnto(&m, want, &front);
    EXPECT_EQ(out, "\x1b[2B\r") << "down, then a carriage return: shorter than CUP";
    EXPECT_EQ(Difference(m, want), "");
}

TEST(Render, CellsBeyondASmallerTerminalAreNotSent)
{
    RenderFrame want = BlankFrame(30, 10);
    Put(&want, 0, 9, std::string(30, '#'), 12);
    Put(&want, 25, 0, "edge", 12);
    Model m = NewModel(26, 8);
    RenderFrame front = Unknown();
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
    RenderFrame want = BlankFrame(30, 8);
    Model m = NewModel(30, 8);
    RenderFrame front = Unknown();
    for (int round = 0; round < 200; round++) {
        int edits = static_cast<int>(random() % 12);
        for (int i = 0; i < edits; i++) {
            int y = static_cast<int>(random() % 8);
            int x = random() % 3 == 0 ? 29 : static_cast<int>(random() % 30);
            want.cells[static_cast<size_t>(y * 30 + x)] =
                MemCell{glyphs[random() % sizeof glyphs], attrs[random() % 6]};
        }
        if (random() % 4 == 0)
            want.cursor =
                COORD{static_cast<SHORT>(random() % 30), static_cast<SHORT>(random() % 8)};
        if (random() % 8 == 0)
            want.cursorVisible = !want.cursorVisible;
        RenderOnto(&m, want, &front);
        ASSERT_EQ(Difference(m, want), "") << "round " << round;
    }
}

/* ------------------------------------------------ Erasing and scrolling */

/* The game's kind of screen: light green blanks inside a frame, light grey outside. */
RenderFrame FramedScreen(int width, int height)
{
    RenderFrame f = BlankFrame(width, height);
    f.cursorVisible = false;
    for (int y = 1; y < height; y++) {
        Put(&f, 1, y, std::string(static_cast<size_t>(width - 1), ' '), 10);
        Put(&f, 1, y, "\xB3", 10);
        Put(&f, width - 1, y, "\xB3", 10);
    }
    return f;
}

const ModelCell &ModelAt(const Model &m, int x, int y)
{
    return m.cells[static_cast<size_t>(y * m.columns + x)];
}

TEST(Render, AWholeFrameStartsFromAScreenErasedInItsCommonestBlank)
{
    RenderFrame want = FramedScreen(81, 46);
    Put(&want, 3, 44, "Ready for new game.", 10);
    Model m = NewModel(81, 46);
    RenderFrame front = Unknown();
    std::string out = RenderOnto(&m, want, &front);
    EXPECT_EQ(Difference(m, want), "");
    EXPECT_EQ(out.find("\x1b[0;92;40m\x1b[2J"), out.find("\x1b[2J") - 10)
        << "erased in light green";
    EXPECT_LT(out.size(), 1200u) << "the blanks cost nothing";
    EXPECT_TRUE(ModelAt(m, 40, 10).erased);
    EXPECT_TRUE(ModelAt(m, 0, 10).erased) << "light grey on black looks the same as erased";

    /* On a larger terminal the cells beyond the frame stay as they were. */
    Model larger = NewModel(90, 50);
    RenderFrame unknown = Unknown();
    out = RenderOnto(&larger, want, &unknown);
    EXPECT_EQ(out.find("\x1b[2J"), std::string::npos);
    EXPECT_EQ(Difference(larger, want), "");
    EXPECT_EQ(ModelAt(larger, 85, 10).glyph, "?");
    EXPECT_EQ(ModelAt(larger, 10, 48).glyph, "?");
}

TEST(Render, ShortGapsBetweenCellsAreWrittenInTheirOwnColours)
{
    RenderFrame want = FramedScreen(40, 4);
    Model m = NewModel(40, 4);
    RenderFrame front = Unknown();
    RenderOnto(&m, want, &front);
    Put(&want, 8, 2, "n", 0xA0);
    Put(&want, 10, 2, "p", 0xA0);
    Put(&want, 14, 2, "ab", 10);
    Put(&want, 21, 2, "cd", 10);
    std::string out = RenderOnto(&m, want, &front);
    EXPECT_EQ(Difference(m, want), "");
    EXPECT_NE(out.find("n\x1b[92;40m \x1b[30;102mp"), std::string::npos) << out;
    EXPECT_FALSE(ModelAt(m, 9, 2).erased);
    EXPECT_EQ(ModelAt(m, 9, 2).fg, 10);
    EXPECT_FALSE(ModelAt(m, 12, 2).erased) << "a gap of three is written";
    EXPECT_TRUE(ModelAt(m, 17, 2).erased) << "a gap of five is skipped";
}

TEST(Render, TheBlankRestOfARowIsErasedToItsEnd)
{
    RenderFrame want = BlankFrame(40, 4);
    want.cursorVisible = false;
    Put(&want, 0, 1, std::string(40, 'x'), 10);
    Model m = NewModel(40, 4);
    RenderFrame front = Unknown();
    RenderOnto(&m, want, &front);
    Put(&want, 5, 1, std::string(35, ' '), 10);
    std::string out = RenderOnto(&m, want, &front);
    EXPECT_EQ(Difference(m, want), "");
    EXPECT_NE(out.find("\x1b[K"), std::string::npos);
    EXPECT_LE(out.size(), 25u) << out;

    /* A blank of another background further on rules it out: an erase would paint it over. */
    Put(&want, 0, 2, std::string(40, 'y'), 10);
    RenderOnto(&m, want, &front);
    Put(&want, 5, 2, std::string(35, ' '), 10);
    Put(&want, 39, 2, " ", 0x10);
    out = RenderOnto(&m, want, &front);
    EXPECT_EQ(Difference(m, want), "");
    EXPECT_EQ(out.find("\x1b[K"), std::string::npos);
}

/* A message window in rows 24 to 43 of a framed screen, its lines numbered from first. */
void FillWindow(RenderFrame *f, int first)
{
    for (int y = 24; y <= 43; y++) {
        std::string line = "message " + std::to_string(first + y - 24);
        Put(f, 3, y, line + std::string(76 - line.size(), ' '), 10);
    }
}

TEST(Render, LinesMovedUpOrDownAreScrolledNotRewritten)
{
    RenderFrame want = FramedScreen(81, 46);
    FillWindow(&want, 1);
    Model m = NewModel(81, 46);
    RenderFrame front = Unknown();
    RenderOnto(&m, want, &front);
    FillWindow(&want, 2); /* every line one row up, a new one at the bottom */
    std::string out = RenderOnto(&m, want, &front);
    EXPECT_EQ(Difference(m, want), "");
    EXPECT_NE(out.find("\x1b[25;44r"), std::string::npos) << out;
    EXPECT_NE(out.find("\x1b"
                       "D\x1b[r"),
              std::string::npos)
        << out;
    EXPECT_LT(out.size(), 80u) << "the new line and the scroll only";

    FillWindow(&want, 1); /* and back down */
    out = RenderOnto(&m, want, &front);
    EXPECT_EQ(Difference(m, want), "");
    EXPECT_NE(out.find("\x1b[25;44r\x1b[25;1H\x1bM"), std::string::npos) << out;

    /* One line alone is cheaper to rewrite. */
    Put(&want, 3, 30, "message 8", 10);
    Put(&want, 3, 31, "message 7", 10);
    out = RenderOnto(&m, want, &front);
    EXPECT_EQ(Difference(m, want), "");
    EXPECT_EQ(out.find('r'), std::string::npos) << out;
}

TEST(Render, CursorMovesTakeTheShortestForm)
{
    RenderFrame want = BlankFrame(40, 12);
    want.cursorVisible = false;
    for (int y = 0; y < 12; y++)
        Put(&want, 0, y, std::string(40, '.'), 7);
    Put(&want, 10, 5, "abcdef", 10);
    Model m = NewModel(40, 12);
    RenderFrame front = Unknown();
    RenderOnto(&m, want, &front);
    Put(&want, 15, 5, "g", 10);
    RenderOnto(&m, want, &front); /* the cursor is left after the 'g', at (16, 5) */
    struct Case {
        int x, y;
        const char *move;
    } cases[] = {
        {21, 5, "\x1b[5C"},                     /* each 'x' leaves the cursor on its right */
        {19, 5, "\b\b\b"},                      /* a backspace is one byte */
        {20, 7, "\x1b[2B"},  {21, 8, "\x1b[B"}, /* a move of one leaves its count out */
        {0, 9, "\x1b[B\r"},                     /* and a carriage return goes to the row's start */
        {2, 1, "\x1b[2;3H"},
    };
    for (const Case &c : cases) {
        Put(&want, c.x, c.y, "x", 10);
        std::string out = RenderOnto(&m, want, &front);
        EXPECT_EQ(Difference(m, want), "");
        EXPECT_EQ(out.rfind(c.move, 0), 0u) << c.x << "," << c.y << ": " << out;
    }
    /* Cells between two changes that already show what they should, in the same
       colours, are written again: one byte is cheaper than a cursor move. */
    Put(&want, 10, 5, "A", 10);
    Put(&want, 12, 5, "C", 10);
    std::string out = RenderOnto(&m, want, &front);
    EXPECT_EQ(Difference(m, want), "");
    EXPECT_NE(out.find("AbC"), std::string::npos) << out;
}

/* Random frames made the way the game makes them: scrolled windows, blanked
   rows and single cells.  The terminal must always end up showing the frame. */
TEST(Render, RandomScrollsAndBlanksKeepTheTerminalInStep)
{
    std::mt19937 random(1993);
    const WORD attrs[] = {7, 10, 0xA0, 0x1C};
    RenderFrame want = FramedScreen(30, 12);
    Model m = NewModel(30, 12);
    RenderFrame front = Unknown();
    for (int round = 0; round < 300; round++) {
        int top = 1 + static_cast<int>(random() % 6);
        int bottom = top + 2 + static_cast<int>(random() % 4);
        int kind = static_cast<int>(random() % 4);
        for (int y = top; kind < 2 && y < bottom; y++) { /* one row up, or down */
            int from = kind == 0 ? y + 1 : bottom - (y - top) - 1;
            int to = kind == 0 ? y : from + 1;
            std::copy_n(want.cells.begin() + from * 30, 30, want.cells.begin() + to * 30);
        }
        if (kind == 2)
            Put(&want, static_cast<int>(random() % 30), top, " ", attrs[random() % 4]);
        int x = static_cast<int>(random() % 25);
        Put(&want, x, bottom, std::string(1 + random() % 5, static_cast<char>('a' + random() % 26)),
            attrs[random() % 4]);
        if (kind == 3)
            Put(&want, x, top, std::string(static_cast<size_t>(30 - x), ' '), attrs[random() % 2]);
        RenderOnto(&m, want, &front);
        ASSERT_EQ(Difference(m, want), "") << "round " << round;
    }
}

/* ------------------------------------------------ Terminals of every kind */

/*
 * A 40 x 16 picture with something of everything a terminal may lack the
 * means for, in five steps: 0 drawn whole; 1 its first five rows blanked from
 * their third cell in colours of every kind (black, blue, a bright background,
 * reverse video, underscored), cells changed beside a wall and beside a
 * letter between two lines, and a row with a short and a long gap; 2 the
 * message window in the frame below scrolled up a line; 3 and down again;
 * 4 one more cell, with the cursor well to its left.  Its lower-right corner
 * is the frame's, and the one of a terminal a cell smaller is in the window.
 */
RenderFrame Picture(int step)
{
    const WORD colours[] = {0x07, 0x1F, 0xA0, 0x4007, 0x8007};
    RenderFrame f = BlankFrame(40, 16);
    for (int y = 0; y < 5; y++)
        Put(&f, 0, y, std::string(step == 0 ? 40 : 2, static_cast<char>('A' + y)), colours[y]);
    for (int y = 0; step > 0 && y < 5; y++)
        Put(&f, 2, y, std::string(38, ' '), colours[y]);
    Put(&f, 0, 5,
        step == 0 ? "a\xDB"
                    "b"
                  : "c\xDB"
                    "d",
        0x0E);
    Put(&f, 4, 5, step == 0 ? "\xC2x\xC2" : "\xC1x\xC1", 10);
    Put(&f, 0, 6, step == 0 ? std::string(12, '=') : "=   =      =", 7);
    Put(&f, 11, 6, step == 4 ? "+" : "", 7);
    Put(&f, 0, 7, "\xDA" + std::string(38, '\xC4') + "\xBF", 10);
    for (int y = 8; y < 15; y++) {
        int line = y - 8 + (step == 2 ? 1 : 0);
        Put(&f, 0, y, "\xB3", 10);
        Put(&f, 1, y, std::string(static_cast<size_t>(3 + line), static_cast<char>('a' + line)),
            0x1F);
        Put(&f, 4 + line, y, std::string(static_cast<size_t>(34 - line), ' ') + "#", 0x1F);
        Put(&f, 39, y, "\xB3", 10);
    }
    Put(&f, 0, 15, "\xC0" + std::string(38, '\xC4') + "\xD9", 10);
    f.cursor = COORD{static_cast<SHORT>(step == 4 ? 1 : 9), 6};
    return f;
}

/* The profile terminfo gives a terminal in a UTF-8 locale. */
Caps Entry(const char *term)
{
    Caps caps = {};
    EXPECT_EQ(TerminfoRead(term, true, false, &caps), TerminfoPlayable) << term;
    return caps;
}

Caps Profile(void (*change)(Caps *))
{
    Caps caps = CapsXterm();
    change(&caps);
    return caps;
}

/* What the kernel's console does: 8 colours, brightened after reverse video. */
void KernelConsole(Caps *c)
{
    c->colours = CapsColours8;
    c->vgaIntensity = true;
    c->underline = false; /* shown as a colour in place of the text's */
    c->enableAcs = "\x1b)0";
    c->hideCursor = "\x1b[?25l\x1b[?1c";
    c->showCursor = "\x1b[?25h\x1b[?0c";
}

/* Each step of the picture on a terminal of every kind, as large as the picture, wider,
   taller and smaller: it shows right on a model of that terminal, which takes no sequence
   the terminal lacks; where the terminal is larger, nothing beyond the picture is sent. */
TEST(Render, EveryKindOfTerminalShowsThePictureAndIsSentOnlyWhatItTakes)
{
    struct Kind {
        const char *name;
        const char *entry; /* the terminfo entry the renderer's profile is read from, or none */
        Caps caps;         /* what the terminal does; the renderer's profile where no entry */
    } const kinds[] = {
        {"xterm", nullptr, CapsXterm()},
        {"xterm as its entry reads", "xterm-256color", CapsXterm()},
        {"ansi as its entry reads", "ansi", Profile([](Caps *c) {
             c->colours = CapsColours8;
             c->backgroundErase = c->scrollRegion = c->backspace = false;
             c->scrollsAtLastCell = true;
         })},
        {"cygwin as its entry reads: RI, but no scroll region", "cygwin", Profile([](Caps *c) {
             c->colours = CapsColours8;
             c->backgroundErase = c->scrollRegion = false;
             c->scrollsAtLastCell = true;
         })},
        {"hurd as its entry reads: a scroll region, but its own RI", "hurd", Profile([](Caps *c) {
             c->colours = CapsColours8;
             c->scrollRegion = false;
         })},
        {"sun as its entry reads", "sun", Profile([](Caps *c) {
             c->colours = CapsColoursNone;
             c->bold = c->underline = c->backgroundErase = false;
             c->relativeMoves = c->scrollRegion = false;
             c->scrollsAtLastCell = true;
         })},
        {"linux as its entry reads: the kernel's console", "linux", Profile(KernelConsole)},
        {"the kernel's console in the C locale: walls in reverse video", nullptr,
         Profile([](Caps *c) {
             KernelConsole(c);
             c->utf8 = false;
             c->enterAcs = "\x0e";
             c->leaveAcs = "\x0f";
         })},
        {"no background colour erase", nullptr, CapsAnsi()},
        {"8 colours", nullptr, Profile([](Caps *c) { c->colours = CapsColours8; })},
        {"8 colours, no bold, reverse video or underline", nullptr, Profile([](Caps *c) {
             c->colours = CapsColours8;
             c->bold = c->reverse = c->underline = false;
         })},
        {"every colour by its index", nullptr,
         Profile([](Caps *c) { c->colours = CapsColoursIndexed; })},
        {"no colours", nullptr, Profile([](Caps *c) { c->colours = CapsColoursNone; })},
        {"no SGR at all", nullptr, Profile([](Caps *c) {
             c->colours = CapsColoursNone;
             c->bold = c->reverse = c->underline = false;
         })},
        {"no UTF-8", nullptr, Profile([](Caps *c) { c->utf8 = false; })},
        {"no UTF-8, lines by SO and SI", nullptr, Profile([](Caps *c) {
             c->utf8 = false;
             c->enterAcs = "\x0e";
             c->leaveAcs = "\x0f";
             c->enableAcs = "\x1b)0";
         })},
        {"no UTF-8, no line drawing", nullptr, Profile([](Caps *c) {
             c->utf8 = false;
             c->enterAcs = c->leaveAcs = "";
         })},
        {"no UTF-8, no corners in the line drawing", nullptr, Profile([](Caps *c) {
             c->utf8 = false;
             for (unsigned char corner : {'j', 'k', 'l', 'm'})
                 c->acs[corner] = 0;
         })},
        {"ambiguous characters two cells wide", nullptr,
         Profile([](Caps *c) { c->wideAmbiguous = true; })},
        {"writing the last cell scrolls", nullptr,
         Profile([](Caps *c) { c->scrollsAtLastCell = true; })},
        {"cursor addressing, backspace and carriage return only", nullptr, Profile([](Caps *c) {
             c->relativeMoves = c->eraseLine = c->eraseScreen = c->scrollRegion = false;
         })},
        {"no backspace or carriage return", nullptr,
         Profile([](Caps *c) { c->backspace = c->carriageReturn = false; })},
    };
    const int sizes[][2] = {{40, 16}, {44, 16}, {40, 18}, {39, 15}};
    for (const Kind &kind : kinds) {
        Caps told = kind.entry != nullptr ? Entry(kind.entry) : kind.caps;
        for (const auto &size : sizes) {
            SCOPED_TRACE(std::string(kind.name) + ", " + std::to_string(size[0]) + " x " +
                         std::to_string(size[1]));
            Model m = NewModel(size[0], size[1], kind.caps);
            Feed(&m, told.enableAcs); /* as the tty driver sends it first */
            RenderFrame front = Unknown();
            for (int step = 0; step < 5; step++) {
                RenderFrame want = Picture(step);
                std::string out;
                RenderUpdate(want, &front, size[0], size[1], &out, told);
                Feed(&m, out);
                ASSERT_FALSE(HasFailure()) << "step " << step;
                if (step == 1 && kind.caps.backspace) { /* the cursor two cells left of the pen */
                    ASSERT_EQ(out.substr(out.size() - 2), "\b\b") << "the shortest move back";
                }
                ASSERT_EQ(Difference(m, want) + EndOfFrameProblem(m), "") << "step " << step;
            }
            for (int y = 0; y < size[1]; y++)
                for (int x = 0; x < size[0]; x++)
                    ASSERT_TRUE((x < 40 && y < 16) ||
                                m.sent[static_cast<size_t>(y * size[0] + x)] == 0)
                        << "cell " << x << "," << y << " beyond the picture was sent";
        }
    }
}

} // namespace
