/*
 * What a terminal can do, read from the terminfo database (ncurses' terminfo
 * library) for the name TERM gives.  The only file that sees the library's
 * header, whose capability names are macros.
 */
#ifndef ZOP_PLATFORM_TERMINAL_TERMINFO_H
#define ZOP_PLATFORM_TERMINAL_TERMINFO_H

#include "caps.h"

/* Whether a terminal can be played on. */
enum TerminfoVerdict {
    TerminfoPlayable,
    TerminfoUnset,        /* TERM is not set, or empty */
    TerminfoCannotAddress /* the entry cannot place the cursor as the game does (dumb, hard copy) */
};

/*
 * Reads the entry of the terminal named term into caps, with glyphs in UTF-8
 * when utf8 is set.  A capability counts only when the entry has it in the
 * form the renderer sends; a name with no entry (or no database) plays as a
 * plain ANSI terminal (CapsAnsi).  insideTmux says that the terminal is
 * tmux (TMUX is set), which erases in the background colour whatever its
 * entry says.  Returns a TerminfoVerdict.
 */
int TerminfoRead(const char *term, bool utf8, bool insideTmux, Caps *caps);

#endif
