/*
 * What a terminal can do, as its terminfo entry and the locale say, read
 * once at start: which sequences the renderer may send, the strings of the
 * settings the driver makes, and the character set glyphs are sent in.
 * Plain data, so that the renderer's tests run it on every profile.
 */
#ifndef ZOP_PLATFORM_TERMINAL_CAPS_H
#define ZOP_PLATFORM_TERMINAL_CAPS_H

#include <string>

/* How the colours are set. */
enum CapsColours {
    CapsColoursNone, /* no colours: bold for bright text, reverse video for a coloured background */
    CapsColours8,    /* 30-37, 40-47; bright text in bold, a bright background by reverse video */
    CapsColours16,   /* the bright colours as 90-97, 100-107 */
    CapsColoursIndexed /* every colour as 38;5;n and 48;5;n */
};

struct Caps {
    int colours;            /* a CapsColours */
    bool backgroundErase;   /* erased cells take the background colour in effect (bce) */
    bool eraseLine;         /* EL, ESC [ K */
    bool eraseScreen;       /* ED, ESC [ 2 J */
    bool relativeMoves;     /* CUU, CUD, CUF, CUB */
    bool backspace;         /* BS moves one column left (cub1) */
    bool carriageReturn;    /* CR moves to the row's start (cr) */
    bool scrollsAtLastCell; /* writing the bottom-right cell scrolls the screen (am, no xenl) */
    bool scrollRegion;      /* DECSTBM with IND (ESC D) and RI (ESC M) */
    bool bold;
    bool reverse;
    bool underline;
    bool vgaIntensity;       /* reverse video leaves the two intensity bits of a VGA attribute
                                where they are: bold brightens the text as shown and blink
                                (SGR 5) the background as shown (the kernel's console) */
    bool utf8;               /* glyphs in UTF-8; else ASCII, with the alternate character set */
    bool wideAmbiguous;      /* in UTF-8, but characters of East Asian ambiguous width take
                                two cells: glyphs go as narrow ones (Cp437ToNarrow) */
    std::string enterAcs;    /* smacs: line drawing on, empty when there is none */
    std::string leaveAcs;    /* rmacs */
    char acs[128];           /* the byte the terminal draws each line-drawing character of
                                 DEC special graphics with ('q', 'x', 'l'...), 0 for none */
    std::string enableAcs;   /* enacs, sent once before any line drawing */
    std::string hideCursor;  /* civis, empty when the cursor cannot be hidden */
    std::string showCursor;  /* cnorm */
    std::string enterScreen; /* smcup: the alternate screen, empty when there is none */
    std::string leaveScreen; /* rmcup */
    bool cursorReport;       /* it answers where the cursor is (u7, DSR 6) */
    bool title;              /* the terminal takes a title */
    bool titleStack;         /* it saves the title and puts it back (CSI 22 t, CSI 23 t) */
    std::string titleStart;  /* tsl, or OSC 2 where the entry has none */
    std::string titleEnd;    /* fsl, or BEL */
};

/* Whether the terminal takes any SGR at all: colours, bold, reverse or underline. */
bool CapsHasVideo(const Caps &caps);

/* A terminal of the xterm kind with UTF-8: everything the renderer can use. */
const Caps &CapsXterm(void);

/* A terminal of which nothing is known but that it takes the sequences the
   common terminals do (a TERM without an entry): that of xterm, except that
   erased cells may not take the background colour and it takes no title. */
Caps CapsAnsi(void);

#endif
