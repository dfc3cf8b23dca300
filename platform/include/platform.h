/*
 * The console platform: the Win32 console calls the console module makes.
 * On Windows these are the real ones; elsewhere they are our own, over an
 * in-memory console that a driver shows on the terminal or in a web page
 * (platform/emulated/winconsole.cpp says how).  This is the one header of
 * the platform that the layers above include; its folder, platform/include/,
 * holds it and the Win32 declarations it brings, and is the only one of the
 * platform's folders on their include path.
 */
#ifndef ZOP_PLATFORM_INCLUDE_PLATFORM_H
#define ZOP_PLATFORM_INCLUDE_PLATFORM_H

/* The character the console gives for the ESC key, which is also its virtual-key code. */
const char KeyEscape = 27;

/* ------------------------------------------------ Beyond the Win32 calls */

/* What a text given to PlatformAnnounce is. */
enum {
    AnnounceLog = 1,    /* one more line of the program's running messages */
    AnnounceStatus = 2, /* the program's state in short, in place of the last one */
    AnnounceTurn = 3,   /* whose turn it is and what the player may do: "Dr. Zop's turn" */
    AnnounceResult = 4, /* how the game ended: "Dr. Zop wins." */
    AnnounceKeys = 5,   /* what each key does now, "key:what" joined by '|': "B:release a marble" */
    AnnouncePart = 6    /* a part of the screen by name and its cells, all edges inclusive:
                            "messages 3 24 78 43" */
};

/* The names of the parts of the screen that AnnouncePart tells, which a page may show apart. */
const char PartMachine[] = "machine";   /* the board with its rack and count */
const char PartMessages[] = "messages"; /* the message window */
const char PartHelp[] = "help";         /* the help window, the keys and what they do */

/*
 * PlatformAnnounce(channel, text) hands a code page 437 text to whatever reads
 * the screen beside its picture (a web page's live regions and keys), said at
 * the next present in the order given: what the program has just drawn, or
 * what a reader cannot see in the picture.  Told in lines (PlatformShowLines),
 * these texts are all there is; a terminal's picture has no reader beside it,
 * nor has the Windows console: there it does nothing.
 */
/*
 * PlatformShowLines(), called before any other call, has the game told as
 * plain lines of text on standard output, from what it announces, with its
 * keys from standard input, in place of its picture: for a screen reader or
 * braille display at a terminal, a dumb terminal, or a program playing
 * through a pipe.  Returns 0 where the platform shows only the picture (the
 * Windows console, a web page).
 */
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
/* The standard output handle comes with wrapping at the end of the line off. */
#include "winstart.h"
inline void PlatformAnnounce(int, const char *) {}
inline int PlatformShowLines(void)
{
    return 0;
}
#else
#include "winconsole.h"
#endif

#endif
