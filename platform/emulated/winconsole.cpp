/*
 * The Win32 console calls that the console module makes, over one
 * program-wide in-memory console (memconsole.h) shown by a driver
 * (driver.h).  Where to start reading the console platform:
 *
 *  - The first call of the program, whichever it is, opens the driver's
 *    screen (WinConsoleProbe).  The tty driver opens the controlling terminal there,
 *    reads its terminfo entry and the locale, puts it in raw mode, installs
 *    its signal handlers and asks where the cursor stands; its size becomes
 *    the buffer's.
 *  - Output calls only change cells.  The picture goes out when the program
 *    is about to wait, and only then (WinConsolePresent): before a key read waits, when
 *    it looks for keys or counts them, in Sleep (the marble's step delay),
 *    in FlushFileBuffers (a failure report's screen), and before the screen
 *    is handed back (FreeConsole, exit).  A cell changed and changed back
 *    between two waits costs nothing.
 *  - Key reads take the driver's bytes through the key decoder (keydecoder.h)
 *    into the input queue; a resize or a resume wakes a wait and the whole
 *    picture is shown again.  When input ends, every wait gets ESC.
 *  - A screen that cannot be had is a refusal: every call then fails with
 *    an error code of our own, GetStdHandle first, and FormatMessageA gives
 *    its text, which the program prints as its one line on standard error.
 */
#include "winconsole.h"

#include "driver.h"
#include "platform.h"
#include "state.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

/* Error codes beyond those of the header, produced here only. */
const DWORD ERROR_FILE_NOT_FOUND = 2;
const DWORD ERROR_INSUFFICIENT_BUFFER = 122;
const DWORD ERROR_MR_MID_NOT_FOUND = 317;
/* The value of Win32's STD_ERROR_HANDLE, which the header leaves out. */
const DWORD StdErrorHandleId = static_cast<DWORD>(-12);
/* A write this long was a negative length; reading it would run off the text. */
const DWORD LongestWrite = 0x7FFFFFFF;
/* Why there is no console at all: codes of our own, with the customer bit (29) set. */
const DWORD ErrorNoTerminal = 0x20000001;
const DWORD ErrorTermUnset = 0x20000002;
const DWORD ErrorTermCannotAddress = 0x20000003;
const char KeyRepaint = 12; /* Ctrl-L */

WinConsoleState WinConsole; /* zero: not opened, detached */

/* ------------------------------------------------------------- Helpers */

/* The handles of the console's input and output, as GetStdHandle and CreateFileA give them. */
static HANDLE WinConsoleStdInputHandle(void)
{
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(0x13));
}

static HANDLE WinConsoleStdOutputHandle(void)
{
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(0x17));
}

static void WinConsolePresentAtExit(void);

/* The error code of a driver's refusal. */
static DWORD WinConsoleRefusalError(int opened)
{
    switch (opened) {
    case DriverTermUnset:
        return ErrorTermUnset;
    case DriverCannotAddress:
        return ErrorTermCannotAddress;
    default:
        return ErrorNoTerminal;
    }
}

/* Opens the driver's screen on first use: its size becomes the buffer's. */
static void WinConsoleProbe(void)
{
    if (WinConsole.opened)
        return;
    WinConsole.opened = true;
    DriverScreen screen = {};
    int opened = DriverOpen(&screen);
    if (opened != DriverOpened) {
        WinConsole.refusal = WinConsoleRefusalError(opened);
        return;
    }
    static bool exitHookSet = false;
    /* Registered after the driver's own restore, so that it runs before it. */
    if (!exitHookSet)
        exitHookSet = std::atexit(WinConsolePresentAtExit) == 0;
    WinConsole.attached = true;
    WinConsole.resizable = screen.resizable;
    KeyDecoderReset(WinConsole.keyDecoder);
    KeyDecoderSetCharset(WinConsole.keyDecoder, DriverKeyCharset());
    WinConsole.lastInputMs = DriverNowMs();
    MemReset(&WinConsole.console, screen.columns, screen.rows, screen.largestColumns,
             screen.largestRows);
    MemSetCursor(&WinConsole.console, screen.cursor.X, screen.cursor.Y);
}

void WinConsoleReopen(void)
{
    WinConsole.opened = false;
    WinConsole.refusal = 0;
    WinConsole.attached = false;
    WinConsole.lastError = 0;
    WinConsoleProbe();
}

/* Starts a call: false when the driver says it is to fail, with the error set. */
static bool WinConsoleEnter(const char *call)
{
    WinConsoleProbe();
    DWORD refused = DriverCheckCall(call);
    if (refused == ERROR_SUCCESS)
        return true;
    WinConsole.lastError = refused;
    return false;
}

static BOOL WinConsoleFail(DWORD error)
{
    WinConsole.lastError = error;
    return FALSE;
}

/* The console behind an output handle, or null with error 6. */
static MemConsole *WinConsoleOutputConsole(HANDLE handle)
{
    if (!WinConsole.attached || handle != WinConsoleStdOutputHandle()) {
        WinConsoleFail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &WinConsole.console;
}

static MemConsole *WinConsoleInputConsole(HANDLE handle)
{
    if (!WinConsole.attached || handle != WinConsoleStdInputHandle()) {
        WinConsoleFail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &WinConsole.console;
}

/* Starts a call on an output handle: the console behind it, or null when the call fails. */
static MemConsole *WinConsoleEnterOutput(const char *call, HANDLE handle)
{
    return WinConsoleEnter(call) ? WinConsoleOutputConsole(handle) : nullptr;
}

/* Starts a call on an input handle: the console behind it, or null when the call fails. */
static MemConsole *WinConsoleEnterInput(const char *call, HANDLE handle)
{
    return WinConsoleEnter(call) ? WinConsoleInputConsole(handle) : nullptr;
}

/*
 * Takes in what happened to the screen: after a resize or a resume the
 * driver shows the whole picture again at the next present.  While the
 * program asks for size events (ENABLE_WINDOW_INPUT), the buffer follows
 * the screen's new size and a size event is queued; otherwise the buffer
 * keeps its size and the screen shows what fits of it.
 */
static void WinConsoleFollowScreen(void)
{
    int columns = 0, rows = 0;
    int events = DriverTakeEvents(&columns, &rows);
    MemConsole *mc = &WinConsole.console;
    if (!(events & DriverResized) || !(mc->inputMode & ENABLE_WINDOW_INPUT) ||
        (columns == mc->width && rows == mc->height))
        return;
    /* The window shrinks before the buffer and grows after it, as the console's rules want. */
    mc->largest = COORD{static_cast<SHORT>(columns), static_cast<SHORT>(rows)};
    SMALL_RECT corner = {0, 0, 0, 0};
    MemSetWindow(mc, true, corner);
    MemSetBufferSize(mc, columns, rows);
    SMALL_RECT whole = {0, 0, static_cast<SHORT>(columns - 1), static_cast<SHORT>(rows - 1)};
    MemSetWindow(mc, true, whole);
    INPUT_RECORD size = {};
    size.EventType = WINDOW_BUFFER_SIZE_EVENT;
    size.Event.WindowBufferSizeEvent.dwSize =
        COORD{static_cast<SHORT>(mc->width), static_cast<SHORT>(mc->height)};
    mc->input.push_back(size);
}

/*
 * Shows the console: called only where the program is about to wait (for a
 * key, the step delay, a report's key) or hands the screen back, so that all
 * it drew since the last wait goes out in one write.
 */
static void WinConsolePresent(void)
{
    if (!WinConsole.attached)
        return;
    WinConsoleFollowScreen();
    DriverPresent(&WinConsole.console);
}

/* The console is shown once more before the screen is handed back at exit. */
static void WinConsolePresentAtExit(void)
{
    WinConsolePresent();
}

/* Ends an output call: FALSE with the error, or TRUE (nothing is shown before the next wait). */
static BOOL WinConsoleFinish(DWORD error)
{
    if (error != ERROR_SUCCESS)
        return WinConsoleFail(error);
    DriverNoteDrawing(&WinConsole.console);
    return TRUE;
}

/* ------------------------------------------------------------- Handles */

HANDLE GetStdHandle(DWORD nStdHandle)
{
    if (!WinConsoleEnter("GetStdHandle"))
        return INVALID_HANDLE_VALUE;
    if (!WinConsole.attached) {
        WinConsoleFail(WinConsole.refusal != 0 ? WinConsole.refusal : ERROR_INVALID_HANDLE);
        return INVALID_HANDLE_VALUE;
    }
    if (nStdHandle == STD_INPUT_HANDLE)
        return WinConsoleStdInputHandle();
    if (nStdHandle == STD_OUTPUT_HANDLE || nStdHandle == StdErrorHandleId)
        return WinConsoleStdOutputHandle();
    WinConsoleFail(ERROR_INVALID_HANDLE);
    return INVALID_HANDLE_VALUE;
}

/* Opens the console devices "CONIN$" and "CONOUT$"; there are no files. */
HANDLE CreateFileA(LPCSTR name, DWORD, DWORD, void *, DWORD, DWORD, HANDLE)
{
    if (!WinConsoleEnter("CreateFileA"))
        return INVALID_HANDLE_VALUE;
    if (!name) {
        WinConsoleFail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    bool input = strcasecmp(name, "CONIN$") == 0;
    bool output = strcasecmp(name, "CONOUT$") == 0;
    if (!input && !output) {
        WinConsoleFail(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (!WinConsole.attached) {
        WinConsoleFail(ERROR_INVALID_HANDLE);
        return INVALID_HANDLE_VALUE;
    }
    return input ? WinConsoleStdInputHandle() : WinConsoleStdOutputHandle();
}

BOOL CloseHandle(HANDLE handle)
{
    if (!WinConsoleEnter("CloseHandle"))
        return FALSE;
    if (handle != WinConsoleStdInputHandle() && handle != WinConsoleStdOutputHandle())
        return WinConsoleFail(ERROR_INVALID_HANDLE);
    return TRUE;
}

/* ------------------------------------------------------------- Console */

/* A new console: on a terminal, its alternate screen, painted blank. */
BOOL AllocConsole(void)
{
    if (!WinConsoleEnter("AllocConsole"))
        return FALSE;
    if (WinConsole.attached)
        return WinConsoleFail(ERROR_ACCESS_DENIED);
    if (WinConsole.refusal != 0 || !DriverEnterScreen())
        return WinConsoleFail(ERROR_INVALID_HANDLE);
    MemConsole *mc = &WinConsole.console;
    MemReset(mc, mc->width, mc->height, mc->largest.X, mc->largest.Y);
    WinConsole.attached = true;
    return WinConsoleFinish(ERROR_SUCCESS);
}

/* Lets the console go: on a terminal every setting made is undone. */
BOOL FreeConsole(void)
{
    if (!WinConsoleEnter("FreeConsole"))
        return FALSE;
    if (!WinConsole.attached)
        return WinConsoleFail(ERROR_INVALID_HANDLE);
    WinConsolePresent();
    DriverRestore();
    WinConsole.attached = false;
    return TRUE;
}

BOOL SetConsoleTitleA(LPCSTR title)
{
    if (!WinConsoleEnter("SetConsoleTitleA"))
        return FALSE;
    if (!WinConsole.attached)
        return WinConsoleFail(ERROR_INVALID_HANDLE);
    if (!title)
        return WinConsoleFail(ERROR_INVALID_PARAMETER);
    WinConsole.console.title = title;
    DriverSetTitle(WinConsole.console.title);
    return TRUE;
}

/* -------------------------------------------------------------- Output */

BOOL GetConsoleScreenBufferInfo(HANDLE output, CONSOLE_SCREEN_BUFFER_INFO *info)
{
    MemConsole *mc = WinConsoleEnterOutput("GetConsoleScreenBufferInfo", output);
    if (!mc)
        return FALSE;
    if (!info)
        return WinConsoleFail(ERROR_INVALID_PARAMETER);
    MemGetInfo(mc, info);
    return TRUE;
}

BOOL SetConsoleTextAttribute(HANDLE output, WORD attributes)
{
    MemConsole *mc = WinConsoleEnterOutput("SetConsoleTextAttribute", output);
    if (!mc)
        return FALSE;
    mc->attribute = attributes;
    return TRUE;
}

BOOL SetConsoleCursorPosition(HANDLE output, COORD position)
{
    MemConsole *mc = WinConsoleEnterOutput("SetConsoleCursorPosition", output);
    if (!mc)
        return FALSE;
    return WinConsoleFinish(MemSetCursor(mc, position.X, position.Y));
}

BOOL GetConsoleCursorInfo(HANDLE output, CONSOLE_CURSOR_INFO *info)
{
    MemConsole *mc = WinConsoleEnterOutput("GetConsoleCursorInfo", output);
    if (!mc)
        return FALSE;
    if (!info)
        return WinConsoleFail(ERROR_INVALID_PARAMETER);
    info->dwSize = mc->cursorSize;
    info->bVisible = mc->cursorVisible ? TRUE : FALSE;
    return TRUE;
}

BOOL SetConsoleCursorInfo(HANDLE output, const CONSOLE_CURSOR_INFO *info)
{
    MemConsole *mc = WinConsoleEnterOutput("SetConsoleCursorInfo", output);
    if (!mc)
        return FALSE;
    if (!info)
        return WinConsoleFail(ERROR_INVALID_PARAMETER);
    return WinConsoleFinish(MemSetCursorInfo(mc, info->dwSize, info->bVisible != FALSE));
}

BOOL WriteConsoleA(HANDLE output, const void *buffer, DWORD length, LPDWORD written, LPVOID)
{
    MemConsole *mc = WinConsoleEnterOutput("WriteConsoleA", output);
    if (!mc)
        return FALSE;
    if ((length > 0 && !buffer) || length > LongestWrite)
        return WinConsoleFail(ERROR_INVALID_PARAMETER);
    DWORD count = MemWrite(mc, static_cast<const unsigned char *>(buffer), length);
    if (written)
        *written = count;
    return WinConsoleFinish(ERROR_SUCCESS);
}

BOOL FillConsoleOutputCharacterA(HANDLE output, CHAR character, DWORD length, COORD start,
                                 LPDWORD written)
{
    MemConsole *mc = WinConsoleEnterOutput("FillConsoleOutputCharacterA", output);
    if (!mc)
        return FALSE;
    DWORD count = MemFillChar(mc, static_cast<unsigned char>(character), length, start);
    if (written)
        *written = count;
    return WinConsoleFinish(ERROR_SUCCESS);
}

BOOL FillConsoleOutputAttribute(HANDLE output, WORD attribute, DWORD length, COORD start,
                                LPDWORD written)
{
    MemConsole *mc = WinConsoleEnterOutput("FillConsoleOutputAttribute", output);
    if (!mc)
        return FALSE;
    DWORD count = MemFillAttr(mc, attribute, length, start);
    if (written)
        *written = count;
    return WinConsoleFinish(ERROR_SUCCESS);
}

BOOL ScrollConsoleScreenBufferA(HANDLE output, const SMALL_RECT *scroll, const SMALL_RECT *clip,
                                COORD destination, const CHAR_INFO *fill)
{
    MemConsole *mc = WinConsoleEnterOutput("ScrollConsoleScreenBufferA", output);
    if (!mc)
        return FALSE;
    if (!scroll || !fill)
        return WinConsoleFail(ERROR_INVALID_PARAMETER);
    return WinConsoleFinish(MemScroll(mc, *scroll, clip, destination, *fill));
}

BOOL ReadConsoleOutputA(HANDLE output, CHAR_INFO *buffer, COORD bufferSize, COORD bufferCoord,
                        SMALL_RECT *readRegion)
{
    MemConsole *mc = WinConsoleEnterOutput("ReadConsoleOutputA", output);
    if (!mc)
        return FALSE;
    if (!buffer || !readRegion)
        return WinConsoleFail(ERROR_INVALID_PARAMETER);
    DWORD error = MemReadOutput(mc, buffer, bufferSize, bufferCoord, readRegion);
    return error == ERROR_SUCCESS ? TRUE : WinConsoleFail(error);
}

/* -------------------------------------------------------------- Sizing */

COORD GetLargestConsoleWindowSize(HANDLE output)
{
    MemConsole *mc = WinConsoleEnterOutput("GetLargestConsoleWindowSize", output);
    if (!mc)
        return COORD{0, 0};
    return mc->largest;
}

/* A terminal cannot be resized by the program: there the size stays as it
   is and the call succeeds, so window fitting goes on without a report.
   A resizable screen (the headless one) is sized as a console window is. */
BOOL SetConsoleScreenBufferSize(HANDLE output, COORD size)
{
    MemConsole *mc = WinConsoleEnterOutput("SetConsoleScreenBufferSize", output);
    if (!mc)
        return FALSE;
    if (!WinConsole.resizable)
        return TRUE;
    return WinConsoleFinish(MemSetBufferSize(mc, size.X, size.Y));
}

BOOL SetConsoleWindowInfo(HANDLE output, BOOL absolute, const SMALL_RECT *window)
{
    MemConsole *mc = WinConsoleEnterOutput("SetConsoleWindowInfo", output);
    if (!mc)
        return FALSE;
    if (!window)
        return WinConsoleFail(ERROR_INVALID_PARAMETER);
    if (!WinConsole.resizable)
        return TRUE;
    return WinConsoleFinish(MemSetWindow(mc, absolute != FALSE, *window));
}

/* --------------------------------------------------------------- Input */

/* Modes: the input mode on the input handle, the output mode on the output. */
static DWORD *WinConsoleModeOf(HANDLE handle)
{
    if (!WinConsole.attached ||
        (handle != WinConsoleStdInputHandle() && handle != WinConsoleStdOutputHandle())) {
        WinConsoleFail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return handle == WinConsoleStdInputHandle() ? &WinConsole.console.inputMode
                                                : &WinConsole.console.outputMode;
}

BOOL GetConsoleMode(HANDLE handle, LPDWORD mode)
{
    if (!WinConsoleEnter("GetConsoleMode"))
        return FALSE;
    DWORD *current = WinConsoleModeOf(handle);
    if (!current)
        return FALSE;
    if (!mode)
        return WinConsoleFail(ERROR_INVALID_PARAMETER);
    *mode = *current;
    return TRUE;
}

BOOL SetConsoleMode(HANDLE handle, DWORD mode)
{
    if (!WinConsoleEnter("SetConsoleMode"))
        return FALSE;
    DWORD *current = WinConsoleModeOf(handle);
    if (!current)
        return FALSE;
    *current = mode;
    return TRUE;
}

/* Ctrl-L, which repaints the screen, as in every full-screen program. */
static bool WinConsoleIsRepaintKey(const INPUT_RECORD &record)
{
    return record.EventType == KEY_EVENT && record.Event.KeyEvent.uChar.AsciiChar == KeyRepaint;
}

void WinConsoleDecodeBytes(MemConsole *mc, const unsigned char *bytes, int count, int elapsed)
{
    std::vector<INPUT_RECORD> &records = WinConsole.decodedRecords;
    records.clear();
    if (count > 0)
        KeyDecoderFeed(WinConsole.keyDecoder, reinterpret_cast<const char *>(bytes),
                       static_cast<size_t>(count), elapsed, records);
    else
        KeyDecoderIdle(WinConsole.keyDecoder, elapsed, records);
    for (const INPUT_RECORD &record : records) {
        if (!WinConsoleIsRepaintKey(record))
            mc->input.push_back(record);
        else if (record.Event.KeyEvent.bKeyDown)
            DriverForgetScreen(); /* shown at the next present, which a key wait makes at once */
    }
}

/* Decodes what the driver gave (or, with no bytes, the pause) into the input queue. */
static void WinConsoleDecodeInput(MemConsole *mc, const unsigned char *bytes, int count)
{
    long now = DriverNowMs();
    int elapsed = static_cast<int>(std::min(now - WinConsole.lastInputMs, 1000000L));
    WinConsole.lastInputMs = now;
    WinConsoleDecodeBytes(mc, bytes, count, elapsed);
}

/* The most bytes one look takes in; more wait for the next look. */
const int TakeMax = 16384;

/* Reads bytes, waiting at most timeoutMs (negative: no limit), and decodes them; their
   count, 0 when none came, -1 at the end of input. */
static int WinConsoleReadAndDecode(MemConsole *mc, int timeoutMs)
{
    unsigned char bytes[256];
    int count = DriverReadBytes(bytes, sizeof bytes, timeoutMs);
    if (count >= 0)
        WinConsoleDecodeInput(mc, bytes, count);
    return count;
}

/*
 * Takes in what the driver has so far, without waiting for more keys.  The
 * decoder tells a lone ESC or a broken sequence by the pause after it, and
 * the program may not look again for seconds (a marble rolls), a pause the
 * terminal never made: so no look ends with the start of a sequence read
 * and its rest left unread.  The rest is waited for as long as the decoder
 * would wait for it (50 ms after an ESC), and no longer.  -1 at the end of
 * input.
 */
static int WinConsoleTakeWaitingBytes(MemConsole *mc)
{
    for (int taken = 0; taken < TakeMax;) {
        int count = WinConsoleReadAndDecode(mc, 0);
        if (count == 0) {
            int rest = KeyDecoderWaitMs(WinConsole.keyDecoder);
            if (rest < 0)
                return 0;
            /* The rest of the sequence, or the pause that ends it. */
            count = WinConsoleReadAndDecode(mc, rest);
        }
        if (count < 0)
            return -1;
        taken += count;
    }
    return 0;
}

/* A look for keys, which never waits for one; at the end of input it finds ESC. */
static void WinConsoleLookForInput(MemConsole *mc)
{
    if (WinConsoleTakeWaitingBytes(mc) < 0)
        MemPushKey(mc, KeyEscape, KeyEscape);
}

/*
 * Waits until the input queue holds a record.  The console is shown first,
 * and again after a resize or a resume cut the wait short.  Bytes that begin
 * a key are followed by the rest of what came, so that no key is left half
 * read.  At the end of input the wait ends with the ESC key, so that every
 * wait of the program ends.
 */
static void WinConsoleWaitForInput(MemConsole *mc)
{
    while (mc->input.empty()) {
        WinConsolePresent(); /* may queue a size event */
        if (!mc->input.empty())
            return;
        int count = WinConsoleReadAndDecode(mc, KeyDecoderWaitMs(WinConsole.keyDecoder));
        if (count > 0)
            count = WinConsoleTakeWaitingBytes(mc);
        if (count < 0)
            MemPushKey(mc, KeyEscape, KeyEscape);
    }
}

BOOL ReadConsoleInputA(HANDLE input, INPUT_RECORD *buffer, DWORD length, LPDWORD read)
{
    MemConsole *mc = WinConsoleEnterInput("ReadConsoleInputA", input);
    if (!mc)
        return FALSE;
    if (length > 0 && !buffer)
        return WinConsoleFail(ERROR_INVALID_PARAMETER);
    DWORD count = 0;
    if (length > 0) {
        WinConsoleWaitForInput(mc);
        count = MemTakeInput(mc, buffer, length, true);
    }
    if (read)
        *read = count;
    return TRUE;
}

BOOL PeekConsoleInputA(HANDLE input, INPUT_RECORD *buffer, DWORD length, LPDWORD read)
{
    MemConsole *mc = WinConsoleEnterInput("PeekConsoleInputA", input);
    if (!mc)
        return FALSE;
    if (length > 0 && !buffer)
        return WinConsoleFail(ERROR_INVALID_PARAMETER);
    WinConsolePresent(); /* a look for keys is a wait too: the machine looks between its marbles */
    WinConsoleLookForInput(mc);
    DWORD count = MemTakeInput(mc, buffer, length, false);
    if (read)
        *read = count;
    return TRUE;
}

BOOL GetNumberOfConsoleInputEvents(HANDLE input, LPDWORD count)
{
    MemConsole *mc = WinConsoleEnterInput("GetNumberOfConsoleInputEvents", input);
    if (!mc)
        return FALSE;
    if (!count)
        return WinConsoleFail(ERROR_INVALID_PARAMETER);
    WinConsolePresent();
    WinConsoleLookForInput(mc);
    *count = static_cast<DWORD>(mc->input.size());
    return TRUE;
}

BOOL WriteConsoleInputA(HANDLE input, const INPUT_RECORD *buffer, DWORD length, LPDWORD written)
{
    MemConsole *mc = WinConsoleEnterInput("WriteConsoleInputA", input);
    if (!mc)
        return FALSE;
    if (length > 0 && !buffer)
        return WinConsoleFail(ERROR_INVALID_PARAMETER);
    mc->input.insert(mc->input.end(), buffer, buffer + length);
    if (written)
        *written = length;
    return TRUE;
}

/* Reads the characters of key presses, returning once at least one came. */
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD length, LPDWORD read, void *)
{
    MemConsole *mc = WinConsoleEnterInput("ReadFile", file);
    if (!mc)
        return FALSE;
    if (length > 0 && !buffer)
        return WinConsoleFail(ERROR_INVALID_PARAMETER);
    DWORD count = 0;
    while (length > 0 && count == 0) {
        count = MemTakeChars(mc, static_cast<unsigned char *>(buffer), length);
        if (count == 0)
            WinConsoleWaitForInput(mc);
    }
    if (read)
        *read = count;
    return TRUE;
}

/* --------------------------------------------------------------- Waits */

/* The program waits: the console is shown first, then the time passes. */
void Sleep(DWORD milliseconds)
{
    WinConsoleEnter("Sleep");
    WinConsolePresent();
    DriverSleepMs(static_cast<int>(std::min<DWORD>(milliseconds, INT_MAX)));
}

/* Output is held back until the program waits; this shows it at once. */
BOOL FlushFileBuffers(HANDLE file)
{
    if (!WinConsoleEnterOutput("FlushFileBuffers", file))
        return FALSE;
    WinConsolePresent();
    return TRUE;
}

/* -------------------------------------------------------------- Errors */

DWORD GetLastError(void)
{
    return WinConsole.lastError;
}

void SetLastError(DWORD error)
{
    WinConsole.lastError = error;
}

/* Our wording for the errors these calls produce; empty for any other code. */
static std::string WinConsoleErrorText(DWORD code)
{
    switch (code) {
    case ErrorNoTerminal:
        return "no terminal to play in: standard input, standard output and the controlling "
               "terminal are not terminals (zop --lines plays in lines of text without one)";
    case ErrorTermUnset:
        return "TERM is not set, so the kind of terminal is not known: set it to the "
               "terminal's name (such as xterm-256color), or play in lines of text: zop --lines";
    case ErrorTermCannotAddress: {
        const char *term = std::getenv("TERM");
        return std::string("the terminal TERM=") + (term ? term : "") +
               " cannot place the cursor as the game does (with ANSI sequences): play in one that "
               "can, or in lines of text: zop --lines";
    }
    case ERROR_FILE_NOT_FOUND:
        return "There is no console device of that name.";
    case ERROR_ACCESS_DENIED:
        return "The console refused access; the program already has one.";
    case ERROR_INVALID_HANDLE:
        return "The console handle is not valid.";
    case ERROR_NOT_ENOUGH_MEMORY:
        return "There is not enough memory for a console that large.";
    case ERROR_INVALID_PARAMETER:
        return "A parameter given to the console was not valid.";
    case ERROR_INSUFFICIENT_BUFFER:
        return "The buffer is too small for the text.";
    case ERROR_MR_MID_NOT_FOUND:
        return "There is no text for that message number.";
    default:
        return "";
    }
}

/*
 * Lays a message out as the width bits of FormatMessageA ask.  The stored
 * message ends in a line break.  Width 0 keeps it as "\r\n".  Any other width
 * turns it into a space; width 0xFF stops there, a smaller width then breaks
 * the text into lines of at most that many characters at spaces ("\r\n"),
 * never inside a word, so only a longer word makes a longer line.
 */
static std::string WinConsoleLayOutMessage(const std::string &text, DWORD width)
{
    if (width == 0)
        return text + "\r\n";
    if (width == FORMAT_MESSAGE_MAX_WIDTH_MASK)
        return text + " ";
    std::string laidOut;
    size_t lineLength = 0;
    for (const char *word = text.c_str(); *word;) {
        size_t length = std::strcspn(word, " ");
        if (lineLength > 0 && lineLength + 1 + length > width) {
            laidOut += "\r\n";
            lineLength = 0;
        } else if (lineLength > 0) {
            laidOut += ' ';
            lineLength++;
        }
        laidOut.append(word, length);
        lineLength += length;
        word += length + std::strspn(word + length, " ");
    }
    if (lineLength < width)
        laidOut += ' ';
    return laidOut;
}

/*
 * The system's text for an error code, for FORMAT_MESSAGE_FROM_SYSTEM only.
 * With FORMAT_MESSAGE_ALLOCATE_BUFFER, buffer receives a text allocated for
 * LocalFree (of at least size bytes); else the text goes into buffer.
 * Returns its length without the NUL, or 0 with no text.
 */
DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD size,
                     va_list *)
{
    if (!WinConsoleEnter("FormatMessageA"))
        return 0;
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || !buffer)
        return WinConsoleFail(ERROR_INVALID_PARAMETER);
    std::string text = WinConsoleErrorText(messageId);
    if (text.empty())
        return WinConsoleFail(ERROR_MR_MID_NOT_FOUND);
    std::string message = WinConsoleLayOutMessage(text, flags & FORMAT_MESSAGE_MAX_WIDTH_MASK);
    char *target = buffer;
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        target = static_cast<char *>(std::malloc(std::max<size_t>(message.size() + 1, size)));
        if (!target)
            return WinConsoleFail(ERROR_NOT_ENOUGH_MEMORY);
        *reinterpret_cast<char **>(buffer) = target;
    } else if (message.size() + 1 > size) {
        return WinConsoleFail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(target, message.c_str(), message.size() + 1);
    return static_cast<DWORD>(message.size());
}

HLOCAL LocalFree(HLOCAL memory)
{
    if (!WinConsoleEnter("LocalFree"))
        return memory;
    std::free(memory);
    return nullptr;
}

/* ------------------------------------------------ Beyond the Win32 calls */

/* Only before the first call: the console is shown one way for the whole run. */
int PlatformShowLines(void)
{
    return WinConsole.opened ? 0 : DriverShowLines();
}

void PlatformAnnounce(int channel, const char *text)
{
    if (WinConsole.attached && text != nullptr)
        DriverAnnounce(channel, text);
}
