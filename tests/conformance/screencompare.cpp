/*
 * Compares two terminal screens captured with `tmux capture-pane -p -e -N`:
 * the top-left COLUMNS x ROWS of both must show the same characters in the
 * same colours, and whatever the second screen has beyond that must be
 * blank.  Used to check that zop.exe under wine, in a larger terminal, shows
 * the same first screen as zop does in a terminal of exactly its size.
 *
 * Usage: screencompare EXPECTED ACTUAL COLUMNS ROWS.  Exit status 0 when
 * they agree, 1 when not.
 */
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

/* Colour numbers as the 16 ANSI colours, 0-15; the terminal's own colours are -1. */
const int DefaultColour = -1;

/* One character cell as the terminal shows it. */
struct ScreenCell {
    std::string text; /* one character, UTF-8 */
    int foreground;
    int background;
};

typedef std::vector<std::vector<ScreenCell>> Screen;

/* The colours an SGR sequence leaves, from the parameters between "ESC [" and "m". */
static void ApplySgr(const std::string &parameters, int *foreground, int *background)
{
    std::vector<int> numbers;
    size_t at = 0;
    while (at <= parameters.size()) {
        size_t end = parameters.find(';', at);
        if (end == std::string::npos)
            end = parameters.size();
        numbers.push_back(std::atoi(parameters.substr(at, end - at).c_str()));
        at = end + 1;
    }
    for (size_t i = 0; i < numbers.size(); i++) {
        int n = numbers[i];
        if (n == 0) {
            *foreground = DefaultColour;
            *background = DefaultColour;
        } else if (n >= 30 && n <= 37) {
            *foreground = n - 30;
        } else if (n >= 90 && n <= 97) {
            *foreground = n - 90 + 8;
        } else if (n == 39) {
            *foreground = DefaultColour;
        } else if (n >= 40 && n <= 47) {
            *background = n - 40;
        } else if (n >= 100 && n <= 107) {
            *background = n - 100 + 8;
        } else if (n == 49) {
            *background = DefaultColour;
        } else if ((n == 38 || n == 48) && i + 2 < numbers.size() && numbers[i + 1] == 5) {
            *(n == 38 ? foreground : background) = numbers[i + 2];
            i += 2;
        }
    }
}

/* Splits one captured line into cells; the colours carry on from the line before. */
static std::vector<ScreenCell> ReadLine(const std::string &line, int *foreground, int *background)
{
    std::vector<ScreenCell> cells;
    for (size_t i = 0; i < line.size();) {
        if (line[i] == '\033' && i + 1 < line.size() && line[i + 1] == '[') {
            size_t end = line.find_first_of("ABCDEFGHJKSTfmhlnsu", i + 2);
            if (end == std::string::npos)
                break;
            if (line[end] == 'm')
                ApplySgr(line.substr(i + 2, end - i - 2), foreground, background);
            i = end + 1;
            continue;
        }
        size_t length = 1;
        while (i + length < line.size() &&
               (static_cast<unsigned char>(line[i + length]) & 0xC0) == 0x80)
            length++;
        cells.push_back(ScreenCell{line.substr(i, length), *foreground, *background});
        i += length;
    }
    return cells;
}

static bool ReadScreen(const char *path, Screen *screen)
{
    std::ifstream file(path);
    if (!file) {
        std::printf("cannot read %s\n", path);
        return false;
    }
    int foreground = DefaultColour, background = DefaultColour;
    std::string line;
    while (std::getline(file, line))
        screen->push_back(ReadLine(line, &foreground, &background));
    return true;
}

/*
 * The cell at (x, y), blank where the capture has nothing.  wine's console
 * shows attribute 7 (light grey on black) in the terminal's own colours
 * (SGR 0) where zop on POSIX sends light grey on black explicitly; both are
 * the console's light grey on black, so the terminal's own colours count as that.
 */
static ScreenCell CellAt(const Screen &screen, int x, int y)
{
    ScreenCell cell = {" ", DefaultColour, DefaultColour};
    if (static_cast<size_t>(y) < screen.size() && static_cast<size_t>(x) < screen[y].size())
        cell = screen[y][x];
    if (cell.foreground == DefaultColour)
        cell.foreground = 7;
    if (cell.background == DefaultColour)
        cell.background = 0;
    return cell;
}

/*
 * Whether two cells look the same to a player.  A blank shows no foreground:
 * a terminal records cells it erased with its own foreground, where the other
 * side wrote spaces in light grey, so blanks are compared by background only.
 */
static bool LookAlike(const ScreenCell &want, const ScreenCell &got)
{
    if (want.text != got.text || want.background != got.background)
        return false;
    return want.text == " " || want.foreground == got.foreground;
}

static int Report(int failures, int x, int y, const ScreenCell &want, const ScreenCell &got)
{
    if (failures < 40)
        std::printf("DIFFERENT cell (%d,%d): expected '%s' colours %d on %d, got '%s' colours %d "
                    "on %d\n",
                    x, y, want.text.c_str(), want.foreground, want.background, got.text.c_str(),
                    got.foreground, got.background);
    return failures + 1;
}

int main(int argc, char **argv)
{
    if (argc != 5) {
        std::printf("usage: screencompare EXPECTED ACTUAL COLUMNS ROWS\n");
        return 1;
    }
    Screen expected, actual;
    if (!ReadScreen(argv[1], &expected) || !ReadScreen(argv[2], &actual))
        return 1;
    int columns = std::atoi(argv[3]), rows = std::atoi(argv[4]);
    int failures = 0;
    for (int y = 0; y < rows; y++) {
        for (int x = 0; x < columns; x++) {
            ScreenCell want = CellAt(expected, x, y), got = CellAt(actual, x, y);
            if (!LookAlike(want, got))
                failures = Report(failures, x, y, want, got);
        }
    }
    /* Beyond the console's size the larger terminal must show nothing. */
    for (size_t y = 0; y < actual.size(); y++)
        for (size_t x = 0; x < actual[y].size(); x++)
            if ((static_cast<int>(x) >= columns || static_cast<int>(y) >= rows) &&
                actual[y][x].text != " ")
                failures = Report(failures, static_cast<int>(x), static_cast<int>(y),
                                  ScreenCell{" ", 7, 0}, actual[y][x]);
    std::printf("%d x %d cells compared: %d different\n", columns, rows, failures);
    return failures == 0 ? 0 : 1;
}
