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
    OutputHandle = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_CURSOR_INFO hidden = {100, FALSE};
    SetConsoleCursorInfo(OutputHandle, &hidden);
    ConInit();
    if (!ComputeLayout(OutputHandle))
        return 1;
    DrawFrames(OutputHandle);
    BuildDisplayMap();
    LayoutRack();
    DrawBoard();
    ShowCount();
    ConGetKey(nullptr);
    RollBall();
    ConGetKey(nullptr);
    ConClearRect(nullptr);
    ConShutdown();
    FreeConsole();
    return 0;
}
