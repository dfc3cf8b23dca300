/* The headless test seam: the console without a terminal, driven and read back by tests. */
#include "console/posix/headless.h"

#include "console/posix/cp437.h"
#include "console/posix/platformstate.h"
#include "console/posix/terminal.h"

#include <algorithm>
#include <string>

void HeadlessOpen(int width, int height, int largestWidth, int largestHeight)
{
    if (Platform.kind == PLATFORM_TERMINAL)
        TermRestore();
    Platform.kind = PLATFORM_HEADLESS;
    Platform.attached = true;
    MemReset(&Platform.console, width, height, largestWidth, largestHeight);
    Platform.lastError = 0;
    Platform.failCall.clear();
    Platform.failError = 0;
    Platform.calls.clear();
    Platform.keySource = nullptr;
    Platform.presentHook = nullptr;
    Platform.outputHook = nullptr;
    KeyDecoderReset(Platform.keys);
}

void HeadlessFailNext(const char *call, DWORD error)
{
    Platform.failCall = call ? call : "";
    Platform.failError = error;
}

int HeadlessCallCount(const char *call)
{
    auto found = Platform.calls.find(call);
    return found == Platform.calls.end() ? 0 : found->second;
}

unsigned char HeadlessChar(int x, int y)
{
    return MemCellAt(&Platform.console, x, y).ch;
}

WORD HeadlessAttr(int x, int y)
{
    return MemCellAt(&Platform.console, x, y).attr;
}

COORD HeadlessCursor()
{
    return Platform.console.cursor;
}

bool HeadlessCursorVisible()
{
    return Platform.console.cursorVisible;
}

std::string HeadlessRow(int y)
{
    std::string row;
    for (int x = 0; MemInside(&Platform.console, x, y); x++)
        row += static_cast<char>(HeadlessChar(x, y));
    return row;
}

std::string HeadlessPicture(int left, int top, int right, int bottom)
{
    const MemConsole *mc = &Platform.console;
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
    Platform.console.input.push_back(record);
}

void HeadlessPushKey(char character, WORD virtualKey)
{
    MemPushKey(&Platform.console, character, virtualKey);
}

void HeadlessPushBytes(const std::string &bytes, int elapsedMs)
{
    DecodeBytes(&Platform.console, reinterpret_cast<const unsigned char *>(bytes.data()),
                static_cast<int>(bytes.size()), elapsedMs);
}

void HeadlessSetKeySource(void (*source)(bool programWaits))
{
    Platform.keySource = source;
}

void HeadlessSetPresentHook(void (*hook)(const MemConsole *console))
{
    Platform.presentHook = hook;
}

void HeadlessSetOutputHook(void (*hook)(const MemConsole *console))
{
    Platform.outputHook = hook;
}

std::string HeadlessTitle()
{
    return Platform.console.title;
}
