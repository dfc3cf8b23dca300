/* The console module's output operations, drawn on a headless console and read back as pictures. */
#include "console.h"
#include "headless.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Output : public ::testing::Test {
protected:
    void SetUp() override { Open(20, 8); }

    static void Open(int width, int height)
    {
        HeadlessOpen(width, height);
        ConInit();
    }

    /* The whole buffer as text rows. */
    static std::string Screen() { return HeadlessPicture(0, 0, 1000, 1000); }

    static void WriteAt(int x, int y, const char *text)
    {
        ConGotoXY(x, y);
        ConWrite(text, 0);
    }

    static void ExpectCursor(int x, int y)
    {
        COORD c = HeadlessCursor();
        EXPECT_EQ(c.X, x);
        EXPECT_EQ(c.Y, y);
    }
};

TEST_F(Output, InitTakesTheScreensExtentAndAttribute)
{
    HeadlessOpen(81, 46);
    SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE), 0x1E);
    ConInit();
    EXPECT_EQ(ConOutput.lastColumn, 80);
    EXPECT_EQ(ConOutput.lastRow, 45);
    EXPECT_EQ(ConOutput.rememberedAttribute, 0x1E);
}

TEST_F(Output, WriteTakesTheWholeTextOrAtMostLengthCharacters)
{
    WriteAt(0, 0, "Ball Count");
    EXPECT_EQ(HeadlessRow(0).substr(0, 11), "Ball Count ");
    ExpectCursor(10, 0);

    ConGotoXY(0, 1);
    ConWrite("abc", 5);
    ConGotoXY(0, 2);
    ConWrite("abcdef", 2);
    EXPECT_EQ(HeadlessRow(1).substr(0, 4), "abc ");
    EXPECT_EQ(HeadlessRow(2).substr(0, 3), "ab ");

    int writes = HeadlessCallCount("WriteConsoleA");
    EXPECT_EQ(ConWrite("", 0), 0);
    EXPECT_EQ(ConWrite(nullptr, 3), 0);
    EXPECT_EQ(ConWrite("x", -4), 1) << "a negative length means the whole text";
    EXPECT_EQ(HeadlessCallCount("WriteConsoleA"), writes + 1) << "nothing to write makes no call";
}

TEST_F(Output, WriteTakesTheCurrentAttributeNotTheRememberedOne)
{
    SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE), 10);
    WriteAt(2, 3, "zop");
    EXPECT_EQ(HeadlessAttr(2, 3), 10);
    EXPECT_EQ(HeadlessAttr(4, 3), 10);
    EXPECT_EQ(HeadlessAttr(5, 3), 7);
    EXPECT_EQ(ConOutput.rememberedAttribute, 7);
}

TEST_F(Output, RepeatAcrossWritesARunAndNothingForNoCountOrNul)
{
    ConGotoXY(3, 1);
    ConRepeatAcross('*', 1);
    ExpectCursor(4, 1);
    ConRepeatAcross('-', 4);
    ExpectCursor(8, 1);
    ConRepeatAcross('#', 0);
    ConRepeatAcross('#', -2);
    ConRepeatAcross('\0', 5);
    ExpectCursor(8, 1);
    EXPECT_EQ(HeadlessRow(1), "   *----            ");

    ConGotoXY(17, 2);
    ConRepeatAcross('=', 1000000);
    EXPECT_EQ(HeadlessRow(2), "                 ===");
    EXPECT_EQ(HeadlessRow(3), std::string(20, ' ')) << "a run never spills onto the next row";
}

TEST_F(Output, RepeatDownWritesAColumnAndLeavesTheCursorBelowIt)
{
    ConGotoXY(5, 2);
    ConRepeatDown('c', 3);
    EXPECT_EQ(HeadlessChar(5, 2), 'c');
    EXPECT_EQ(HeadlessChar(5, 3), 'c');
    EXPECT_EQ(HeadlessChar(5, 4), 'c');
    EXPECT_EQ(HeadlessChar(5, 5), ' ');
    ExpectCursor(5, 5);

    ConGotoXY(7, 5);
    ConRepeatDown('\0', 2);
    ExpectCursor(7, 7); /* a NUL writes nothing but still steps down */

    ConGotoXY(9, 6);
    ConRepeatDown('v', 50);
    EXPECT_EQ(Screen(), "                    \n"
                        "                    \n"
                        "     c              \n"
                        "     c              \n"
                        "     c              \n"
                        "                    \n"
                        "         v          \n"
                        "         v          ")
        << "below the last row nothing is written beside the column";
}

TEST_F(Output, FillRectRecoloursARectangleOrTheWholeScreen)
{
    WriteAt(0, 0, "keep me");
    ConGotoXY(4, 4);
    ConFillRect(nullptr, 0, 0x2F);
    EXPECT_EQ(HeadlessRow(0).substr(0, 7), "keep me");
    EXPECT_EQ(HeadlessAttr(0, 0), 0x2F);
    EXPECT_EQ(HeadlessAttr(19, 7), 0x2F);
    ExpectCursor(4, 4);

    ConRect panel = {2, 1, 5, 3};
    ConFillRect(&panel, 0, 10);
    ExpectCursor(2, 1);
    EXPECT_EQ(HeadlessAttr(1, 1), 0x2F);
    EXPECT_EQ(HeadlessAttr(2, 1), 10);
    EXPECT_EQ(HeadlessAttr(5, 3), 10);
    EXPECT_EQ(HeadlessAttr(6, 3), 0x2F);
    EXPECT_EQ(HeadlessAttr(2, 4), 0x2F);
    EXPECT_EQ(HeadlessRow(0).substr(0, 7), "keep me");

    ConFillRect(&panel, 'x', 3);
    EXPECT_EQ(HeadlessPicture(1, 0, 6, 4), "eep me\n xxxx \n xxxx \n xxxx \n      ");
    EXPECT_EQ(ConOutput.rememberedAttribute, 7) << "filling never changes the remembered attribute";
}

TEST_F(Output, FillRectReachingPastTheScreenFillsOnlyWhatLiesInside)
{
    ConRect overhang = {17, 6, 30, 12};
    ConFillRect(&overhang, '+', 7);
    EXPECT_EQ(HeadlessPicture(0, 5, 19, 7), "                    \n"
                                            "                 +++\n"
                                            "                 +++");
    ConRect inverted = {5, 2, 3, 4};
    ConFillRect(&inverted, '#', 7);
    EXPECT_EQ(Screen().find('#'), std::string::npos);
}

TEST_F(Output, ClearRectBlanksInTheCurrentAttributeAndTheWholeScreenInTheRemembered)
{
    ConFillRect(nullptr, 'x', 7);
    SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE), 10);
    ConRect rect = {2, 1, 4, 2};
    ConClearRect(&rect);
    ExpectCursor(2, 1);
    EXPECT_EQ(HeadlessPicture(0, 0, 6, 3), "xxxxxxx\nxx   xx\nxx   xx\nxxxxxxx");
    EXPECT_EQ(HeadlessAttr(3, 2), 10);

    ConSetColor(4, 0);
    SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE), 10);
    ConClearRect(nullptr);
    ExpectCursor(1, 1);
    for (int y = 0; y < 8; y++)
        EXPECT_EQ(HeadlessRow(y), std::string(20, ' ')) << "row " << y;
    EXPECT_EQ(HeadlessAttr(0, 0), 4);
    EXPECT_EQ(HeadlessAttr(19, 7), 4);
}

/* A 5-row rectangle whose rows read r0 to r4, in columns 1 to 4 of rows 1 to 5. */
class Scroll : public Output {
protected:
    ConRect rect = {1, 1, 4, 5};
    void SetUp() override
    {
        Open(6, 7);
        for (int r = 0; r < 5; r++) {
            std::string label = "r" + std::to_string(r) + "..";
            WriteAt(1, 1 + r, label.c_str());
        }
        ConGotoXY(0, 0);
    }
    static std::string Rows() { return HeadlessPicture(0, 0, 5, 6); }
};

TEST_F(Scroll, UpAndDownByOneMoveTheRowsAndBlankTheOneUncovered)
{
    ConScrollRect(rect, 1, 1);
    EXPECT_EQ(Rows(), "      \n r1.. \n r2.. \n r3.. \n r4.. \n      \n      ");
    ExpectCursor(0, 0);
    SetUp();
    ConScrollRect(rect, 2, 1);
    EXPECT_EQ(Rows(), "      \n      \n r0.. \n r1.. \n r2.. \n r3.. \n      ");
}

TEST_F(Scroll, UpByThreeLeavesTheMiddleRowAndUpByFourClears)
{
    ConScrollRect(rect, 1, 3);
    EXPECT_EQ(Rows(), "      \n r3.. \n r4.. \n r2.. \n      \n      \n      ");
    SetUp();
    ConScrollRect(rect, 2, 3);
    EXPECT_EQ(Rows(), "      \n      \n      \n r2.. \n r0.. \n r1.. \n      ");
    SetUp();
    ConScrollRect(rect, 1, 4);
    EXPECT_EQ(Rows(), "      \n      \n      \n      \n      \n      \n      ");
    ExpectCursor(1, 1); /* clearing leaves the cursor at the top-left cell */
}

TEST_F(Scroll, NoLinesOrAnUnknownDirectionChangeNothing)
{
    const std::string before = Rows();
    for (int lines : {0, -1})
        ConScrollRect(rect, 1, lines);
    for (int direction : {0, 3, -1})
        ConScrollRect(rect, direction, 1);
    EXPECT_EQ(Rows(), before);
    ExpectCursor(0, 0);
}

TEST_F(Scroll, ScrolledInRowsTakeTheRememberedAttributeOnly)
{
    ConSetColor(2, 1);
    EXPECT_EQ(ConOutput.rememberedAttribute, 18);
    ConScrollRect(rect, 1, 1);
    EXPECT_EQ(HeadlessAttr(1, 5), 18);
    EXPECT_EQ(HeadlessAttr(4, 5), 18);
    EXPECT_EQ(HeadlessAttr(5, 5), 7) << "cells beside the rectangle keep theirs";

    SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE), 0x4E);
    ConScrollRect(rect, 2, 1);
    EXPECT_EQ(HeadlessAttr(2, 1), 18);
}

TEST_F(Scroll, RectanglesOfFewerThanThreeRowsAreBlankedNotScrolled)
{
    ConRect twoRows = {1, 2, 4, 3};
    ConScrollRect(twoRows, 1, 1);
    EXPECT_EQ(Rows(), "      \n r0.. \n      \n      \n r3.. \n r4.. \n      ");
}

class Box : public Output {
protected:
    void SetUp() override { Open(12, 7); }
};

TEST_F(Box, ABoxHasCornersEdgesAndSidesAndLeavesItsInside)
{
    WriteAt(3, 2, "in");
    ConDrawBox({0, 0, 9, 4}, 1);
    EXPECT_EQ(HeadlessPicture(0, 0, 11, 5), "┌────────┐  \n"
                                            "│        │  \n"
                                            "│  in    │  \n"
                                            "│        │  \n"
                                            "└────────┘  \n"
                                            "            ");
    ExpectCursor(10, 4);
}

TEST_F(Box, EachStyleHasItsGlyphsAndUnknownStylesAreSingle)
{
    const char *pictures[] = {"┌─┐\n│ │\n└─┘", "╔═╗\n║ ║\n╚═╝", "╓─╖\n║ ║\n╙─╜", "╒═╕\n│ │\n╘═╛"};
    for (int style = 1; style <= 4; style++) {
        ConDrawBox({0, 0, 2, 2}, style);
        EXPECT_EQ(HeadlessPicture(0, 0, 2, 2), pictures[style - 1]) << "style " << style;
    }
    for (int style : {0, 5, -1, 99}) {
        ConDrawBox({0, 0, 2, 2}, style);
        EXPECT_EQ(HeadlessPicture(0, 0, 2, 2), pictures[0]) << "style " << style;
    }
}

TEST_F(Box, NarrowAndFlatBoxesHaveNoEdgesOrNoSides)
{
    ConDrawBox({1, 1, 2, 4}, 1);
    ConDrawBox({5, 1, 9, 2}, 2);
    EXPECT_EQ(HeadlessPicture(0, 0, 11, 5), "            \n"
                                            " ┌┐  ╔═══╗  \n"
                                            " ││  ╚═══╝  \n"
                                            " ││         \n"
                                            " └┘         \n"
                                            "            ");
}

TEST_F(Box, ABoxReachingPastTheScreenDrawsOnlyWhatLiesInside)
{
    ConDrawBox({8, 4, 15, 10}, 1);
    ConDrawBox({-3, -2, 2, 1}, 2);
    EXPECT_EQ(Screen(), "  ║         \n"
                        "══╝         \n"
                        "            \n"
                        "            \n"
                        "        ┌───\n"
                        "        │   \n"
                        "        │   ");
}

} // namespace
