/*
 * Compares the conformance dump of our POSIX console with the one the
 * Windows build wrote on a Win32 console (wine's), cell by cell and log line
 * by log line.  A difference is a failure unless it is one where wine is
 * known to differ from the Win32 console of Windows, listed below with its
 * reason; each of those is checked to be exactly that difference.
 *
 * Usage: dumpcompare POSIX-DUMP WINDOWS-DUMP.  Exit status 0 when the dumps
 * agree, 1 when they do not or cannot be read.
 */
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

/* A rectangle of cells in a snapshot that one step of the script may change. */
struct Area {
    std::string snapshot;
    int left, top, right, bottom;
    std::string label;
};

/* One dump: its snapshots (rows of "ccaaaa" cells), its areas and every other line in order. */
struct Dump {
    std::map<std::string, std::vector<std::vector<std::string>>> snapshots;
    std::vector<Area> areas;
    std::vector<std::string> lines;
};

/*
 * Where wine's console is known to differ from the Win32 console: in the
 * named area wine must show exactly what it showed in the snapshot taken
 * before the step (it refused the step), whatever our console shows.
 */
struct KnownDifference {
    const char *area;
    const char *before;
    const char *reason;
};

static const KnownDifference KnownDifferences[] = {
    {"scroll up 1 of a rectangle reaching past the right edge", "before-outside-scroll",
     "wine's ScrollConsoleScreenBufferA refuses a scroll rectangle reaching outside the buffer "
     "(error 87) and changes nothing, where the Win32 console of Windows clips the rectangle "
     "to the buffer and scrolls what is inside, as ours does"},
};

/* ------------------------------------------------------------- Reading */

static void ReadRow(Dump *dump, std::istringstream &in)
{
    std::string snapshot, cell;
    int y = -1;
    in >> snapshot >> y;
    std::vector<std::vector<std::string>> &rows = dump->snapshots[snapshot];
    if (y >= 0 && rows.size() <= static_cast<size_t>(y))
        rows.resize(static_cast<size_t>(y) + 1);
    while (y >= 0 && in >> cell)
        rows[static_cast<size_t>(y)].push_back(cell);
}

static void ReadArea(Dump *dump, std::istringstream &in)
{
    Area area;
    in >> area.snapshot >> area.left >> area.top >> area.right >> area.bottom;
    std::getline(in >> std::ws, area.label);
    dump->areas.push_back(area);
}

static bool ReadDump(const char *path, Dump *dump)
{
    std::ifstream file(path);
    if (!file) {
        std::printf("cannot read %s\n", path);
        return false;
    }
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream in(line);
        std::string kind;
        in >> kind;
        if (kind == "row")
            ReadRow(dump, in);
        else if (kind == "area")
            ReadArea(dump, in);
        else
            dump->lines.push_back(line);
    }
    return true;
}

/* ----------------------------------------------------------- Comparing */

/* A cell "ccaaaa" as a reader sees it: 'c' 0xaaaa. */
static std::string Describe(const std::string &cell)
{
    if (cell.size() != 6)
        return "(" + cell + ")";
    unsigned long ch = std::stoul(cell.substr(0, 2), nullptr, 16);
    std::string shown = ch >= 32 && ch < 127 ? std::string(1, static_cast<char>(ch)) : "?";
    return "'" + shown + "' (0x" + cell.substr(0, 2) + ") attribute 0x" + cell.substr(2);
}

static const Area *AreaAt(const Dump &dump, const std::string &snapshot, int x, int y)
{
    for (const Area &area : dump.areas)
        if (area.snapshot == snapshot && x >= area.left && x <= area.right && y >= area.top &&
            y <= area.bottom)
            return &area;
    return nullptr;
}

static const KnownDifference *KnownByName(const std::string &areaLabel)
{
    for (const KnownDifference &known : KnownDifferences)
        if (areaLabel == known.area)
            return &known;
    return nullptr;
}

static const KnownDifference *KnownFor(const Area *area)
{
    return area != nullptr ? KnownByName(area->label) : nullptr;
}

static std::string CellOf(const Dump &dump, const std::string &snapshot, int x, int y)
{
    auto found = dump.snapshots.find(snapshot);
    if (found == dump.snapshots.end() || static_cast<size_t>(y) >= found->second.size())
        return "";
    const std::vector<std::string> &row = found->second[static_cast<size_t>(y)];
    return static_cast<size_t>(x) < row.size() ? row[static_cast<size_t>(x)] : "";
}

/* Tallies of one comparison. */
struct Tally {
    int cells;
    int failures;
    int excused;
    std::map<std::string, int> excusedBy; /* known difference's area -> cells */
};

/* Judges one cell that differs: excused when it is a known difference shown exactly. */
static void JudgeCell(const Dump &ours, const Dump &wine, const std::string &snapshot, int x, int y,
                      Tally *tally)
{
    const Area *area = AreaAt(ours, snapshot, x, y);
    const KnownDifference *known = KnownFor(area);
    std::string wineCell = CellOf(wine, snapshot, x, y);
    if (known != nullptr && wineCell == CellOf(wine, known->before, x, y)) {
        tally->excused++;
        tally->excusedBy[known->area]++;
        return;
    }
    if (tally->failures++ < 40)
        std::printf("DIFFERENT %s cell (%d,%d)%s%s: ours %s, windows %s\n", snapshot.c_str(), x, y,
                    area ? " in " : "", area ? area->label.c_str() : "",
                    Describe(CellOf(ours, snapshot, x, y)).c_str(), Describe(wineCell).c_str());
}

static void CompareSnapshot(const Dump &ours, const Dump &wine, const std::string &snapshot,
                            Tally *tally)
{
    const auto &rows = ours.snapshots.at(snapshot);
    auto theirs = wine.snapshots.find(snapshot);
    if (theirs == wine.snapshots.end() || theirs->second.size() != rows.size()) {
        std::printf("DIFFERENT snapshot %s: missing or of another height on windows\n",
                    snapshot.c_str());
        tally->failures++;
        return;
    }
    for (size_t y = 0; y < rows.size(); y++) {
        if (theirs->second[y].size() != rows[y].size()) {
            std::printf("DIFFERENT snapshot %s row %zu: another width\n", snapshot.c_str(), y);
            tally->failures++;
            continue;
        }
        for (size_t x = 0; x < rows[y].size(); x++) {
            tally->cells++;
            if (rows[y][x] != theirs->second[y][x])
                JudgeCell(ours, wine, snapshot, static_cast<int>(x), static_cast<int>(y), tally);
        }
    }
}

/* Compares the log, cursor and size lines one by one: no differences are known there. */
static void CompareLines(const Dump &ours, const Dump &wine, Tally *tally)
{
    size_t count = std::max(ours.lines.size(), wine.lines.size());
    for (size_t i = 0; i < count; i++) {
        std::string a = i < ours.lines.size() ? ours.lines[i] : "(nothing)";
        std::string b = i < wine.lines.size() ? wine.lines[i] : "(nothing)";
        if (a != b && tally->failures++ < 40)
            std::printf("DIFFERENT line %zu:\n  ours:    %s\n  windows: %s\n", i + 1, a.c_str(),
                        b.c_str());
    }
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::printf("usage: dumpcompare POSIX-DUMP WINDOWS-DUMP\n");
        return 1;
    }
    Dump ours, wine;
    if (!ReadDump(argv[1], &ours) || !ReadDump(argv[2], &wine))
        return 1;
    if (ours.lines.empty() || ours.lines.back() != "end" || ours.snapshots.empty()) {
        std::printf("%s is not a whole dump\n", argv[1]);
        return 1;
    }
    Tally tally = {};
    CompareLines(ours, wine, &tally);
    for (const auto &snapshot : ours.snapshots)
        CompareSnapshot(ours, wine, snapshot.first, &tally);
    for (const auto &excused : tally.excusedBy)
        std::printf("known difference, %d cells in \"%s\": %s\n", excused.second,
                    excused.first.c_str(), KnownByName(excused.first)->reason);
    std::printf("%d cells in %zu snapshots and %zu lines compared: %d different, %d excepted\n",
                tally.cells, ours.snapshots.size(), ours.lines.size(), tally.failures,
                tally.excused);
    return tally.failures == 0 ? 0 : 1;
}
