/*
 * The screen operations the marble machine shows its progress through, and
 * the marble step delay.  The game's screen code (game/screen.cpp) defines
 * them; the machine only calls them, and knows nothing of the screen's layout.
 */
#ifndef ZOP_MACHINE_SCREEN_HOOKS_H
#define ZOP_MACHINE_SCREEN_HOOKS_H

/* Draws the display map at its place on the screen. */
void DrawBoard();

/* Shows the ball count in its panel. */
void ShowCount();

/* Prints one more line of the game's messages, below the earlier ones. */
void PrintMessage(const char *text);

/* Waits at least ms milliseconds, the screen showing the board as drawn: the
   step delay.  It reaches the console, which shows its picture only when the
   program waits, and sleeps there without spinning. */
void WaitMs(int ms);

#endif
