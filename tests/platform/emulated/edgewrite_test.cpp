/* Where the cursor goes when a write reaches the last column, as a Win32
   console with wrapping off does it (found by the conformance run). */
#include "headless.h"
#include "winconsole.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

/* Writes text at the cursor of the headless console's output. */
void Write(const char *text)
{
    DWORD written = 0;
    ASSERT_TRUE(WriteConsoleA(GetStdHandle(STD_OUTPUT_HANDLE), text,
                              static_cast<DWORD>(std::strlen(text)), &written, nullptr));
}

void MoveTo(int x, int y)
{
    ASSERT_TRUE(SetConsoleCursorPosition(GetStdHandle(STD_OUTPUT_HANDLE),
                                         COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)}));
}

TEST(EdgeWrite, AWriteEndingInTheLastColumnLeavesTheCursorWhereItBegan)
{
    HeadlessOpen(10, 3);
    MoveTo(6, 1);
    Write("abcd");
    EXPECT_EQ(HeadlessCursor().X, 6);
    EXPECT_EQ(HeadlessCursor().Y, 1);
    /* So the next write lands over the first one's start, not beside the edge. */
    Write("XY");
    EXPECT_EQ(HeadlessRow(1), "      XYcd");
    EXPECT_EQ(HeadlessCursor().X, 8);
}

TEST(EdgeWrite, AWriteOfWholeTurnsPastTheEdgeAlsoEndsWhereItBegan)
{
    HeadlessOpen(10, 3);
    MoveTo(6, 0);
    Write("abcdefgh");
    EXPECT_EQ(HeadlessRow(0), "      efgh");
    EXPECT_EQ(HeadlessCursor().X, 6);
    MoveTo(0, 2);
    Write("0123456789");
    EXPECT_EQ(HeadlessRow(2), "0123456789");
    EXPECT_EQ(HeadlessCursor().X, 0);
}

TEST(EdgeWrite, OneCharacterIntoTheLastCellStaysThereWithoutScrolling)
{
    HeadlessOpen(10, 3);
    MoveTo(8, 2);
    Write("y");
    Write("z");
    EXPECT_EQ(HeadlessRow(2), "        yz");
    EXPECT_EQ(HeadlessCursor().X, 9);
    EXPECT_EQ(HeadlessCursor().Y, 2);
    EXPECT_EQ(HeadlessRow(0), "          ");
}

} // namespace
