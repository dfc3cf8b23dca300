/* The capability profiles the tty driver starts from. */
#include "caps.h"

/* The line drawing of DEC special graphics, by the characters that select it. */
const char DecGraphics[] = "`afgjklmnopqrstuvwxyz{|}~";

static Caps CapsMakeXterm(void)
{
    Caps caps = {};
    caps.colours = CapsColours16;
    caps.backgroundErase = true;
    caps.eraseLine = true;
    caps.eraseScreen = true;
    caps.relativeMoves = true;
    caps.backspace = true;
    caps.carriageReturn = true;
    caps.scrollRegion = true;
    caps.bold = true;
    caps.reverse = true;
    caps.underline = true;
    caps.utf8 = true;
    caps.enterAcs = "\x1b(0";
    caps.leaveAcs = "\x1b(B";
    for (const char *c = DecGraphics; *c; c++)
        caps.acs[static_cast<unsigned char>(*c)] = *c;
    caps.hideCursor = "\x1b[?25l";
    caps.showCursor = "\x1b[?25h";
    caps.enterScreen = "\x1b[?1049h";
    caps.leaveScreen = "\x1b[?1049l";
    caps.cursorReport = true;
    caps.title = true;
    caps.titleStack = true;
    caps.titleStart = "\x1b]2;";
    caps.titleEnd = "\x07";
    return caps;
}

const Caps &CapsXterm(void)
{
    static const Caps xterm = CapsMakeXterm();
    return xterm;
}

Caps CapsAnsi(void)
{
    Caps caps = CapsXterm();
    caps.backgroundErase = false;
    caps.title = caps.titleStack = false;
    return caps;
}

bool CapsHasVideo(const Caps &caps)
{
    return caps.colours != CapsColoursNone || caps.bold || caps.reverse || caps.underline;
}
