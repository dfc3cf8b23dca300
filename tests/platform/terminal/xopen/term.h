/* term.h's terminfo calls as X/Open Curses declares them, with char * where later
   ncurses has const char *: old ncurses (macOS), OpenBSD before 7.5, illumos. */
typedef struct term TERMINAL;
extern TERMINAL *cur_term;
int setupterm(char *term, int fildes, int *errret);
int del_curterm(TERMINAL *oterm);
int tigetflag(char *capname);
int tigetnum(char *capname);
char *tigetstr(char *capname);
char *tparm(char *cap, long, long, long, long, long, long, long, long, long);
