/*
 * zop_bench: the bytes the tty driver sends for the game's screens,
 * against the established terminal library fed the same screens, and the
 * CPU the game uses; printed as one table.
 *
 *     zop_bench [path of zop] [--dump DIR]
 *
 * Without the path of zop the figures of the real program are left out.
 * --dump writes every byte stream of the whole game and of the first whole
 * frame into DIR, one file per renderer.
 */
#include "curses_screen.h"
#include "pty_zop.h"
#include "scripted_game.h"

#include "machine.h"
#include "memconsole.h"
#include "render.h"
#include "screen.h"
#include "terminfo.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

/* Who draws the screens: our renderer, or the library in either colour set-up. */
enum Renderer { RendererZop, RendererCurses, RendererCursesDefault, RendererCount };

const char *const RendererNames[RendererCount] = {"zop", "ncurses", "ncurses-dc"};

/* Timed repetitions in this process, and runs of the real program: medians are reported. */
const int GameRepeats = 15;
const int RollRepeats = 40;
const int ChildRepeats = 3;
const double IdleSeconds = 5.0;

/* Our renderer drawing into memory, as the tty driver does when it presents. */
struct OurTerminal {
    Caps caps;         /* those of xterm-256color in a UTF-8 locale, from its terminfo entry */
    RenderFrame front; /* what the terminal shows */
    RenderFrame want;
    std::string out;   /* one present's bytes */
    long bytes;        /* all bytes sent */
    std::string *dump; /* when not null, every byte sent goes here too */
};

/* What the present hooks measure; the hooks are plain functions, so it is program-wide. */
struct BenchState {
    int renderer;         /* a Renderer */
    PresentPoints points; /* where the renderers are shown the console */
    OurTerminal ours;
    const MemConsole *console; /* the console last presented */
    long startupBytes;         /* bytes sent before the first key wait */
    long firstFrameBytes;      /* the first key wait's screen drawn whole */
    const char *dumpDir;       /* where byte streams are saved, or null */
    bool countCells;           /* count the cells the marble is shown on */
    int marbleAt;              /* the board cell last showing the marble, -1 none */
    int cells;                 /* cells the marble was shown on */
    long rollStartBytes;
    long rollBytes;
    double clockStart;
};

BenchState Bench;

/* One line of the byte table: a figure for each renderer. */
struct Figure {
    double bytes[RendererCount];
};

struct ByteFigures {
    Figure firstFrame;
    Figure startup;
    Figure game;
    Figure step; /* mean over the routes of a roll's bytes per cell shown */
    Figure roll; /* mean over the routes */
    int cells[FlipperRouteCount];
    Figure rolls[FlipperRouteCount];
};

} // namespace

/* ------------------------------------------------------------ Renderers */

static double CpuNow(void)
{
    struct timespec now = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

/* What xterm-256color can do in a UTF-8 locale, from its terminfo entry, read once. */
static const Caps &Xterm256Caps(void)
{
    static Caps caps;
    static bool read = false;
    if (!read && TerminfoRead("xterm-256color", true, false, &caps) != TerminfoPlayable) {
        std::fprintf(stderr, "zop_bench: no terminfo entry for xterm-256color\n");
        std::exit(1);
    }
    read = true;
    return caps;
}

/* Starts the measurement state for a renderer; false when the library would not start. */
static bool StartRenderer(int renderer, PresentPoints points, const char *dumpDir,
                          std::string *dump)
{
    Bench = BenchState();
    Bench.renderer = renderer;
    Bench.points = points;
    Bench.dumpDir = dumpDir;
    Bench.ours.front.known = false;
    Bench.ours.dump = dump;
    Bench.ours.caps = Xterm256Caps();
    bool defaultColours = renderer == RendererCursesDefault;
    if (renderer == RendererZop || CursesOpen(ScriptColumns, ScriptRows, defaultColours))
        return true;
    std::fprintf(stderr, "zop_bench: the terminal library would not start\n");
    return false;
}

static void StopRenderer(void)
{
    if (Bench.renderer != RendererZop)
        CursesClose();
}

/* Renders a console state over what our terminal shows; returns the bytes sent. */
static long RenderOurs(const MemConsole *mc)
{
    OurTerminal &t = Bench.ours;
    RenderFrameOf(mc, &t.want);
    t.out.clear();
    RenderUpdate(t.want, &t.front, mc->width, mc->height, &t.out, t.caps);
    t.bytes += static_cast<long>(t.out.size());
    if (t.dump != nullptr)
        t.dump->append(t.out);
    return static_cast<long>(t.out.size());
}

static long BytesSoFar(void)
{
    return Bench.renderer == RendererZop ? Bench.ours.bytes : CursesBytes();
}

static void SaveDump(const char *name, const std::string &bytes)
{
    std::string path = std::string(Bench.dumpDir) + "/" + name;
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
        std::fprintf(stderr, "zop_bench: cannot write %s\n", path.c_str());
    if (file != nullptr)
        std::fclose(file);
}

/* Saves what the renderer sent as DIR/<what>.<renderer>, when asked to. */
static void SaveBytes(const char *what, const std::string &ours)
{
    if (Bench.dumpDir == nullptr)
        return;
    std::string name = std::string(what) + "." + RendererNames[Bench.renderer];
    if (Bench.renderer == RendererZop)
        SaveDump(name.c_str(), ours);
    else
        CursesSaveBytes((std::string(Bench.dumpDir) + "/" + name).c_str());
}

/* ---------------------------------------------------------------- Hooks */

/* The board cell showing the marble (rows 3 to 12), or -1. */
static int MarbleCell(const MemConsole *mc)
{
    for (int y = 3; y < BoardRows; y++)
        for (int x = 0; x < BoardColumns; x++) {
            size_t at = static_cast<size_t>((BoardOrigin.y + y) * mc->width + BoardOrigin.x + x);
            if (mc->cells[at].ch == CellMarble)
                return y * BoardColumns + x;
        }
    return -1;
}

static void Present(const MemConsole *mc)
{
    Bench.console = mc;
    if (Bench.renderer == RendererZop)
        RenderOurs(mc);
    else
        CursesShow(mc);
    if (Bench.countCells) {
        int cell = MarbleCell(mc);
        if (cell >= 0 && cell != Bench.marbleAt)
            Bench.cells++;
        if (cell >= 0)
            Bench.marbleAt = cell;
    }
}

/* Remembers the console without rendering it. */
static void Watch(const MemConsole *mc)
{
    Bench.console = mc;
}

static void NoteStartup(void)
{
    Bench.startupBytes = BytesSoFar();
}

/* The screen of the first key wait, drawn whole on a terminal that shows nothing known. */
static void DrawFirstFrameWhole(void)
{
    std::string dump;
    const MemConsole *console = Bench.console;
    if (!StartRenderer(Bench.renderer, Bench.points, Bench.dumpDir, &dump))
        return;
    if (Bench.renderer == RendererZop)
        RenderOurs(console);
    else
        CursesShow(console);
    Bench.firstFrameBytes = BytesSoFar();
    SaveBytes("first", dump);
    StopRenderer();
}

static void RollStarts(void)
{
    Bench.rollStartBytes = BytesSoFar();
    Bench.countCells = true;
    Bench.marbleAt = -1;
    Bench.cells = 0;
    Bench.clockStart = CpuNow();
}

static void RollEnds(void)
{
    Bench.rollBytes = BytesSoFar() - Bench.rollStartBytes;
    Bench.countCells = false;
}

/* ---------------------------------------------------------------- Bytes */

/* The whole scripted game through one renderer. */
static void MeasureGame(int renderer, PresentPoints points, ByteFigures *f, const char *dumpDir)
{
    std::string dump;
    if (!StartRenderer(renderer, points, dumpDir, dumpDir != nullptr ? &dump : nullptr))
        return;
    RunScriptedGame(Present, NoteStartup, points);
    f->startup.bytes[renderer] = static_cast<double>(Bench.startupBytes);
    f->game.bytes[renderer] = static_cast<double>(BytesSoFar());
    SaveBytes("game", dump);
    StopRenderer();
}

static void MeasureFirstFrame(int renderer, PresentPoints points, ByteFigures *f,
                              const char *dumpDir)
{
    Bench = BenchState();
    Bench.renderer = renderer;
    Bench.points = points;
    Bench.dumpDir = dumpDir;
    RunScriptedGame(Watch, DrawFirstFrameWhole, points);
    f->firstFrame.bytes[renderer] = static_cast<double>(Bench.firstFrameBytes);
}

/* One marble down one route through one renderer; returns the cells it was shown on. */
static int MeasureRoute(int route, int renderer, PresentPoints points, ByteFigures *f)
{
    if (!StartRenderer(renderer, points, nullptr, nullptr))
        return 0;
    RollOneMarble(FlipperRoutes[route].ballCount, Present, RollStarts, RollEnds, points);
    f->rolls[route].bytes[renderer] = static_cast<double>(Bench.rollBytes);
    StopRenderer();
    return Bench.cells;
}

/* Every byte figure with the renderers shown the console at the given points; the
   byte streams are saved (when asked) for the points where the driver presents. */
static void MeasureBytes(PresentPoints points, ByteFigures *f, const char *dumpDir)
{
    *f = ByteFigures();
    const char *dump = points == PresentAtWaits ? dumpDir : nullptr;
    for (int r = 0; r < RendererCount; r++) {
        MeasureFirstFrame(r, points, f, dump);
        MeasureGame(r, points, f, dump);
    }
    for (int route = 0; route < FlipperRouteCount; route++) {
        for (int r = 0; r < RendererCount; r++)
            f->cells[route] = MeasureRoute(route, r, points, f);
        for (int r = 0; r < RendererCount; r++) {
            double bytes = f->rolls[route].bytes[r];
            f->roll.bytes[r] += bytes / FlipperRouteCount;
            f->step.bytes[r] += bytes / f->cells[route] / FlipperRouteCount;
        }
    }
}

/* ------------------------------------------------------------------ CPU */

static double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

/* CPU of the whole game with our renderer drawing into memory, in seconds. */
static double GameCpu(void)
{
    std::vector<double> times;
    for (int i = 0; i < GameRepeats; i++) {
        StartRenderer(RendererZop, PresentAtWaits, nullptr, nullptr);
        double start = CpuNow();
        RunScriptedGame(Present, nullptr, PresentAtWaits);
        times.push_back(CpuNow() - start);
    }
    return Median(times);
}

/* CPU per marble step, over the four routes, in seconds. */
static double StepCpu(void)
{
    std::vector<double> times;
    for (int i = 0; i < RollRepeats; i++) {
        double seconds = 0;
        int cells = 0;
        for (int r = 0; r < FlipperRouteCount; r++) {
            StartRenderer(RendererZop, PresentAtWaits, nullptr, nullptr);
            RollOneMarble(FlipperRoutes[r].ballCount, Present, RollStarts, nullptr, PresentAtWaits);
            seconds += CpuNow() - Bench.clockStart;
            cells += Bench.cells;
        }
        times.push_back(seconds / cells);
    }
    return Median(times);
}

/* The median of several runs of the real program, by CPU; ok only when all went well. */
static ChildCost MedianCost(ChildCost (*measure)(const char *), const char *zop)
{
    std::vector<ChildCost> costs;
    bool ok = true;
    for (int i = 0; i < ChildRepeats; i++) {
        costs.push_back(measure(zop));
        ok = ok && costs.back().ok;
    }
    std::sort(costs.begin(), costs.end(),
              [](const ChildCost &a, const ChildCost &b) { return a.cpuSeconds < b.cpuSeconds; });
    ChildCost median = costs[costs.size() / 2];
    median.ok = ok;
    return median;
}

static ChildCost IdleCost(const char *zop)
{
    return MeasureIdleWait(zop, IdleSeconds);
}

/* ---------------------------------------------------------------- Table */

/* What a figure is held to: zop's bytes at most a ratio of the library's, or at most a count. */
struct Goal {
    double ratio; /* 0: none */
    double bytes; /* 0: none */
};

const Goal NoGoal = {0, 0};

static void PrintBytes(const char *name, const Figure &f, Goal goal)
{
    double best = std::min(f.bytes[RendererCurses], f.bytes[RendererCursesDefault]);
    double ratio = best > 0 ? f.bytes[RendererZop] / best : 0.0;
    std::printf("  %-40s %9.1f %9.1f %10.1f %7.3f", name, f.bytes[RendererZop],
                f.bytes[RendererCurses], f.bytes[RendererCursesDefault], ratio);
    if (goal.ratio > 0)
        std::printf("  ratio <= %.2f %s", goal.ratio, ratio <= goal.ratio ? "met" : "MISSED");
    if (goal.bytes > 0)
        std::printf("  <= %.0f bytes %s", goal.bytes,
                    f.bytes[RendererZop] <= goal.bytes ? "met" : "MISSED");
    std::printf("\n");
}

/* The rows of one way of presenting, held to the goals given for it. */
static void PrintByteRows(const ByteFigures &f, Goal firstFrame, Goal step, Goal game)
{
    PrintBytes("first whole frame", f.firstFrame, firstFrame);
    PrintBytes("marble step (mean of the 4 routes)", f.step, step);
    PrintBytes("one whole roll (mean of the 4 routes)", f.roll, NoGoal);
    PrintBytes("whole scripted game", f.game, game);
    PrintBytes("  of it, start-up to the first key", f.startup, NoGoal);
    for (int r = 0; r < FlipperRouteCount; r++) {
        char name[64];
        std::snprintf(name, sizeof name, "  roll, flippers %s, %d cells", FlipperRoutes[r].flippers,
                      f.cells[r]);
        PrintBytes(name, f.rolls[r], NoGoal);
    }
}

static void PrintByteTable(const ByteFigures &atWaits, const ByteFigures &perCall)
{
    std::printf("Bytes to the terminal at %d x %d, zop against %s (TERM xterm-256color;\n"
                "ncurses-dc: with use_default_colors; ratio: zop / the fewer of the two)\n",
                ScriptColumns, ScriptRows, CursesVersion());
    std::printf("  %-40s %9s %9s %10s %7s  %s\n", "", "zop", "ncurses", "ncurses-dc", "ratio",
                "goal");
    std::printf("Shown at every wait of the program (key read, look for keys, step delay), as\n"
                "zop presents; ncurses refreshed once at each of the same points\n");
    /* The first frame may cost no more than it did when zop presented after every call. */
    PrintByteRows(atWaits, Goal{0, 2772}, Goal{0, 12}, Goal{1.0, 0});
    std::printf(
        "Shown after every output call, as zop presented before; ncurses refreshed as often\n");
    PrintByteRows(perCall, Goal{1.10, 0}, Goal{1.0, 0}, Goal{1.0, 0});
}

/* A stretch of the real program: CPU, wall time, wake-ups, and whether the goal holds. */
static void PrintChild(const char *name, const ChildCost &cost, bool met, const char *goal)
{
    double percent = cost.wallSeconds > 0 ? 100.0 * cost.cpuSeconds / cost.wallSeconds : 0.0;
    std::printf("  %-34s %5.2f ms in %.2f s = %5.3f %%, %2ld wake-ups, %4ld bytes  %s %s\n", name,
                cost.cpuSeconds * 1000, cost.wallSeconds, percent, cost.wakeups, cost.bytes, goal,
                !cost.ok ? "RUN FAILED"
                : met    ? "met"
                         : "MISSED");
}

static void PrintChildTable(const char *zop)
{
    std::printf("\nCPU of the real zop in a pseudo-terminal of 81 x 46 (getrusage of the child,\n"
                "less that of the same run without the stretch, median of %d; wake-ups and\n"
                "bytes written during the stretch)\n",
                ChildRepeats);
    ChildCost idle = MedianCost(IdleCost, zop);
    /* A program that never wakes cannot use the processor; getrusage alone is within a
       millisecond or two of noise, from one start-up to the next. */
    PrintChild("waiting 5 s for a key", idle, idle.wakeups == 0, "0 (no wake-up)");
    ChildCost roll = MedianCost(MeasureMarbleRoll, zop);
    PrintChild("rolling one marble, 200 ms steps", roll,
               roll.wallSeconds > 0 && roll.cpuSeconds < 0.01 * roll.wallSeconds, "< 1 %");
}

int main(int argc, char **argv)
{
    const char *zop = nullptr;
    const char *dumpDir = nullptr;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--dump") == 0 && i + 1 < argc)
            dumpDir = argv[++i];
        else
            zop = argv[i];
    }
    ByteFigures atWaits, perCall;
    MeasureBytes(PresentAtWaits, &atWaits, dumpDir);
    MeasureBytes(PresentPerCall, &perCall, nullptr);
    PrintByteTable(atWaits, perCall);

    std::printf("\nCPU of the game in this process, rendering into memory (median)\n");
    std::printf("  %-40s %9.1f us\n", "per marble step", StepCpu() * 1e6);
    std::printf("  %-40s %9.2f ms\n", "per whole scripted game", GameCpu() * 1e3);
    std::fflush(stdout);

    if (zop == nullptr) {
        std::printf("\n(no path of zop given: the real program's CPU is not measured)\n");
        return 0;
    }
    PrintChildTable(zop);
    return 0;
}
