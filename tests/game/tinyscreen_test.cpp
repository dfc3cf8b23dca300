/*
 * The whole program on screens too small for its layout: the notice, ESC at
 * the notice, and whole games played anyway at every small size.
 */
#include "lifecycle.h"

#include "headless.h"
#include "headless_game.h"
#include "machine.h"
#include "screen.h"

#include <gtest/gtest.h>

#include <string>

namespace {

/* What the scripted player saw. */
struct TinyRun {
    bool escapeAtNotice;
    int notices;      /* waits at the notice */
    bool noticeShown; /* the notice's "This screen is W x H." was on the screen */
    int questions;    /* waits at the replay question */
    int countAtQuestion;
    COORD size; /* the screen's size at the first wait */
};

TinyRun Seen;

COORD ScreenSizeNow()
{
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info);
    return info.dwSize;
}

bool ScreenShows(const std::string &text)
{
    COORD size = ScreenSizeNow();
    for (int y = 0; y < size.Y; y++)
        if (HeadlessRow(y).find(text) != std::string::npos)
            return true;
    return false;
}

/* 9 marbles, the machine starts, the player always takes 2: the machine wins, then 'n'. */
void TinyPlayer(bool programWaits)
{
    if (!programWaits)
        return;
    if (Seen.notices == 0 && Seen.questions == 0) {
        Seen.notices++;
        Seen.size = ScreenSizeNow();
        std::string has = "This screen is " + std::to_string(Seen.size.X) + " x " +
                          std::to_string(Seen.size.Y) + ".";
        Seen.noticeShown = ScreenShows(has);
        TypeKey(Seen.escapeAtNotice ? 27 : 'x');
    } else if (GamePhase == PhaseSetup) {
        for (int i = 0; i < 6; i++)
            HeadlessPushKey(0, VK_DOWN);
        TypeKey('n');
        TypeKey('g');
    } else if (GamePhase == PhasePlaying) {
        TypeKey('b');
        TypeKey('b');
        TypeKey('n');
    } else if (Seen.questions++ == 0) {
        Seen.countAtQuestion = BallCount;
        TypeKey('n');
    }
}

/* A headless console that window fitting makes columns x rows. */
void OpenFittedTo(int columns, int rows)
{
    /* Fitting takes half the largest width and nine tenths of the largest height. */
    int largestRows = (rows - 1) * 10 / 9;
    while (static_cast<int>(largestRows * 0.9) < rows - 1)
        largestRows++;
    HeadlessOpen(81, 46, 2 * (columns - 1), largestRows);
    MachineReset();
    StepDelayMs = 0;
    Seen = TinyRun();
    HeadlessSetKeySource(TinyPlayer);
}

TEST(TinyScreen, TheNoticeShowsAndEscapeThereEndsCleanly)
{
    const COORD sizes[] = {{1, 1}, {10, 5}, {40, 20}, {62, 41}, {63, 41}, {62, 42}};
    for (COORD size : sizes) {
        SCOPED_TRACE(std::to_string(size.X) + " x " + std::to_string(size.Y));
        OpenFittedTo(size.X, size.Y);
        Seen.escapeAtNotice = true;
        EXPECT_EQ(RunZop(), 0);
        EXPECT_EQ(Seen.size.X, size.X);
        EXPECT_EQ(Seen.size.Y, size.Y);
        EXPECT_EQ(Seen.noticeShown, size.X >= 23 && size.Y >= 4);
        EXPECT_EQ(Seen.questions, 0);
        EXPECT_EQ(HeadlessCallCount("ReadConsoleInputA"), 1) << "one wait, at the notice";
        EXPECT_TRUE(HeadlessCursorVisible());
        EXPECT_EQ(HeadlessRow(0), std::string(size.X, ' '));
    }
}

TEST(TinyScreen, AnyOtherKeyAtTheNoticePlaysAWholeGameAtEverySmallSize)
{
    int games = 0;
    for (int rows = 1; rows <= 42; rows++) {
        for (int columns = 1; columns <= 63; columns++) {
            if (columns == 63 && rows == 42)
                continue; /* the layout's own size: no notice */
            SCOPED_TRACE(std::to_string(columns) + " x " + std::to_string(rows));
            OpenFittedTo(columns, rows);
            ASSERT_EQ(RunZop(), 0);
            ASSERT_EQ(Seen.notices, 1);
            ASSERT_EQ(Seen.size.X, columns);
            ASSERT_EQ(Seen.size.Y, rows);
            ASSERT_EQ(Seen.questions, 1) << "the game went on to its end and its question";
            ASSERT_EQ(Seen.countAtQuestion, 1);
            EXPECT_TRUE(HeadlessCursorVisible());
            games++;
        }
    }
    EXPECT_EQ(games, 63 * 42 - 1);
}

} // namespace
