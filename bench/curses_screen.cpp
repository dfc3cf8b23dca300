/* The established terminal library on a temporary file, fed console states. */
#include "curses_screen.h"

#include "cp437.h"
#include "memconsole.h"

#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#include <ncursesw/curses.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct CursesState {
    SCREEN *screen;
    FILE *out;       /* the terminal: a temporary file */
    FILE *in;        /* /dev/null */
    long startBytes; /* what the start-up strings took */
    int columns;
    int rows;
    std::vector<MemCell> fed; /* the cells written into the screen so far */
    bool fedAny;
    bool cursorVisible;
    COORD cursor;
    std::vector<cchar_t> row; /* reused by FeedRow */
};

CursesState Curses;

} // namespace

/* Windows colour bits (blue 1, green 2, red 4, intensity 8) as a colour number. */
static short ColourNumber(int windows)
{
    int ansi = ((windows & 1) << 2) | (windows & 2) | ((windows & 4) >> 2);
    return static_cast<short>(ansi | (windows & 8));
}

/* One colour pair for each foreground and background, numbered 1 + fg * 16 + bg. */
static void MakePairs(bool defaultColours)
{
    start_color();
    if (defaultColours)
        use_default_colors();
    for (int fg = 0; fg < 16; fg++)
        for (int bg = 0; bg < 16; bg++)
            init_pair(static_cast<short>(1 + fg * 16 + bg), ColourNumber(fg), ColourNumber(bg));
}

static long FileBytes(void)
{
    std::fflush(Curses.out);
    struct stat info = {};
    if (fstat(fileno(Curses.out), &info) != 0)
        return -1;
    return static_cast<long>(info.st_size);
}

int CursesOpen(int columns, int rows, bool defaultColours)
{
    std::setlocale(LC_ALL, "C.UTF-8");
    setenv("COLUMNS", std::to_string(columns).c_str(), 1);
    setenv("LINES", std::to_string(rows).c_str(), 1);
    Curses = CursesState();
    Curses.out = std::tmpfile();
    Curses.in = std::fopen("/dev/null", "r");
    if (Curses.out == nullptr || Curses.in == nullptr)
        return 0;
    Curses.screen = newterm("xterm-256color", Curses.out, Curses.in);
    if (Curses.screen == nullptr)
        return 0;
    set_term(Curses.screen);
    typeahead(-1); /* /dev/null always reads as ready: it would cut every refresh short */
    nonl();
    MakePairs(defaultColours);
    curs_set(1);
    Curses.cursorVisible = true;
    Curses.columns = columns;
    Curses.rows = rows;
    Curses.startBytes = FileBytes();
    return 1;
}

/* A console cell as a screen cell: its glyph, colours and attributes. */
static void ToCchar(const MemCell &cell, cchar_t *out)
{
    wchar_t text[2] = {static_cast<wchar_t>(Cp437ToUnicode(cell.ch)), L'\0'};
    attr_t attributes = A_NORMAL;
    if (cell.attr & COMMON_LVB_REVERSE_VIDEO)
        attributes |= A_REVERSE;
    if (cell.attr & COMMON_LVB_UNDERSCORE)
        attributes |= A_UNDERLINE;
    short pair = static_cast<short>(1 + (cell.attr & 15) * 16 + ((cell.attr >> 4) & 15));
    setcchar(out, text, attributes, pair, nullptr);
}

/* Writes row y of the console into the screen when it differs from what was fed. */
static bool FeedRow(const MemConsole *mc, int y)
{
    size_t start = static_cast<size_t>(y) * static_cast<size_t>(mc->width);
    bool same = Curses.fedAny;
    for (int x = 0; same && x < mc->width; x++) {
        const MemCell &a = mc->cells[start + x];
        const MemCell &b = Curses.fed[start + x];
        same = a.ch == b.ch && a.attr == b.attr;
    }
    if (same)
        return false;
    int width = std::min(mc->width, Curses.columns);
    Curses.row.resize(static_cast<size_t>(width));
    for (int x = 0; x < width; x++)
        ToCchar(mc->cells[start + x], &Curses.row[static_cast<size_t>(x)]);
    mvwadd_wchnstr(stdscr, y, 0, Curses.row.data(), width);
    return true;
}

/* Shows or hides the cursor; a hidden one is left wherever the refresh ends. */
static bool FeedCursor(const MemConsole *mc)
{
    bool changed =
        mc->cursorVisible != Curses.cursorVisible ||
        (mc->cursorVisible && (mc->cursor.X != Curses.cursor.X || mc->cursor.Y != Curses.cursor.Y));
    if (mc->cursorVisible != Curses.cursorVisible) {
        curs_set(mc->cursorVisible ? 1 : 0);
        leaveok(stdscr, mc->cursorVisible ? FALSE : TRUE);
        Curses.cursorVisible = mc->cursorVisible;
    }
    Curses.cursor = mc->cursor;
    if (mc->cursorVisible)
        wmove(stdscr, mc->cursor.Y, mc->cursor.X);
    return changed;
}

void CursesShow(const MemConsole *mc)
{
    if (Curses.screen == nullptr || mc->width != Curses.columns)
        return;
    bool changed = false;
    int rows = std::min(mc->height, Curses.rows);
    for (int y = 0; y < rows; y++)
        changed = FeedRow(mc, y) || changed;
    changed = FeedCursor(mc) || changed;
    Curses.fed = mc->cells;
    Curses.fedAny = true;
    if (changed)
        wrefresh(stdscr);
}

long CursesBytes(void)
{
    return Curses.screen == nullptr ? 0 : FileBytes() - Curses.startBytes;
}

int CursesSaveBytes(const char *path)
{
    if (Curses.screen == nullptr)
        return 0;
    FILE *copy = std::fopen(path, "wb");
    if (copy == nullptr)
        return 0;
    std::fflush(Curses.out);
    char chunk[4096];
    off_t at = Curses.startBytes;
    ssize_t n = 0;
    while ((n = pread(fileno(Curses.out), chunk, sizeof chunk, at)) > 0) {
        std::fwrite(chunk, 1, static_cast<size_t>(n), copy);
        at += n;
    }
    return std::fclose(copy) == 0 ? 1 : 0;
}

const char *CursesVersion(void)
{
    return curses_version();
}

void CursesClose(void)
{
    if (Curses.screen != nullptr) {
        endwin();
        delscreen(Curses.screen);
    }
    if (Curses.out != nullptr)
        std::fclose(Curses.out);
    if (Curses.in != nullptr)
        std::fclose(Curses.in);
    Curses = CursesState();
}
