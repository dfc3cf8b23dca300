/* The terminfo reader's view of curses.h where it follows X/Open Curses to the
   letter, as old ncurses (macOS), OpenBSD before 7.5 and illumos declare it:
   only what the reader needs, for a compile that never links. */
#ifndef ZOP_XOPEN_CURSES_H
#define ZOP_XOPEN_CURSES_H

#define OK 0
#define ERR (-1)

#endif
