/*
 * Key storms on a headless console: 10,000 bytes at a time, run through the
 * same key decoder as a terminal's bytes, in the setup, in the player's turn
 * and between two marbles of the machine's turn.
 */
#include "lifecycle.h"
#include "turn.h"

#include "headless_game.h"
#include "keystorm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const std::size_t StormBytesSent = 10000;

/* When the storm comes: at the first wait of the setup, of the player's first
   turn, or between the first two marbles of a machine's turn. */
enum StormMoment { InSetup, InPlayersTurn, InMachinesTurn, MomentCount };
const char *const MomentNames[] = {"setup", "player's turn", "machine's turn"};

struct StormPlan {
    StormMoment moment;
    std::string bytes; /* empty: no storm */
    bool sent;
    std::string screenBefore; /* the whole screen just before the storm */
    std::string screenAfter;  /* the whole screen when the storm's keys were all read */
    bool afterSeen;
};

StormPlan Storm;

/* Sends bytes as a terminal would: in reads of 1 to 300 bytes, 0 to 40 ms apart. */
void SendLikeATerminal(const std::string &bytes, unsigned seed)
{
    StormRandom random(seed);
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t length = 1 + StormPick(random, 300);
        HeadlessPushBytes(bytes.substr(at, length), static_cast<int>(StormPick(random, 41)));
        at += length;
    }
    HeadlessPushBytes("", 1000); /* a pause: whatever is left unfinished ends */
}

/* The message window's lines, without the blank ones. */
std::vector<std::string> MessageLines()
{
    std::vector<std::string> lines;
    for (int y = MessageWindow.top; y <= MessageWindow.bottom; y++) {
        std::string line = HeadlessRow(y).substr(MessageWindow.left, 60);
        line.erase(line.find_last_not_of(' ') + 1);
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

std::string WholeScreen()
{
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info);
    return HeadlessPicture(0, 0, info.dwSize.X - 1, info.dwSize.Y - 1);
}

bool StormIsDue(bool programWaits)
{
    if (Storm.bytes.empty() || Storm.sent)
        return false;
    if (Storm.moment == InMachinesTurn)
        return !programWaits && GamePhase == PhasePlaying;
    if (!programWaits)
        return false;
    return Storm.moment == InSetup ? GamePhase == PhaseSetup : GamePhase == PhasePlaying;
}

/* Sends the storm when its moment comes; true when it did. */
bool SendStormWhenDue(bool programWaits)
{
    if (Storm.sent && programWaits && !Storm.afterSeen) {
        Storm.afterSeen = true;
        Storm.screenAfter = WholeScreen();
    }
    if (!StormIsDue(programWaits))
        return false;
    Storm.sent = true;
    Storm.screenBefore = WholeScreen();
    SendLikeATerminal(Storm.bytes, 99);
    return true;
}

/* ------------------------------------------- A scripted game, storm or not */

/* 12 marbles, the player starts and takes 1, 2, 3, 1, 2, 3, ... marbles. */
int PlayerTurns;

void ScriptedPlayer(bool programWaits)
{
    if (SendStormWhenDue(programWaits) || !programWaits)
        return;
    if (GamePhase == PhaseSetup) {
        for (int i = 0; i < 3; i++)
            HeadlessPushKey(0, VK_DOWN);
        TypeKey('p');
        TypeKey('g');
    } else if (GamePhase == PhasePlaying) {
        int take = 1 + PlayerTurns++ % 3;
        for (int i = 0; i < take; i++)
            TypeKey('b');
        if (take < 3)
            TypeKey('n');
    }
}

class StormedGame : public ::testing::Test {
protected:
    void SetUp() override
    {
        OpenHeadlessScreen(81, 46);
        PlayerTurns = 0;
        Storm = StormPlan();
        HeadlessSetKeySource(ScriptedPlayer);
    }
    void TearDown() override
    {
        HeadlessSetKeySource(nullptr);
        ConShutdown();
    }
};

TEST_F(StormedGame, ANeutralStormHoldsNoKeyTheGameActsOn)
{
    /* The storm's own check: decoded, it gives no b, n, g, p, ESC, Up or Down. */
    for (bool forTerminal : {false, true}) {
        std::string bytes = StormBytes(NeutralStorm(7, StormBytesSent, forTerminal));
        SendLikeATerminal(bytes, 1);
        INPUT_RECORD record;
        DWORD read = 0;
        int keys = 0;
        while (GetNumberOfConsoleInputEvents(GetStdHandle(STD_INPUT_HANDLE), &read) && read > 0) {
            ReadConsoleInputA(GetStdHandle(STD_INPUT_HANDLE), &record, 1, &read);
            const KEY_EVENT_RECORD &key = record.Event.KeyEvent;
            unsigned char ch = static_cast<unsigned char>(key.uChar.AsciiChar);
            ASSERT_FALSE(StormGameLetter(ch) || ch == 27) << "key " << int(ch);
            ASSERT_TRUE(key.wVirtualKeyCode != VK_UP && key.wVirtualKeyCode != VK_DOWN);
            keys++;
        }
        EXPECT_GT(keys, 1000) << "most of the storm is keys the game ignores";
    }
}

TEST_F(StormedGame, ANeutralStormChangesNothingInTheSetupTheTurnsOrBetweenMachineMarbles)
{
    EXPECT_EQ(PlayGame(), 1);
    const std::string reference = WholeScreen();
    const std::vector<std::string> referenceLines = MessageLines();
    ASSERT_EQ(referenceLines.back(), "Dr. Zop wins! Well done, Dr. Zop!");

    for (int moment = InSetup; moment < MomentCount; moment++) {
        for (unsigned seed : {1u, 2u, 3u}) {
            SCOPED_TRACE(std::string(MomentNames[moment]) + ", seed " + std::to_string(seed));
            TearDown();
            SetUp();
            Storm.moment = static_cast<StormMoment>(moment);
            Storm.bytes = StormBytes(NeutralStorm(seed, StormBytesSent, false));
            EXPECT_EQ(PlayGame(), 1);
            EXPECT_TRUE(Storm.sent);
            EXPECT_EQ(MessageLines(), referenceLines);
            EXPECT_TRUE(WholeScreen() == reference) << "the game ended on another screen";
            if (moment != InMachinesTurn) {
                ASSERT_TRUE(Storm.afterSeen);
                EXPECT_TRUE(Storm.screenAfter == Storm.screenBefore)
                    << "the storm changed the screen";
            }
        }
    }
}

/* -------------------------------------------------------- Random storms */

/* What the whole program showed, checked as it goes: the count and the taken lines. */
struct Consistency {
    int lastCount;
    int lastPhase;
    int countAtGo;    /* the count when the last game's Go came; -1 before */
    int takenSinceGo; /* what its taken lines add up to */
    int takenLines;
    int games;
    std::string lastBottom; /* the message window's bottom row after the last output */
    std::vector<std::string> faults;
};

Consistency Seen;

void Fault(const std::string &what)
{
    if (Seen.faults.size() < 10)
        Seen.faults.push_back(what + " (count " + std::to_string(BallCount) + ")");
}

std::string Trimmed(std::string row)
{
    row.erase(row.find_last_not_of(' ') + 1);
    return row.erase(0, std::min(row.find_first_not_of(' '), row.size()));
}

/* A new message has just been written into the bottom row of the message window. */
void TakeMessage(const std::string &message)
{
    int taken = 0;
    if (message == "Received Go command.") {
        Seen.countAtGo = BallCount;
        Seen.takenSinceGo = 0;
        Seen.games++;
    } else if (std::sscanf(message.c_str(), "%*s took: %d", &taken) == 1) {
        Seen.takenSinceGo += taken;
        Seen.takenLines++;
        if (taken < 1 || taken > 3 || Seen.takenSinceGo != Seen.countAtGo - BallCount)
            Fault("\"" + message + "\" after " + std::to_string(Seen.countAtGo) + " at Go");
    }
}

/* Called after every output call: the count moves only by rolls during play. */
void WatchOutput(const MemConsole *)
{
    if (BallCount != Seen.lastCount && GamePhase == PhasePlaying &&
        Seen.lastPhase == PhasePlaying && BallCount != Seen.lastCount - 1)
        Fault("count went from " + std::to_string(Seen.lastCount) + " in play");
    if (BallCount < 0 || BallCount > 20)
        Fault("count out of range");
    Seen.lastCount = BallCount;
    Seen.lastPhase = GamePhase;
    if (MessageWindow.bottom <= MessageWindow.top || MessageWindow.right <= MessageWindow.left)
        return;
    std::string bottom =
        Trimmed(HeadlessRow(MessageWindow.bottom)
                    .substr(MessageWindow.left, MessageWindow.right - MessageWindow.left + 1));
    if (Seen.lastBottom.empty() && !bottom.empty())
        TakeMessage(bottom);
    Seen.lastBottom = bottom;
}

/* At every wait the rack and the count panel show the count. */
void CheckRackAndPanel()
{
    int marbles = static_cast<int>(
        std::count(DisplayMap + BoardColumns, DisplayMap + 3 * BoardColumns, CellMarble));
    if (marbles != BallCount)
        Fault("the rack holds " + std::to_string(marbles));
    char panel[8];
    std::snprintf(panel, sizeof panel, "%-2d", BallCount);
    if (HeadlessPicture(CountPanel.left + 1, CountPanel.top + 1, CountPanel.left + 2,
                        CountPanel.top + 1) != panel)
        Fault("the panel does not show the count");
}

/* The storm at its moment, then nothing: every later wait gets ESC, so the program ends. */
void StormThenSilence(bool programWaits)
{
    if (programWaits && MessageWindow.bottom > 0)
        CheckRackAndPanel();
    if (SendStormWhenDue(programWaits) || !programWaits || Storm.sent)
        return;
    /* Up to the storm's moment, the way there: 12 marbles, the player starts. */
    ScriptedPlayer(programWaits);
}

TEST(RandomStorm, LeavesTheWholeProgramConsistentAndItEnds)
{
    int gamesSeen = 0, takenSeen = 0;
    for (int moment = InSetup; moment < MomentCount; moment++) {
        for (unsigned seed = 1; seed <= 4; seed++) {
            SCOPED_TRACE(std::string(MomentNames[moment]) + ", seed " + std::to_string(seed));
            HeadlessOpen(81, 46, 162, 200); /* fitted to 82 x 180: a long message window */
            MachineReset();
            StepDelayMs = 0;
            PlayerTurns = 0;
            Storm = StormPlan();
            Storm.moment = static_cast<StormMoment>(moment);
            Storm.bytes = RandomStorm(seed, StormBytesSent, false);
            Seen = Consistency{BallCount, GamePhase, -1, 0, 0, 0, "", {}};
            MessageWindow = ConRect{0, 0, 0, 0}; /* no layout yet: no messages to watch */
            HeadlessSetKeySource(StormThenSilence);
            HeadlessSetOutputHook(WatchOutput);
            EXPECT_EQ(RunZop(), 0);
            HeadlessSetKeySource(nullptr);
            HeadlessSetOutputHook(nullptr);
            EXPECT_TRUE(Storm.sent);
            EXPECT_TRUE(Seen.faults.empty()) << ::testing::PrintToString(Seen.faults);
            gamesSeen += Seen.games;
            takenSeen += Seen.takenLines;
        }
    }
    /* The storms did play: they started games and rolled marbles. */
    EXPECT_GT(gamesSeen, 12);
    EXPECT_GT(takenSeen, 12);
}

} // namespace
