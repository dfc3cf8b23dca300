/* The board map, the machine elements, the rack and the display map. */
#include "machine.h"

#include <cstring>

/* --------------------------------------------------------------- State */

/* The board as it stands at program start, one 13-byte row each. */
// clang-format off
const char BoardRowsAtStart[BoardRows][BoardColumns + 1] = {
    "wwwwwwwwwwwww",
    "wooooooooooow",
    "wooooooooooow",
    "wwwwwwwwwww`w",
    "w  X  X  X  w",
    "w w ww ww www",
    "w w  w    www",
    "w  w www wwww",
    "ww   wwuX www",
    "wwww    w www",
    "wwwwww  n pww",
    "wwwwwww  X ww",
    "wwwwwwww w]ww",
};
// clang-format on

const Element ElementsAtStart[ElementCount] = {
    {9, 4, 1},  /* right flipper */
    {6, 4, 0},  /* middle flipper */
    {3, 4, 0},  /* left flipper */
    {8, 8, 0},  /* diverter */
    {9, 11, 0}, /* turn lever */
};

unsigned char BoardMap[BoardCells];
unsigned char DisplayMap[BoardCells];
Element Elements[ElementCount];
int &TurnState = Elements[TurnLever].state;
int BallCount;
int GamePhase;

void MachineReset()
{
    for (int y = 0; y < BoardRows; y++)
        std::memcpy(BoardMap + y * BoardColumns, BoardRowsAtStart[y], BoardColumns);
    std::memset(DisplayMap, 0, sizeof DisplayMap);
    std::memcpy(Elements, ElementsAtStart, sizeof Elements);
    BallCount = BallCountAtStart;
    GamePhase = PhaseSetup;
}

/* ------------------------------------------------------------- Elements */

/* The glyph an element shows in its present state. */
static unsigned char ElementGlyph(int index, int state)
{
    if (index <= FlipperLeft)
        return state == 1 ? '/' : '_';
    if (index == TurnLever)
        return state == TurnMachine ? '\\' : '/';
    return state == 1 ? '\\' : '/';
}

void StampElements(unsigned char *map)
{
    for (int i = 0; i < ElementCount; i++) {
        const Element &e = Elements[i];
        map[e.x + BoardColumns * e.y] = ElementGlyph(i, e.state);
    }
}

void StampBothMaps()
{
    StampElements(BoardMap);
    StampElements(DisplayMap);
}

int FindElement(int x, int y)
{
    for (int i = 0; i < ElementCount; i++)
        if (Elements[i].x == x && Elements[i].y == y)
            return i;
    return NoElement;
}

void PresetFlippers()
{
    /* Flipper states that hold each count modulo 4, indexed by count % 4. */
    static const int Presets[4][3] = {{0, 1, 0}, {0, 0, 1}, {0, 0, 0}, {1, 0, 0}};

    if (GamePhase != PhasePlaying && BallCount >= BallCountLeast && BallCount <= BallCountMost) {
        const int *preset = Presets[BallCount % 4];
        for (int i = FlipperRight; i <= FlipperLeft; i++)
            Elements[i].state = preset[i];
        Elements[Diverter].state = 0;
    }
    StampBothMaps();
}

/* ------------------------------------------------------ Rack and display */

void LayoutRack()
{
    const int RackWidth = 11; /* marbles in one rack row, columns 1 to 11 */
    unsigned char *upperRow = DisplayMap + 1 * BoardColumns;
    unsigned char *lowerRow = DisplayMap + 2 * BoardColumns;

    std::memset(upperRow + 1, ' ', RackWidth);
    std::memset(lowerRow + 1, ' ', RackWidth);

    int upper = BallCount % RackWidth;
    int lower = BallCount - upper;
    if (upper != 0 && lower == 0) {
        lower = upper;
        upper = 0;
    }
    /* The rack holds two rows; a larger count shows both full rather than spill past them. */
    if (lower > RackWidth) {
        upper = RackWidth;
        lower = RackWidth;
    }
    for (int i = 0; i < upper; i++)
        upperRow[1 + i] = CellMarble;
    for (int i = 0; i < lower; i++)
        lowerRow[RackWidth - i] = CellMarble;
}

/* Whether a board byte is shown as itself rather than shifted into the glyph range. */
static bool ShownAsItself(unsigned char b)
{
    return b == ' ' || b == 'X' || b == 'n' || b == 'o' || b == 'p';
}

void BuildDisplayMap()
{
    for (int i = 0; i < BoardCells; i++) {
        unsigned char b = BoardMap[i];
        DisplayMap[i] = ShownAsItself(b) ? b : static_cast<unsigned char>(b + 100);
    }
    StampBothMaps();
}
