/* The turn engine. */
#include "turn.h"

#include "console.h"
#include "machine.h"
#include "screen.h"

#include <cstdio>

static void Say(const char *text)
{
    PrintInWindow(MessageWindow, text);
}

/* Shows the lever's new side after the starting side was chosen. */
static void ChooseStarter(int turn, const char *announcement)
{
    TurnState = turn;
    StampBothMaps();
    DrawBoard();
    Say(announcement);
}

/* ----------------------------------------------------------------- Setup */

void NewGame()
{
    BallCount = 15;
    GamePhase = PhaseSetup;
    AdjustCount(0);
}

void AdjustCount(int ch)
{
    if ((ch == '+' && BallCount >= 20) || (ch == '-' && BallCount <= 9))
        return;
    if (ch == '+')
        BallCount++;
    else if (ch == '-')
        BallCount--;
    LayoutRack();
    ShowCount();
    PresetFlippers();
    DrawBoard();
}

int SetupKeys()
{
    for (;;) {
        int virtualKey = 0;
        int ch = ConGetKey(&virtualKey);
        if (ch == KeyEscape) {
            Say("OK - bye!");
            return ch;
        }
        if (ch == 'G' || ch == 'g') {
            Say("Received Go command.");
            return ch;
        }
        if (ch == 'N' || ch == 'n') {
            ChooseStarter(TurnMachine, "Dr. Zop to go first.");
            virtualKey = 0;
        } else if (ch == 'P' || ch == 'p') {
            ChooseStarter(TurnPlayer, "Player to go first.");
            virtualKey = 0;
        }
        if (virtualKey == VK_UP)
            AdjustCount('+');
        else if (virtualKey == VK_DOWN)
            AdjustCount('-');
    }
}

/* ----------------------------------------------------------------- Turns */

int PlayerTurn()
{
    int released = 0;
    while (released < 3 && BallCount > 0) {
        int ch = ConGetKey(nullptr);
        if (ch == KeyEscape) {
            Say("OK - bye!");
            return KeyEscape;
        }
        if (ch == 'B' || ch == 'b') {
            RollBall();
            released++;
        } else if (ch == 'N' || ch == 'n') {
            if (released > 0)
                break;
            Say("You must roll at least one ball!");
        }
    }
    TurnState = TurnMachine;
    return 1;
}

/*
 * The machine releases marbles while each reaches the continue outlet.
 * Between two marbles one waiting key is read: ESC ends the game, any
 * other key is dropped.
 */
static void MachineTurn()
{
    while (RollBall() == 1) {
        if (ConKeyPending() && ConGetKey(nullptr) == KeyEscape) {
            GamePhase = PhaseOver;
            return;
        }
    }
}

/* Prints what the side that just played took, and the winner when one marble is left. */
static void EndTurn(const char *side, int countAtStart)
{
    char line[64];
    std::snprintf(line, sizeof line, "%s took: %d", side, countAtStart - BallCount);
    Say(line);
    if (BallCount == 1) {
        GamePhase = PhaseOver;
        Say(TurnState == TurnMachine ? "Player wins against Dr. Zop! Congratulations!"
                                     : "Dr. Zop wins! Well done, Dr. Zop!");
    }
}

int PlayGame()
{
    NewGame();
    BuildDisplayMap();
    ShowHelp();
    LayoutRack();
    DrawBoard();
    ShowCount();

    /* NewGame has put the game in its setup. */
    if (SetupKeys() == KeyEscape)
        return KeyEscape;

    GamePhase = PhasePlaying;
    int result = 0;
    while (GamePhase == PhasePlaying) {
        int countAtStart = BallCount;
        if (TurnState == TurnMachine) {
            MachineTurn();
            EndTurn("Zop", countAtStart);
            continue;
        }
        result = PlayerTurn();
        if (result == KeyEscape) {
            /* The game's own words, doubled "command" and all; tests hold them. */
            Say("ESCape command command: breaking game...");
            GamePhase = PhaseOver;
            return KeyEscape;
        }
        EndTurn("You", countAtStart);
    }
    return result;
}
