#include "recording_screen.h"

#include "console/conrect.h"
#include "machine/machine.h"
#include "machine/screen_hooks.h"

ScreenRecord Screen;
ConRect MessageWindow = {3, 24, 78, 43};

void ScreenRecordReset()
{
    Screen = ScreenRecord();
}

/* The marble is the only 'o' below the rack rows. */
void DrawBoard()
{
    Screen.calls.push_back("DrawBoard");
    for (int y = 3; y < BoardRows; y++)
        for (int x = 0; x < BoardColumns; x++)
            if (DisplayMap[x + BoardColumns * y] == CellMarble)
                Screen.marbleCells.emplace_back(x, y);
}

void ShowCount()
{
    Screen.calls.push_back("ShowCount");
    Screen.countsShown.push_back(BallCount);
}

void PrintInWindow(const ConRect &window, const char *text)
{
    (void)window;
    Screen.calls.push_back(std::string("Print:") + text);
}
