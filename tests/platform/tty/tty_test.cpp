/* The tty driver: on a real pseudo-terminal, what it sets up and that it
   gives every setting back in the mirror order of setup, that a resize
   always wakes a key wait, and that the terminal's answers, late or never
   given, neither hold up the first screen nor reach the shell. */
#include "memconsole.h"
#include "tty.h"
#include "winconsole.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <random>
#include <string>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

/* How the child's run of the driver went, as its exit status; refusals add DriverOpen's answer. */
enum ChildResult { ChildOk, ChildNotRaw, ChildNotRestored, ChildRefused = 10 };

bool SameSettings(const termios &a, const termios &b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag;
}

/* A terminal the driver is run on: its name (null: TERM unset), the locale, and the
   column of its cursor after the two characters of the width question (0: no answer). */
struct Terminal {
    const char *term;
    const char *locale;
    int columnAfterSample;
    const char *noColour;          /* NO_COLOR, null for none */
    const char *standIn = nullptr; /* ZOP_STANDIN: C library calls as other systems answer them */
};

/* In the child: the C library's calls as another system answers them (standins.cpp). */
void UseStandIns(const char *words)
{
    setenv("ZOP_STANDIN", words != nullptr ? words : "", 1);
}

/* In the child, on the pseudo-terminal: the driver's whole life, as the program lives it,
   showing a line and a wall's block at the top left. */
[[noreturn]] void RunDriver(const Terminal &terminal)
{
    if (terminal.term != nullptr)
        setenv("TERM", terminal.term, 1);
    else
        unsetenv("TERM");
    setenv("LC_ALL", terminal.locale, 1);
    if (terminal.noColour != nullptr)
        setenv("NO_COLOR", terminal.noColour, 1);
    else
        unsetenv("NO_COLOR");
    termios before = {}, during = {}, after = {};
    tcgetattr(STDIN_FILENO, &before);
    /* A shell's settings that would change what the game reads and writes. */
    before.c_iflag |= ICRNL | IXON | INLCR | ISTRIP;
    before.c_oflag |= OPOST | OCRNL | ONOCR;
    before.c_lflag |= IEXTEN | ECHONL;
    tcsetattr(STDIN_FILENO, TCSANOW, &before);
    UseStandIns(terminal.standIn);
    DriverScreen screen = {};
    int opened = DriverOpen(&screen);
    if (opened != DriverOpened || !DriverEnterScreen())
        _exit(ChildRefused + opened);
    tcgetattr(STDIN_FILENO, &during);
    /* Bytes as typed, signals on; output as the shell's but for carriage returns, sent as
       they are, which the cursor moves use. */
    bool raw = !(during.c_lflag & (ICANON | ECHO | ECHONL | IEXTEN)) && (during.c_lflag & ISIG) &&
               !(during.c_iflag & (ICRNL | IXON | INLCR | ISTRIP)) &&
               (during.c_oflag & (OPOST | OCRNL | ONOCR)) == OPOST;
    DriverSetTitle("Game of Zop");
    MemConsole console;
    MemReset(&console, screen.columns, screen.rows, screen.columns, screen.rows);
    MemSetCursorInfo(&console, 100, false);
    MemWrite(&console, reinterpret_cast<const unsigned char *>("\xC4\xDB"), 2);
    DriverNoteDrawing(&console);
    DriverPresent(&console);
    DriverRestore();
    DriverRestore(); /* a second restore does nothing */
    tcgetattr(STDIN_FILENO, &after);
    _exit(!raw ? ChildNotRaw : !SameSettings(before, after) ? ChildNotRestored : ChildOk);
}

/* Everything the child sends until it ends, answering its cursor position questions: the
   first at the top left, the second (if any, after the width sample) as the terminal says. */
std::string ReadUntilEnd(int master, pid_t child, int columnAfterSample = 0)
{
    std::string bytes;
    int answered = 0;
    for (int waits = 0; waits < 100; waits++) {
        pollfd p = {master, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        char chunk[4096];
        ssize_t n = read(master, chunk, sizeof chunk);
        if (n <= 0 && errno != EINTR)
            return bytes; /* the child has ended: its side of the terminal is closed */
        if (n > 0)
            bytes.append(chunk, static_cast<size_t>(n));
        size_t asked = 0;
        for (size_t at = bytes.find("\x1b[6n"); at != std::string::npos;
             at = bytes.find("\x1b[6n", at + 1))
            asked++;
        for (; answered < static_cast<int>(asked); answered++) {
            int column = answered == 0 ? 1 : columnAfterSample;
            std::string answer =
                "\x1b[" + std::to_string(answered + 1) + ";" + std::to_string(column) + "R";
            if (column > 0 && write(master, answer.data(), answer.size()) < 0)
                ADD_FAILURE() << "could not answer";
        }
    }
    kill(child, SIGKILL);
    ADD_FAILURE() << "the child did not end";
    return bytes;
}

/* Runs the driver on a pseudo-terminal of 81 x 46 of that kind; what it sent, and the
   child's ChildResult. */
std::string DriveTerminal(const Terminal &terminal, int *result)
{
    winsize size = {46, 81, 0, 0};
    int master = -1;
    pid_t child = forkpty(&master, nullptr, nullptr, &size);
    if (child < 0) {
        ADD_FAILURE() << "no pseudo-terminal";
        return "";
    }
    if (child == 0)
        RunDriver(terminal);
    std::string bytes = ReadUntilEnd(master, child, terminal.columnAfterSample);
    close(master);
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    *result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return bytes;
}

/* What the driver sent after its questions at start (the width sample erased and the
   shell's screen back, where it asked how wide the terminal draws). */
std::string AfterQuestions(const std::string &bytes)
{
    const std::string sampleErased = "\x1b[2;1H    \x1b[?1049l";
    size_t at = bytes.rfind("\x1b[6n");
    at = at == std::string::npos ? 0 : at + 4;
    if (bytes.compare(at, sampleErased.size(), sampleErased) == 0)
        at += sampleErased.size();
    return bytes.substr(at);
}

TEST(TtyDriver, GivesEverySettingBackInTheMirrorOrderOfSetup)
{
    int result = -1;
    std::string bytes =
        AfterQuestions(DriveTerminal({"xterm-256color", "C.UTF-8", 3, nullptr}, &result));
    EXPECT_EQ(result, ChildOk) << "raw mode on, then the settings found at the start";

    size_t enterScreen = bytes.find("\x1b[?1049h");
    size_t saveTitle = bytes.find("\x1b[22;0t");
    size_t setTitle = bytes.find("\x1b]2;Game of Zop\x07");
    size_t hideCursor = bytes.find("\x1b[?25l");
    size_t giveTitleBack = bytes.find("\x1b[23;0t");
    size_t showCursor = bytes.find("\x1b[?25h");
    size_t leaveScreen = bytes.find("\x1b[?1049l");
    for (size_t at :
         {enterScreen, saveTitle, setTitle, hideCursor, giveTitleBack, showCursor, leaveScreen})
        ASSERT_NE(at, std::string::npos) << testing::PrintToString(bytes);
    EXPECT_LT(saveTitle, setTitle) << "the player's title is saved before ours is set";
    EXPECT_LT(std::max({enterScreen, setTitle, hideCursor}), std::min({giveTitleBack, showCursor}));
    EXPECT_LT(giveTitleBack, leaveScreen) << "undone newest first: the title, then the screen";
    EXPECT_LT(showCursor, leaveScreen);
    EXPECT_EQ(bytes.find("\x1b[?1049l", leaveScreen + 1), std::string::npos) << "restored once";
    /* The picture leaves its colours set; handing the terminal back resets them. */
    size_t colours = bytes.rfind("\x1b[0;37;40m"), reset = bytes.rfind("\x1b[0m");
    ASSERT_NE(colours, std::string::npos) << testing::PrintToString(bytes);
    EXPECT_TRUE(reset != std::string::npos && colours < reset && reset < leaveScreen);

    DriveTerminal({"xterm-256color", "C.UTF-8", 3, nullptr, "tcsetattr-eintr-once"}, &result);
    EXPECT_EQ(result, ChildOk) << "a restore that a signal cut short is made again";
}

TEST(TtyDriver, SendsATerminalOnlyWhatItsEntryHasAndNothingToOneItCannotPlayOn)
{
    /* A VT100 has no alternate screen, no cursor to hide and no title. */
    int result = -1;
    std::string bytes = DriveTerminal({"vt100", "C.UTF-8", 0, nullptr}, &result);
    EXPECT_EQ(result, ChildOk);
    for (const char *absent : {"\x1b[?1049", "\x1b[?25", "\x1b]", "\x1b[22;0t"})
        EXPECT_EQ(bytes.find(absent), std::string::npos) << testing::PrintToString(bytes);
    EXPECT_NE(bytes.find("\x1b[6n"), std::string::npos) << "it is asked where the cursor is";
    /* macOS's Terminal answers to xterm's name but would keep the game's title after it. */
    setenv("TERM_PROGRAM", "Apple_Terminal", 1);
    bytes = DriveTerminal({"xterm-256color", "C.UTF-8", 3, nullptr}, &result);
    unsetenv("TERM_PROGRAM");
    EXPECT_EQ(bytes.find("\x1b]"), std::string::npos) << "no title that cannot be put back";

    struct Refusal {
        const char *term;
        int opened;
    } const refusals[] = {
        {"dumb", DriverCannotAddress}, {nullptr, DriverTermUnset}, {"", DriverTermUnset}};
    for (const Refusal &refusal : refusals) {
        SCOPED_TRACE(refusal.term ? refusal.term : "TERM unset");
        bytes = DriveTerminal({refusal.term, "C.UTF-8", 0, nullptr}, &result);
        EXPECT_EQ(result, ChildRefused + refusal.opened);
        EXPECT_EQ(bytes, "") << "not a byte to a terminal that is not played on";
    }
}

/* What entries of the terminfo database that every Debian system has say, as the renderer takes them. */
/*
 * At start a UTF-8 terminal with an alternate screen is asked how wide it draws a line
 * and a block, there, in the same write as the question where the cursor stands; one
 * that draws them two cells wide gets narrow glyphs (dashed lines, the block as a
 * reversed space), every other one the glyphs of its character set.
 */
TEST(TtyDriver, DrawsNarrowGlyphsWhereTheTerminalMakesAmbiguousCharactersWide)
{
    const std::string sample = "\x1b[?1049h\x1b[22;0;0t\x1b[2;1H─█\x1b[6n\x1b[2;1H    \x1b[?1049l";
    struct Case {
        Terminal terminal;
        bool asked;
        const char *drawn; /* the line and the wall's block as they are sent */
    } const cases[] = {
        {{"xterm-256color", "C.UTF-8", 3, nullptr}, true, "─█"},
        {{"xterm-256color", "C.UTF-8", 5, nullptr}, true, "╌\x1b[37;40;7m "},
        {{"xterm-256color", "C.UTF-8", 0, nullptr}, true, "─█"}, /* no answer: one cell each */
        {{"vt100", "C.UTF-8", 5, nullptr}, false, "─█"},         /* no alternate screen to ask on */
        {{"xterm-256color", "C", 5, nullptr}, false, "\x1b(0q"}, /* lines from DEC graphics */
        {{"xterm-256color", "C", 3, nullptr, "codeset-utf-8"}, true, "─█"}, /* as macOS says it */
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.terminal.term) + " " + c.terminal.locale + " answering " +
                     std::to_string(c.terminal.columnAfterSample));
        int result = -1;
        std::string bytes = DriveTerminal(c.terminal, &result);
        EXPECT_EQ(result, ChildOk);
        EXPECT_EQ(bytes.find(sample) != std::string::npos, c.asked)
            << testing::PrintToString(bytes);
        EXPECT_EQ(bytes.find("\x1b[6n", bytes.find("\x1b[6n") + 1) != std::string::npos, c.asked);
        std::string picture = AfterQuestions(bytes);
        EXPECT_NE(picture.find(c.drawn), std::string::npos) << testing::PrintToString(picture);
    }
}

/* The colour parameters (30 to 49, 90 to 107) of every SGR in bytes. */
std::vector<int> ColoursSent(const std::string &bytes)
{
    std::vector<int> colours;
    for (size_t at = bytes.find("\x1b["); at != std::string::npos;
         at = bytes.find("\x1b[", at + 1)) {
        size_t end = bytes.find_first_not_of("0123456789;", at + 2);
        if (end == std::string::npos || bytes[end] != 'm')
            continue;
        std::string parameters = bytes.substr(at + 2, end - at - 2) + ";";
        for (size_t from = 0, to; (to = parameters.find(';', from)) != std::string::npos;
             from = to + 1) {
            int p = to > from ? std::stoi(parameters.substr(from, to - from)) : 0;
            if ((p >= 30 && p <= 49) || (p >= 90 && p <= 107))
                colours.push_back(p);
        }
    }
    return colours;
}

/* NO_COLOR, present and not empty, takes every colour away; empty, it changes nothing. */
TEST(TtyDriver, NoColourSendsNoColourUnlessItIsEmpty)
{
    int result = -1;
    std::string bytes = DriveTerminal({"xterm-256color", "C.UTF-8", 3, "1"}, &result);
    EXPECT_EQ(ColoursSent(bytes), std::vector<int>{}) << testing::PrintToString(bytes);
    EXPECT_NE(bytes.find("\x1b[0m"), std::string::npos) << "the picture is drawn without colours";
    bytes = DriveTerminal({"xterm-256color", "C.UTF-8", 3, ""}, &result);
    EXPECT_EQ(ColoursSent(bytes), (std::vector<int>{37, 40})) << testing::PrintToString(bytes);
}

/* The marble's step delay: at least its time on the monotonic clock, asleep. */
TEST(TtyDriver, SleepsAtLeastTheDelayWithoutSpinning)
{
    rusage before = {}, after = {};
    getrusage(RUSAGE_SELF, &before);
    auto start = std::chrono::steady_clock::now();
    std::clock_t cpuStart = std::clock();
    DriverSleepMs(200);
    double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    auto waited = std::chrono::steady_clock::now() - start;
    getrusage(RUSAGE_SELF, &after);
    EXPECT_GE(waited, std::chrono::milliseconds(200));
    EXPECT_LT(cpuMs, 20.0) << "the delay sleeps; it does not spin on the clock";
    /* On a busy machine a spinning wait gets little of the processor too, but it never blocks. */
    EXPECT_GT(after.ru_nvcsw, before.ru_nvcsw) << "the delay never gave the processor up";
}

/* ------------------------------------------------------------ Resizes */

/* What the picture begins and ends with (its first and its last row): each whole picture
   sent holds each once. */
const std::string PictureStart = "[the picture]", PictureEnd = "[its end]";
/* How long the shell of StartDrawing waits, once its program has ended, before it reads
   what the terminal holds (0: there is no such shell). */
int ShellReadsAfterMs = 0;

/* In the child: draws a picture of the whole screen, costly to send (every cell in other
   colours than the one before), and waits for keys until ESC, as the game does; its exit
   status is the number of other keys it read. */
/* The terminal and the locale DrawThenWaitForEscape draws in. */
const char *DrawTerm = "xterm-256color", *DrawLocale = "C.UTF-8";

[[noreturn]] void DrawThenWaitForEscape()
{
    setenv("TERM", DrawTerm, 1);
    setenv("LC_ALL", DrawLocale, 1);
    FreeConsole();
    AllocConsole(); /* a screen of its own, a title and no cursor, as the game's */
    SetConsoleTitleA("Game of Zop");
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE), in = GetStdHandle(STD_INPUT_HANDLE);
    CONSOLE_CURSOR_INFO hidden = {100, FALSE};
    SetConsoleCursorInfo(out, &hidden);
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(out, &info);
    DWORD done = 0;
    FillConsoleOutputCharacterA(out, 'x', info.dwSize.X * info.dwSize.Y, COORD{0, 0}, &done);
    for (SHORT y = 0; y < info.dwSize.Y; y++)
        for (SHORT x = 0; x < info.dwSize.X; x++)
            FillConsoleOutputAttribute(out, (x + y) % 2 ? 0x1E : 0x2D, 1, COORD{x, y}, &done);
    for (const std::string &mark : {PictureStart, PictureEnd}) {
        COORD at = {0, static_cast<SHORT>(mark == PictureStart ? 0 : info.dwSize.Y - 1)};
        FillConsoleOutputAttribute(out, 7, static_cast<DWORD>(mark.size()), at, &done);
        SetConsoleCursorPosition(out, at);
        WriteConsoleA(out, mark.data(), static_cast<DWORD>(mark.size()), &done, nullptr);
    }
    int keys = 0;
    for (INPUT_RECORD record = {}; record.Event.KeyEvent.uChar.AsciiChar != 27;) {
        ReadConsoleInputA(in, &record, 1, &done);
        keys += record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown ? 1 : 0;
    }
    FreeConsole();
    _exit(keys - 1);
}

/* Reads what the child sends until a mark has come that many times, for at most ms (a few
   seconds); false when it did not. */
bool ReadMarks(int master, const std::string &mark, int count, int ms = 3000)
{
    std::string bytes;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (int seen = 0; seen < count;) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        pollfd p = {master, POLLIN, 0};
        char chunk[8192];
        ssize_t n = poll(&p, 1, 50) > 0 ? read(master, chunk, sizeof chunk) : 0;
        if (n > 0)
            bytes.append(chunk, static_cast<size_t>(n));
        for (size_t at = bytes.find(mark); at != std::string::npos; at = bytes.find(mark))
            bytes.erase(0, at + mark.size()), seen++;
        if (bytes.size() > mark.size()) /* only the tail can still begin a mark */
            bytes.erase(0, bytes.size() - mark.size());
    }
    return true;
}

/* Reads until the child has sent that many whole pictures. */
bool ReadPictures(int master, int pictures)
{
    return ReadMarks(master, PictureEnd, pictures);
}

/* In the child, as a shell: runs DrawThenWaitForEscape as its job (which a SIGTERM to the
   group ends), then, ShellReadsAfterMs after, reads what the terminal holds.  Its exit
   status: 100 and the count of bytes found, else the job's, or 64 and its signal. */
[[noreturn]] void RunAsTheShell()
{
    signal(SIGTERM, SIG_IGN);
    pid_t job = fork();
    if (job == 0) {
        signal(SIGTERM, SIG_DFL);
        DrawThenWaitForEscape();
    }
    int status = 0;
    waitpid(job, &status, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(ShellReadsAfterMs));
    termios raw = {};
    tcgetattr(STDIN_FILENO, &raw);
    cfmakeraw(&raw);
    raw.c_cc[VMIN] = raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    char left[32];
    ssize_t n = read(STDIN_FILENO, left, sizeof left);
    _exit(n > 0               ? 100 + static_cast<int>(n)
          : WIFEXITED(status) ? WEXITSTATUS(status)
                              : 64 + WTERMSIG(status));
}

/* Starts DrawThenWaitForEscape on a pseudo-terminal of that size, with those stand-ins;
   its pid, or -1. */
pid_t StartDrawing(winsize size, int *master, const char *standIn = nullptr)
{
    pid_t child = forkpty(master, nullptr, nullptr, &size);
    if (child == 0) {
        UseStandIns(standIn);
        if (ShellReadsAfterMs > 0)
            RunAsTheShell();
        DrawThenWaitForEscape();
    }
    return child;
}

/* Ends DrawThenWaitForEscape (with ESC, unless it was typed); its exit status, the other keys
   it read, or -1. */
int EndDrawing(int master, pid_t child, bool typeEscape = true)
{
    if (typeEscape && write(master, "\x1b", 1) != 1)
        kill(child, SIGKILL);
    ReadUntilEnd(master, child);
    close(master);
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/*
 * The answers to the questions at start never reach the shell: the terminal
 * answers them half a second late, after the program was told at once to
 * end (by ESC, the only key it reads, or by a SIGTERM), and the shell finds
 * nothing to read after it; the same where poll() refuses terminals, as
 * macOS's does.
 */
TEST(TtyDriver, LeavesTheShellNoAnswerOfTheTerminalThoughItAnswersLate)
{
    ShellReadsAfterMs = 1000;
    struct Case {
        const char *standIn;
        int signal; /* 0: ESC */
    } const cases[] = {{"", 0}, {"poll-refuses-terminals", 0}, {"", SIGTERM}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.standIn) + (c.signal ? " SIGTERM" : " ESC"));
        int master = -1;
        pid_t child = StartDrawing({46, 81, 0, 0}, &master, c.standIn);
        ASSERT_GE(child, 0) << "no pseudo-terminal";
        ASSERT_TRUE(ReadMarks(master, "\x1b[6n", 2)) << "the two questions";
        ASSERT_TRUE(c.signal ? kill(-child, c.signal) == 0 : write(master, "\x1b", 1) == 1);
        ReadMarks(master, "\x1b[6n", 1, 500); /* half a second as a terminal, asked nothing more */
        const std::string answers = "\x1b[3;1R\x1b[2;3R";
        ASSERT_EQ(write(master, answers.data(), answers.size()), ssize_t(answers.size()));
        EXPECT_EQ(EndDrawing(master, child, false), c.signal ? 64 + c.signal : 0)
            << "100 and more: that many bytes left for the shell";
    }
    ShellReadsAfterMs = 0;
}

/*
 * A signal that ends the program during a game hands the terminal back with
 * the string built for it beforehand: no scroll region, no line drawing, the
 * terminal's own colours, the cursor shown, then the shell's screen back or,
 * on a terminal without an alternate screen, the cursor below the picture.
 */
TEST(TtyDriver, ASignalThatEndsTheProgramHandsBackEverySetting)
{
    struct Case {
        const char *term, *locale, *handedBack;
    } const cases[] = {
        {"xterm-256color", "C.UTF-8", "\x1b[r\x1b[0m\x1b[?25h\x1b[23;0t\x1b[?1049l\x1b[23;0;0t"},
        {"linux", "C", "\x1b[r\x0f\x1b[0m\x1b[?25h\x1b[?0c\x1b[46;1H"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.term);
        DrawTerm = c.term;
        DrawLocale = c.locale;
        int master = -1;
        pid_t child = StartDrawing({46, 81, 0, 0}, &master);
        ASSERT_GE(child, 0) << "no pseudo-terminal";
        ASSERT_TRUE(ReadPictures(master, 1));
        kill(child, SIGTERM);
        std::string bytes = ReadUntilEnd(master, child);
        close(master);
        int status = 0;
        EXPECT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
        std::string end = c.handedBack;
        EXPECT_EQ(bytes.substr(bytes.size() - std::min(bytes.size(), end.size())), end);
    }
    DrawTerm = "xterm-256color";
    DrawLocale = "C.UTF-8";
}

/*
 * A resize shows the whole picture again without a key, whenever its signal
 * comes: while the program waits for a key, or while it still sends the
 * picture of the resize before (the terminal not reading), just before its
 * wait for a key begins.
 */
TEST(TtyDriver, ShowsEveryResizeWithoutAKeyWheneverItsSignalComes)
{
    for (const char *standIn : {"", "poll-refuses-terminals"}) {
        SCOPED_TRACE(standIn);
        winsize size = {80, 250, 0, 0};
        int master = -1;
        pid_t child = StartDrawing(size, &master, standIn);
        ASSERT_GE(child, 0) << "no pseudo-terminal";
        ASSERT_TRUE(ReadPictures(master, 1)) << "the first picture";
        std::mt19937 random(7);
        for (int i = 1; i <= 12; i++) {
            bool duringPicture = random() % 2 == 0;
            SCOPED_TRACE("resize " + std::to_string(i) +
                         (duringPicture ? ", the next while its picture is sent" : ""));
            size.ws_col++;
            ASSERT_EQ(ioctl(master, TIOCSWINSZ, &size), 0);
            bool shown = true;
            if (duringPicture) {
                /* Its picture has begun; unread, the rest fills the terminal's buffer and the
               child waits to send it when the next resize comes. */
                shown = ReadMarks(master, PictureStart, 1);
                usleep(static_cast<useconds_t>(random() % 20000));
                size.ws_row++;
                ASSERT_EQ(ioctl(master, TIOCSWINSZ, &size), 0);
            }
            if (!shown || !ReadPictures(master, duringPicture ? 2 : 1)) {
                kill(child, SIGKILL);
                waitpid(child, nullptr, 0);
                close(master);
                FAIL() << "not shown without a key";
            }
        }
        EXPECT_EQ(EndDrawing(master, child), 0);
    }
}

/* Ctrl-L shows the whole picture again, over whatever else wrote on the terminal, and is
   no key of the program's.  The terminal here never answers the questions at start: the
   first picture comes once their wait is over, though the program takes a new console. */
TEST(TtyDriver, CtrlLShowsTheWholePictureAgainAndIsNoKey)
{
    int master = -1;
    pid_t child = StartDrawing(winsize{30, 100, 0, 0}, &master);
    ASSERT_GE(child, 0) << "no pseudo-terminal";
    EXPECT_TRUE(ReadMarks(master, PictureEnd, 1, 300)) << "the first picture, within 300 ms";
    EXPECT_EQ(write(master, "\x0c", 1), 1);
    EXPECT_TRUE(ReadPictures(master, 1)) << "Ctrl-L showed nothing";
    EXPECT_EQ(EndDrawing(master, child), 0) << "Ctrl-L came as a key";
}

} // namespace
