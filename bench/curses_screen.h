/*
 * The established terminal library rendering the same screens: each console
 * state is written into its screen and refreshed, and the bytes it sends to
 * an xterm-256color terminal of the console's size are counted.  The
 * terminal is a temporary file.
 */
#ifndef ZOP_BENCH_CURSES_SCREEN_H
#define ZOP_BENCH_CURSES_SCREEN_H

struct MemConsole;

/*
 * Opens a screen of columns x rows that knows nothing shown yet; 0 on
 * failure.  With defaultColours the library's own pair 0 is the terminal's
 * colours (use_default_colors), which makes its resets shorter; every cell
 * is still drawn in explicit colours.
 */
int CursesOpen(int columns, int rows, bool defaultColours);

/* The library's name and version. */
const char *CursesVersion(void);

/* Shows a console state: writes its changed rows into the screen and refreshes. */
void CursesShow(const MemConsole *console);

/* Bytes sent by the refreshes since CursesOpen (its start-up strings left out). */
long CursesBytes(void);

/* Copies the bytes the refreshes sent into path, for a look at them; 0 on failure. */
int CursesSaveBytes(const char *path);

void CursesClose(void);

#endif
