/* The motion of marbles: routes, the lever, the machine's turns and what the screen is asked. */
#include "recording_screen.h"

#include "machine.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

/* The four flipper states a game passes through, (right, middle, left). */
struct Flippers {
    int right, middle, left;
};
const Flippers AllFlipperStates[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}};

class Motion : public ::testing::Test {
protected:
    void SetUp() override
    {
        MachineReset();
        StepDelayMs = 0;
        BuildDisplayMap();
        LayoutRack();
        ScreenRecordReset();
        GamePhase = PhasePlaying;
    }

    static void SetMachine(Flippers f, int diverter, int turn)
    {
        Elements[FlipperRight].state = f.right;
        Elements[FlipperMiddle].state = f.middle;
        Elements[FlipperLeft].state = f.left;
        Elements[Diverter].state = diverter;
        TurnState = turn;
        StampBothMaps();
    }

    static Flippers FlippersNow()
    {
        return {Elements[FlipperRight].state, Elements[FlipperMiddle].state,
                Elements[FlipperLeft].state};
    }
};

bool operator==(const Flippers &a, const Flippers &b)
{
    return a.right == b.right && a.middle == b.middle && a.left == b.left;
}

std::ostream &operator<<(std::ostream &os, const Flippers &f)
{
    return os << "(" << f.right << ", " << f.middle << ", " << f.left << ")";
}

/* Cells from the entry to the diverter at (8, 8), for each flipper state in AllFlipperStates order. */
const std::vector<Cell> ToDiverterPastRight = {{11, 3}, {11, 4}, {10, 4}, {9, 4}, {9, 5},
                                               {9, 6},  {8, 6},  {8, 7},  {8, 8}};
const std::vector<Cell> ToDiverterPastMiddle = {{11, 3}, {11, 4}, {10, 4}, {9, 4}, {8, 4},
                                                {7, 4},  {6, 4},  {6, 5},  {6, 6}, {7, 6},
                                                {8, 6},  {8, 7},  {8, 8}};
/* Whole routes of the two flipper states that never reach the diverter. */
const std::vector<Cell> PastLeftFlipper = {{11, 3}, {11, 4}, {10, 4}, {9, 4},  {8, 4}, {7, 4},
                                           {6, 4},  {5, 4},  {4, 4},  {3, 4},  {3, 5}, {3, 6},
                                           {4, 6},  {4, 7},  {4, 8},  {4, 9},  {5, 9}, {6, 9},
                                           {6, 10}, {7, 10}, {7, 11}, {8, 11}, {8, 12}};
const std::vector<Cell> PastAllFlippers = {
    {11, 3}, {11, 4}, {10, 4}, {9, 4}, {8, 4},  {7, 4},  {6, 4},  {5, 4},  {4, 4},
    {3, 4},  {2, 4},  {1, 4},  {1, 5}, {1, 6},  {1, 7},  {2, 7},  {2, 8},  {3, 8},
    {4, 8},  {4, 9},  {5, 9},  {6, 9}, {6, 10}, {7, 10}, {7, 11}, {8, 11}, {8, 12}};
/* From the diverter to the bottom: sent left, sent right onto either side of the lever. */
const std::vector<Cell> DivertedLeft = {{7, 8}, {7, 9}, {7, 10}, {7, 11}, {8, 11}, {8, 12}};
const std::vector<Cell> RightToContinue = {{9, 8}, {9, 9}, {9, 10}, {9, 11}, {10, 11}, {10, 12}};
const std::vector<Cell> RightToStop = {{9, 8}, {9, 9}, {9, 10}, {9, 11}, {8, 11}, {8, 12}};

std::vector<Cell> Joined(std::vector<Cell> a, const std::vector<Cell> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

/* The route the rule must take for a machine state. */
std::vector<Cell> ExpectedRoute(int flipperIndex, int diverter, int turn)
{
    if (flipperIndex == 2)
        return PastLeftFlipper;
    if (flipperIndex == 3)
        return PastAllFlippers;
    const std::vector<Cell> &head = flipperIndex == 0 ? ToDiverterPastRight : ToDiverterPastMiddle;
    if (diverter == 0)
        return Joined(head, DivertedLeft);
    return Joined(head, turn == TurnMachine ? RightToContinue : RightToStop);
}

TEST_F(Motion, EveryRouteVisitsExactlyItsCellsAndLeavesTheMachineAsItShould)
{
    const Flippers after[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const int cellCounts[] = {15, 19, 23, 27};
    for (int f = 0; f < 4; f++)
        for (int diverter : {0, 1})
            for (int turn : {TurnMachine, TurnPlayer}) {
                SCOPED_TRACE(testing::Message() << "flippers " << AllFlipperStates[f]
                                                << " diverter " << diverter << " turn " << turn);
                SetUp();
                SetMachine(AllFlipperStates[f], diverter, turn);
                std::vector<Cell> route = ExpectedRoute(f, diverter, turn);
                bool reachesDiverter = f < 2;
                bool continues = reachesDiverter && diverter == 1 && turn == TurnMachine;

                EXPECT_EQ(RollBall(), continues ? 1 : 0);
                EXPECT_EQ(Screen.marbleCells, route);
                EXPECT_EQ(Screen.marbleCells.size(), static_cast<size_t>(cellCounts[f]));
                EXPECT_EQ(FlippersNow(), after[f]);
                EXPECT_EQ(Elements[Diverter].state, reachesDiverter ? 1 : diverter);
                int turnAfter = turn == TurnMachine && !continues ? TurnPlayer : turn;
                EXPECT_EQ(TurnState, turnAfter) << "the lever trips only on (8, 11) rolling right";
                EXPECT_EQ(DisplayMap[9 + BoardColumns * 11], turnAfter == TurnMachine ? '\\' : '/');
            }
}

TEST_F(Motion, ARollShowsTheCountOnceThenTheBoardAfterEveryStepAndOnceAtTheEnd)
{
    SetMachine({1, 0, 0}, 1, TurnPlayer);
    BallCount = 15;
    StepDelayMs = 200; /* the recording screen's WaitMs only notes it */
    RollBall();
    ASSERT_FALSE(Screen.calls.empty());
    EXPECT_EQ(Screen.calls.front(), "ShowCount");
    EXPECT_EQ(Screen.countsShown, std::vector<int>{14});
    std::vector<std::string> rest(Screen.calls.begin() + 1, Screen.calls.end());
    EXPECT_EQ(rest, std::vector<std::string>(16, "DrawBoard")) << "15 steps and the final picture";
    EXPECT_EQ(Screen.marbleCells.size(), 15u) << "the final picture shows no marble";
    EXPECT_EQ(Screen.heldCells, Screen.marbleCells) << "each cell drawn is held for a step";
    EXPECT_EQ(Screen.delays, std::vector<int>(15, 200));
    for (int y = 3; y < BoardRows; y++)
        for (int x = 0; x < BoardColumns; x++) {
            EXPECT_NE(DisplayMap[x + BoardColumns * y], CellMarble) << x << "," << y;
        }
    EXPECT_EQ(DisplayMap[1 + BoardColumns * 1], CellMarble) << "the rack shows the 14 left";
    EXPECT_EQ(DisplayMap[4 + BoardColumns * 1], ' ');
}

/* Plays one machine turn as the game does: roll while each marble reaches the continue outlet. */
int PlayMachineTurn()
{
    int start = BallCount;
    while (RollBall() == 1) {
    }
    return start - BallCount;
}

TEST_F(Motion, TheMachineTakesWhatLeavesOneModuloFourOnceItsDiverterIsSet)
{
    /* Marbles taken, indexed by the count at the turn's start % 4, with the diverter set. */
    const int takenWithDiverterSet[4] = {3, 1, 1, 2};
    for (int count = 9; count <= 20; count++)
        for (int diverter : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "count " << count << " diverter " << diverter);
            SetUp();
            GamePhase = PhaseSetup;
            BallCount = count;
            PresetFlippers();
            GamePhase = PhasePlaying;
            Elements[Diverter].state = diverter;
            TurnState = TurnMachine;
            int expected = diverter ? takenWithDiverterSet[count % 4] : 1;
            EXPECT_EQ(PlayMachineTurn(), expected);
            EXPECT_EQ(TurnState, TurnPlayer) << "every machine turn ends with the lever tripped";
            bool passesDiverter = count % 4 == 0 || count % 4 == 3;
            EXPECT_EQ(Elements[Diverter].state, diverter || passesDiverter ? 1 : 0);
        }
}

TEST_F(Motion, EveryRollTakesOneMarbleAndAPlayersRollNeverMovesTheLever)
{
    for (int count = 2; count <= 20; count++)
        for (int f = 0; f < 4; f++)
            for (int diverter : {0, 1})
                for (int turn : {TurnPlayer, TurnNobody, TurnMachine}) {
                    SCOPED_TRACE(testing::Message()
                                 << "count " << count << " flippers " << AllFlipperStates[f]
                                 << " diverter " << diverter << " turn " << turn);
                    SetUp();
                    BallCount = count;
                    SetMachine(AllFlipperStates[f], diverter, turn);
                    RollBall();
                    EXPECT_EQ(BallCount, count - 1);
                    if (turn != TurnMachine) {
                        EXPECT_EQ(TurnState, turn);
                    }
                }
}

TEST_F(Motion, AWalledInMarbleReportsThatItIsStuckAndEndsTheRoll)
{
    int bx = 5, by = 6, direction = 0; /* walls below, left and right */
    BoardMap[4 + BoardColumns * 6] = CellWall;
    BoardMap[6 + BoardColumns * 6] = CellWall;
    BoardMap[5 + BoardColumns * 7] = CellWall;
    EXPECT_EQ(StepBall(bx, by, direction), 0);
    EXPECT_EQ(bx, 5);
    EXPECT_EQ(by, 6);
    EXPECT_EQ(Screen.calls,
              std::vector<std::string>{"Print:Ball has no where to go??|!! ERROR!!!!"});
}

TEST_F(Motion, AMarbleKeepsItsDirectionWhileFallingGoesRightFirstAtRestAndTurnsBackAtAWall)
{
    /* Rows 1 and 2 hold the rack: open cells, only 'w' stops a marble; row 3 is wall. */
    struct Step {
        int x, y, direction; /* before */
        int toX, toY, toDirection;
        const char *why;
    } const steps[] = {
        {5, 1, 1, 5, 2, 1, "falling keeps the direction left"},
        {5, 1, 2, 5, 2, 2, "falling keeps the direction right"},
        {5, 2, 0, 6, 2, 2, "at rest on a wall, open on both sides: right first"},
        {5, 2, 1, 4, 2, 1, "rolling left on a wall goes on left"},
        {5, 2, 2, 6, 2, 2, "rolling right on a wall goes on right"},
        {11, 4, 2, 10, 4, 1, "rolling right into the wall at (12, 4) turns back"},
        {1, 2, 1, 2, 2, 2, "rolling left into the wall at (0, 2) turns back"},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.why);
        int bx = step.x, by = step.y, direction = step.direction;
        ASSERT_EQ(StepBall(bx, by, direction), 1);
        EXPECT_EQ(bx, step.toX);
        EXPECT_EQ(by, step.toY);
        EXPECT_EQ(direction, step.toDirection);
    }
}

} // namespace
