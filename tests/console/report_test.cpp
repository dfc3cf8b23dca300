/* Window fitting and the failure report, on a headless console whose size rules are Win32's. */
#include "console.h"
#include "headless.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

HANDLE Out()
{
    return GetStdHandle(STD_OUTPUT_HANDLE);
}

CONSOLE_SCREEN_BUFFER_INFO Info()
{
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(Out(), &info);
    return info;
}

int SetCalls()
{
    return HeadlessCallCount("SetConsoleScreenBufferSize") +
           HeadlessCallCount("SetConsoleWindowInfo");
}

/* The report the module prints for a failed call, without its system text. */
std::string FirstLine(const char *call, int line, int code)
{
    return "CONSOLE: Error " + std::to_string(code) + " from " + call + " on line " +
           std::to_string(line) + ": (qk)\n";
}

TEST(FitWindow, BufferAndWindowBecomeTheFractionsOfTheLargestWindow)
{
    HeadlessOpen(120, 70, 160, 62);
    ConFitWindow(Out(), 0.5, 0.9);
    CONSOLE_SCREEN_BUFFER_INFO info = Info();
    EXPECT_EQ(info.dwSize.X, 81);
    EXPECT_EQ(info.dwSize.Y, 56) << "62 x 0.9 = 55.8 is cut to 55";
    EXPECT_EQ(info.srWindow.Left, 0);
    EXPECT_EQ(info.srWindow.Top, 0);
    EXPECT_EQ(info.srWindow.Right, 80);
    EXPECT_EQ(info.srWindow.Bottom, 55);
}

TEST(FitWindow, GrowingEitherWayGrowsTheBufferBeforeTheWindow)
{
    HeadlessOpen(40, 20, 160, 50);
    ConFitWindow(Out(), 0.5, 0.9);
    EXPECT_EQ(Info().dwSize.X, 81);
    EXPECT_EQ(Info().dwSize.Y, 46);
    EXPECT_EQ(Info().srWindow.Right, 80);
}

TEST(FitWindow, AConsoleOfTheRightSizeIsOnlyAsked)
{
    HeadlessOpen(81, 46, 160, 50);
    CaptureStdout();
    ConFitWindow(Out(), 0.5, 0.9);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(SetCalls(), 0);
}

TEST(FitWindow, FailuresWhileGrowingColumnsAndShrinkingRowsAreReportedFromTheGrowingOrder)
{
    HeadlessOpen(40, 60, 160, 50); /* more columns wanted, fewer rows: the window is too tall */
    HeadlessPushKey('y', 'Y');
    HeadlessPushKey('y', 'Y');
    CaptureStdout();
    ConFitWindow(Out(), 0.5, 0.9);
    std::string printed = GetCapturedStdout();
    size_t buffer = printed.find(FirstLine("SetConsoleScreenBufferSize", 718, 87));
    size_t window = printed.find(FirstLine("SetConsoleWindowInfo", 720, 87));
    EXPECT_NE(buffer, std::string::npos) << printed;
    EXPECT_NE(window, std::string::npos) << printed;
    EXPECT_LT(buffer, window);
}

TEST(FitWindow, AFailedWindowCallIsReportedAndTheBufferIsSetNext)
{
    HeadlessOpen(100, 60, 160, 50);
    SMALL_RECT fitted = {0, 0, 80, 45};
    ASSERT_TRUE(SetConsoleWindowInfo(Out(), TRUE, &fitted));
    HeadlessFailNext("SetConsoleWindowInfo", ERROR_INVALID_PARAMETER);
    HeadlessPushKey('n', 'N');
    CaptureStdout();
    ConFitWindow(Out(), 0.5, 0.9);
    std::string printed = GetCapturedStdout();

    char *text = nullptr;
    ASSERT_NE(
        FormatMessageA(0x1128, nullptr, 87, 0x400, reinterpret_cast<LPSTR>(&text), 512, nullptr),
        0u);
    std::string systemText = text;
    LocalFree(text);
    EXPECT_EQ(printed, FirstLine("SetConsoleWindowInfo", 711, 87) + systemText +
                           "\n\nContinue execution?\n");
    EXPECT_EQ(Info().dwSize.X, 81) << "the key, even N, lets the fitting go on";
    EXPECT_EQ(Info().dwSize.Y, 46);
}

TEST(Report, WithoutASystemTextTwoEmptyLinesStandBeforeTheQuestion)
{
    HeadlessOpen(80, 25);
    HeadlessPushKey('\r', VK_RETURN);
    CaptureStdout();
    int key = ConReportFailure("CONSOLE", 711, "SetConsoleWindowInfo", 4242);
    EXPECT_EQ(GetCapturedStdout(),
              FirstLine("SetConsoleWindowInfo", 711, 4242) + "\n\nContinue execution?\n");
    EXPECT_EQ(key, '\r');
}

TEST(Report, ATextTooLongForTheReportIsCutAndTheQuestionStillEndsIt)
{
    HeadlessOpen(80, 25);
    std::string longName(3000, 'c');
    CaptureStdout();
    ConReportFailure(longName.c_str(), 1, "ReadFile", 6);
    std::string printed = GetCapturedStdout();
    EXPECT_LE(printed.size(), 1024u);
    EXPECT_EQ(printed.substr(printed.size() - 22), "\n\nContinue execution?\n");
}

TEST(RawChar, ReadsOneUnechoedKeyAndPutsTheModeBack)
{
    HeadlessOpen(80, 25);
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD before = 0;
    ASSERT_TRUE(GetConsoleMode(in, &before));
    ASSERT_NE(before & ENABLE_LINE_INPUT, 0u);
    HeadlessPushKey(0, VK_SHIFT);
    HeadlessPushKey('k', 'K');
    EXPECT_EQ(ConGetRawChar(), 'k');
    DWORD after = 0;
    GetConsoleMode(in, &after);
    EXPECT_EQ(after, before);
    EXPECT_EQ(HeadlessCallCount("SetConsoleMode"), 2);
}

TEST(RawChar, AFailingReadIsReportedWithoutWaitingForAnotherKey)
{
    HeadlessOpen(80, 25);
    HeadlessFailNext("ReadFile", ERROR_INVALID_HANDLE);
    CaptureStdout();
    ConReportFailure("CONSOLE", 711, "SetConsoleWindowInfo", 87);
    std::string printed = GetCapturedStdout();
    EXPECT_NE(printed.find(FirstLine("ReadFile", 190, 6)), std::string::npos) << printed;
    EXPECT_EQ(HeadlessCallCount("ReadFile"), 1) << "the nested report does not wait";
}

TEST(RawChar, AnUnreadableModeIsReportedAndLeftAlone)
{
    HeadlessOpen(80, 25);
    HeadlessFailNext("GetConsoleMode", ERROR_INVALID_HANDLE);
    HeadlessPushKey('z', 'Z');
    HeadlessPushKey('q', 'Q');
    CaptureStdout();
    char key = ConGetRawChar();
    std::string printed = GetCapturedStdout();
    EXPECT_EQ(printed.find(FirstLine("GetconsoleMode", 182, 6)), 0u) << printed;
    EXPECT_EQ(key, 'q') << "the report's own wait took the first key";
    EXPECT_EQ(HeadlessCallCount("SetConsoleMode"), 2) << "only the report's own read set a mode";
}

} // namespace
