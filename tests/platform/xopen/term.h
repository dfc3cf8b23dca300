/* X/Open Curses' terminfo calls, which take char * where later ncurses takes
   const char *. */
#ifndef ZOP_XOPEN_TERM_H
#define ZOP_XOPEN_TERM_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct term TERMINAL;
extern TERMINAL *cur_term;

int setupterm(char *term, int fildes, int *errret);
int del_curterm(TERMINAL *oterm);
int tigetflag(char *capname);
int tigetnum(char *capname);
char *tigetstr(char *capname);
char *tparm(char *cap, long p1, long p2, long p3, long p4, long p5, long p6, long p7, long p8,
            long p9);

#ifdef __cplusplus
}
#endif

#endif
