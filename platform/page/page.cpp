/*
 * The page driver: the emulated console in a web page.  At each present the
 * in-memory console's cells go to the page, which draws them on a canvas of
 * its own, and the texts announced since the last present go to its live
 * regions, its keys' names and its layout; keys come from the page as the
 * bytes a terminal sends.  Every wait of the program (a key read, the marble
 * step delay) suspends the program with Asyncify and hands the page back to
 * the browser, which wakes it with a key or a timer; nothing polls.  The
 * page's part is the object Module.zopPage (page.js): open, present, say,
 * take, wait.  What the page needs to know of the console and the game (the
 * console's size, the channels of the announcements, the attribute bits, how
 * a cell is packed, the names of the screen's parts and the on-screen keys)
 * it is told here, at open, and knows from nowhere else.
 */
#include "cp437.h"
#include "driver.h"
#include "platform.h"

#include <emscripten.h>

#include <cmath>
#include <cstdint>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

/* The page's console never changes its size: the page fits its cells to the window. */
const int PageColumns = 81;
const int PageRows = 46;

/* The channels of the announcements, in the order PageOpen hands them on. */
const int AnnounceChannels[] = {AnnounceLog,    AnnounceStatus, AnnounceTurn,
                                AnnounceResult, AnnounceKeys,   AnnouncePart};

/* The colour bits of an attribute as the page reads them: red, green, blue, intensity. */
const WORD ForegroundBits[] = {FOREGROUND_RED, FOREGROUND_GREEN, FOREGROUND_BLUE,
                               FOREGROUND_INTENSITY};
const WORD BackgroundBits[] = {BACKGROUND_RED, BACKGROUND_GREEN, BACKGROUND_BLUE,
                               BACKGROUND_INTENSITY};

/* A cell as the page takes it: the glyph's code point below this bit, the attribute from it. */
const int PageAttributeShift = 16;

/* An on-screen key of the page; PageOpen reads it as 32-bit words, a field each, in this order. */
struct PageKey {
    const char *name;     /* the game's name of the key, as it announces what the key does */
    const char *typesAs;  /* the keyboard's key whose bytes it types, by the browser's name */
    const char *shortcut; /* its name in aria-keyshortcuts */
    const char *caption;  /* what is written on it, UTF-8 */
    const char *place;    /* its grid area in the layouts of the keys bar (index.html) */
    int repeats;          /* held down, it types again and again */
    int confirms;         /* it types only when tapped a second time soon after the first */
    int replays;          /* once the program has ended, it starts another game */
};
const int PageKeyWords = 8;
static_assert(sizeof(PageKey) == PageKeyWords * sizeof(std::uint32_t), "a field a word");

/* The on-screen keys, in the order a keyboard's Tab visits them. */
const PageKey PageKeys[] = {
    {"Up", "ArrowUp", "ArrowUp", "\u2191", "up", 1, 0, 0},
    {"Down", "ArrowDown", "ArrowDown", "\u2193", "down", 1, 0, 0},
    {"N", "n", "N", "N", "n", 0, 0, 0},
    {"P", "p", "P", "P", "p", 0, 0, 0},
    {"G", "g", "G", "G", "g", 0, 0, 0},
    {"B", "b", "B", "B", "b", 0, 0, 0},
    {"Y", "y", "Y", "Y", "y", 0, 0, 1},
    {"Esc", "Escape", "Escape", "Esc", "esc", 0, 1, 0},
};

struct PageState {
    bool open;
    std::vector<std::uint32_t> cells; /* reused by DriverPresent: code point | attribute << shift */
    std::vector<std::pair<int, std::string>> said; /* announced since the last present, UTF-8 */
};

PageState Page = {};

} // namespace

/* ---------------------------------------------------------------- The page */

/* Tells the page, before anything is drawn or said, the console's size, the announcements'
   channels (log, status, turn, result, keys, part, in that order), the attribute bits, the
   bit a cell's attribute starts at, the names of the screen's parts and the on-screen keys. */
EM_JS(void, PageOpen,
      (int columns, int rows, const int *channels, const WORD *foreground, const WORD *background,
       int reverse, int underscore, int attributeShift, const char *machine, const char *messages,
       const char *help, const PageKey *keys, int keyCount, int keyWords),
      {
          var bits = function(at)
          {
              return Array.from(HEAPU16.subarray(at >> 1, (at >> 1) + 4));
          };
          var channel = function(i)
          {
              return HEAP32[(channels >> 2) + i];
          };
          var key = function(i)
          {
              var word = function(field)
              {
                  return HEAPU32[(keys >> 2) + i * keyWords + field];
              };
              return {
                  "name" : UTF8ToString(word(0)),
                  "typesAs" : UTF8ToString(word(1)),
                  "shortcut" : UTF8ToString(word(2)),
                  "caption" : UTF8ToString(word(3)),
                  "place" : UTF8ToString(word(4)),
                  "repeats" : word(5) != 0,
                  "confirms" : word(6) != 0,
                  "replays" : word(7) != 0
              };
          };
          Module["zopPage"]["open"]({
              "columns" : columns,
              "rows" : rows,
              "announce" : {
                  "log" : channel(0),
                  "status" : channel(1),
                  "turn" : channel(2),
                  "result" : channel(3),
                  "keys" : channel(4),
                  "part" : channel(5)
              },
              "attributes" : {
                  "foreground" : bits(foreground),
                  "background" : bits(background),
                  "reverse" : reverse,
                  "underscore" : underscore
              },
              "attributeShift" : attributeShift,
              "parts" : {
                  "machine" : UTF8ToString(machine),
                  "messages" : UTF8ToString(messages),
                  "help" : UTF8ToString(help)
              },
              "keys" : Array.from(
                  {"length" : keyCount}, function(_, i) { return key(i); })
          });
      });

/* Hands the page the console's cells, row by row: each a glyph's code point | attribute << shift.
   The property names are quoted so that a minifier of the glue would keep them. */
EM_JS(void, PagePresent, (const std::uint32_t *cells, int columns, int rows), {
    var first = cells >> 2;
    Module["zopPage"]["present"](HEAPU32.subarray(first, first + columns * rows), columns, rows);
});

/* Hands the page an announced text and its channel (AnnounceLog ... AnnouncePart). */
EM_JS(void, PageSay, (int channel, const char *text),
      { Module["zopPage"]["say"](channel, UTF8ToString(text)); });

/* Takes up to size bytes of keys typed so far; the count. */
EM_JS(int, PageTake, (unsigned char *buffer, int size), {
    var bytes = Module["zopPage"]["take"](size);
    HEAPU8.set(bytes, buffer);
    return bytes.length;
});

/* Suspends the program until a key is typed or timeoutMs have passed (negative: no limit). */
EM_ASYNC_JS(void, PageWaitForKey, (int timeoutMs), { await Module["zopPage"]["wait"](timeoutMs); });

EM_JS(void, PageSetTitle, (const char *title), { document.title = UTF8ToString(title); });

/* ------------------------------------------------------------- The driver */

int DriverOpen(DriverScreen *screen)
{
    Page.open = true;
    Page.said.clear();
    PageOpen(PageColumns, PageRows, AnnounceChannels, ForegroundBits, BackgroundBits,
             COMMON_LVB_REVERSE_VIDEO, COMMON_LVB_UNDERSCORE, PageAttributeShift, PartMachine,
             PartMessages, PartHelp, PageKeys, static_cast<int>(std::size(PageKeys)), PageKeyWords);
    /* A console of its own, blank: the program keeps it. */
    *screen = DriverScreen{PageColumns, PageRows, PageColumns, PageRows, COORD{0, 0}, false};
    return DriverOpened;
}

/* The page is the picture, told beside it to a screen reader. */
int DriverShowLines(void)
{
    return 0;
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
    *columns = PageColumns;
    *rows = PageRows;
    return 0;
}

int DriverEnterScreen(void)
{
    return Page.open ? 1 : 0;
}

/* The page keeps the last picture it showed; it has no settings to undo. */
void DriverRestore(void) {}

/* Hands over every cell: the page itself redraws only those that changed.  It draws no
   cursor, which the game keeps hidden while it plays. */
void DriverPresent(const MemConsole *mc)
{
    if (!Page.open)
        return;
    Page.cells.resize(mc->cells.size());
    for (size_t i = 0; i < mc->cells.size(); i++)
        Page.cells[i] = static_cast<std::uint32_t>(Cp437ToUnicode(mc->cells[i].ch)) |
                        static_cast<std::uint32_t>(mc->cells[i].attr) << PageAttributeShift;
    PagePresent(Page.cells.data(), mc->width, mc->height);
    for (const std::pair<int, std::string> &said : Page.said)
        PageSay(said.first, said.second.c_str());
    Page.said.clear();
}

/* Nothing but the page draws on its canvas, so nothing can have written over the picture. */
void DriverForgetScreen(void) {}

void DriverAnnounce(int channel, const char *text)
{
    if (Page.open)
        Page.said.emplace_back(channel, Cp437TextToUtf8(text));
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
    return nullptr; /* the page sends its keys in UTF-8 */
}
