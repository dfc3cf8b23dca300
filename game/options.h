/*
 * The command line: --help and --version answer on standard output and end
 * the program, any other argument is a usage error, and with none the game
 * is played.  None of it touches the terminal.
 */
#ifndef ZOP_GAME_OPTIONS_H
#define ZOP_GAME_OPTIONS_H

/* What ReadOptions returns when the game is to be played. */
const int PlayTheGame = -1;

/* Answers the program's arguments; returns PlayTheGame, or the status to exit with. */
int ReadOptions(int argc, char **argv);

#endif
