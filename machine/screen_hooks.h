/*
 * The screen operations the marble machine shows its progress through, and
 * the marble step delay.  The screen code of the game defines them; the
 * machine only calls them.
 */
#ifndef ZOP_MACHINE_SCREEN_HOOKS_H
#define ZOP_MACHINE_SCREEN_HOOKS_H

struct ConRect;

/* The scrolling window that receives every game message. */
extern ConRect MessageWindow;

/* Draws the display map at its place on the screen. */
void DrawBoard();

/* Shows the ball count in its panel. */
void ShowCount();

/* Scrolls the window up one row and writes the text, cut to its width, on the bottom row. */
void PrintInWindow(const ConRect &window, const char *text);

/* Waits at least ms milliseconds, the screen showing the board as drawn: the
   step delay.  It reaches the console, which shows its picture only when the
   program waits, and sleeps there without spinning. */
void WaitMs(int ms);

#endif
