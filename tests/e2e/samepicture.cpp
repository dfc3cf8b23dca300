/*
 * Compares two screens captured with `tmux capture-pane -p -e` as a player
 * sees them: every cell's character and background colour, and the
 * foreground colour where a character shows (a blank shows no foreground, so
 * a terminal may hold any there).  The terminal's own colours count as the
 * console's light grey on black.
 *
 * Usage: samepicture EXPECTED ACTUAL [COLUMNS ROWS]: with a size, only the
 * top-left COLUMNS x ROWS cells are compared.  Exit status 0 when they agree,
 * 1 when not.
 */
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

const int LightGrey = 7;
const int Black = 0;

/* One cell as seen: its character (UTF-8) and colours, 0-15. */
struct SeenCell {
    std::string text;
    int foreground;
    int background;
};

typedef std::vector<std::vector<SeenCell>> Picture;

/* The pen the capture's SGR sequences set; the terminal's own colours are the console's default. */
struct Pen {
    int foreground;
    int background;
};

void ApplySgrNumber(int n, Pen *pen)
{
    if (n == 0)
        *pen = Pen{LightGrey, Black};
    else if (n >= 30 && n <= 37)
        pen->foreground = n - 30;
    else if (n >= 90 && n <= 97)
        pen->foreground = n - 90 + 8;
    else if (n == 39)
        pen->foreground = LightGrey;
    else if (n >= 40 && n <= 47)
        pen->background = n - 40;
    else if (n >= 100 && n <= 107)
        pen->background = n - 100 + 8;
    else if (n == 49)
        pen->background = Black;
}

void ApplySgr(const std::string &parameters, Pen *pen)
{
    size_t at = 0;
    do {
        size_t end = parameters.find(';', at);
        if (end == std::string::npos)
            end = parameters.size();
        ApplySgrNumber(std::atoi(parameters.substr(at, end - at).c_str()), pen);
        at = end + 1;
    } while (at <= parameters.size());
}

/* Splits one captured line into cells; the pen carries on from the line before. */
std::vector<SeenCell> ReadLine(const std::string &line, Pen *pen)
{
    std::vector<SeenCell> cells;
    for (size_t i = 0; i < line.size();) {
        if (line[i] == '\033' && i + 1 < line.size() && line[i + 1] == '[') {
            size_t end = line.find_first_not_of("0123456789;", i + 2);
            if (end == std::string::npos)
                break;
            if (line[end] == 'm')
                ApplySgr(line.substr(i + 2, end - i - 2), pen);
            i = end + 1;
            continue;
        }
        size_t length = 1;
        while (i + length < line.size() &&
               (static_cast<unsigned char>(line[i + length]) & 0xC0) == 0x80)
            length++;
        std::string text = line.substr(i, length);
        cells.push_back(SeenCell{text, text == " " ? -1 : pen->foreground, pen->background});
        i += length;
    }
    return cells;
}

bool ReadPicture(const char *path, Picture *picture)
{
    std::ifstream file(path);
    if (!file) {
        std::printf("cannot read %s\n", path);
        return false;
    }
    Pen pen = {LightGrey, Black};
    std::string line;
    while (std::getline(file, line))
        picture->push_back(ReadLine(line, &pen));
    return true;
}

/* The cell at (x, y); a capture leaves out blanks at the ends of rows. */
SeenCell CellAt(const Picture &picture, size_t x, size_t y)
{
    if (y < picture.size() && x < picture[y].size())
        return picture[y][x];
    return SeenCell{" ", -1, Black};
}

size_t RowLength(const Picture &picture, size_t y)
{
    return y < picture.size() ? picture[y].size() : 0;
}

bool SameCell(const SeenCell &a, const SeenCell &b)
{
    return a.text == b.text && a.foreground == b.foreground && a.background == b.background;
}

} // namespace

int main(int argc, char **argv)
{
    Picture expected, actual;
    if ((argc != 3 && argc != 5) || !ReadPicture(argv[1], &expected) ||
        !ReadPicture(argv[2], &actual)) {
        std::printf("usage: samepicture EXPECTED ACTUAL [COLUMNS ROWS]\n");
        return 1;
    }
    size_t columnsCompared = argc == 5 ? std::strtoul(argv[3], nullptr, 10) : SIZE_MAX;
    size_t rows = std::max(expected.size(), actual.size());
    if (argc == 5)
        rows = std::strtoul(argv[4], nullptr, 10);
    int differences = 0;
    for (size_t y = 0; y < rows; y++) {
        size_t columns = std::max(RowLength(expected, y), RowLength(actual, y));
        columns = std::min(columns, columnsCompared);
        for (size_t x = 0; x < columns; x++) {
            SeenCell want = CellAt(expected, x, y), got = CellAt(actual, x, y);
            if (!SameCell(want, got) && differences++ < 20)
                std::printf("cell (%zu,%zu): expected '%s' in %d on %d, got '%s' in %d on %d\n", x,
                            y, want.text.c_str(), want.foreground, want.background,
                            got.text.c_str(), got.foreground, got.background);
        }
    }
    if (differences > 0)
        std::printf("%d cells differ\n", differences);
    return differences == 0 ? 0 : 1;
}
