/*
 * The turn engine: one game from setup to the winner, the machine's turns
 * and the player's, every event reported as a line in the message window.
 */
#ifndef ZOP_GAME_TURN_H
#define ZOP_GAME_TURN_H

/* Starts a game's setup at BallCountAtStart marbles and shows them. */
void NewGame();

/* '+' adds a marble (up to BallCountMost), '-' takes one (down to BallCountLeast), anything else
   redraws; a change redraws the rack. */
void AdjustCount(int ch);

/* Reads setup keys until ESC or 'G'; returns that key. */
int SetupKeys();

/* The player releases one to three marbles; KeyEscape when ESC left the game, else 1. */
int PlayerTurn();

/* Plays one whole game; KeyEscape when ESC left it in setup or in the player's turn. */
int PlayGame();

#endif
