/* A screen that records what the marble machine asks it to show, and its step
   delays, for the machine's tests. */
#ifndef ZOP_TESTS_MACHINE_RECORDING_SCREEN_H
#define ZOP_TESTS_MACHINE_RECORDING_SCREEN_H

#include <string>
#include <utility>
#include <vector>

/* A board cell, (x, y). */
using Cell = std::pair<int, int>;

/* What the screen was asked to do, in order. */
struct ScreenRecord {
    std::vector<std::string> calls; /* "DrawBoard", "ShowCount" or "Print:<text>" */
    std::vector<Cell> marbleCells;  /* the marble's cell at each DrawBoard that showed one */
    std::vector<int> countsShown;   /* the ball count at each ShowCount */
    std::vector<Cell> heldCells;    /* the marble's cell at each WaitMs, which does not wait */
    std::vector<int> delays;        /* the milliseconds of each WaitMs */
};

extern ScreenRecord Screen;

/* Forgets everything recorded. */
void ScreenRecordReset();

#endif
