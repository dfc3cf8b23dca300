/*
 * The page driver: the emulated console in a web page.  The in-memory
 * console is presented through the renderer into the page's terminal
 * (xterm.js), and its keys are read from it.  Every wait of the program (a key read, the marble step
 * delay) suspends the program with Asyncify and hands the page back to the
 * browser, which wakes it with a key or a timer; nothing polls.  The page's
 * part is the object Module.zopPage (web/page.js): write, take, wait.
 */
#include "console/emulated/caps.h"
#include "console/emulated/cp437.h"
#include "console/emulated/driver.h"
#include "console/emulated/render.h"

#include <emscripten.h>

#include <cmath>
#include <string>

namespace {

/* The page's terminal never changes its size: the page fits it by the font. */
const int PAGE_COLUMNS = 81;
const int PAGE_ROWS = 46;

struct PageState {
    bool open;
    RenderFrame front; /* what the page's terminal shows */
    RenderFrame want;  /* reused by DriverPresent */
    std::string out;   /* reused by DriverPresent */
};

PageState Page = {};

} // namespace

/* ---------------------------------------------------------------- The page */

EM_JS(void, PageWrite, (const char *bytes, int length), {
    Module.zopPage.write(
        HEAPU8.slice(bytes, bytes + length)); /* a copy: the terminal parses later */
});

/* Takes up to size bytes of keys typed so far; the count. */
EM_JS(int, PageTake, (unsigned char *buffer, int size), {
    var bytes = Module.zopPage.take(size);
    HEAPU8.set(bytes, buffer);
    return bytes.length;
});

/* Suspends the program until a key is typed or timeoutMs have passed (negative: no limit). */
EM_ASYNC_JS(void, PageWaitForKey, (int timeoutMs), { await Module.zopPage.wait(timeoutMs); });

EM_JS(void, PageSetTitle, (const char *title), { document.title = UTF8ToString(title); });

static void PageSend(const std::string &bytes)
{
    if (!bytes.empty())
        PageWrite(bytes.data(), static_cast<int>(bytes.size()));
}

/* What the page's terminal can do: that of xterm; the title goes to the page itself. */
static const Caps &PageCaps(void)
{
    static const Caps caps = [] {
        Caps xterm = CapsXterm();
        xterm.enterScreen.clear(); /* the whole terminal is the game's */
        xterm.title = xterm.titleStack = false;
        return xterm;
    }();
    return caps;
}

/* ------------------------------------------------------------- The driver */

int DriverOpen(DriverScreen *screen)
{
    Page.open = true;
    Page.front.known = false;
    /* A terminal of its own, blank: the program keeps it. */
    *screen = DriverScreen{PAGE_COLUMNS, PAGE_ROWS, PAGE_COLUMNS, PAGE_ROWS, COORD{0, 0}, false};
    return DRIVER_OPENED;
}

/* The page lets every call go. */
DWORD DriverCheckCall(const char *)
{
    return ERROR_SUCCESS;
}

/* What was drawn goes out at the next wait. */
void DriverNoteDrawing(const MemConsole *) {}

int DriverTakeEvents(int *columns, int *rows)
{
    *columns = PAGE_COLUMNS;
    *rows = PAGE_ROWS;
    return 0;
}

int DriverEnterScreen(void)
{
    return Page.open ? 1 : 0;
}

void DriverRestore(void)
{
    if (!Page.open)
        return;
    PageSend("\x1b[0m" + PageCaps().showCursor);
    Page.front.known = false; /* a console made again starts from a blank terminal */
}

void DriverPresent(const MemConsole *mc)
{
    if (!Page.open)
        return;
    RenderFrameOf(mc, &Page.want);
    Page.out.clear();
    RenderUpdate(Page.want, &Page.front, PAGE_COLUMNS, PAGE_ROWS, &Page.out, PageCaps());
    PageSend(Page.out);
}

void DriverForgetScreen(void)
{
    Page.front.known = false;
}

void DriverSetTitle(const std::string &title)
{
    PageSetTitle(Cp437TextToUtf8(title).c_str());
}

int DriverReadBytes(unsigned char *buffer, int size, int timeoutMs)
{
    if (size <= 0)
        return 0;
    int count = PageTake(buffer, size);
    if (count > 0 || timeoutMs == 0)
        return count;
    PageWaitForKey(timeoutMs);
    return PageTake(buffer, size);
}

long DriverNowMs(void)
{
    return static_cast<long>(emscripten_get_now());
}

void DriverSleepMs(int ms)
{
    double deadline = emscripten_get_now() + ms;
    for (double left = ms; left > 0; left = deadline - emscripten_get_now())
        emscripten_sleep(static_cast<unsigned>(std::ceil(left)));
}

const char32_t *DriverKeyCharset(void)
{
    return nullptr; /* the page's terminal sends its keys in UTF-8 */
}
