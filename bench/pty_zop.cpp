/* The real program in a pseudo-terminal, measured from outside. */
#include "pty_zop.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

/* How long the program's output must pause before its screen counts as drawn. */
const int QuietMs = 300;
/* The roll is over once nothing came for longer than a few step delays. */
const int RollQuietMs = 800;

struct Child {
    pid_t pid;
    int master;       /* our end of the pseudo-terminal */
    long lastOutput;  /* when the child last wrote, in ms */
    long bytes;       /* all it wrote */
    std::string tail; /* the last bytes it wrote, for the cursor query */
};

} // namespace

static long NowMs(void)
{
    struct timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

static bool StartChild(const char *path, Child *child)
{
    struct winsize size = {};
    size.ws_row = 46;
    size.ws_col = 81;
    *child = Child{-1, -1, NowMs(), 0, std::string()};
    child->pid = forkpty(&child->master, nullptr, nullptr, &size);
    if (child->pid < 0)
        return false;
    if (child->pid == 0) {
        setenv("TERM", "xterm-256color", 1);
        execl(path, path, static_cast<char *>(nullptr));
        _exit(127);
    }
    return true;
}

/* Answers the program's cursor position query: the top-left corner, so it starts at once. */
static void AnswerQueries(Child *child)
{
    size_t query = child->tail.find("\x1b[6n");
    if (query == std::string::npos)
        return;
    child->tail.erase(0, query + 4);
    if (write(child->master, "\x1b[1;1R", 6) < 0)
        std::perror("zop_bench: answering the cursor query");
}

/* Reads and drops what the child writes until it has been quiet for quietMs
   (counted from the call at the earliest), or maxMs have passed; false when
   the child has closed the terminal. */
static bool Drain(Child *child, int quietMs, int maxMs)
{
    long start = NowMs();
    for (;;) {
        long now = NowMs();
        long quietLeft = std::max(child->lastOutput, start) + quietMs - now;
        long maxLeft = start + maxMs - now;
        if (quietLeft <= 0 || maxLeft <= 0)
            return true;
        struct pollfd p = {child->master, POLLIN, 0};
        int ready = poll(&p, 1, static_cast<int>(std::min(quietLeft, maxLeft)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        char chunk[4096];
        ssize_t n = read(child->master, chunk, sizeof chunk);
        if (n <= 0)
            return false;
        child->lastOutput = NowMs();
        child->bytes += n;
        child->tail.append(chunk, static_cast<size_t>(n));
        AnswerQueries(child);
        if (child->tail.size() > 64)
            child->tail.erase(0, child->tail.size() - 64);
    }
}

static void Send(Child *child, const char *keys)
{
    if (write(child->master, keys, std::strlen(keys)) < 0)
        std::perror("zop_bench: typing into the terminal");
}

/* Sends ESC (then 'n' for no other game) and collects the child's resource usage. */
static bool Finish(Child *child, bool inGame, struct rusage *usage)
{
    Send(child, "\x1b");
    Drain(child, QuietMs, 3000);
    if (inGame) {
        Send(child, "n");
        Drain(child, QuietMs, 3000);
    }
    int status = 0;
    pid_t done = 0;
    for (int tries = 0; tries < 40 && done == 0; tries++) {
        done = wait4(child->pid, &status, WNOHANG, usage);
        if (done == 0)
            Drain(child, 50, 50);
    }
    if (done == 0) {
        kill(child->pid, SIGTERM);
        done = wait4(child->pid, &status, 0, usage);
    }
    close(child->master);
    return done == child->pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

static double CpuSeconds(const struct rusage &usage)
{
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

/* Voluntary context switches of a running child: its sleeps so far. */
static long Sleeps(pid_t pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/status", static_cast<int>(pid));
    FILE *status = std::fopen(path, "r");
    if (status == nullptr)
        return -1;
    long sleeps = -1;
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr)
        if (std::sscanf(line, "voluntary_ctxt_switches: %ld", &sleeps) == 1)
            break;
    std::fclose(status);
    return sleeps;
}

/* The difference between a run with the stretch and the same run without it. */
static ChildCost Compare(bool ok, const struct rusage &with, const struct rusage &without)
{
    ChildCost cost = {};
    cost.ok = ok;
    cost.cpuSeconds = CpuSeconds(with) - CpuSeconds(without);
    return cost;
}

ChildCost MeasureIdleWait(const char *zopPath, double waitSeconds)
{
    struct rusage without = {}, with = {};
    Child child;
    bool ok = StartChild(zopPath, &child) && Drain(&child, QuietMs, 5000);
    ok = Finish(&child, false, &without) && ok;

    ok = StartChild(zopPath, &child) && Drain(&child, QuietMs, 5000) && ok;
    long sleeps = Sleeps(child.pid);
    long bytes = child.bytes;
    long start = NowMs();
    int waitMs = static_cast<int>(waitSeconds * 1000);
    Drain(&child, waitMs + 1000, waitMs); /* the whole wait: quiet is expected */
    long wall = NowMs() - start;
    long wakeups = Sleeps(child.pid) - sleeps;
    bytes = child.bytes - bytes;
    ok = Finish(&child, false, &with) && ok;

    ChildCost cost = Compare(ok, with, without);
    cost.wallSeconds = static_cast<double>(wall) / 1000.0;
    cost.wakeups = wakeups;
    cost.bytes = bytes;
    return cost;
}

/* Starts a game with the player to go first, up to the player's first key. */
static bool StartGame(const char *zopPath, Child *child)
{
    if (!StartChild(zopPath, child) || !Drain(child, QuietMs, 5000))
        return false;
    Send(child, "p");
    Drain(child, QuietMs, 3000);
    Send(child, "g");
    return Drain(child, QuietMs, 3000);
}

ChildCost MeasureMarbleRoll(const char *zopPath)
{
    struct rusage without = {}, with = {};
    Child child;
    bool ok = StartGame(zopPath, &child);
    ok = Finish(&child, true, &without) && ok;

    ok = StartGame(zopPath, &child) && ok;
    long sleeps = Sleeps(child.pid);
    long bytes = child.bytes;
    long start = NowMs();
    Send(&child, "b");
    Drain(&child, RollQuietMs, 20000);
    long wall = child.lastOutput - start;
    long wakeups = Sleeps(child.pid) - sleeps;
    bytes = child.bytes - bytes;
    ok = Finish(&child, true, &with) && ok;

    ChildCost cost = Compare(ok, with, without);
    cost.wallSeconds = static_cast<double>(wall) / 1000.0;
    cost.wakeups = wakeups;
    cost.bytes = bytes;
    return cost;
}
