/* The board map, the element table, the rack and the display map. */
#include "machine.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace {

class Board : public ::testing::Test {
protected:
    void SetUp() override { MachineReset(); }
};

/* Row y of the display map as a string of its 13 bytes. */
std::string DisplayRow(int y)
{
    return std::string(reinterpret_cast<const char *>(DisplayMap + BoardColumns * y), BoardColumns);
}

unsigned char DisplayAt(int x, int y)
{
    return DisplayMap[x + BoardColumns * y];
}

void ExpectFlippers(int right, int middle, int left)
{
    EXPECT_EQ(Elements[FlipperRight].state, right);
    EXPECT_EQ(Elements[FlipperMiddle].state, middle);
    EXPECT_EQ(Elements[FlipperLeft].state, left);
}

TEST_F(Board, FindElementAnswersTheFirstElementAtACellOrSixForNone)
{
    EXPECT_EQ(FindElement(9, 4), FlipperRight);
    EXPECT_EQ(FindElement(6, 4), FlipperMiddle);
    EXPECT_EQ(FindElement(3, 4), FlipperLeft);
    EXPECT_EQ(FindElement(8, 8), Diverter);
    EXPECT_EQ(FindElement(9, 11), TurnLever);
    EXPECT_EQ(FindElement(11, 3), 6);
    EXPECT_EQ(FindElement(-1, 4), 6);
}

TEST_F(Board, DisplayMapIsEmptyUntilFirstBuilt)
{
    for (unsigned char b : DisplayMap)
        ASSERT_EQ(b, 0);
}

TEST_F(Board, BuildDisplayMapShowsWallsChuteCornerOutletAndElementGlyphs)
{
    BuildDisplayMap();
    const unsigned char Wall = 219;
    EXPECT_EQ(DisplayRow(4), std::string("\xDB  _  _  /  \xDB"));
    EXPECT_EQ(DisplayAt(9, 11), '/') << "the lever at rest shows the player's side";
    EXPECT_EQ(DisplayAt(8, 8), '/') << "the diverter at 0";
    EXPECT_EQ(DisplayAt(11, 3), 196) << "the entry chute";
    EXPECT_EQ(DisplayAt(7, 8), 217) << "the corner beside the diverter";
    EXPECT_EQ(DisplayAt(10, 12), 193) << "the continue outlet";
    EXPECT_EQ(DisplayAt(8, 12), ' ') << "the stop outlet is open space";
    EXPECT_EQ(DisplayAt(8, 10), 'n');
    EXPECT_EQ(DisplayAt(10, 10), 'p');
    EXPECT_EQ(DisplayAt(1, 1), 'o');
    EXPECT_EQ(DisplayAt(0, 0), Wall);
    EXPECT_EQ(DisplayAt(12, 12), Wall);
    /* The elements are stamped into the board map too; the rules read it. */
    EXPECT_EQ(BoardMap[9 + BoardColumns * 4], '/');
    EXPECT_EQ(BoardMap[9 + BoardColumns * 11], '/');
}

TEST_F(Board, StampElementsShowsEachElementsState)
{
    Elements[FlipperMiddle].state = 1;
    Elements[Diverter].state = 1;
    TurnState = TurnMachine;
    StampElements(DisplayMap);
    EXPECT_EQ(DisplayAt(9, 4), '/');
    EXPECT_EQ(DisplayAt(6, 4), '/');
    EXPECT_EQ(DisplayAt(3, 4), '_');
    EXPECT_EQ(DisplayAt(8, 8), '\\');
    EXPECT_EQ(DisplayAt(9, 11), '\\') << "the lever leans to the machine's side on its turn";
    TurnState = TurnPlayer;
    StampElements(DisplayMap);
    EXPECT_EQ(DisplayAt(9, 11), '/');
}

TEST_F(Board, PresetFlippersHoldTheCountModuloFourInSetup)
{
    /* Flipper states (right, middle, left) for each count % 4. */
    const int expected[4][3] = {{0, 1, 0}, {0, 0, 1}, {0, 0, 0}, {1, 0, 0}};
    for (int count = 9; count <= 20; count++) {
        SCOPED_TRACE(count);
        BallCount = count;
        Elements[Diverter].state = 1;
        PresetFlippers();
        const int *f = expected[count % 4];
        ExpectFlippers(f[0], f[1], f[2]);
        EXPECT_EQ(Elements[Diverter].state, 0);
        EXPECT_EQ(BoardMap[9 + BoardColumns * 4], f[0] ? '/' : '_');
    }
}

TEST_F(Board, PresetFlippersInPlayOrOutOfRangeKeepStatesButRestamp)
{
    const int phasesAndCounts[][2] = {
        {PhasePlaying, 15}, {PhaseSetup, 8}, {PhaseSetup, 21}, {PhaseSetup, 0}, {PhaseOver, -3}};
    for (const auto &pc : phasesAndCounts) {
        SCOPED_TRACE(testing::Message() << "phase " << pc[0] << " count " << pc[1]);
        MachineReset();
        GamePhase = pc[0];
        BallCount = pc[1];
        Elements[FlipperLeft].state = 1;
        Elements[Diverter].state = 1;
        DisplayMap[3 + BoardColumns * 4] = '?';
        PresetFlippers();
        ExpectFlippers(1, 0, 1);
        EXPECT_EQ(Elements[Diverter].state, 1);
        EXPECT_EQ(DisplayAt(3, 4), '/') << "glyphs are restamped in every case";
    }
}

TEST_F(Board, PresetFlippersInASecondGameSetupResetsThem)
{
    GamePhase = PhaseOver;
    BallCount = 9;
    PresetFlippers();
    ExpectFlippers(0, 0, 1);
}

struct RackCase {
    int count;
    const char *upper; /* display row 1, columns 1 to 11 */
    const char *lower; /* display row 2, columns 1 to 11 */
};

TEST_F(Board, LayoutRackFillsTheLowerRowFromTheRightThenTheUpperFromTheLeft)
{
    const RackCase cases[] = {
        {0, "           ", "           "},  {1, "           ", "          o"},
        {9, "           ", "  ooooooooo"},  {11, "           ", "ooooooooooo"},
        {12, "o          ", "ooooooooooo"}, {15, "oooo       ", "ooooooooooo"},
        {20, "ooooooooo  ", "ooooooooooo"}, {21, "oooooooooo ", "ooooooooooo"},
        {-5, "           ", "           "},
    };
    BuildDisplayMap();
    for (const RackCase &c : cases) {
        SCOPED_TRACE(c.count);
        BallCount = c.count;
        LayoutRack();
        EXPECT_EQ(DisplayRow(1).substr(1, 11), c.upper);
        EXPECT_EQ(DisplayRow(2).substr(1, 11), c.lower);
    }
}

TEST_F(Board, LayoutRackWithMoreThanTheRackHoldsWritesNothingOutsideIt)
{
    for (int count : {22, 23, 33, 1000, INT_MAX, INT_MIN}) {
        SCOPED_TRACE(count);
        BuildDisplayMap();
        unsigned char before[BoardCells];
        std::memcpy(before, DisplayMap, sizeof before);
        BallCount = count;
        LayoutRack();
        for (int y = 0; y < BoardRows; y++)
            for (int x = 0; x < BoardColumns; x++) {
                bool inRack = (y == 1 || y == 2) && x >= 1 && x <= 11;
                if (!inRack) {
                    ASSERT_EQ(DisplayAt(x, y), before[x + BoardColumns * y]) << x << "," << y;
                }
            }
        if (count > 0) {
            EXPECT_EQ(DisplayRow(1).substr(1, 11), "ooooooooooo");
            EXPECT_EQ(DisplayRow(2).substr(1, 11), "ooooooooooo");
        }
    }
}

} // namespace
