/*
 * The fixed picture of the screen: where every panel lies, the frames and
 * caption, the help text, the ball-count panel, the board picture and the
 * message window that every game message scrolls through.
 */
#ifndef ZOP_GAME_SCREEN_H
#define ZOP_GAME_SCREEN_H

#include "console.h"
#include "screen_hooks.h"

#include <cstdint>

/* A screen cell. */
struct ScreenPoint {
    std::int32_t x;
    std::int32_t y;
};

/* The layout, set once by ComputeLayout from the size of the screen buffer. */
extern ConRect UpperFrame;      /* around the board, the count panel and the help */
extern ConRect LowerFrame;      /* around the message window */
extern ConRect HelpFrame;       /* around the help text */
extern ConRect HelpWindow;      /* scrolling window of the help text */
extern ConRect MessageWindow;   /* scrolling window of every game message */
extern ConRect CountPanel;      /* framed box whose two inner cells show the ball count */
extern ScreenPoint BoardOrigin; /* the screen cell of board cell (0, 0) */

/* The console output handle the screen draws through, set once the console is settled. */
extern HANDLE OutputHandle;

/* The smallest screen on which the whole layout shows. */
const int NeededColumns = 63;
const int NeededRows = 42;

/* How the screen is opened: as the program opens it, the console's window fitted to the display
   and, on a screen too small for the layout, a notice that waits for room; or the console
   taken at whatever size it has, as the tests, the benchmark and the demos take it. */
enum ScreenFit { FitToDisplay, KeepSize };

/* How far OpenGameScreen came. */
enum ScreenOpening {
    ScreenOpened,      /* the frames are drawn: the game can begin */
    ScreenNoConsole,   /* there is no console; GetLastError says why, and nothing is to undo */
    ScreenNoKeyQueue,  /* the console module found no memory for its keyboard queue */
    ScreenDeclined,    /* ESC at the notice of a screen too small for the layout */
    ScreenSizeUnknown, /* the screen's size cannot be read */
};

/*
 * Opens the game's screen on the process's console: the output handle, the
 * hidden cursor, the window fitted, the console module, room for the layout,
 * the layout and the frames.
 * Returns how far it came; CloseGameScreen undoes whatever it did.
 */
int OpenGameScreen(ScreenFit fit);

/* Blanks the screen, shuts the console module down and lets the console go. */
void CloseGameScreen();

/* Sets every layout rectangle from the handle's buffer size; 0 when it cannot be read. */
int ComputeLayout(HANDLE handle);

/* Colours the two halves of the screen and draws the four frames and the caption. */
void DrawFrames(HANDLE handle);

/* Prints the help text into the help window. */
void ShowHelp();

/* Scrolls the window up one row and writes the text, cut to its width, on the bottom row. */
void PrintInWindow(const ConRect &window, const char *text);

#endif
