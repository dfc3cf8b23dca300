/* The command line: the help, the version and usage errors. */
#include "options.h"

#include "platform.h"

#include <cstdio>
#include <cstring>

/* The build passes the project's version in; a stray compile has none. */
#ifndef ZOP_VERSION
#define ZOP_VERSION "unknown"
#endif

const int StatusUsage = 2;
const int StatusFailure = 1;

/* What only a terminal has: Ctrl-L, the game in lines, the terminal's kind and locale,
   NO_COLOR, the manual. */
#ifdef _WIN32
#define ZOP_LINES_USAGE ""
#define ZOP_LINES_HELP ""
#define ZOP_TERMINAL_KEYS ""
#define ZOP_TERMINAL_HELP ""
#else
#define ZOP_LINES_USAGE "[--lines] "
#define ZOP_LINES_HELP                                                                             \
    "  --lines     tell the game in lines of text instead of drawing it: for a\n"                  \
    "              screen reader or a braille display, a dumb terminal, an\n"                      \
    "              editor's shell, or a program playing through a pipe\n"
#define ZOP_TERMINAL_KEYS                                                                          \
    "  Ctrl-L      draw the whole screen again (in lines: say the turn again)\n"
#define ZOP_TERMINAL_HELP                                                                          \
    "\n"                                                                                           \
    "Environment:\n"                                                                               \
    "  TERM                    the kind of terminal, looked up in terminfo\n"                      \
    "  LC_ALL, LC_CTYPE, LANG  the locale: UTF-8 or a single-byte character set\n"                 \
    "  NO_COLOR                when set and not empty, no colour\n"                                \
    "\n"                                                                                           \
    "The manual: man 6 zop\n"
#endif

const char HelpText[] =
    "Usage: zop " ZOP_LINES_USAGE "[--help | --version]\n"
    "Play a take-away game against Dr. Zop, a marble computer, in the terminal.\n"
    "Between 9 and 20 marbles wait in a rack; you and Dr. Zop take turns\n"
    "releasing one to three of them down its board, and whoever leaves exactly\n"
    "one marble in the rack wins.\n"
    "\n"
    "Keys:\n"
    "  Up, Down    one marble more or fewer in the rack, before the game\n"
    "  N, P        Dr. Zop or you go first, before the game\n"
    "  G           go\n"
    "  B           release a marble, on your turn (the third ends it)\n"
    "  N           pass the turn, after one or two marbles\n"
    "  ESC         quit; during a game, break it off\n" ZOP_TERMINAL_KEYS "\n"
    "Options:\n" ZOP_LINES_HELP "  --help      show this help and exit\n"
    "  --version   show the version and the licence and exit\n" ZOP_TERMINAL_HELP;

const char VersionText[] = "zop " ZOP_VERSION "\n"
                           "Copyright (c) 2026 the Game of Zop developers\n"
                           "MIT licence: free to use, copy, change and pass on.\n"
                           "There is NO WARRANTY, to the extent permitted by law.\n";

/* Writes a whole answer to standard output; returns the status to exit with. */
static int PrintAnswer(const char *text)
{
    std::fputs(text, stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fputs("zop: cannot write to standard output\n", stderr);
        return StatusFailure;
    }
    return 0;
}

/* Names a wrong argument in one line on standard error, its control characters shown as '?'. */
static int RefuseArgument(const char *what, const char *argument, const char *why = "")
{
    std::fprintf(stderr, "zop: %s '", what);
    for (const char *c = argument; *c != '\0'; c++) {
        unsigned char byte = static_cast<unsigned char>(*c);
        std::fputc(byte < 0x20 || byte == 0x7f ? '?' : byte, stderr);
    }
    std::fprintf(stderr, "'%s; try 'zop --help'\n", why);
    return StatusUsage;
}

namespace {

enum OptionMeant { OptionUnknown, OptionHelp, OptionVersion, OptionLines };

} // namespace

/* The long option an argument names ("--" and its name, or as much of the name as tells it
   from the others, as GNU programs take them); sets *value where "=" follows the name. */
static int LongOptionOf(const char *argument, bool *value)
{
    const char *const names[] = {"help", "version", "lines"};
    const int meant[] = {OptionHelp, OptionVersion, OptionLines};
    size_t length = std::strcspn(argument + 2, "=");
    *value = argument[2 + length] == '=';
    int found = OptionUnknown, matches = 0;
    for (int i = 0; i < 3; i++) {
        if (length == 0 || std::strncmp(argument + 2, names[i], length) != 0)
            continue;
        if (std::strlen(names[i]) == length)
            return meant[i];
        found = meant[i];
        matches++;
    }
    return matches == 1 ? found : OptionUnknown;
}

/*
 * As GNU programs do: options anywhere, read in order, --help and --version
 * answered where they stand (a wrong option before them is refused first);
 * "--" ends the options.  The game takes no operands, so any is refused once
 * every option has been read.
 */
int ReadOptions(int argc, char **argv)
{
    const char *operand = nullptr;
    bool lines = false, optionsEnded = false;
    for (int i = 1; i < argc; i++) {
        const char *argument = argv[i];
        if (optionsEnded || argument[0] != '-' || argument[1] == '\0') {
            operand = operand != nullptr ? operand : argument;
            continue;
        }
        if (std::strcmp(argument, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        bool value = false;
        int option = argument[1] == '-' ? LongOptionOf(argument, &value) : OptionUnknown;
        if (option == OptionUnknown)
            return RefuseArgument("unknown option", argument);
        if (value)
            return RefuseArgument("option", argument, " takes no value");
        if (option == OptionHelp)
            return PrintAnswer(HelpText);
        if (option == OptionVersion)
            return PrintAnswer(VersionText);
        lines = true;
    }
    if (operand != nullptr)
        return RefuseArgument("unexpected argument", operand);
    if (lines && !PlatformShowLines())
        return RefuseArgument("option", "--lines", " is not available on Windows");
    return PlayTheGame;
}
