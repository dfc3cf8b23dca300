/* The motion of one marble through the board, step by step. */
#include "machine.h"
#include "screen_hooks.h"

int StepDelayMs = 200;

/* Where a released marble is first shown: the entry chute. */
const int EntryX = 11;
const int EntryY = 3;
/* A marble on this row has left the board. */
const int ExitRow = 12;

/* Marble directions. */
enum { DirectionNone = 0, DirectionLeft = 1, DirectionRight = 2 };

/* Whether (x, y) stops a marble; everything outside the board counts as wall. */
static bool IsWall(int x, int y)
{
    if (x < 0 || x >= BoardColumns || y < 0 || y >= BoardRows)
        return true;
    return BoardMap[x + BoardColumns * y] == CellWall;
}

/* A marble on a flipper drops through a set flipper or passes a clear one to the left. */
static void StepOnFlipper(int e, int &bx, int &by, int &direction)
{
    if (Elements[e].state == 1) {
        by++;
        Elements[e].state = 0;
        if (e != FlipperRight)
            Elements[e - 1].state = 1; /* the carry moves to the flipper on the right */
        direction = DirectionNone;
    } else {
        bx--;
        direction = DirectionLeft;
        if (e == FlipperLeft)
            Elements[e].state = 1;
    }
}

/* A marble beside a wall below rolls on, or turns and tries right before left. */
static int StepSideways(int &bx, int by, int &direction)
{
    if (direction == DirectionLeft || direction == DirectionRight) {
        int next = direction == DirectionLeft ? bx - 1 : bx + 1;
        if (!IsWall(next, by)) {
            bx = next;
            return 1;
        }
    }
    if (!IsWall(bx + 1, by)) {
        direction = DirectionRight;
        bx++;
        return 1;
    }
    if (!IsWall(bx - 1, by)) {
        direction = DirectionLeft;
        bx--;
        return 1;
    }
    PrintMessage("Ball has no where to go??|!! ERROR!!!!");
    return 0;
}

int StepBall(int &bx, int &by, int &direction)
{
    int e = FindElement(bx, by);
    if (e <= FlipperLeft) {
        StepOnFlipper(e, bx, by, direction);
        return 1;
    }
    if (e == Diverter) {
        direction = DirectionNone;
        if (Elements[Diverter].state == 1) {
            bx++;
        } else {
            bx--;
            Elements[Diverter].state = 1; /* only the first marble of a game goes left */
        }
        return 1;
    }
    if (e == TurnLever) {
        direction = DirectionNone;
        bx += TurnState == TurnMachine ? 1 : -1;
        return 1;
    }
    if (by >= ExitRow)
        return 0;
    if (!IsWall(bx, by + 1)) {
        by++;
        return 1;
    }
    return StepSideways(bx, by, direction);
}

/* A marble rolling right onto the cell left of the lever on the machine's turn passes the turn. */
static void TripLever(int bx, int by, int direction)
{
    const Element &lever = Elements[TurnLever];
    if (TurnState == TurnMachine && by == lever.y && bx + 1 == lever.x &&
        direction == DirectionRight) {
        TurnState = TurnPlayer;
        StampBothMaps();
    }
}

/* Shows the marble on its cell for one step delay, then puts the cell's picture back. */
static void ShowMarbleAt(int bx, int by)
{
    unsigned char &cell = DisplayMap[bx + BoardColumns * by];
    unsigned char saved = cell;
    cell = CellMarble;
    DrawBoard();
    WaitMs(StepDelayMs);
    cell = saved;
}

int RollBall()
{
    BallCount--;
    ShowCount();
    LayoutRack();
    StampBothMaps();

    int bx = EntryX, by = EntryY, direction = DirectionNone;
    int onContinueOutlet = 0;
    int moved;
    do {
        ShowMarbleAt(bx, by);
        onContinueOutlet = BoardMap[bx + BoardColumns * by] == CellContinueOutlet;
        TripLever(bx, by, direction);
        int oldX = bx, oldY = by;
        moved = StepBall(bx, by, direction);
        if (moved && bx == oldX && by == oldY)
            PrintMessage("bx and by did not change!...");
        StampBothMaps();
    } while (moved);

    DrawBoard();
    return onContinueOutlet;
}
