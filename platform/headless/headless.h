/*
 * The headless driver, the test seam of the emulated console: a console with
 * no screen at all, of any size, that tests and the benchmark feed with input
 * records, make fail on purpose and read back cell by cell.  Only they link
 * it; the game links the tty driver or the page driver in its place.
 */
#ifndef ZOP_PLATFORM_HEADLESS_HEADLESS_H
#define ZOP_PLATFORM_HEADLESS_HEADLESS_H

#include "winconsole.h"

#include <string>
#include <vector>

// Opens the console anew, headless, with a blank buffer of width x height
// (spaces in attribute 7, cursor (0,0) visible size 25, attribute 7, window = whole buffer,
// modes at the Win32 defaults, empty input queue, no injected failure, last error 0, call counts 0).
void HeadlessOpen(int width, int height, int largestWidth = 160, int largestHeight = 50);
// The next call of that name fails once with that code, changing nothing.
void HeadlessFailNext(const char *call, DWORD error);
// Calls of that Win32 function since HeadlessOpen.
int HeadlessCallCount(const char *call);
// The cell's character and attribute; 0 outside the buffer.
unsigned char HeadlessChar(int x, int y);
WORD HeadlessAttr(int x, int y);
COORD HeadlessCursor();
bool HeadlessCursorVisible();
// Row y's bytes as they are.
std::string HeadlessRow(int y);
// The rows of that rectangle, clipped to the buffer, each row's CP437 bytes as UTF-8, rows
// joined with '\n'.
std::string HeadlessPicture(int left, int top, int right, int bottom);
void HeadlessPushInput(const INPUT_RECORD &record);
// A key-down, then its key-up.
void HeadlessPushKey(char character, WORD virtualKey);
// Runs bytes as a terminal would send them through the key decoder into the input queue,
// as if they came elapsedMs after the bytes before; no bytes: a pause of that long, which
// ends a lone ESC or a sequence cut short. HeadlessOpen forgets what the decoder held.
void HeadlessPushBytes(const std::string &bytes, int elapsedMs);
std::string HeadlessTitle();
// The texts announced beside the picture since the last take (PlatformAnnounce), oldest
// first, each after its channel's number and a space: "1 Zop took: 1".
std::vector<std::string> HeadlessTakeAnnouncements();
// Calls source whenever the program looks for input and finds none, so that a
// test can type keys exactly when they would come: programWaits is true for a
// read that would wait (with nothing queued afterwards, input has ended) and
// false for a look that never waits. Null: no source.
void HeadlessSetKeySource(void (*source)(bool programWaits));
// Calls hook with the console wherever a terminal would be shown it: whenever the
// program is about to wait (a key read, a look for keys, Sleep, FlushFileBuffers)
// or lets the console go, so that a test or a benchmark can render what the tty
// driver would send. Null: no hook. HeadlessOpen clears it.
struct MemConsole;
void HeadlessSetPresentHook(void (*hook)(const MemConsole *console));
// Calls hook with the console after every output call that succeeded, as a
// driver presenting after each call would show it. Null: no hook.
// HeadlessOpen clears it.
void HeadlessSetOutputHook(void (*hook)(const MemConsole *console));

#endif
