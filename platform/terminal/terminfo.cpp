/* The terminal's capabilities from its terminfo entry. */
#include "terminfo.h"

#include <cstring>
#include <string>

/* Last: the library's header defines every capability name as a macro. */
#include <curses.h>
#include <term.h>

/* ------------------------------------------------------ Reading the entry */

/* Where the library's header is X/Open Curses' own (old ncurses, as on macOS;
   OpenBSD before 7.5; illumos), its calls take char * rather than const char *.
   A capability's name goes through const_cast, as X/Open says those calls only
   read it; a pattern for tparm and the terminal's name for setupterm go as
   writable copies of our own, as nothing says what those calls do with them. */

/* A string capability without its padding ($<5>), which no terminal of today needs; "" when absent. */
static std::string TerminfoPlain(const char *text)
{
    if (text == nullptr || text == reinterpret_cast<const char *>(-1))
        return "";
    std::string plain;
    for (const char *c = text; *c; c++) {
        const char *end = c[0] == '$' && c[1] == '<' ? std::strchr(c, '>') : nullptr;
        if (end != nullptr)
            c = end;
        else
            plain.push_back(*c);
    }
    return plain;
}

static std::string TerminfoCapability(const char *name)
{
    return TerminfoPlain(tigetstr(const_cast<char *>(name)));
}

static bool TerminfoFlag(const char *name)
{
    return tigetflag(const_cast<char *>(name)) > 0;
}

/* A parametrised capability with its parameters put in; "" when absent. */
static std::string TerminfoFilled(const char *name, long first, long second = 0)
{
    std::string pattern = TerminfoCapability(name);
    if (pattern.empty())
        return "";
    const char *filled = tparm(pattern.data(), first, second, 0L, 0L, 0L, 0L, 0L, 0L, 0L);
    return filled != nullptr ? filled : "";
}

/* Whether the entry's capability, filled in, is exactly the sequence the renderer sends. */
static bool TerminfoSends(const char *name, const char *sequence, long first = 0, long second = 0)
{
    return TerminfoFilled(name, first, second) == sequence;
}

/* -------------------------------------------------------- Capabilities */

static int TerminfoColoursOf(void)
{
    int colours = tigetnum(const_cast<char *>("colors"));
    if (colours >= 16 && TerminfoSends("setaf", "\x1b[38;5;1m", 1) &&
        TerminfoSends("setab", "\x1b[48;5;9m", 9))
        return CapsColoursIndexed;
    if (colours < 8 || !TerminfoSends("setaf", "\x1b[31m", 1) ||
        !TerminfoSends("setab", "\x1b[41m", 1))
        return CapsColoursNone;
    if (colours >= 16 && TerminfoSends("setaf", "\x1b[91m", 9) &&
        TerminfoSends("setab", "\x1b[101m", 9))
        return CapsColours16;
    return CapsColours8;
}

/* The alternate character set: its switches and, from acsc, the byte of each line drawing. */
static void TerminfoReadLineDrawing(Caps *caps)
{
    std::memset(caps->acs, 0, sizeof caps->acs);
    std::string pairs = TerminfoCapability("acsc");
    caps->enterAcs = TerminfoCapability("smacs");
    caps->leaveAcs = TerminfoCapability("rmacs");
    caps->enableAcs = TerminfoCapability("enacs");
    if (caps->enterAcs.empty() || caps->leaveAcs.empty() || pairs.empty()) {
        caps->enterAcs.clear();
        return;
    }
    for (size_t i = 0; i + 1 < pairs.size(); i += 2) {
        unsigned char dec = static_cast<unsigned char>(pairs[i]);
        if (dec < sizeof caps->acs)
            caps->acs[dec] = pairs[i + 1];
    }
}

static bool TerminfoStartsWith(const char *text, const char *start)
{
    return std::strncmp(text, start, std::strlen(start)) == 0;
}

/* Terminals that take a title although their entries do not say so. */
static bool TerminfoTitleFamily(const char *term)
{
    static const char *const Families[] = {"xterm", "rxvt",  "screen",  "tmux",  "st-",
                                           "vte",   "gnome", "konsole", "putty", "alacritty",
                                           "kitty", "foot",  "mlterm"};
    for (const char *family : Families)
        if (TerminfoStartsWith(term, family))
            return true;
    return std::strcmp(term, "st") == 0;
}

/* Whether the terminal keeps a stack of titles: xterm's extension, which tmux has too. */
static bool TerminfoTitleStack(const char *term)
{
    return TerminfoStartsWith(term, "xterm") || TerminfoStartsWith(term, "tmux");
}

/* The title: through the entry's status line (tsl, fsl), else OSC 2 where it takes one. */
static void TerminfoReadTitle(const char *term, Caps *caps)
{
    caps->titleStart = TerminfoCapability("tsl");
    caps->titleEnd = TerminfoCapability("fsl");
    caps->titleStack = TerminfoTitleStack(term);
    caps->title = true;
    /* A status line that takes a column (tsl with %p1) is no title bar. */
    if (!caps->titleStart.empty() && !caps->titleEnd.empty() &&
        caps->titleStart.find('%') == std::string::npos)
        return;
    caps->title = TerminfoFlag("XT") || TerminfoTitleFamily(term);
    caps->titleStart = "\x1b]2;";
    caps->titleEnd = "\x07";
}

/* The kernel's own console, under any of its entries' names (not one that tmux shows):
   its intensity bits stay in place under reverse video, and it shows underline as a colour
   of its own in place of the text's, with no line. */
static void TerminfoReadKernelConsole(const char *term, bool insideTmux, Caps *caps)
{
    if (!TerminfoStartsWith(term, "linux") || insideTmux)
        return;
    caps->vgaIntensity = TerminfoSends("blink", "\x1b[5m");
    caps->underline = false;
}

/* Pairs of settings count only whole: what is set must be undone. */
static void TerminfoReadSettings(const char *term, Caps *caps)
{
    caps->hideCursor = TerminfoCapability("civis");
    caps->showCursor = TerminfoCapability("cnorm");
    if (caps->hideCursor.empty() || caps->showCursor.empty())
        caps->hideCursor.clear();
    /* A cursor hidden by DEC mode 25 alone comes back by it alone: the rest of a cnorm
       (xterm's end of blinking) would undo what the game never did. */
    if (caps->hideCursor == "\x1b[?25l" && caps->showCursor.find("\x1b[?25h") != std::string::npos)
        caps->showCursor = "\x1b[?25h";
    caps->enterScreen = TerminfoCapability("smcup");
    caps->leaveScreen = TerminfoCapability("rmcup");
    if (caps->enterScreen.empty() || caps->leaveScreen.empty())
        caps->enterScreen.clear();
    caps->cursorReport = TerminfoSends("u7", "\x1b[6n");
    TerminfoReadLineDrawing(caps);
    TerminfoReadTitle(term, caps);
}

/* The entry set up by setupterm, read into caps; false when it cannot place the cursor. */
static bool TerminfoReadEntry(const char *term, Caps *caps)
{
    if (!TerminfoSends("cup", "\x1b[5;10H", 4, 9))
        return false;
    caps->colours = TerminfoColoursOf();
    caps->backgroundErase = TerminfoFlag("bce");
    caps->eraseLine = TerminfoSends("el", "\x1b[K");
    caps->eraseScreen =
        TerminfoSends("ed", "\x1b[J"); /* an ECMA-48 erase: ESC [ 2 J erases it all */
    caps->relativeMoves = TerminfoSends("cuu", "\x1b[3A", 3) &&
                          TerminfoSends("cud", "\x1b[3B", 3) &&
                          TerminfoSends("cuf", "\x1b[3C", 3) && TerminfoSends("cub", "\x1b[3D", 3);
    caps->backspace = TerminfoSends("cub1", "\b");
    caps->carriageReturn = TerminfoSends("cr", "\r");
    caps->scrollsAtLastCell = TerminfoFlag("am") && !TerminfoFlag("xenl");
    /* With a VT100 scroll region and reverse index comes the VT100 index, ESC D. */
    caps->scrollRegion = TerminfoSends("csr", "\x1b[3;10r", 2, 9) && TerminfoSends("ri", "\x1bM");
    caps->bold = TerminfoSends("bold", "\x1b[1m");
    caps->reverse = TerminfoSends("rev", "\x1b[7m");
    caps->underline = TerminfoSends("smul", "\x1b[4m");
    TerminfoReadSettings(term, caps);
    return true;
}

int TerminfoRead(const char *term, bool utf8, bool insideTmux, Caps *caps)
{
    if (term == nullptr || term[0] == '\0')
        return TerminfoUnset;
    int error = 0;
    std::string name = term; /* alive until del_curterm: a library may keep the pointer */
    if (setupterm(name.data(), -1, &error) != OK) {
        if (error == 1)
            return TerminfoCannotAddress; /* a hard-copy terminal */
        *caps = CapsAnsi();               /* no entry of that name, or no database */
        caps->utf8 = utf8;
        return TerminfoPlayable;
    }
    Caps read = {};
    read.utf8 = utf8;
    bool playable = TerminfoReadEntry(term, &read);
    TerminfoReadKernelConsole(term, insideTmux, &read);
    del_curterm(cur_term);
    if (!playable)
        return TerminfoCannotAddress;
    /* tmux fills erased cells with the colour in effect, though neither its entries nor
       screen's, which it answers to as well, say so. */
    if (insideTmux && (TerminfoStartsWith(term, "tmux") || TerminfoStartsWith(term, "screen")))
        read.backgroundErase = true;
    *caps = read;
    return TerminfoPlayable;
}
