/*
 * The program's life: a console of its own, titled and fitted, the fixed
 * screen, games one after another until the player declines, and a clean
 * console at the end.
 */
#ifndef ZOP_GAME_LIFECYCLE_H
#define ZOP_GAME_LIFECYCLE_H

/* Runs the program; returns its exit status. */
int RunZop();

#endif
