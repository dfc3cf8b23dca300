/*
 * Draws the game's screen and rolls one marble across it with the real
 * board drawing, for the end-to-end test of what a player sees of a roll.
 * A key starts the roll, another ends the program.  The argument, if any,
 * is the step delay in milliseconds.
 */
#include "console.h"
#include "machine.h"
#include "screen.h"

#include <cstdlib>

int main(int argc, char **argv)
{
    MachineReset();
    StepDelayMs = argc > 1 ? std::atoi(argv[1]) : 200;
    FreeConsole();
    AllocConsole();
    if (OpenGameScreen(KeepSize) != ScreenOpened) {
        CloseGameScreen();
        return 1;
    }
    BuildDisplayMap();
    LayoutRack();
    DrawBoard();
    ShowCount();
    ConGetKey(nullptr);
    RollBall();
    ConGetKey(nullptr);
    CloseGameScreen();
    return 0;
}
