/* The Win32 console calls on the headless console: the behaviour the console
   module relies on, and the edges where a wrong step would write outside. */
#include "headless.h"
#include "winconsole.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class Console : public ::testing::Test {
protected:
    HANDLE out = nullptr;
    HANDLE in = nullptr;

    void SetUp() override { Open(10, 5); }

    void Open(int width, int height, int largestWidth = 160, int largestHeight = 50)
    {
        HeadlessOpen(width, height, largestWidth, largestHeight);
        out = GetStdHandle(STD_OUTPUT_HANDLE);
        in = GetStdHandle(STD_INPUT_HANDLE);
    }

    /* Writes text at (x, y) in the current attribute. */
    void WriteAt(int x, int y, const std::string &text)
    {
        ASSERT_TRUE(
            SetConsoleCursorPosition(out, COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)}));
        DWORD written = 0;
        ASSERT_TRUE(
            WriteConsoleA(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
        ASSERT_EQ(written, text.size());
    }

    /* Puts a different letter in each row: row y is all 'a' + y. */
    void LetterRows()
    {
        CONSOLE_SCREEN_BUFFER_INFO info;
        ASSERT_TRUE(GetConsoleScreenBufferInfo(out, &info));
        for (int y = 0; y < info.dwSize.Y; y++)
            WriteAt(0, y,
                    std::string(static_cast<size_t>(info.dwSize.X), static_cast<char>('a' + y)));
    }

    CONSOLE_SCREEN_BUFFER_INFO Info()
    {
        CONSOLE_SCREEN_BUFFER_INFO info = {};
        EXPECT_TRUE(GetConsoleScreenBufferInfo(out, &info));
        return info;
    }

    std::string Picture() { return HeadlessPicture(0, 0, 1000, 1000); }
};

CHAR_INFO FillCell(char ch, WORD attr)
{
    CHAR_INFO fill;
    fill.Char.UnicodeChar = 0;
    fill.Char.AsciiChar = ch;
    fill.Attributes = attr;
    return fill;
}

/* ------------------------------------------------------------- Opening */

TEST_F(Console, NewConsoleIsBlankLightGreyWithVisibleCursorAtOrigin)
{
    Open(4, 2, 100, 40);
    EXPECT_NE(out, in);
    EXPECT_NE(out, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Picture(), "    \n    ");
    EXPECT_EQ(HeadlessAttr(3, 1), 7);
    CONSOLE_SCREEN_BUFFER_INFO info = Info();
    EXPECT_EQ(info.dwSize.X, 4);
    EXPECT_EQ(info.dwSize.Y, 2);
    EXPECT_EQ(info.wAttributes, 7);
    EXPECT_EQ(info.srWindow.Right, 3);
    EXPECT_EQ(info.srWindow.Bottom, 1);
    CONSOLE_CURSOR_INFO cursor = {};
    ASSERT_TRUE(GetConsoleCursorInfo(out, &cursor));
    EXPECT_EQ(cursor.dwSize, 25u);
    EXPECT_TRUE(cursor.bVisible);
    COORD largest = GetLargestConsoleWindowSize(out);
    EXPECT_EQ(largest.X, 100);
    EXPECT_EQ(largest.Y, 40);
    EXPECT_EQ(HeadlessChar(4, 0), 0);
    EXPECT_EQ(HeadlessChar(-1, 0), 0);
}

/* --------------------------------------------------------------- Writes */

TEST_F(Console, WriteTakesCurrentAttributeAndAdvancesCursor)
{
    ASSERT_TRUE(SetConsoleTextAttribute(out, 10));
    WriteAt(2, 1, "abc");
    EXPECT_EQ(HeadlessRow(1), "  abc     ");
    EXPECT_EQ(HeadlessAttr(2, 1), 10);
    EXPECT_EQ(HeadlessAttr(5, 1), 7);
    EXPECT_EQ(HeadlessCursor().X, 5);
    EXPECT_EQ(HeadlessCursor().Y, 1);
}

TEST_F(Console, WritingTheLastCellNeitherWrapsNorScrolls)
{
    LetterRows();
    WriteAt(9, 4, "Z");
    EXPECT_EQ(HeadlessCursor().X, 9);
    EXPECT_EQ(HeadlessCursor().Y, 4);
    EXPECT_EQ(Picture(), "aaaaaaaaaa\nbbbbbbbbbb\ncccccccccc\ndddddddddd\neeeeeeeeeZ");
}

TEST_F(Console, CharactersPastTheEdgeRestartAtTheWritesFirstColumn)
{
    WriteAt(6, 2, "abcdefghij");
    /* Columns 6..9 take a b c d, then e f g h, then i j over the first two. */
    EXPECT_EQ(HeadlessRow(2), "      ijgh");
    EXPECT_EQ(HeadlessCursor().X, 8);
    EXPECT_EQ(HeadlessRow(3), "          ");
    /* From the last column every character lands there. */
    WriteAt(9, 0, "xyz");
    EXPECT_EQ(HeadlessRow(0), "         z");
    EXPECT_EQ(HeadlessCursor().X, 9);
}

TEST_F(Console, EveryByteIsAGlyph)
{
    WriteAt(0, 0, std::string("\r\n\b\t\a\0\x7f\xdb", 8));
    EXPECT_EQ(HeadlessRow(0), std::string("\r\n\b\t\a\0\x7f\xdb  ", 10));
    EXPECT_EQ(HeadlessCursor().X, 8);
}

TEST_F(Console, WriteRejectsNegativeLengthsAndSurvivesNullCount)
{
    const char text[] = "hi";
    DWORD written = 99;
    EXPECT_FALSE(WriteConsoleA(out, text, static_cast<DWORD>(-1), &written, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(WriteConsoleA(out, text, 2, nullptr, nullptr));
    EXPECT_EQ(HeadlessRow(0), "hi        ");
    EXPECT_TRUE(WriteConsoleA(out, text, 0, &written, nullptr));
    EXPECT_EQ(written, 0u);
}

/* ---------------------------------------------------------------- Fills */

TEST_F(Console, FillsRunAcrossRowsAndStopAtTheBufferEnd)
{
    DWORD written = 0;
    ASSERT_TRUE(FillConsoleOutputCharacterA(out, '#', 13, COORD{8, 1}, &written));
    EXPECT_EQ(written, 13u);
    EXPECT_EQ(HeadlessRow(1), "        ##");
    EXPECT_EQ(HeadlessRow(2), "##########");
    EXPECT_EQ(HeadlessRow(3), "#         ");
    /* A run longer than what is left, even a "negative" one, stops at the end. */
    ASSERT_TRUE(
        FillConsoleOutputAttribute(out, 0x1E, static_cast<DWORD>(-5), COORD{7, 4}, &written));
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(HeadlessAttr(6, 4), 7);
    EXPECT_EQ(HeadlessAttr(9, 4), 0x1E);
    ASSERT_TRUE(FillConsoleOutputCharacterA(out, '*', 1000, COORD{0, 0}, &written));
    EXPECT_EQ(written, 50u);
    /* The cursor never moves, and each fill leaves the other half alone. */
    EXPECT_EQ(HeadlessCursor().X, 0);
    EXPECT_EQ(HeadlessCursor().Y, 0);
    EXPECT_EQ(HeadlessAttr(9, 4), 0x1E);
    EXPECT_EQ(HeadlessChar(9, 4), '*');
}

TEST_F(Console, FillsStartingOutsideTheBufferWriteNothing)
{
    const COORD outside[] = {{10, 0}, {0, 5}, {-1, 0}, {0, -1}, {32767, 32767}};
    for (COORD start : outside) {
        DWORD written = 99;
        EXPECT_TRUE(FillConsoleOutputCharacterA(out, '#', 5, start, &written));
        EXPECT_EQ(written, 0u);
        EXPECT_TRUE(FillConsoleOutputAttribute(out, 0x40, 5, start, &written));
        EXPECT_EQ(written, 0u);
    }
    EXPECT_TRUE(FillConsoleOutputCharacterA(out, '#', 0, COORD{0, 0}, nullptr));
    EXPECT_EQ(Picture(), "          \n          \n          \n          \n          ");
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 10; x++)
            ASSERT_EQ(HeadlessAttr(x, y), 7);
}

/* -------------------------------------------------------------- Scrolls */

TEST_F(Console, ScrollUpOneBlanksTheUncoveredRowWithTheFillCell)
{
    LetterRows();
    CHAR_INFO fill = FillCell(' ', 0x12);
    SMALL_RECT region = {2, 1, 5, 4};
    ASSERT_TRUE(ScrollConsoleScreenBufferA(out, &region, nullptr, COORD{2, 0}, &fill));
    EXPECT_EQ(Picture(), "aabbbbaaaa\nbbccccbbbb\nccddddcccc\nddeeeedddd\nee    eeee");
    EXPECT_EQ(HeadlessAttr(2, 4), 0x12);
    EXPECT_EQ(HeadlessAttr(1, 4), 7);
    EXPECT_EQ(HeadlessAttr(2, 3), 7);
}

TEST_F(Console, ScrollFurtherThanHalfLeavesTheMiddleAndBlanksOnlyTheRegion)
{
    /* A five-row rectangle scrolled up by three: the region is its last two
       rows, which land on the first two; the middle row keeps its content. */
    LetterRows();
    CHAR_INFO fill = FillCell(' ', 7);
    SMALL_RECT region = {0, 3, 9, 4};
    ASSERT_TRUE(ScrollConsoleScreenBufferA(out, &region, nullptr, COORD{0, 0}, &fill));
    EXPECT_EQ(Picture(), "dddddddddd\neeeeeeeeee\ncccccccccc\n          \n          ");
}

TEST_F(Console, OverlappingScrollDownCopiesFromTheOriginal)
{
    LetterRows();
    CHAR_INFO fill = FillCell('.', 7);
    SMALL_RECT region = {0, 0, 9, 3};
    ASSERT_TRUE(ScrollConsoleScreenBufferA(out, &region, nullptr, COORD{1, 1}, &fill));
    /* Row 4 lies outside the region: only the copy reaches it. */
    EXPECT_EQ(Picture(), "..........\n.aaaaaaaaa\n.bbbbbbbbb\n.ccccccccc\neddddddddd");
}

TEST_F(Console, ScrollIsClippedToTheBufferAndToTheClipRectangle)
{
    LetterRows();
    CHAR_INFO fill = FillCell('.', 7);
    /* A region reaching far outside the buffer, moved right past its edge. */
    SMALL_RECT region = {-100, 1, 100, 2};
    ASSERT_TRUE(ScrollConsoleScreenBufferA(out, &region, nullptr, COORD{-97, 1}, &fill));
    EXPECT_EQ(HeadlessRow(1), "...bbbbbbb");
    EXPECT_EQ(HeadlessRow(2), "...ccccccc");
    /* With a clip, cells outside it never change. */
    LetterRows();
    SMALL_RECT all = {0, 0, 9, 4};
    SMALL_RECT clip = {0, 0, 9, 1};
    ASSERT_TRUE(ScrollConsoleScreenBufferA(out, &all, &clip, COORD{0, 1}, &fill));
    EXPECT_EQ(Picture(), "..........\naaaaaaaaaa\ncccccccccc\ndddddddddd\neeeeeeeeee");
    /* A region wholly outside changes nothing at all. */
    SMALL_RECT away = {20, 20, 30, 30};
    ASSERT_TRUE(ScrollConsoleScreenBufferA(out, &away, nullptr, COORD{0, 0}, &fill));
    EXPECT_EQ(HeadlessRow(1), "aaaaaaaaaa");
    /* A destination at the SHORT limit moves nothing out of the buffer. */
    ASSERT_TRUE(ScrollConsoleScreenBufferA(out, &all, nullptr, COORD{32767, 32767}, &fill));
    EXPECT_EQ(Picture(), "..........\n..........\n..........\n..........\n..........");
}

TEST_F(Console, NulFillWithAttributeZeroBlanksInTheCurrentAttribute)
{
    LetterRows();
    ASSERT_TRUE(SetConsoleTextAttribute(out, 0x2E));
    CHAR_INFO fill = FillCell('\0', 0);
    SMALL_RECT region = {0, 1, 9, 4};
    ASSERT_TRUE(ScrollConsoleScreenBufferA(out, &region, nullptr, COORD{0, 0}, &fill));
    EXPECT_EQ(HeadlessRow(4), "          ");
    EXPECT_EQ(HeadlessAttr(0, 4), 0x2E);
    EXPECT_EQ(HeadlessAttr(0, 3), 7);
}

/* ------------------------------------------------------------ Cursor */

TEST_F(Console, CursorOutsideTheBufferFailsAndStays)
{
    ASSERT_TRUE(SetConsoleCursorPosition(out, COORD{3, 2}));
    const COORD outside[] = {{-1, 0}, {0, -1}, {10, 0}, {0, 5}, {-32768, 32767}};
    for (COORD position : outside) {
        SetLastError(0);
        EXPECT_FALSE(SetConsoleCursorPosition(out, position));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(HeadlessCursor().X, 3);
        EXPECT_EQ(HeadlessCursor().Y, 2);
    }
    EXPECT_TRUE(SetConsoleCursorPosition(out, COORD{9, 4}));
}

TEST_F(Console, CursorSizeMustBeOneToHundred)
{
    CONSOLE_CURSOR_INFO info = {100, FALSE};
    ASSERT_TRUE(SetConsoleCursorInfo(out, &info));
    EXPECT_FALSE(HeadlessCursorVisible());
    for (DWORD size : {0u, 101u}) {
        CONSOLE_CURSOR_INFO bad = {size, TRUE};
        EXPECT_FALSE(SetConsoleCursorInfo(out, &bad));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    EXPECT_FALSE(HeadlessCursorVisible());
    CONSOLE_CURSOR_INFO now = {};
    ASSERT_TRUE(GetConsoleCursorInfo(out, &now));
    EXPECT_EQ(now.dwSize, 100u);
}

/* -------------------------------------------------------------- Sizing */

TEST_F(Console, WindowFittingGrowsBufferFirstThenWindow)
{
    /* 160 x 62 at 0.5 and 0.9 gives a window of 81 x 56. */
    Open(80, 25, 160, 62);
    SMALL_RECT target = {0, 0, 80, 55};
    EXPECT_FALSE(SetConsoleWindowInfo(out, TRUE, &target)); /* beyond the buffer */
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    ASSERT_TRUE(SetConsoleScreenBufferSize(out, COORD{81, 56}));
    ASSERT_TRUE(SetConsoleWindowInfo(out, TRUE, &target));
    CONSOLE_SCREEN_BUFFER_INFO info = Info();
    EXPECT_EQ(info.dwSize.X, 81);
    EXPECT_EQ(info.dwSize.Y, 56);
    EXPECT_EQ(info.srWindow.Right, 80);
    EXPECT_EQ(info.srWindow.Bottom, 55);
    EXPECT_EQ(info.dwMaximumWindowSize.X, 81);
    EXPECT_EQ(info.dwMaximumWindowSize.Y, 56);
}

TEST_F(Console, WindowFittingShrinksWindowFirstThenBuffer)
{
    Open(120, 60, 160, 62);
    EXPECT_FALSE(SetConsoleScreenBufferSize(out, COORD{81, 56})); /* smaller than the window */
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Info().dwSize.X, 120);
    SMALL_RECT target = {0, 0, 80, 55};
    ASSERT_TRUE(SetConsoleWindowInfo(out, TRUE, &target));
    ASSERT_TRUE(SetConsoleScreenBufferSize(out, COORD{81, 56}));
    EXPECT_EQ(Info().dwSize.Y, 56);
    /* Only one axis smaller than the window is enough to fail. */
    EXPECT_FALSE(SetConsoleScreenBufferSize(out, COORD{200, 55}));
}

TEST_F(Console, ResizingKeepsTopLeftBlanksNewCellsAndClampsTheCursor)
{
    LetterRows();
    ASSERT_TRUE(SetConsoleCursorPosition(out, COORD{9, 4}));
    SMALL_RECT small = {0, 0, 5, 2};
    ASSERT_TRUE(SetConsoleWindowInfo(out, TRUE, &small));
    ASSERT_TRUE(SetConsoleScreenBufferSize(out, COORD{6, 3}));
    EXPECT_EQ(Picture(), "aaaaaa\nbbbbbb\ncccccc");
    EXPECT_EQ(HeadlessCursor().X, 5);
    EXPECT_EQ(HeadlessCursor().Y, 2);
    ASSERT_TRUE(SetConsoleTextAttribute(out, 0x4F));
    ASSERT_TRUE(SetConsoleScreenBufferSize(out, COORD{8, 4}));
    EXPECT_EQ(Picture(), "aaaaaa  \nbbbbbb  \ncccccc  \n        ");
    EXPECT_EQ(HeadlessAttr(7, 3), 7);
    EXPECT_FALSE(SetConsoleScreenBufferSize(out, COORD{0, 4}));
    EXPECT_FALSE(SetConsoleScreenBufferSize(out, COORD{-5, -5}));
    EXPECT_FALSE(SetConsoleScreenBufferSize(out, COORD{32767, 32767}));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(Info().dwSize.X, 8);
}

TEST_F(Console, WindowRectangleRules)
{
    Open(20, 10, 12, 8);
    EXPECT_EQ(Info().dwMaximumWindowSize.X, 12);
    EXPECT_EQ(Info().dwMaximumWindowSize.Y, 8);
    SMALL_RECT rect = {2, 1, 13, 8};
    ASSERT_TRUE(SetConsoleWindowInfo(out, TRUE, &rect));
    /* Relative: added to the current window. */
    SMALL_RECT move = {1, 1, 1, 1};
    ASSERT_TRUE(SetConsoleWindowInfo(out, FALSE, &move));
    EXPECT_EQ(Info().srWindow.Left, 3);
    EXPECT_EQ(Info().srWindow.Bottom, 9);
    /* One column wide is fine; negative left or top shifts the whole rectangle. */
    SMALL_RECT thin = {4, 4, 4, 4};
    EXPECT_TRUE(SetConsoleWindowInfo(out, TRUE, &thin));
    SMALL_RECT negative = {-3, -2, 5, 3};
    ASSERT_TRUE(SetConsoleWindowInfo(out, TRUE, &negative));
    SMALL_RECT got = Info().srWindow;
    EXPECT_EQ(got.Left, 0);
    EXPECT_EQ(got.Top, 0);
    EXPECT_EQ(got.Right, 8);
    EXPECT_EQ(got.Bottom, 5);
    const SMALL_RECT bad[] = {{5, 0, 4, 3},  {0, 3, 4, 2}, {0, 0, 20, 3},       {0, 0, 4, 10},
                              {0, 0, 12, 3}, {0, 0, 4, 8}, {32000, 0, 32767, 3}};
    for (const SMALL_RECT &r : bad) {
        EXPECT_FALSE(SetConsoleWindowInfo(out, TRUE, &r));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    EXPECT_EQ(Info().srWindow.Right, 8);
    /* A buffer shrunk under a window that is not at its origin pulls the window in. */
    SMALL_RECT corner = {8, 2, 19, 9};
    ASSERT_TRUE(SetConsoleWindowInfo(out, TRUE, &corner));
    ASSERT_TRUE(SetConsoleScreenBufferSize(out, COORD{12, 8}));
    got = Info().srWindow;
    EXPECT_EQ(got.Left, 0);
    EXPECT_EQ(got.Top, 0);
    EXPECT_EQ(got.Right, 11);
    EXPECT_EQ(got.Bottom, 7);
}

/* ---------------------------------------------------- Handles, failures */

TEST_F(Console, BadHandlesFailWithError6)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    EXPECT_FALSE(GetConsoleScreenBufferInfo(in, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(SetConsoleCursorPosition(INVALID_HANDLE_VALUE, COORD{0, 0}));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    COORD largest = GetLargestConsoleWindowSize(nullptr);
    EXPECT_EQ(largest.X, 0);
    EXPECT_EQ(largest.Y, 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    DWORD count = 0;
    EXPECT_FALSE(GetNumberOfConsoleInputEvents(out, &count));
    EXPECT_EQ(CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                          OPEN_EXISTING, 0, nullptr),
              in);
    EXPECT_EQ(CreateFileA("notes.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
}

TEST_F(Console, FreeAndAllocGiveANewBlankConsole)
{
    WriteAt(3, 3, "old");
    EXPECT_FALSE(AllocConsole());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(FreeConsole());
    EXPECT_EQ(GetStdHandle(STD_OUTPUT_HANDLE), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SetConsoleCursorPosition(out, COORD{0, 0}));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    ASSERT_TRUE(AllocConsole());
    EXPECT_EQ(GetStdHandle(STD_OUTPUT_HANDLE), out);
    EXPECT_EQ(HeadlessRow(3), "          ");
    EXPECT_EQ(HeadlessCursor().X, 0);
    ASSERT_TRUE(SetConsoleTitleA("Game of Zop"));
    EXPECT_EQ(HeadlessTitle(), "Game of Zop");
}

TEST_F(Console, InjectedFailureHappensOnceAndChangesNothing)
{
    HeadlessFailNext("WriteConsoleA", ERROR_NOT_ENOUGH_MEMORY);
    DWORD written = 77;
    EXPECT_FALSE(WriteConsoleA(out, "abc", 3, &written, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(written, 77u);
    EXPECT_EQ(HeadlessRow(0), "          ");
    EXPECT_EQ(HeadlessCursor().X, 0);
    /* Another call is not affected, and the next write works again. */
    HeadlessFailNext("SetConsoleWindowInfo", ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(SetConsoleCursorPosition(out, COORD{1, 0}));
    EXPECT_TRUE(WriteConsoleA(out, "abc", 3, &written, nullptr));
    EXPECT_EQ(HeadlessRow(0), " abc      ");
    SMALL_RECT window = {0, 0, 9, 4};
    EXPECT_FALSE(SetConsoleWindowInfo(out, TRUE, &window));
    EXPECT_TRUE(SetConsoleWindowInfo(out, TRUE, &window));
    HeadlessFailNext("GetStdHandle", ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetStdHandle(STD_INPUT_HANDLE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(HeadlessCallCount("WriteConsoleA"), 2);
    EXPECT_EQ(HeadlessCallCount("SetConsoleWindowInfo"), 2);
    EXPECT_EQ(HeadlessCallCount("ReadFile"), 0);
}

/* ---------------------------------------------------------------- Input */

TEST_F(Console, InputRecordsComeOutInOrderAndPeekRemovesNothing)
{
    HeadlessPushKey('x', 'X');
    INPUT_RECORD focus = {};
    focus.EventType = FOCUS_EVENT;
    HeadlessPushInput(focus);
    HeadlessPushKey(0, VK_UP);
    DWORD count = 0;
    ASSERT_TRUE(GetNumberOfConsoleInputEvents(in, &count));
    EXPECT_EQ(count, 5u);
    INPUT_RECORD records[8];
    ASSERT_TRUE(PeekConsoleInputA(in, records, 8, &count));
    EXPECT_EQ(count, 5u);
    ASSERT_TRUE(ReadConsoleInputA(in, records, 2, &count));
    ASSERT_EQ(count, 2u);
    EXPECT_TRUE(records[0].Event.KeyEvent.bKeyDown);
    EXPECT_EQ(records[0].Event.KeyEvent.uChar.AsciiChar, 'x');
    EXPECT_FALSE(records[1].Event.KeyEvent.bKeyDown);
    ASSERT_TRUE(ReadConsoleInputA(in, records, 8, &count));
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(records[0].EventType, FOCUS_EVENT);
    EXPECT_EQ(records[1].Event.KeyEvent.wVirtualKeyCode, VK_UP);
    ASSERT_TRUE(PeekConsoleInputA(in, records, 8, &count));
    EXPECT_EQ(count, 0u);
}

TEST_F(Console, CtrlLNeverReachesTheProgramAsAKey)
{
    HeadlessPushBytes("a\x0c"
                      "b",
                      0);
    INPUT_RECORD records[8];
    DWORD count = 0;
    ASSERT_TRUE(PeekConsoleInputA(in, records, 8, &count));
    ASSERT_EQ(count, 4u) << "a and b, each pressed and let go";
    EXPECT_EQ(records[0].Event.KeyEvent.uChar.AsciiChar, 'a');
    EXPECT_EQ(records[2].Event.KeyEvent.uChar.AsciiChar, 'b');
}

TEST_F(Console, EndOfHeadlessInputReadsAsEscape)
{
    INPUT_RECORD records[4];
    DWORD count = 0;
    ASSERT_TRUE(ReadConsoleInputA(in, records, 4, &count));
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(records[0].EventType, KEY_EVENT);
    EXPECT_TRUE(records[0].Event.KeyEvent.bKeyDown);
    EXPECT_EQ(records[0].Event.KeyEvent.uChar.AsciiChar, 27);
    EXPECT_EQ(records[0].Event.KeyEvent.wVirtualKeyCode, VK_ESCAPE);
    EXPECT_FALSE(records[1].Event.KeyEvent.bKeyDown);
    char byte = 0;
    ASSERT_TRUE(ReadFile(in, &byte, 1, &count, nullptr));
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(byte, 27);
}

TEST_F(Console, ReadFileGivesCharactersOfKeyPressesOnly)
{
    INPUT_RECORD mouse = {};
    mouse.EventType = MOUSE_EVENT;
    HeadlessPushInput(mouse);
    HeadlessPushKey(0, VK_SHIFT);
    HeadlessPushKey('n', 'N');
    INPUT_RECORD held = {};
    held.EventType = KEY_EVENT;
    held.Event.KeyEvent.bKeyDown = TRUE;
    held.Event.KeyEvent.wRepeatCount = 2;
    held.Event.KeyEvent.uChar.AsciiChar = 'y';
    HeadlessPushInput(held);
    char bytes[8] = {};
    DWORD count = 0;
    ASSERT_TRUE(ReadFile(in, bytes, 1, &count, nullptr));
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(bytes[0], 'n');
    ASSERT_TRUE(ReadFile(in, bytes, 8, &count, nullptr));
    EXPECT_EQ(std::string(bytes, count), "yy");
    ASSERT_TRUE(GetNumberOfConsoleInputEvents(in, &count));
    EXPECT_EQ(count, 0u);
}

TEST_F(Console, ConsoleModesBelongToTheirHandles)
{
    DWORD mode = 0;
    ASSERT_TRUE(GetConsoleMode(in, &mode));
    EXPECT_TRUE(mode & ENABLE_LINE_INPUT);
    EXPECT_TRUE(mode & ENABLE_ECHO_INPUT);
    ASSERT_TRUE(
        SetConsoleMode(in, mode & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT)));
    ASSERT_TRUE(SetConsoleMode(out, ENABLE_PROCESSED_OUTPUT));
    DWORD now = 0;
    ASSERT_TRUE(GetConsoleMode(in, &now));
    EXPECT_EQ(now, mode & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT));
    ASSERT_TRUE(GetConsoleMode(out, &now));
    EXPECT_EQ(now, static_cast<DWORD>(ENABLE_PROCESSED_OUTPUT));
    EXPECT_FALSE(GetConsoleMode(nullptr, &now));
}

/* ------------------------------------------------------- FormatMessageA */

/* Asks for an error's text the way the failure report does. */
std::string SystemText(DWORD code, DWORD width, DWORD *length)
{
    char *text = nullptr;
    *length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | width,
                             nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                             reinterpret_cast<LPSTR>(&text), 512, nullptr);
    std::string copy = text ? text : "";
    if (text) {
        EXPECT_EQ(LocalFree(text), nullptr);
    }
    return copy;
}

/* Splits text at "\r\n". */
std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
        lines.push_back(text.substr(from, at - from));
    lines.push_back(text.substr(from));
    return lines;
}

TEST(FormatMessage, WidthBreaksAtSpacesIntoShortLines)
{
    HeadlessOpen(10, 5);
    DWORD length = 0;
    /* With 0xFF the line break becomes one space and the text is one line. */
    std::string flat = SystemText(ERROR_INVALID_PARAMETER, FORMAT_MESSAGE_MAX_WIDTH_MASK, &length);
    ASSERT_GT(flat.size(), 40u);
    EXPECT_EQ(length, flat.size());
    EXPECT_EQ(flat.back(), ' ');
    EXPECT_EQ(flat.find('\n'), std::string::npos);
    for (DWORD code : {5u, 6u, 8u, 87u}) {
        std::string one = SystemText(code, FORMAT_MESSAGE_MAX_WIDTH_MASK, &length);
        for (DWORD width = 8; width < 70; width++) {
            std::string broken = SystemText(code, width, &length);
            ASSERT_FALSE(broken.empty()) << code;
            EXPECT_EQ(length, broken.size());
            std::string joined;
            for (const std::string &line : Lines(broken)) {
                /* Only a single word longer than the width makes a longer line. */
                if (line.size() > width) {
                    EXPECT_EQ(line.find(' '), std::string::npos) << code << " at " << width;
                }
                joined += (joined.empty() ? "" : " ") + line;
            }
            /* The same words in the same order: no word was split or lost. */
            if (joined.back() != ' ')
                joined += ' ';
            EXPECT_EQ(joined, one) << code << " at width " << width;
        }
    }
    /* A line may take exactly the width. */
    EXPECT_EQ(SystemText(ERROR_INVALID_PARAMETER, 40, &length),
              "A parameter given to the console was not\r\nvalid. ");
    /* Narrower than its words: each word on a line of its own, whole. */
    std::vector<std::string> narrow = Lines(SystemText(ERROR_INVALID_HANDLE, 3, &length));
    EXPECT_EQ(narrow,
              (std::vector<std::string>{"The", "console", "handle", "is", "not", "valid."}));
}

TEST(FormatMessage, UnknownCodesGiveNoText)
{
    HeadlessOpen(10, 5);
    DWORD length = 1;
    EXPECT_EQ(SystemText(12345, 40, &length), "");
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(SystemText(ERROR_SUCCESS, 40, &length), "");
    /* Without the width bits the text ends in a line break. */
    std::string plain = SystemText(ERROR_ACCESS_DENIED, 0, &length);
    ASSERT_GE(plain.size(), 2u);
    EXPECT_EQ(plain.substr(plain.size() - 2), "\r\n");
}

} // namespace
