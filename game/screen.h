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

/* Sets every layout rectangle from the handle's buffer size; 0 when it cannot be read. */
int ComputeLayout(HANDLE handle);

/* Colours the two halves of the screen and draws the four frames and the caption. */
void DrawFrames(HANDLE handle);

/* Prints the help text into the help window. */
void ShowHelp();

/* Scrolls the window up one row and writes the text, cut to its width, on the bottom row. */
void PrintInWindow(const ConRect &window, const char *text);

#endif
