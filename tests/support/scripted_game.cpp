/* The scripted runs: a whole program with a scripted player, and single marbles. */
#include "scripted_game.h"

#include "console.h"
#include "headless_game.h"
#include "lifecycle.h"
#include "machine.h"
#include "screen.h"
#include "turn.h"

namespace {

struct ScriptState {
    void (*firstWait)(void); /* told when the program first waits for a key */
    bool waited;             /* the program has waited for a key before */
};

} // namespace

static ScriptState Script;

const FlipperRoute FlipperRoutes[FlipperRouteCount] = {
    {"1,0,0", 15},
    {"0,1,0", 16},
    {"0,0,1", 17},
    {"0,0,0", 18},
};

/* Shows the console to the hook at the points asked for (null: to none). */
static void SetPresentHook(PresentHook present, PresentPoints points)
{
    HeadlessSetPresentHook(points == PresentAtWaits ? present : nullptr);
    HeadlessSetOutputHook(points == PresentPerCall ? present : nullptr);
}

/* The scripted player: types only when the program waits for a key. */
static void ScriptedKeys(bool programWaits)
{
    if (!programWaits)
        return;
    if (!Script.waited) {
        Script.waited = true;
        if (Script.firstWait != nullptr)
            Script.firstWait();
    }
    if (GamePhase == PhaseSetup) {
        TypeKey('n'); /* Dr. Zop starts */
        TypeKey('g');
    } else if (GamePhase == PhasePlaying) {
        TypeKey('b'); /* one marble, then pass */
        TypeKey('n');
    } else {
        TypeKey('n'); /* no other game */
    }
}

int RunScriptedGame(PresentHook present, void (*firstWait)(void), PresentPoints points)
{
    HeadlessOpen(ScriptColumns, ScriptRows);
    MachineReset();
    StepDelayMs = 0;
    Script = ScriptState{firstWait, false};
    HeadlessSetKeySource(ScriptedKeys);
    SetPresentHook(present, points);
    int status = RunZop();
    SetPresentHook(nullptr, points);
    HeadlessSetKeySource(nullptr);
    return status;
}

/* The screen as the program draws it at start, with a game set up at ballCount. */
static void DrawGameScreen(int ballCount)
{
    OpenGameScreen(KeepSize);
    PrintInWindow(MessageWindow, "Ready for new game. Waiting key commands...");
    NewGame();
    BuildDisplayMap();
    ShowHelp();
    BallCount = ballCount;
    AdjustCount(0); /* the rack, the count and the flipper presets */
}

void RollOneMarble(int ballCount, PresentHook present, void (*rollStarts)(void),
                   void (*rollEnds)(void), PresentPoints points)
{
    HeadlessOpen(ScriptColumns, ScriptRows);
    MachineReset();
    StepDelayMs = 0;
    SetPresentHook(present, points);
    DrawGameScreen(ballCount);
    GamePhase = PhasePlaying;
    TurnState = TurnMachine;
    Elements[Diverter].state = 1;
    StampBothMaps();
    DrawBoard();
    FlushFileBuffers(OutputHandle); /* the screen as the wait before the roll shows it */
    if (rollStarts != nullptr)
        rollStarts();
    RollBall();
    FlushFileBuffers(OutputHandle); /* the last picture, which the next wait shows */
    if (rollEnds != nullptr)
        rollEnds();
    SetPresentHook(nullptr, points); /* the shutdown is not part of the roll */
    ConShutdown();
}
