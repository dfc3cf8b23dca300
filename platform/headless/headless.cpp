/*
 * The headless driver: the emulated console without a screen, driven and
 * read back by tests.  A read that would wait gets what the test's key source
 * types at that moment, or else the end of input (the ESC key), so that every
 * wait of the program ends.
 */
#include "headless.h"

#include "cp437.h"
#include "driver.h"
#include "state.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

struct HeadlessState {
    int columns; /* the size the next open gives */
    int rows;
    int largestColumns;
    int largestRows;
    std::string failCall;                    /* the call that fails next, or empty */
    DWORD failError;                         /* the error it fails with */
    std::map<std::string, int> callCounts;   /* how often each function was called, by name */
    void (*keySource)(bool);                 /* asked for keys whenever the program reads */
    void (*presentHook)(const MemConsole *); /* shown the console at every wait */
    void (*outputHook)(const MemConsole *);  /* shown the console after every output call */
    std::vector<std::string> announcements;  /* texts announced, each after its channel's number */
    long clockAheadMs;                       /* waits for the rest of a key, passed at once */
};

} // namespace

static HeadlessState Headless = {80, 25, 80, 25, "", 0, {}, nullptr, nullptr, nullptr, {}, 0};

/* ------------------------------------------------------------ The driver */

int DriverOpen(DriverScreen *screen)
{
    *screen = DriverScreen{Headless.columns,     Headless.rows, Headless.largestColumns,
                           Headless.largestRows, COORD{0, 0},   true};
    return DriverOpened;
}

/* Tests read the announcements themselves (HeadlessTakeAnnouncements). */
int DriverShowLines(void)
{
    return 0;
}

/* Counts the call and plays an injected failure. */
DWORD DriverCheckCall(const char *call)
{
    Headless.callCounts[call]++;
    if (Headless.failCall.empty() || Headless.failCall != call)
        return ERROR_SUCCESS;
    Headless.failCall.clear();
    return Headless.failError;
}

int DriverEnterScreen(void)
{
    return 1;
}

void DriverRestore(void) {}

void DriverNoteDrawing(const MemConsole *mc)
{
    if (Headless.outputHook != nullptr)
        Headless.outputHook(mc);
}

void DriverPresent(const MemConsole *mc)
{
    if (Headless.presentHook != nullptr)
        Headless.presentHook(mc);
}

void DriverAnnounce(int channel, const char *text)
{
    Headless.announcements.push_back(std::to_string(channel) + " " + text);
}

/* Nothing is shown, so nothing is to be shown again. */
void DriverForgetScreen(void) {}

void DriverSetTitle(const std::string &) {}

int DriverTakeEvents(int *columns, int *rows)
{
    *columns = WinConsole.console.width;
    *rows = WinConsole.console.height;
    return 0;
}

/*
 * Bytes never come: the key source puts its records straight into the queue,
 * asked with programWaits set for a read that waits without a limit (nothing
 * typed then: the end of input) and clear for a look.  A wait with a limit
 * is for the rest of a key begun, which never comes here: its time passes
 * at once, on the driver's clock.
 */
int DriverReadBytes(unsigned char *, int, int timeoutMs)
{
    if (timeoutMs > 0) {
        Headless.clockAheadMs += timeoutMs;
        return 0;
    }
    bool programWaits = timeoutMs < 0;
    if (Headless.keySource != nullptr)
        Headless.keySource(programWaits);
    return programWaits && WinConsole.console.input.empty() ? -1 : 0;
}

/* The monotonic clock, ahead by the waits that passed at once. */
long DriverNowMs(void)
{
    using namespace std::chrono;
    return Headless.clockAheadMs +
           static_cast<long>(
               duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void DriverSleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

const char32_t *DriverKeyCharset(void)
{
    return nullptr;
}

/* ------------------------------------------------------------- The seam */

void HeadlessOpen(int width, int height, int largestWidth, int largestHeight)
{
    Headless.columns = width;
    Headless.rows = height;
    Headless.largestColumns = largestWidth;
    Headless.largestRows = largestHeight;
    Headless.failCall.clear();
    Headless.failError = 0;
    Headless.callCounts.clear();
    Headless.keySource = nullptr;
    Headless.presentHook = nullptr;
    Headless.outputHook = nullptr;
    Headless.announcements.clear();
    WinConsoleReopen();
}

void HeadlessFailNext(const char *call, DWORD error)
{
    Headless.failCall = call ? call : "";
    Headless.failError = error;
}

int HeadlessCallCount(const char *call)
{
    auto found = Headless.callCounts.find(call);
    return found == Headless.callCounts.end() ? 0 : found->second;
}

unsigned char HeadlessChar(int x, int y)
{
    return MemCellAt(&WinConsole.console, x, y).ch;
}

WORD HeadlessAttr(int x, int y)
{
    return MemCellAt(&WinConsole.console, x, y).attr;
}

COORD HeadlessCursor()
{
    return WinConsole.console.cursor;
}

bool HeadlessCursorVisible()
{
    return WinConsole.console.cursorVisible;
}

std::string HeadlessRow(int y)
{
    std::string row;
    for (int x = 0; MemInside(&WinConsole.console, x, y); x++)
        row += static_cast<char>(HeadlessChar(x, y));
    return row;
}

std::string HeadlessPicture(int left, int top, int right, int bottom)
{
    const MemConsole *mc = &WinConsole.console;
    std::string picture;
    for (int y = std::max(top, 0); y <= std::min(bottom, mc->height - 1); y++) {
        if (y > std::max(top, 0))
            picture += '\n';
        for (int x = std::max(left, 0); x <= std::min(right, mc->width - 1); x++)
            picture += Cp437ToUtf8(HeadlessChar(x, y));
    }
    return picture;
}

void HeadlessPushInput(const INPUT_RECORD &record)
{
    WinConsole.console.input.push_back(record);
}

void HeadlessPushKey(char character, WORD virtualKey)
{
    MemPushKey(&WinConsole.console, character, virtualKey);
}

void HeadlessPushBytes(const std::string &bytes, int elapsedMs)
{
    WinConsoleDecodeBytes(&WinConsole.console,
                          reinterpret_cast<const unsigned char *>(bytes.data()),
                          static_cast<int>(bytes.size()), elapsedMs);
}

void HeadlessSetKeySource(void (*source)(bool programWaits))
{
    Headless.keySource = source;
}

void HeadlessSetPresentHook(void (*hook)(const MemConsole *console))
{
    Headless.presentHook = hook;
}

void HeadlessSetOutputHook(void (*hook)(const MemConsole *console))
{
    Headless.outputHook = hook;
}

std::vector<std::string> HeadlessTakeAnnouncements()
{
    std::vector<std::string> taken;
    taken.swap(Headless.announcements);
    return taken;
}

std::string HeadlessTitle()
{
    return WinConsole.console.title;
}
