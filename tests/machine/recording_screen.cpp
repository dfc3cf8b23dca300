#include "recording_screen.h"

#include "machine.h"
#include "screen_hooks.h"

#include <cstdio>
#include <cstdlib>

ScreenRecord Screen;

void ScreenRecordReset()
{
    Screen = ScreenRecord();
}

/* No roll of the board shows more than 27 cells: one drawn this often never ends. */
static const size_t EndlessRollDraws = 100000;

/* Adds the marble's cell, the only 'o' below the rack rows, to the cells. */
static void NoteMarble(std::vector<Cell> *cells)
{
    for (int y = 3; y < BoardRows; y++)
        for (int x = 0; x < BoardColumns; x++)
            if (DisplayMap[x + BoardColumns * y] == CellMarble)
                cells->emplace_back(x, y);
}

void DrawBoard()
{
    if (Screen.calls.size() >= EndlessRollDraws) {
        std::fprintf(stderr, "the board was drawn %zu times: a roll that never ends\n",
                     Screen.calls.size());
        std::abort(); /* rather than fill the memory until the time limit */
    }
    Screen.calls.push_back("DrawBoard");
    NoteMarble(&Screen.marbleCells);
}

void WaitMs(int ms)
{
    Screen.delays.push_back(ms);
    NoteMarble(&Screen.heldCells);
}

void ShowCount()
{
    Screen.calls.push_back("ShowCount");
    Screen.countsShown.push_back(BallCount);
}

void PrintMessage(const char *text)
{
    Screen.calls.push_back(std::string("Print:") + text);
}
