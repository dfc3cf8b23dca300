/* Opening the tty driver's screen: the terminal and its entry, or standard input and output
   for the game told in lines; the locale, raw mode and the size. */
#include "terminfo.h"
#include "ttystate.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <langinfo.h>
#include <sys/ioctl.h>
#include <unistd.h>

/* The console's size when the game is told in lines: the size its screen is laid out for,
   whatever the terminal's, so that its messages are as long as they were written. */
const int LinesColumns = 81;
const int LinesRows = 46;

/* At exit the terminal goes back for good: answers it still owes are waited for first. */
static void TtyOpenRestoreAtExit(void)
{
    Tty.ending = true;
    DriverRestore();
}

/* Has the terminal given back at exit, once, whichever way it was opened. */
static void TtyOpenHookExit(void)
{
    if (!Tty.exitHookSet && std::atexit(TtyOpenRestoreAtExit) == 0)
        Tty.exitHookSet = true;
}

/* Standard input and output when both are terminals, else /dev/tty. */
static bool TtyOpenFindTerminal(void)
{
    if (isatty(STDIN_FILENO) && isatty(STDOUT_FILENO)) {
        Tty.inFd = STDIN_FILENO;
        Tty.outFd = STDOUT_FILENO;
        Tty.ownFd = false;
        return true;
    }
    int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    Tty.inFd = fd;
    Tty.outFd = fd;
    Tty.ownFd = true;
    return true;
}

/* The character of each byte 0x80 to 0xFF in the locale's single-byte character set. */
static void TtyOpenReadHighBytes(void)
{
    for (int byte = 0x80; byte <= 0xFF; byte++) {
        char text = static_cast<char>(byte);
        wchar_t wide = 0;
        std::mbstate_t state = {};
        size_t length = std::mbrtowc(&wide, &text, 1, &state);
        Tty.highBytes[byte - 0x80] = length == 1 ? static_cast<char32_t>(wide) : 0;
    }
}

/* Whether the locale's codeset is UTF-8, however the system spells it ("UTF-8", or
   "utf-8" after a locale named so, as on macOS, or "UTF8"). */
static bool TtyOpenIsUtf8Codeset(const char *codeset)
{
    std::string letters;
    for (const char *c = codeset; c != nullptr && *c != '\0'; c++)
        if (*c != '-' && *c != '_')
            letters += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    return letters == "utf8";
}

/* The locale's character set: UTF-8, or single bytes, whose characters are noted. */
static void TtyOpenReadLocale(void)
{
    std::setlocale(LC_CTYPE, "");
    Tty.singleByte = !TtyOpenIsUtf8Codeset(nl_langinfo(CODESET));
    if (Tty.singleByte)
        TtyOpenReadHighBytes();
}

/* What the terminal can do, from TERM's entry, and the locale's characters; a TerminfoVerdict. */
static int TtyOpenReadCapabilities(void)
{
    TtyOpenReadLocale();
    int verdict = TerminfoRead(std::getenv("TERM"), !Tty.singleByte, std::getenv("TMUX") != nullptr,
                               &Tty.caps);
    /* NO_COLOR, present and not empty: no colour at all, whatever the terminal can do. */
    const char *noColour = std::getenv("NO_COLOR");
    if (noColour != nullptr && noColour[0] != '\0')
        Tty.caps.colours = CapsColoursNone;
    /* macOS's Terminal answers to xterm's name but keeps no stack of titles. */
    const char *program = std::getenv("TERM_PROGRAM");
    if (program != nullptr && std::strcmp(program, "Apple_Terminal") == 0)
        Tty.caps.titleStack = false;
    return verdict;
}

/* Lets go of a terminal that will not be played on. */
static int TtyOpenRefuse(int why)
{
    if (Tty.ownFd)
        close(Tty.inFd);
    return why;
}

/* No line input, no echo, 8-bit bytes; signals stay on for Ctrl-C and
   Ctrl-Z.  Output processing is left as found (a failure report's lines end
   as the shell's do), but a carriage return goes out as it is and always:
   the cursor moves take it to the row's start. */
void TtyOpenRawMode(void)
{
    if (TtyUndoHas(UndoRawMode))
        return;
    struct termios raw = Tty.saved;
    raw.c_iflag &=
        ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | IEXTEN);
    raw.c_oflag &= ~static_cast<tcflag_t>(OCRNL | ONOCR);
    raw.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
    raw.c_cflag |= CS8;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    Tty.raw = raw;
    if (TtyIoSetSettings(TCSANOW, &raw))
        TtyUndoPush(UndoRawMode);
}

void TtyOpenQuerySize(void)
{
    if (Tty.lines)
        return; /* the size of a console that is never shown */
    struct winsize size = {};
    if ((ioctl(Tty.outFd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) &&
        (ioctl(Tty.inFd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0)) {
        size.ws_col = 80;
        size.ws_row = 24;
    }
    Tty.columns = std::min(static_cast<int>(size.ws_col), static_cast<int>(SHRT_MAX));
    Tty.rows = std::max(1, std::min(static_cast<int>(size.ws_row), static_cast<int>(SHRT_MAX)));
}

/* Standard input, output and error open, on /dev/null where one was closed, so that no
   descriptor the driver opens takes a standard one's number. */
static void TtyOpenKeepStandardFiles(void)
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; fd++)
        if (fcntl(fd, F_GETFD) == -1 && open("/dev/null", O_RDWR) < 0)
            return;
}

/*
 * Opens the game told in lines: keys from standard input, in raw mode where
 * it is a terminal, and lines to standard output, whatever they are and
 * whatever TERM says; a console of the size the screen is laid out for.
 */
int TtyOpenLines(DriverScreen *screen)
{
    if (!Tty.open) {
        TtyOpenKeepStandardFiles();
        Tty.inFd = STDIN_FILENO;
        Tty.outFd = STDOUT_FILENO;
        Tty.ownFd = false;
        if (!TtySignalOpenWakePipe())
            return DriverNoTerminal;
        TtyOpenReadLocale();
        LinesReset(&Tty.teller, Tty.singleByte ? Tty.highBytes : nullptr);
        Tty.open = true;
        TtyOpenHookExit();
        if (isatty(Tty.inFd) && tcgetattr(Tty.inFd, &Tty.saved) == 0)
            TtyOpenRawMode();
        TtySignalInstall();
        Tty.columns = LinesColumns;
        Tty.rows = LinesRows;
    }
    *screen = DriverScreen{LinesColumns, LinesRows, LinesColumns, LinesRows, COORD{0, 0}, false};
    return DriverOpened;
}

int TtyOpenTerminal(DriverScreen *screen)
{
    if (!Tty.open) {
        if (!TtyOpenFindTerminal())
            return DriverNoTerminal;
        int verdict = TtyOpenReadCapabilities();
        if (verdict == TerminfoUnset)
            return TtyOpenRefuse(DriverTermUnset);
        if (verdict == TerminfoCannotAddress)
            return TtyOpenRefuse(DriverCannotAddress);
        if (tcgetattr(Tty.inFd, &Tty.saved) != 0 || !TtySignalOpenWakePipe())
            return TtyOpenRefuse(DriverNoTerminal);
        Tty.open = true;
        TtyOpenHookExit();
        TtyOpenRawMode();
        TtySignalInstall();
        TtyOpenQuerySize();
        TtyUndoBuildEmergency();
        Tty.front.known = false;
        Tty.front.attr = -1;
    }
    *screen =
        DriverScreen{Tty.columns, Tty.rows, Tty.columns, Tty.rows, TtyAnswerAskCursor(), false};
    return DriverOpened;
}
