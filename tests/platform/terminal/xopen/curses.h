/* curses.h as X/Open Curses gives it, as far as the terminfo reader needs it. */
#define OK 0
#define ERR (-1)
