/*
 * The program's life: a console of its own, titled and fitted, the fixed
 * screen, games one after another until the player declines, and a clean
 * console at the end.
 */
#ifndef ZOP_GAME_LIFECYCLE_H
#define ZOP_GAME_LIFECYCLE_H

/* The smallest screen on which the whole layout shows. */
const int NeededColumns = 63;
const int NeededRows = 42;

/* Runs the program; returns its exit status. */
int RunZop();

#endif
