/*
 * Compares two screens captured with `tmux capture-pane -p -e` as a player
 * sees them: every cell's character and background colour, and the
 * foreground colour where a character shows (a blank shows no foreground: a
 * terminal records cells it erased in its own foreground where the other
 * side wrote spaces in light grey).  The terminal's own colours count as the
 * console's light grey on black, as wine shows attribute 7 in them where zop
 * sends light grey on black.
 *
 * Usage: samepicture EXPECTED ACTUAL [COLUMNS ROWS [--blank-beyond]]: with a
 * size, only the top-left COLUMNS x ROWS cells are compared, and with
 * --blank-beyond whatever ACTUAL shows outside them must be blank (a console
 * of that size in a larger terminal).  Exit status 0 when they agree, 1 when
 * not.
 */
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

const int LightGrey = 7, Black = 0;
const int Own = -1; /* the terminal's own colour; also a blank's foreground, as none shows */

/* One cell as seen: its character (UTF-8) and colours: 0-255, or 256 + RGB for direct colour. */
struct SeenCell {
    std::string text;
    int foreground;
    int background;
};

typedef std::vector<std::vector<SeenCell>> Picture;

/* What the capture's SGR sequences have set. */
struct Pen {
    int foreground = Own, background = Own;
    bool bold = false, reverse = false;
};

void ApplySgr(const std::string &parameters, Pen *pen)
{
    std::vector<int> n(1, std::atoi(parameters.c_str()));
    for (size_t at = parameters.find(';'); at != std::string::npos;
         at = parameters.find(';', at + 1))
        n.push_back(std::atoi(parameters.c_str() + at + 1));
    for (size_t i = 0; i < n.size(); i++) {
        int c = n[i];
        int *colour = c < 40 || (c >= 90 && c < 100) ? &pen->foreground : &pen->background;
        bool extended = (c == 38 || c == 48) && i + 1 < n.size();
        if (c == 0)
            *pen = Pen();
        else if (c == 1 || c == 22)
            pen->bold = c == 1;
        else if (c == 7 || c == 27)
            pen->reverse = c == 7;
        else if ((c >= 30 && c <= 37) || (c >= 40 && c <= 47))
            *colour = c % 10;
        else if ((c >= 90 && c <= 97) || (c >= 100 && c <= 107))
            *colour = c % 10 + 8;
        else if (c == 39 || c == 49)
            *colour = Own;
        else if (extended && n[i + 1] == 5 && i + 2 < n.size()) {
            *colour = n[i + 2];
            i += 2;
        } else if (extended && n[i + 1] == 2 && i + 4 < n.size()) {
            *colour = 256 + (n[i + 2] << 16 | n[i + 3] << 8 | n[i + 4]);
            i += 4;
        }
    }
}

/* A character in the pen's colours as shown: bold brightens the first 8 text colours, then
   reverse video swaps text and background. */
SeenCell Shown(const std::string &text, const Pen &pen)
{
    int foreground = pen.foreground, background = pen.background == Own ? Black : pen.background;
    if (foreground == Own)
        foreground = LightGrey;
    else if (pen.bold && foreground < 8)
        foreground += 8;
    if (pen.reverse)
        std::swap(foreground, background);
    return SeenCell{text, text == " " ? Own : foreground, background};
}

/* Splits one captured line into cells; the pen carries on from the line before. */
std::vector<SeenCell> ReadLine(const std::string &line, Pen *pen)
{
    std::vector<SeenCell> cells;
    for (size_t i = 0; i < line.size();) {
        if (line.compare(i, 2, "\033[") == 0) {
            /* A control sequence: parameter and intermediate bytes, then one final byte. */
            size_t end = line.find_first_not_of("0123456789:;<=>? !\"#$%&'()*+,-./", i + 2);
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
        cells.push_back(Shown(line.substr(i, length), *pen));
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
    Pen pen;
    std::string line;
    while (std::getline(file, line))
        picture->push_back(ReadLine(line, &pen));
    return true;
}

const SeenCell Blank = {" ", Own, Black};

/* The cell at (x, y); a capture leaves out blanks at the ends of rows. */
SeenCell CellAt(const Picture &picture, size_t x, size_t y)
{
    if (y < picture.size() && x < picture[y].size())
        return picture[y][x];
    return Blank;
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
    bool blankBeyond = argc == 6 && std::strcmp(argv[5], "--blank-beyond") == 0;
    Picture expected, actual;
    if ((argc != 3 && argc != 5 && !blankBeyond) || !ReadPicture(argv[1], &expected) ||
        !ReadPicture(argv[2], &actual)) {
        std::printf("usage: samepicture EXPECTED ACTUAL [COLUMNS ROWS [--blank-beyond]]\n");
        return 1;
    }
    size_t columns = argc >= 5 ? std::strtoul(argv[3], nullptr, 10) : SIZE_MAX;
    size_t rows = argc >= 5 ? std::strtoul(argv[4], nullptr, 10) : SIZE_MAX;
    /* Cells neither capture holds are blank in both, so the captures bound the comparison. */
    int differences = 0;
    for (size_t y = 0; y < std::max(expected.size(), actual.size()); y++) {
        for (size_t x = 0; x < std::max(RowLength(expected, y), RowLength(actual, y)); x++) {
            SeenCell want = CellAt(expected, x, y), got = CellAt(actual, x, y);
            bool beyond = x >= columns || y >= rows;
            if (beyond ? blankBeyond && got.text != " " : !SameCell(want, got)) {
                if (beyond)
                    want = Blank;
                if (differences++ < 20)
                    std::printf("cell (%d,%d): expected '%s' in %d on %d, got '%s' in %d on %d\n",
                                static_cast<int>(x), static_cast<int>(y), want.text.c_str(),
                                want.foreground, want.background, got.text.c_str(), got.foreground,
                                got.background);
            }
        }
    }
    if (differences > 0)
        std::printf("%d cells differ\n", differences);
    return differences == 0 ? 0 : 1;
}
