/* Whole games on a headless console, with a scripted player answering each wait for a key. */
#include "turn.h"

#include "headless_game.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

/* ------------------------------------------------------ Scripted player */

/* How the scripted player plays; set by each test. */
struct Script {
    std::vector<WORD> setupKeys; /* virtual keys for arrows, or characters, typed in setup */
    int take = 1;              /* marbles per turn: 1 to 3, or 0 to leave 1 modulo 4 when it can */
    bool escapeInTurn = false; /* ESC instead of the player's next turn */
};

Script Player;
int CountAtSetup;

int MarblesToTake()
{
    if (Player.take > 0)
        return Player.take;
    int take = (BallCount - 1) % 4;
    return take == 0 ? 1 : take;
}

/* Called whenever the game looks for a key and none is queued; types only when it waits. */
void ScriptedKeys(bool gameWaits)
{
    if (!gameWaits)
        return;
    if (GamePhase == PhaseSetup) {
        for (WORD key : Player.setupKeys) {
            if (key == VK_UP || key == VK_DOWN)
                HeadlessPushKey(0, key);
            else
                TypeKey(static_cast<char>(key));
        }
        Player.setupKeys.clear();
        return;
    }
    if (GamePhase != PhasePlaying)
        return; /* nothing more to say: the end of input answers */
    if (Player.escapeInTurn) {
        Player.escapeInTurn = false;
        HeadlessPushKey(27, VK_ESCAPE);
        return;
    }
    int take = MarblesToTake();
    for (int i = 0; i < take; i++)
        TypeKey('b');
    if (take < 3)
        TypeKey('n');
}

/* ------------------------------------------------------------- Fixture */

class Game : public ::testing::Test {
protected:
    void SetUp() override
    {
        OpenHeadlessScreen(81, 46);
        Player = Script();
        HeadlessSetKeySource(ScriptedKeys);
    }
    void TearDown() override
    {
        HeadlessSetKeySource(nullptr);
        ConShutdown();
    }

    /* The message window's lines, oldest first, without the blank ones. */
    static std::vector<std::string> Messages()
    {
        std::vector<std::string> lines;
        for (int y = MessageWindow.top; y <= MessageWindow.bottom; y++) {
            std::string line = HeadlessRow(y).substr(MessageWindow.left, 76);
            line.erase(line.find_last_not_of(' ') + 1);
            if (!line.empty())
                lines.push_back(line);
        }
        return lines;
    }

    /* The "took" and winner lines of the game, in order. */
    static std::vector<std::string> TurnLines()
    {
        std::vector<std::string> turns;
        for (const std::string &line : Messages())
            if (line.find(" took: ") != std::string::npos || line.find("wins") != std::string::npos)
                turns.push_back(line);
        return turns;
    }
};

const char MachineWins[] = "Dr. Zop wins! Well done, Dr. Zop!";
const char PlayerWins[] = "Player wins against Dr. Zop! Congratulations!";

struct WholeGame {
    const char *name;
    int downArrows; /* from 15 */
    char starter;
    int take;
    std::vector<std::string> turns;
};

TEST_F(Game, WholeGamesGoTurnByTurnToTheirWinner)
{
    // clang-format off
    const WholeGame games[] = {
        {"15, machine starts, player takes 1", 0, 'n', 1,
         {"Zop took: 1", "You took: 1", "Zop took: 1", "You took: 1", "Zop took: 2", "You took: 1",
          "Zop took: 3", "You took: 1", "Zop took: 3", MachineWins}},
        {"15, machine starts, player leaves 1 modulo 4", 0, 'n', 0,
         {"Zop took: 1", "You took: 1", "Zop took: 1", "You took: 3", "Zop took: 1", "You took: 3",
          "Zop took: 1", "You took: 3", PlayerWins}},
        {"15, player starts, player leaves 1 modulo 4", 0, 'p', 0,
         {"You took: 2", "Zop took: 1", "You took: 3", "Zop took: 1", "You took: 3", "Zop took: 1",
          "You took: 3", PlayerWins}},
        {"10, machine starts, player takes 1", 5, 'n', 1,
         {"Zop took: 1", "You took: 1", "Zop took: 1", "You took: 1", "Zop took: 1", "You took: 1",
          "Zop took: 3", MachineWins}},
        {"12, player starts, player takes 3", 3, 'p', 3,
         {"You took: 3", "Zop took: 1", "You took: 3", "Zop took: 1", "You took: 3", PlayerWins}},
        {"9, machine starts, player takes 2", 6, 'n', 2,
         {"Zop took: 1", "You took: 2", "Zop took: 1", "You took: 2", "Zop took: 2", MachineWins}},
    };
    // clang-format on
    for (const WholeGame &game : games) {
        SCOPED_TRACE(game.name);
        SetUp();
        Player.setupKeys.assign(game.downArrows, VK_DOWN);
        Player.setupKeys.push_back(static_cast<WORD>(game.starter));
        Player.setupKeys.push_back('g');
        Player.take = game.take;
        EXPECT_EQ(PlayGame(), 1) << "the player's last turn ended normally";
        EXPECT_EQ(TurnLines(), game.turns);
        /* Beside the picture, a reader is told each turn's side in step, the marbles left
           at the player's, then the winner. */
        std::vector<std::string> told, sides;
        for (const std::string &said : HeadlessTakeAnnouncements())
            if (said.rfind("3 Your turn: ", 0) == 0 || said == "3 Dr. Zop's turn" ||
                said.rfind("4 ", 0) == 0)
                told.push_back(said.substr(2, said.find_first_of(said[0] == '4' ? ":" : "';") - 2));
        int left = 15 - game.downArrows;
        for (const std::string &line : game.turns) {
            bool player = line.rfind("You", 0) == 0, taken = line.find(" took: ") != line.npos;
            sides.push_back(line == MachineWins  ? "Dr. Zop wins"
                            : line == PlayerWins ? "You win"
                            : player             ? "Your turn: " + std::to_string(left) + " marbles"
                                                 : "Dr. Zop");
            left -= taken ? std::stoi(line.substr(line.find(':') + 1)) : 0;
        }
        EXPECT_EQ(told, sides);
        EXPECT_EQ(BallCount, 1);
        EXPECT_EQ(GamePhase, PhaseOver);
        TearDown();
    }
}

TEST_F(Game, TheWinnerDecidesWhoStartsTheNextGame)
{
    Player.setupKeys = {'n', 'g'};
    PlayGame();
    ASSERT_EQ(TurnLines().back(), MachineWins);
    EXPECT_EQ(TurnState, TurnPlayer) << "after the machine wins, the player starts";

    Player.setupKeys = {'g'};
    Player.take = 0;
    PlayGame();
    ASSERT_EQ(TurnLines().back(), PlayerWins);
    EXPECT_EQ(TurnState, TurnMachine) << "after the player wins, the machine starts";

    Player.setupKeys = {'g'};
    Player.take = 1;
    PlayGame();
    std::vector<std::string> turns = TurnLines();
    EXPECT_EQ(turns[turns.size() - 10], "Zop took: 1") << "the machine opened the third game";
    EXPECT_EQ(turns.back(), MachineWins);
}

TEST_F(Game, EscapeInSetupLeavesTheGameUnplayed)
{
    Player.setupKeys = {VK_DOWN, 27};
    EXPECT_EQ(PlayGame(), 27);
    EXPECT_EQ(GamePhase, PhaseSetup);
    EXPECT_EQ(Messages().back(), "OK - bye!");
    EXPECT_EQ(BallCount, 14);
}

TEST_F(Game, EscapeInThePlayersTurnBreaksTheGameWithoutATakenLine)
{
    Player.setupKeys = {'p', 'g'};
    Player.escapeInTurn = true;
    EXPECT_EQ(PlayGame(), 27);
    EXPECT_EQ(GamePhase, PhaseOver);
    std::vector<std::string> messages = Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2], "OK - bye!");
    EXPECT_EQ(messages.back(), "ESCape command command: breaking game...");
    EXPECT_TRUE(TurnLines().empty());
    EXPECT_EQ(TurnState, TurnPlayer) << "the player starts the next game";
}

TEST_F(Game, EscapeBetweenTwoMachineMarblesStillPrintsWhatItTook)
{
    /* 15 marbles, the machine starts; its third turn, at 11, would take 2. */
    Player.setupKeys = {'n', 'g'};
    Player.take = 1;
    HeadlessSetKeySource([](bool gameWaits) {
        if (!gameWaits && BallCount == 10) /* ESC typed while the first marble rolled */
            HeadlessPushKey(27, VK_ESCAPE);
        ScriptedKeys(gameWaits);
    });
    EXPECT_EQ(PlayGame(), 1) << "the last result of the player's turn";
    EXPECT_EQ(GamePhase, PhaseOver);
    EXPECT_EQ(TurnLines().back(), "Zop took: 1");
    EXPECT_EQ(BallCount, 10);
    EXPECT_EQ(TurnState, TurnMachine) << "the machine starts the next game";
}

bool EscapeTyped;

/* Types ESC once the screen shows the Go command: the key waits when the machine's turn begins. */
void EscapeAsPlayStarts(const MemConsole *)
{
    if (!EscapeTyped &&
        HeadlessRow(MessageWindow.bottom).find("Received Go command.") != std::string::npos) {
        EscapeTyped = true;
        HeadlessPushKey(27, VK_ESCAPE);
    }
}

TEST_F(Game, TheMachinesFirstMarbleRollsEvenWithAnEscapeWaiting)
{
    /* 15 marbles, diverter clear: the machine's first turn takes 1, and only then is ESC read. */
    Player.setupKeys = {'n', 'g'};
    EscapeTyped = false;
    HeadlessSetPresentHook(EscapeAsPlayStarts);
    EXPECT_EQ(PlayGame(), 27) << "the waiting ESC ends the player's turn that follows";
    HeadlessSetPresentHook(nullptr);
    EXPECT_TRUE(EscapeTyped);
    EXPECT_EQ(TurnLines(), std::vector<std::string>{"Zop took: 1"});
    EXPECT_EQ(BallCount, 14);
}

TEST_F(Game, AKeyOtherThanEscapeBetweenMachineMarblesIsDropped)
{
    Player.setupKeys = {'n', 'g'};
    HeadlessSetKeySource([](bool gameWaits) {
        if (!gameWaits && BallCount == 10)
            TypeKey('x');
        ScriptedKeys(gameWaits);
    });
    PlayGame();
    std::vector<std::string> turns = TurnLines();
    ASSERT_GE(turns.size(), 5u);
    EXPECT_EQ(turns[4], "Zop took: 2");
    EXPECT_EQ(turns.back(), MachineWins);
}

TEST_F(Game, ThePlayerMustRollOneMarbleAndTheThirdEndsTheTurn)
{
    Player.setupKeys = {'g'};
    HeadlessSetKeySource([](bool gameWaits) {
        if (gameWaits && GamePhase == PhasePlaying && BallCount == 15) {
            for (char ch : {'n', 'x', 'b', 'b', 'b'})
                TypeKey(ch);
            return;
        }
        ScriptedKeys(gameWaits);
    });
    PlayGame();
    std::vector<std::string> messages = Messages();
    auto took = std::find(messages.begin(), messages.end(), "You took: 3");
    ASSERT_NE(took, messages.end());
    EXPECT_EQ(took[-1], "You must roll at least one ball!");
    EXPECT_EQ(took[1], "Zop took: 3") << "the machine's turn follows at once";
}

TEST_F(Game, ArrowsChooseTheCountBetweenNineAndTwentyAndOnlyRealChangesRedraw)
{
    NewGame();
    BuildDisplayMap();
    for (int i = 0; i < 5; i++)
        AdjustCount('+');
    EXPECT_EQ(BallCount, 20);
    EXPECT_EQ(HeadlessPicture(19, 3, 20, 3), "20");
    EXPECT_EQ(HeadlessPicture(8, 7, 20, 8), "█ooooooooo  █\n█ooooooooooo█");
    EXPECT_EQ(HeadlessPicture(8, 10, 20, 10), "█  _  /  _  █") << "flippers hold 20 % 4";

    int writes = HeadlessCallCount("WriteConsoleA");
    int fills = HeadlessCallCount("FillConsoleOutputAttribute");
    AdjustCount('+');
    AdjustCount('+');
    EXPECT_EQ(BallCount, 20);
    EXPECT_EQ(HeadlessCallCount("WriteConsoleA"), writes) << "a '+' at 20 redraws nothing";
    EXPECT_EQ(HeadlessCallCount("FillConsoleOutputAttribute"), fills);

    for (int i = 0; i < 20; i++)
        AdjustCount('-');
    EXPECT_EQ(BallCount, 9);
    EXPECT_EQ(HeadlessPicture(19, 3, 20, 3), "9 ");
    EXPECT_EQ(HeadlessPicture(8, 7, 20, 8), "█           █\n█  ooooooooo█");
    EXPECT_EQ(HeadlessPicture(8, 10, 20, 10), "█  /  _  _  █");
    writes = HeadlessCallCount("WriteConsoleA");
    AdjustCount('-');
    EXPECT_EQ(HeadlessCallCount("WriteConsoleA"), writes) << "a '-' at 9 redraws nothing";
}

TEST_F(Game, EachGameStartsAtFifteenWhateverTheLastOneChose)
{
    Player.setupKeys = {VK_DOWN, VK_DOWN, VK_DOWN, 27};
    PlayGame();
    EXPECT_EQ(BallCount, 12);
    HeadlessSetKeySource([](bool) {
        CountAtSetup = BallCount;
        HeadlessPushKey(27, VK_ESCAPE);
    });
    PlayGame();
    EXPECT_EQ(CountAtSetup, 15);
    EXPECT_EQ(HeadlessPicture(19, 3, 20, 3), "15");
}

TEST_F(Game, TheStarterKeyTurnsTheLeverAndTheLastOneDecides)
{
    Player.setupKeys = {'n', 'p', 'N', 27};
    PlayGame();
    EXPECT_EQ(TurnState, TurnMachine);
    EXPECT_EQ(HeadlessPicture(17, 17, 17, 17), "\\");
    std::vector<std::string> messages = Messages();
    std::vector<std::string> expected = {"Dr. Zop to go first.", "Player to go first.",
                                         "Dr. Zop to go first.", "OK - bye!"};
    EXPECT_EQ(std::vector<std::string>(messages.end() - 4, messages.end()), expected);
}

} // namespace
