/*
 * The marble machine: the board map, the five machine elements, the marble
 * rack, the display map the screen draws, and the motion of one marble.
 * Pure logic over program-wide state; it draws nothing itself.
 */
#ifndef ZOP_MACHINE_MACHINE_H
#define ZOP_MACHINE_MACHINE_H

/* ------------------------------------------------------------ The board */

enum { BoardColumns = 13, BoardRows = 13, BoardCells = BoardColumns * BoardRows };

/* Board cells that the rules and the screen know by their byte. */
enum : unsigned char { CellWall = 'w', CellMarble = 'o', CellContinueOutlet = ']' };

/* The static board the motion rule reads, row-major: cell (x, y) is byte x + 13 * y. */
extern unsigned char BoardMap[BoardCells];

/* The picture the screen draws: the board transformed to glyphs, the rack and the marble. */
extern unsigned char DisplayMap[BoardCells];

/* ----------------------------------------------------- Machine elements */

/* One moving piece of the machine at a fixed board cell. */
struct Element {
    int x;
    int y;
    int state;
};

/* The element table's fixed order. */
enum {
    FlipperRight = 0,
    FlipperMiddle = 1,
    FlipperLeft = 2,
    Diverter = 3,
    TurnLever = 4,
    ElementCount = 5,
    NoElement = 6 /* what FindElement answers for a cell without an element */
};

/* Whose turn it is, as the turn lever shows it. */
enum { TurnNobody = 0, TurnMachine = 2, TurnPlayer = 3 };

/* The stages of one game. */
enum { PhaseSetup = 0, PhasePlaying = 1, PhaseOver = 2 };

extern Element Elements[ElementCount];

/* Whose turn it is: the turn lever's state, the one place the game keeps it. */
extern int &TurnState;

/* The marbles a game may be set up with, and those it is set up with at first. */
enum { BallCountLeast = 9, BallCountMost = 20, BallCountAtStart = 15 };

/* Marbles left in the rack. */
extern int BallCount;

/* The stage of the current game: PhaseSetup, PhasePlaying or PhaseOver. */
extern int GamePhase;

/* Writes each element's glyph into the map at the element's cell. */
void StampElements(unsigned char *map);

/* Stamps the elements into both maps, the board map first, as every caller does. */
void StampBothMaps();

/* In setup, presets the flippers from a ball count of BallCountLeast to BallCountMost and clears
   the diverter; always restamps. */
void PresetFlippers();

/* Redraws the rack in rows 1 and 2 of the display map from the ball count. */
void LayoutRack();

/* Rebuilds the display map from the board map and stamps both maps. */
void BuildDisplayMap();

/* The index of the element at (x, y), or NoElement. */
int FindElement(int x, int y);

/* Puts the board, the element table, the ball count and the phase in their state at
   program start; the program calls it first. */
void MachineReset();

/* ---------------------------------------------------------- Ball motion */

/* Milliseconds each marble step is shown (WaitMs, a screen hook); tests set it to 0. */
extern int StepDelayMs;

/* Moves the marble one step; 1 when it moved, 0 when the roll is over. */
int StepBall(int &bx, int &by, int &direction);

/* Releases one marble and rolls it out; 1 when it left through the continue outlet. */
int RollBall();

#endif
