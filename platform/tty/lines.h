/*
 * The line teller: the game told without its picture (zop --lines), as plain
 * lines of text made from what the program announces beside the picture
 * (PlatformAnnounce): the message window's lines as printed, the count, whose
 * turn it is, what the keys do and the result, each said once.  It does no
 * I/O: the tty driver hands it the announcements and writes what it gives.
 */
#ifndef ZOP_PLATFORM_TTY_LINES_H
#define ZOP_PLATFORM_TTY_LINES_H

#include <string>

/* The longest line told, in characters: two pans of a braille display of 40 cells. */
const int LinesWidth = 80;

struct LinesTeller {
    const char32_t *highBytes; /* the locale's single-byte character set (0x80 to 0xFF), or
                                  null for UTF-8 */
    std::string lastCount;     /* what was last said of each state, in code page 437, so */
    std::string lastTurn;      /* that it is said again only once it changes */
    std::string lastKeys;
    std::string waiting; /* the lines said and not yet taken, in the output's character set */
};

/* Starts anew, telling in UTF-8 (highBytes null) or in the single-byte set whose characters
   of bytes 0x80 to 0xFF highBytes gives (0 for none). */
void LinesReset(LinesTeller *teller, const char32_t *highBytes);

/* Takes one announcement (a PlatformAnnounce channel and code page 437 text). */
void LinesAnnounce(LinesTeller *teller, int channel, const char *text);

/* Says the program's title, the first line of all. */
void LinesSayTitle(LinesTeller *teller, const std::string &title);

/* Says again the turn, the count and the keys, as they stand (Ctrl-L). */
void LinesSayAgain(LinesTeller *teller);

/* The lines said since the last take, each ending in a line feed. */
std::string LinesTake(LinesTeller *teller);

#endif
