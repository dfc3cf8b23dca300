/* The whole program on a headless console: start-up, games one after another, and shutdown. */
#include "lifecycle.h"

#include "console.h"
#include "headless.h"
#include "headless_game.h"
#include "machine.h"
#include "options.h"
#include "screen.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

/* While set, the allocations of exactly this many bytes that may fail do fail: the
   keyboard queue's buffers are the program's only ones. */
std::size_t FailingAllocation;

void *operator new[](std::size_t size, const std::nothrow_t &) noexcept
{
    if (size == FailingAllocation)
        return nullptr;
    try {
        return ::operator new[](size);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

namespace {

/* Keys the player types, one batch each time the program waits with nothing queued. */
std::vector<std::string> Answers;
/* The message window's last two rows at each wait after a game. */
std::vector<std::string> SeenAfterGames;
/* The program waited for a key once every answer was typed (the end of input answers it). */
bool WaitedPastTheAnswers;

std::string MessageRow(int fromBottom)
{
    std::string row = HeadlessRow(MessageWindow.bottom - fromBottom).substr(3, 76);
    return row.erase(row.find_last_not_of(' ') + 1);
}

void TypeNextAnswer(bool programWaits)
{
    if (programWaits && Answers.empty())
        WaitedPastTheAnswers = true;
    if (!programWaits || Answers.empty())
        return;
    if (GamePhase == PhaseOver)
        SeenAfterGames.push_back(MessageRow(1) + "|" + MessageRow(0));
    for (char ch : Answers.front())
        TypeKey(ch);
    Answers.erase(Answers.begin());
}

class Program : public ::testing::Test {
protected:
    void SetUp() override
    {
        HeadlessOpen(100, 60, 160, 50);
        MachineReset();
        StepDelayMs = 0;
        Answers.clear();
        SeenAfterGames.clear();
        WaitedPastTheAnswers = false;
        HeadlessSetKeySource(TypeNextAnswer);
    }

    static void ExpectClosedCleanly()
    {
        for (int y = 0; y < 46; y++)
            ASSERT_EQ(HeadlessRow(y), std::string(81, ' ')) << "row " << y;
        EXPECT_TRUE(HeadlessCursorVisible());
        EXPECT_EQ(HeadlessAttr(40, 20), 7);
    }
};

/* A line of a single space, then the question. */
const char Question[] = "|Would you like to play again?[Y/N/ESC]";

TEST_F(Program, EscapeInTheFirstSetupEndsWithABlankScreenAndNoQuestion)
{
    Answers = {"\x1b"};
    EXPECT_EQ(RunZop(), 0);
    EXPECT_EQ(HeadlessTitle(), "Game of Zop");
    EXPECT_TRUE(SeenAfterGames.empty());
    EXPECT_FALSE(WaitedPastTheAnswers) << "no question after ESC in the setup";
    ExpectClosedCleanly();
    EXPECT_EQ(HeadlessCallCount("AllocConsole"), 0) << "a console with its cursor home is kept";
}

COORD SizeAtFirstWait;

TEST_F(Program, TheConsoleIsFittedBeforeTheScreenIsLaidOut)
{
    HeadlessSetKeySource([](bool) {
        CONSOLE_SCREEN_BUFFER_INFO info = {};
        GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info);
        SizeAtFirstWait = info.dwSize;
        HeadlessPushKey(27, VK_ESCAPE);
    });
    RunZop();
    EXPECT_EQ(SizeAtFirstWait.X, 81);
    EXPECT_EQ(SizeAtFirstWait.Y, 46);
    EXPECT_EQ(MessageWindow.right, 78);
    EXPECT_EQ(MessageWindow.bottom, 43);
}

TEST_F(Program, GamesFollowOneAnotherUntilThePlayerSaysNo)
{
    /* Twice: the machine opens and the player always takes one, so the machine wins. */
    Answers = {"ng", "bn", "bn", "bn", "bn", "y", "ng", "bn", "bn", "bn", "bn", "n"};
    EXPECT_EQ(RunZop(), 0);
    std::vector<std::string> expected(2, Question);
    EXPECT_EQ(SeenAfterGames, expected);
    EXPECT_TRUE(Answers.empty());
    EXPECT_FALSE(WaitedPastTheAnswers) << "the last 'n' ended the program";
    ExpectClosedCleanly();
}

TEST_F(Program, NOrEscapeAtTheQuestionEndsTheProgram)
{
    for (const char *no : {"N", "n", "\x1b"}) {
        SCOPED_TRACE(no);
        SetUp();
        Answers = {"pg", "\x1b", no};
        EXPECT_EQ(RunZop(), 0);
        EXPECT_EQ(SeenAfterGames, std::vector<std::string>{Question});
        EXPECT_FALSE(WaitedPastTheAnswers) << "no other game was started";
        ExpectClosedCleanly();
    }
}

TEST_F(Program, AnyAnswerButNOrEscapeStartsAnotherGame)
{
    for (const char *yes : {"Y", "x", "\r", " "}) {
        SCOPED_TRACE(yes);
        SetUp();
        Answers = {"pg", "\x1b", yes, "\x1b"};
        EXPECT_EQ(RunZop(), 0);
        EXPECT_EQ(SeenAfterGames.size(), 1u);
        EXPECT_TRUE(Answers.empty()) << "a second game's setup read the last ESC";
    }
    SetUp();
    Answers = {"pg", "\x1b"};
    HeadlessSetKeySource([](bool programWaits) {
        if (programWaits && GamePhase == PhaseOver && Answers.empty()) {
            HeadlessPushKey(0, VK_F1); /* a key without a character */
            Answers = {"\x1b"};
            return;
        }
        TypeNextAnswer(programWaits);
    });
    RunZop();
    EXPECT_TRUE(Answers.empty()) << "a second game's setup read the last ESC";
}

TEST_F(Program, EscapeInThePlayersTurnAsksTheQuestion)
{
    Answers = {"pg", "\x1b", "N"};
    EXPECT_EQ(RunZop(), 0);
    ASSERT_EQ(SeenAfterGames.size(), 1u);
    EXPECT_EQ(SeenAfterGames[0], Question);
    EXPECT_FALSE(WaitedPastTheAnswers) << "'N' answered the question";
}

TEST_F(Program, AKeyTypedDuringTheLastTurnAnswersTheQuestionAtOnce)
{
    /* 12 marbles, player opens and always takes 3: the winning turn's extra 'n' answers no. */
    Answers = {"\x28\x28\x28", "pg", "bbb", "bbb", "bbbn"};
    HeadlessSetKeySource([](bool programWaits) {
        if (programWaits && GamePhase == PhaseSetup && Answers.size() == 5) {
            for (int i = 0; i < 3; i++)
                HeadlessPushKey(0, VK_DOWN);
            Answers.erase(Answers.begin());
            return;
        }
        TypeNextAnswer(programWaits);
    });
    EXPECT_EQ(RunZop(), 0);
    EXPECT_TRUE(SeenAfterGames.empty()) << "the program never waited at the question";
    EXPECT_TRUE(Answers.empty());
    ExpectClosedCleanly();
}

TEST_F(Program, AConsoleThatAlreadyShowsOutputIsReplacedByANewOne)
{
    SetConsoleCursorPosition(GetStdHandle(STD_OUTPUT_HANDLE), COORD{4, 7});
    Answers = {"\x1b"};
    EXPECT_EQ(RunZop(), 0);
    EXPECT_EQ(HeadlessCallCount("FreeConsole"), 2)
        << "the old console let go, and the new at the end";
    EXPECT_EQ(HeadlessCallCount("AllocConsole"), 1);
}

TEST_F(Program, WithoutAnyConsoleItSaysSoAndFails)
{
    FreeConsole();
    HeadlessFailNext("AllocConsole", ERROR_INVALID_HANDLE);
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunZop(), 1);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.find("zop: "), 0u);
    EXPECT_EQ(said.find('\n'), said.size() - 1) << "one line";
}

TEST_F(Program, AKeyboardQueueWithoutEitherOfItsBuffersEndsTheProgramAtStart)
{
    for (std::size_t buffer :
         {sizeof(INPUT_RECORD) * ConRecordCount, sizeof(KeySlot) * ConRecordCount}) {
        SCOPED_TRACE(buffer);
        SetUp();
        FailingAllocation = buffer;
        int started = ConInit();
        ConShutdown();
        testing::internal::CaptureStderr();
        int status = started == 0 ? RunZop() : -1;
        std::string said = testing::internal::GetCapturedStderr();
        FailingAllocation = 0;
        ASSERT_EQ(started, 0) << "the queue started without its buffer, and every key read "
                                 "would answer at once";
        EXPECT_EQ(status, 1);
        EXPECT_EQ(said, "zop: no memory for the keyboard queue\n");
    }
}

TEST_F(Program, ASmallScreenShowsANoticeAndEscapeQuits)
{
    HeadlessOpen(50, 20, 50, 20);
    Answers = {"\x1b"};
    HeadlessSetKeySource([](bool programWaits) {
        if (programWaits && !Answers.empty())
            SeenAfterGames.push_back(HeadlessRow(7) + HeadlessRow(8));
        TypeNextAnswer(programWaits);
    });
    EXPECT_EQ(RunZop(), 0);
    ASSERT_EQ(SeenAfterGames.size(), 1u);
    EXPECT_NE(SeenAfterGames[0].find("needs 63 x 42"), std::string::npos) << SeenAfterGames[0];
    EXPECT_NE(SeenAfterGames[0].find("is 26 x 19"), std::string::npos) << SeenAfterGames[0];
}

TEST_F(Program, ASmallScreenPlaysAnywayAfterAnyOtherKeyOnAScreenClearedOfTheNotice)
{
    HeadlessOpen(50, 20, 50, 20);
    Answers = {"x", "\x1b"};
    HeadlessSetKeySource([](bool programWaits) {
        if (programWaits)
            SeenAfterGames.push_back(HeadlessRow(8));
        TypeNextAnswer(programWaits);
    });
    EXPECT_EQ(RunZop(), 0);
    EXPECT_TRUE(Answers.empty()) << "the setup read the ESC";
    ASSERT_EQ(SeenAfterGames.size(), 2u) << "at the notice, then in the setup";
    EXPECT_NE(SeenAfterGames[0].find("This screen"), std::string::npos) << SeenAfterGames[0];
    EXPECT_EQ(SeenAfterGames[1].find("This screen"), std::string::npos) << SeenAfterGames[1];
}

} // namespace

/* A wrong argument is named on one line of standard error, status 2, its control characters
   shown as '?' (they would act on the terminal) and its other bytes as they are. */
TEST(Options, AWrongArgumentIsShownWithoutItsControlCharacters)
{
    struct Case {
        const char *argument, *said;
    } const cases[] = {
        {"-\x1b]2;x\x07\x7f", "zop: unknown option '-?]2;x?"
                              "?'; try 'zop --help'\n"},
        {"caf\xc3\xa9\t", "zop: unexpected argument 'caf\xc3\xa9?'; try 'zop --help'\n"},
    };
    for (const Case &c : cases) {
        char program[] = "zop";
        std::string argument = c.argument;
        char *argv[] = {program, &argument[0], nullptr};
        testing::internal::CaptureStderr();
        EXPECT_EQ(ReadOptions(2, argv), 2);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.said);
    }
}
