/* The command line: the help, the version and usage errors. */
#include "options.h"

#include <cstdio>
#include <cstring>

/* The build passes the project's version in; a stray compile has none. */
#ifndef ZOP_VERSION
#define ZOP_VERSION "unknown"
#endif

const int StatusUsage = 2;
const int StatusFailure = 1;

/* What only a terminal has: Ctrl-L, the terminal's kind and locale, NO_COLOR, the manual. */
#ifdef _WIN32
#define ZOP_TERMINAL_KEYS ""
#define ZOP_TERMINAL_HELP ""
#else
#define ZOP_TERMINAL_KEYS "  Ctrl-L      draw the whole screen again\n"
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
    "Usage: zop [--help | --version]\n"
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
    "Options:\n"
    "  --help      show this help and exit\n"
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
static int RefuseArgument(const char *what, const char *argument)
{
    std::fprintf(stderr, "zop: %s '", what);
    for (const char *c = argument; *c != '\0'; c++) {
        unsigned char byte = static_cast<unsigned char>(*c);
        std::fputc(byte < 0x20 || byte == 0x7f ? '?' : byte, stderr);
    }
    std::fputs("'; try 'zop --help'\n", stderr);
    return StatusUsage;
}

/* The game takes no operands, so "--", which would end the options before some, is refused
   with every other argument. */
int ReadOptions(int argc, char **argv)
{
    for (int i = 1; i < argc; i++) {
        const char *argument = argv[i];
        if (argument[0] != '-' || argument[1] == '\0')
            return RefuseArgument("unexpected argument", argument);
        if (std::strcmp(argument, "--help") == 0)
            return PrintAnswer(HelpText);
        else if (std::strcmp(argument, "--version") == 0)
            return PrintAnswer(VersionText);
        else
            return RefuseArgument("unknown option", argument);
    }
    return PlayTheGame;
}
