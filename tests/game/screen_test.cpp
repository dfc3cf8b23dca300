/* The screen layout and its panels, drawn on a headless console. */
#include "screen.h"

#include "headless_game.h"
#include "machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace {

std::string Repeat(const char *text, int times)
{
    std::string repeated;
    for (int i = 0; i < times; i++)
        repeated += text;
    return repeated;
}

void ExpectRect(const ConRect &r, int left, int top, int right, int bottom, const char *name)
{
    EXPECT_EQ(r.left, left) << name;
    EXPECT_EQ(r.top, top) << name;
    EXPECT_EQ(r.right, right) << name;
    EXPECT_EQ(r.bottom, bottom) << name;
}

class Layout : public ::testing::Test {
protected:
    void TearDown() override { ConShutdown(); }
};

TEST_F(Layout, TheWorkedExampleAt81By46)
{
    OpenHeadlessScreen(81, 46);
    ExpectRect(UpperFrame, 1, 1, 80, 22, "UpperFrame");
    ExpectRect(LowerFrame, 1, 23, 80, 45, "LowerFrame");
    ExpectRect(HelpFrame, 36, 1, 79, 20, "HelpFrame");
    ExpectRect(HelpWindow, 38, 2, 78, 19, "HelpWindow");
    ExpectRect(MessageWindow, 3, 24, 78, 43, "MessageWindow");
    ExpectRect(CountPanel, 18, 2, 21, 4, "CountPanel");
    EXPECT_EQ(BoardOrigin.x, 8);
    EXPECT_EQ(BoardOrigin.y, 6);
    EXPECT_EQ(HeadlessTakeAnnouncements(),
              (std::vector<std::string>{"6 machine 6 1 22 19", "6 messages 3 24 78 43",
                                        "6 help 38 2 78 19"}))
        << "the parts a page may show apart: the caption, count and board with a margin";
}

TEST_F(Layout, AnOddHeightGrowsOnlyTheLowerHalf)
{
    OpenHeadlessScreen(81, 47);
    ExpectRect(UpperFrame, 1, 1, 80, 22, "UpperFrame");
    ExpectRect(HelpWindow, 38, 2, 78, 19, "HelpWindow");
    ExpectRect(LowerFrame, 1, 23, 80, 46, "LowerFrame");
    ExpectRect(MessageWindow, 3, 24, 78, 44, "MessageWindow");
}

TEST_F(Layout, AnUnfittedTallBufferAndTheHelpFramesColumn)
{
    OpenHeadlessScreen(80, 300);
    ExpectRect(UpperFrame, 1, 1, 79, 149, "UpperFrame");
    ExpectRect(LowerFrame, 1, 150, 79, 299, "LowerFrame");
    ExpectRect(HelpFrame, 35, 1, 78, 147, "HelpFrame");
    ExpectRect(HelpWindow, 37, 2, 77, 146, "HelpWindow");
    ExpectRect(MessageWindow, 3, 151, 77, 297, "MessageWindow");
    OpenHeadlessScreen(101, 46);
    EXPECT_EQ(HelpFrame.left, 45) << "100 x 0.45 is exactly 45";
    OpenHeadlessScreen(61, 46);
    EXPECT_EQ(HelpFrame.left, 27) << "60 x 0.45 is exactly 27";
}

TEST_F(Layout, AnUnreadableBufferLeavesTheLayoutAsItWas)
{
    OpenHeadlessScreen(81, 46);
    HeadlessOpen(40, 20);
    HeadlessFailNext("GetConsoleScreenBufferInfo", ERROR_INVALID_HANDLE);
    EXPECT_EQ(ComputeLayout(GetStdHandle(STD_OUTPUT_HANDLE)), 0);
    ExpectRect(MessageWindow, 3, 24, 78, 43, "MessageWindow");
}

class Panels : public Layout {
protected:
    void SetUp() override
    {
        OpenHeadlessScreen(81, 46);
        HeadlessTakeAnnouncements();
    }
};

TEST_F(Panels, FramesShareTheirTopRowAndTheCountPanelHasItsCaption)
{
    std::string row1 = "┌" + Repeat("─", 34) + "┌" + Repeat("─", 42) + "┐┐";
    EXPECT_EQ(HeadlessPicture(1, 1, 80, 1), row1);
    EXPECT_EQ(HeadlessPicture(5, 2, 22, 4), "             ┌──┐ \n"
                                            "  Ball Count │  │ \n"
                                            "             └──┘ ")
        << "the caption ends at column 16, column 17 stays blank";
    EXPECT_EQ(HeadlessPicture(0, 20, 80, 20),
              " │" + std::string(34, ' ') + "└" + Repeat("─", 42) + "┘│");
    EXPECT_EQ(HeadlessPicture(0, 22, 80, 23),
              " └" + Repeat("─", 78) + "┘\n ┌" + Repeat("─", 78) + "┐");
    EXPECT_EQ(HeadlessPicture(0, 45, 80, 45), " └" + Repeat("─", 78) + "┘");
}

TEST_F(Panels, TheHalvesAreLightGreenAndRowZeroAndColumnZeroKeepTheConsolesColour)
{
    EXPECT_EQ(HeadlessAttr(1, 1), 10);
    EXPECT_EQ(HeadlessAttr(40, 10), 10);
    EXPECT_EQ(HeadlessAttr(80, 45), 10);
    EXPECT_EQ(HeadlessAttr(0, 10), 7);
    EXPECT_EQ(HeadlessAttr(40, 0), 7);
    EXPECT_EQ(ConOutput.rememberedAttribute, 7) << "set directly, not remembered";
}

TEST_F(Panels, HelpLinesStandInTheirRowsOfTheHelpWindow)
{
    ShowHelp();
    const char *expected[18] = {"",
                                "",
                                "The Game of Dr. Zop",
                                "",
                                "",
                                "",
                                "Up/Down Arrow selects Ball count",
                                "G for Go",
                                "N for Zop to start",
                                "P for Player to start",
                                "B to release another ball",
                                "",
                                "",
                                "",
                                "ESC quits any time",
                                "",
                                "",
                                ""};
    for (int i = 0; i < 18; i++) {
        std::string line = expected[i];
        EXPECT_EQ(HeadlessPicture(38, 2 + i, 78, 2 + i), line + std::string(41 - line.size(), ' '))
            << "row " << 2 + i;
    }
    EXPECT_EQ(HeadlessAttr(38, 4), 10);
    EXPECT_EQ(HeadlessTakeAnnouncements(), std::vector<std::string>{}) << "the help is not said";
}

TEST_F(Panels, TheCountShowsTwoCellsAndAOneDigitCountBlanksTheSecond)
{
    for (auto shown :
         {std::make_pair(15, "15"), std::make_pair(9, "9 "), std::make_pair(10, "10")}) {
        BallCount = shown.first;
        ShowCount();
        EXPECT_EQ(HeadlessPicture(18, 3, 21, 3), std::string("│") + shown.second + "│");
        EXPECT_EQ(HeadlessTakeAnnouncements(),
                  std::vector<std::string>{"2 Ball Count " + std::to_string(shown.first)});
    }
}

TEST_F(Panels, MessagesScrollUpAndAreCutToTheWindowsWidth)
{
    std::string longText;
    for (int i = 0; i < 80; i++)
        longText += static_cast<char>('A' + i % 26);
    PrintInWindow(MessageWindow, "first");
    PrintInWindow(MessageWindow, longText.c_str());
    EXPECT_EQ(HeadlessPicture(3, 42, 78, 42), "first" + std::string(71, ' '));
    EXPECT_EQ(HeadlessPicture(2, 43, 80, 43), " " + longText.substr(0, 76) + " │")
        << "columns 2 and 79 stay blank, nothing spills onto the frame";
    EXPECT_EQ(HeadlessRow(44).substr(3, 76), std::string(76, ' '));
    /* Each line is said as it is shown, cut as it is. */
    EXPECT_EQ(HeadlessTakeAnnouncements(),
              (std::vector<std::string>{"1 first", "1 " + longText.substr(0, 76)}));
}

TEST_F(Panels, TheBoardStandsAtItsOriginWithOnlyTheTwoLabelsHighlighted)
{
    BuildDisplayMap();
    LayoutRack();
    DrawBoard();
    EXPECT_EQ(HeadlessPicture(8, 6, 20, 18), "█████████████\n"
                                             "█oooo       █\n"
                                             "█ooooooooooo█\n"
                                             "███████████─█\n"
                                             "█  _  _  /  █\n"
                                             "█ █ ██ ██ ███\n"
                                             "█ █  █    ███\n"
                                             "█  █ ███ ████\n"
                                             "██   ██┘/ ███\n"
                                             "████    █ ███\n"
                                             "██████  n p██\n"
                                             "███████  / ██\n"
                                             "████████ █┴██");
    for (int y = 6; y <= 18; y++)
        for (int x = 8; x <= 20; x++) {
            bool label = y == 16 && (x == 16 || x == 18);
            EXPECT_EQ(HeadlessAttr(x, y), label ? 160 : 10) << x << "," << y;
        }
}

TEST(TinyScreens, EveryPanelOnEverySmallBufferEndsAndMessagesLandInTheirWindow)
{
    const std::string message = "Ready for new game. Waiting key commands...";
    for (int width = 1; width <= 70; width++)
        for (int height = 1; height <= 45; height++) {
            SCOPED_TRACE(testing::Message() << width << " x " << height);
            OpenHeadlessScreen(width, height);
            ShowHelp();
            ShowCount();
            BuildDisplayMap();
            DrawBoard();
            for (int i = 0; i < 50; i++)
                PrintInWindow(MessageWindow, message.c_str());
            const ConRect &w = MessageWindow;
            if (w.right >= w.left && w.bottom >= w.top + 2) {
                size_t shown = std::min<size_t>(message.size(), w.right - w.left + 1);
                ASSERT_EQ(HeadlessRow(w.bottom).substr(w.left, shown), message.substr(0, shown));
            }
            ConShutdown();
        }
}

int PresentsSeen;

/* That the wait itself never spins is the tty driver's to show (tty_test). */
TEST(StepDelay, ShowsTheScreenThenWaitsAtLeastTheDelay)
{
    HeadlessOpen(81, 46);
    PresentsSeen = 0;
    HeadlessSetPresentHook([](const MemConsole *) { PresentsSeen++; });
    auto start = std::chrono::steady_clock::now();
    WaitMs(200);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(PresentsSeen, 1) << "the screen is shown before the wait";
    EXPECT_GE(waited, std::chrono::milliseconds(200));
    start = std::chrono::steady_clock::now();
    WaitMs(0);
    WaitMs(-5);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(PresentsSeen, 3) << "a step delay of 0 still shows the step";
}

} // namespace
