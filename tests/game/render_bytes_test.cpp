/*
 * What the tty driver sends for the benchmark's scripted runs, played
 * on the model terminal where it presents (at every wait of the program) and,
 * as it once did, after every output call: the terminal must show each
 * console state, and the byte counts may not grow past what the established
 * terminal library sends for the same screens.
 */
#include "scripted_game.h"

#include "memconsole.h"
#include "model_terminal.h"
#include "render.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

/*
 * The library's figures for the same screens, from `make bench` (bench/zop_bench)
 * with ncurses 6.4 on TERM xterm-256color at 81 x 46: for each, the fewer bytes of
 * its two colour set-ups (plain, and with use_default_colors).
 */
const long LibraryGameBytes = 57536;        /* the whole scripted game */
const long LibraryGameBytesAtWaits = 15582; /* the same, refreshed once at each wait */
const long LibraryFirstFrameBytes = 3157;   /* the first key wait's screen, drawn whole */
const long LibraryRollBytes[FlipperRouteCount] = {2275, 2782, 3271, 3774};
/* The first whole frame may cost a tenth more than the library's. */
const double FirstFrameAllowance = 1.10;
/* Presented at waits, a marble step changes two cells in the colours already set: with
   the shortest moves the mean step costs no more than this. */
const double StepBytesAtWaits = 12.0;
/* Our own figure for the whole game at waits when each frame reset its colours at its end. */
const long GameBytesAtWaitsResettingColours = 10624;
const int RouteCells[FlipperRouteCount] = {15, 19, 23, 27};

/* Our terminal: the renderer's output played on the model. */
struct Replay {
    Model model;
    RenderFrame front;
    RenderFrame want;
    std::string out;
    long bytes;
    long frames;         /* presents that sent something */
    std::string problem; /* the first frame the model did not show right, or "" */
    Caps caps;           /* what the terminal can do */
    std::string sent;    /* every byte sent */
};

Replay Shown;
const MemConsole *LastConsole;

void StartReplay(const Caps &caps = CapsXterm())
{
    Shown = Replay{NewModel(ScriptColumns, ScriptRows, caps),
                   RenderFrame(),
                   RenderFrame(),
                   "",
                   0,
                   0,
                   "",
                   caps,
                   ""};
    Shown.front.known = false;
}

void Present(const MemConsole *console)
{
    RenderFrameOf(console, &Shown.want);
    Shown.out.clear();
    RenderUpdate(Shown.want, &Shown.front, ScriptColumns, ScriptRows, &Shown.out, Shown.caps);
    if (Shown.out.empty())
        return;
    Shown.bytes += static_cast<long>(Shown.out.size());
    Shown.sent += Shown.out;
    Shown.frames++;
    Feed(&Shown.model, Shown.out);
    if (!Shown.problem.empty())
        return;
    Shown.problem = Difference(Shown.model, Shown.want) + EndOfFrameProblem(Shown.model);
    if (!Shown.problem.empty())
        Shown.problem = "frame " + std::to_string(Shown.frames) + ": " + Shown.problem;
}

void Watch(const MemConsole *console)
{
    LastConsole = console;
}

/* The screen of the first key wait, drawn whole on a terminal that shows nothing known. */
void DrawFirstFrame()
{
    StartReplay();
    Present(LastConsole);
}

long RollStartBytes;

void NoteRollStart()
{
    RollStartBytes = Shown.bytes;
}

TEST(ScriptedRuns, AWholeGameShowsEveryScreenInNoMoreBytesThanTheLibrary)
{
    StartReplay();
    EXPECT_EQ(RunScriptedGame(Present, nullptr, PresentPerCall), 0);
    EXPECT_EQ(Shown.problem, "");
    EXPECT_GT(Shown.frames, 1000) << "every marble step sends its frames";
    EXPECT_LE(Shown.bytes, LibraryGameBytes);
}

TEST(ScriptedRuns, TheFirstScreenDrawnWholeStaysNearTheLibrarysFigure)
{
    RunScriptedGame(Watch, DrawFirstFrame, PresentPerCall);
    EXPECT_EQ(Shown.problem, "");
    EXPECT_GT(Shown.bytes, 0);
    EXPECT_LE(Shown.bytes, static_cast<long>(LibraryFirstFrameBytes * FirstFrameAllowance));
}

TEST(ScriptedRuns, EveryMarbleRouteRollsInNoMoreBytesThanTheLibrary)
{
    for (int route = 0; route < FlipperRouteCount; route++) {
        SCOPED_TRACE(FlipperRoutes[route].flippers);
        StartReplay();
        RollOneMarble(FlipperRoutes[route].ballCount, Present, NoteRollStart, nullptr,
                      PresentPerCall);
        EXPECT_EQ(Shown.problem, "");
        long rollBytes = Shown.bytes - RollStartBytes;
        EXPECT_GT(rollBytes, 0);
        EXPECT_LE(rollBytes, LibraryRollBytes[route]);
    }
}

/* --------------------------------------------------- At the program's waits */

/* The screen cells of the lever labels, board cells (8, 10) and (10, 10). */
const int LabelCells[2][2] = {{16, 16}, {18, 16}};

int LabelCellsSent()
{
    int sent = 0;
    for (const auto &cell : LabelCells)
        sent += Shown.model.sent[static_cast<size_t>(cell[1] * ScriptColumns + cell[0])];
    return sent;
}

int LabelsSentBeforeRoll;

void NoteRollStartAndLabels()
{
    NoteRollStart();
    LabelsSentBeforeRoll = LabelCellsSent();
}

TEST(ScriptedRunsAtWaits, AWholeGameShowsTheScreenOfEveryWaitInNoMoreBytesThanTheLibrary)
{
    StartReplay();
    EXPECT_EQ(RunScriptedGame(Present, nullptr, PresentAtWaits), 0);
    EXPECT_EQ(Shown.problem, "");
    EXPECT_GT(Shown.frames, 280) << "every marble step of the 14 marbles sends its frame";
    EXPECT_LE(Shown.bytes, LibraryGameBytesAtWaits);
    EXPECT_LT(Shown.bytes, GameBytesAtWaitsResettingColours);
}

TEST(ScriptedRunsAtWaits, AMarbleStepSendsAFewBytesAndTheLeverLabelsNone)
{
    double meanStepBytes = 0;
    for (int route = 0; route < FlipperRouteCount; route++) {
        SCOPED_TRACE(FlipperRoutes[route].flippers);
        StartReplay();
        RollOneMarble(FlipperRoutes[route].ballCount, Present, NoteRollStartAndLabels, nullptr,
                      PresentAtWaits);
        EXPECT_EQ(Shown.problem, "");
        EXPECT_EQ(LabelCellsSent(), LabelsSentBeforeRoll) << "a label was sent during the roll";
        meanStepBytes += static_cast<double>(Shown.bytes - RollStartBytes) / RouteCells[route];
    }
    meanStepBytes /= FlipperRouteCount;
    EXPECT_LE(meanStepBytes, StepBytesAtWaits);
}

/* ------------------------------------------------- Terminals of every kind */

/* The control sequences in bytes, as their final byte and their parameters. */
std::vector<std::pair<char, std::vector<int>>> Sequences(const std::string &bytes)
{
    std::vector<std::pair<char, std::vector<int>>> sequences;
    for (size_t at = bytes.find("\x1b["); at != std::string::npos;
         at = bytes.find("\x1b[", at + 1)) {
        std::vector<int> parameters(1, 0);
        size_t i = at + 2;
        for (; i < bytes.size() && (std::isdigit(static_cast<unsigned char>(bytes[i])) ||
                                    bytes[i] == ';' || bytes[i] == '?');
             i++) {
            if (bytes[i] == ';')
                parameters.push_back(0);
            else if (bytes[i] != '?')
                parameters.back() = parameters.back() * 10 + (bytes[i] - '0');
        }
        if (i < bytes.size())
            sequences.emplace_back(bytes[i], parameters);
    }
    return sequences;
}

Caps Profile(void (*change)(Caps *))
{
    Caps caps = CapsXterm();
    change(&caps);
    return caps;
}

/* The first SGR parameter a terminal of these colours does not take, or "". */
std::string SgrProblem(const std::vector<int> &parameters, int colours)
{
    for (size_t i = 0; i < parameters.size(); i++) {
        int p = parameters[i];
        bool indexed = (p == 38 || p == 48) && i + 2 < parameters.size() &&
                       parameters[i + 1] == 5 && parameters[i + 2] < 16;
        bool base = (p >= 30 && p <= 37) || (p >= 40 && p <= 47);
        bool bright = (p >= 90 && p <= 97) || (p >= 100 && p <= 107);
        if (indexed && colours == CapsColoursIndexed)
            i += 2;
        else if (!(p == 0 || p == 1 || p == 4 || p == 7 ||
                   (base && colours != CapsColoursIndexed) || (bright && colours == CapsColours16)))
            return "SGR " + std::to_string(p);
    }
    return "";
}

/* A whole game on terminals that lack one thing or another: every screen shows right on a
   model of that terminal, and no sequence it lacks is ever sent. */
TEST(ScriptedRunsAtWaits, EveryKindOfTerminalShowsEveryScreenOfAWholeGame)
{
    struct Kind {
        const char *name;
        Caps caps;
        const char *finals; /* the CSI sequences it may be sent */
    } const kinds[] = {
        {"no background colour erase", CapsAnsi(), "HABCDmrhl"},
        {"8 colours", Profile([](Caps *c) { c->colours = CapsColours8; }), "HABCDKJmrhl"},
        {"every colour by its index", Profile([](Caps *c) { c->colours = CapsColoursIndexed; }),
         "HABCDKJmrhl"},
        {"no UTF-8", Profile([](Caps *c) { c->utf8 = false; }), "HABCDKJmrhl"},
        {"no UTF-8, lines by SO and SI", Profile([](Caps *c) {
             c->utf8 = false;
             c->enterAcs = "\x0e";
             c->leaveAcs = "\x0f";
             c->enableAcs = "\x1b)0";
         }),
         "HABCDKJmrhl"},
        {"writing the last cell scrolls", Profile([](Caps *c) { c->scrollsAtLastCell = true; }),
         "HABCDKJmrhl"},
        {"ambiguous characters two cells wide", Profile([](Caps *c) { c->wideAmbiguous = true; }),
         "HABCDKJmrhl"},
        {"cursor addressing only", Profile([](Caps *c) {
             c->relativeMoves = c->scrollRegion = c->eraseLine = c->eraseScreen = false;
         }),
         "Hmhl"},
    };
    for (const Kind &kind : kinds) {
        SCOPED_TRACE(kind.name);
        StartReplay(kind.caps);
        Feed(&Shown.model, kind.caps.enableAcs); /* as the tty driver sends it first */
        EXPECT_EQ(RunScriptedGame(Present, nullptr, PresentAtWaits), 0);
        EXPECT_EQ(Shown.problem, "");
        for (const auto &sequence : Sequences(Shown.sent)) {
            ASSERT_NE(std::strchr(kind.finals, sequence.first), nullptr)
                << "ESC [ ... " << sequence.first << " sent";
            if (sequence.first == 'm') {
                ASSERT_EQ(SgrProblem(sequence.second, kind.caps.colours), "");
            }
        }
    }
}

} // namespace
