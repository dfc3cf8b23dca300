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

/* Tells a reader of the screen, beside the picture, whose turn it is and what the keys do now. */
static void Cue(const char *turn, const char *keys)
{
    PlatformAnnounce(AnnounceTurn, turn);
    PlatformAnnounce(AnnounceKeys, keys);
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
    BallCount = BallCountAtStart;
    GamePhase = PhaseSetup;
    AdjustCount(0);
}

void AdjustCount(int ch)
{
    if ((ch == '+' && BallCount >= BallCountMost) || (ch == '-' && BallCount <= BallCountLeast))
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
    char cue[64];
    std::snprintf(cue, sizeof cue, "Your turn: %d marbles; release one to three", BallCount);
    Cue(cue, "B:release a marble|N:end your turn|Esc:end the game");
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
            std::snprintf(cue, sizeof cue, "%d of 3 released", released);
            PlatformAnnounce(AnnounceTurn, cue);
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
    Cue("Dr. Zop's turn", "Esc:end the game");
    while (RollBall() == 1) {
        if (ConKeyPending() && ConGetKey(nullptr) == KeyEscape) {
            PlatformAnnounce(AnnounceResult, "You ended the game.");
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
        bool playerWon = TurnState == TurnMachine;
        Say(playerWon ? "Player wins against Dr. Zop! Congratulations!"
                      : "Dr. Zop wins! Well done, Dr. Zop!");
        PlatformAnnounce(AnnounceResult, playerWon ? "You win: you left Dr. Zop the last marble."
                                                   : "Dr. Zop wins: it left you the last marble.");
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
    Cue("New game: choose the marbles and who starts, then go",
        "Up:one marble more|Down:one marble fewer|N:Dr. Zop starts|P:you start|G:go|Esc:quit");
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
            PlatformAnnounce(AnnounceResult, "You ended the game.");
            GamePhase = PhaseOver;
            return KeyEscape;
        }
        EndTurn("You", countAtStart);
    }
    return result;
}
