/*
 * The Win32 console calls on POSIX, over one program-wide in-memory console.
 * The console is either headless (tests) or shown on the terminal, which the
 * first call finds on its own; without a terminal there is no console.
 */
#include "console/posix/winconsole.h"

#include "console/posix/platformstate.h"
#include "console/posix/terminal.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <strings.h>
#include <time.h>
#include <vector>

namespace {

/* Error codes beyond those of the header, produced here only. */
const DWORD ERROR_FILE_NOT_FOUND = 2;
const DWORD ERROR_INSUFFICIENT_BUFFER = 122;
const DWORD ERROR_MR_MID_NOT_FOUND = 317;
const DWORD STD_ERROR_HANDLE_ID = static_cast<DWORD>(-12);
/* A write this long was a negative length; reading it would run off the text. */
const DWORD LONGEST_WRITE = 0x7FFFFFFF;
/* Why there is no console at all: codes of our own, with the customer bit (29) set. */
const DWORD ERROR_NO_TERMINAL = 0x20000001;
const DWORD ERROR_TERM_UNSET = 0x20000002;
const DWORD ERROR_TERM_CANNOT_ADDRESS = 0x20000003;

} // namespace

PlatformState Platform; /* zero: unprobed, detached */

/* ------------------------------------------------------------- Helpers */

static HANDLE InputHandle(void)
{
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(0x13));
}

static HANDLE OutputHandle(void)
{
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(0x17));
}

static void PresentAtExit(void);

/* Finds the terminal on first use: its size becomes the buffer's. */
static void Probe(void)
{
    if (Platform.kind != PLATFORM_UNPROBED)
        return;
    int columns = 0;
    int rows = 0;
    COORD cursor = {0, 0};
    int found = TermOpen(&columns, &rows, &cursor);
    if (found != TERM_OPENED) {
        Platform.kind = PLATFORM_NONE;
        Platform.unavailable = found == TERM_NAME_UNSET       ? ERROR_TERM_UNSET
                               : found == TERM_CANNOT_ADDRESS ? ERROR_TERM_CANNOT_ADDRESS
                                                              : ERROR_NO_TERMINAL;
        return;
    }
    Platform.kind = PLATFORM_TERMINAL;
    Platform.attached = true;
    std::atexit(PresentAtExit); /* registered after the driver's restore, so it runs before it */
    KeyDecoderReset(Platform.keys);
    KeyDecoderSetCharset(Platform.keys, TermKeyCharset());
    Platform.lastInputMs = TermNowMs();
    MemReset(&Platform.console, columns, rows, columns, rows);
    MemSetCursor(&Platform.console, cursor.X, cursor.Y);
}

/* Counts a call and plays an injected failure: false when the call is to
   fail, with the error set and nothing else changed. */
static bool Enter(const char *call)
{
    Probe();
    Platform.calls[call]++;
    if (Platform.failCall.empty() || Platform.failCall != call)
        return true;
    Platform.failCall.clear();
    Platform.lastError = Platform.failError;
    return false;
}

static BOOL Fail(DWORD error)
{
    Platform.lastError = error;
    return FALSE;
}

/* The console behind an output handle, or null with error 6. */
static MemConsole *OutputConsole(HANDLE handle)
{
    if (!Platform.attached || handle != OutputHandle()) {
        Fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &Platform.console;
}

static MemConsole *InputConsole(HANDLE handle)
{
    if (!Platform.attached || handle != InputHandle()) {
        Fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &Platform.console;
}

/* Starts a call on an output handle: the console behind it, or null when the call fails. */
static MemConsole *EnterOutput(const char *call, HANDLE handle)
{
    return Enter(call) ? OutputConsole(handle) : nullptr;
}

/* Starts a call on an input handle: the console behind it, or null when the call fails. */
static MemConsole *EnterInput(const char *call, HANDLE handle)
{
    return Enter(call) ? InputConsole(handle) : nullptr;
}


/*
 * Takes in what happened to the terminal: after a resize or a resume the
 * whole picture is shown again.  While the program asks for size events
 * (ENABLE_WINDOW_INPUT), the buffer follows the terminal's new size and a
 * size event is queued; otherwise the buffer keeps its size and the
 * terminal shows what fits of it.
 */
static void FollowTerminal(void)
{
    int columns = 0, rows = 0;
    int events = TermTakeEvents(&columns, &rows);
    MemConsole *mc = &Platform.console;
    if ((events & TERM_RESIZED) && (mc->inputMode & ENABLE_WINDOW_INPUT) &&
        (columns != mc->width || rows != mc->height)) {
        /* The window shrinks before the buffer and grows after it, as the console's rules want. */
        mc->largest = COORD{static_cast<SHORT>(columns), static_cast<SHORT>(rows)};
        SMALL_RECT corner = {0, 0, 0, 0};
        MemSetWindow(mc, true, corner);
        MemSetBufferSize(mc, columns, rows);
        SMALL_RECT whole = {0, 0, static_cast<SHORT>(columns - 1), static_cast<SHORT>(rows - 1)};
        MemSetWindow(mc, true, whole);
        INPUT_RECORD size = {};
        size.EventType = WINDOW_BUFFER_SIZE_EVENT;
        size.Event.WindowBufferSizeEvent.dwSize = COORD{static_cast<SHORT>(mc->width),
                                                        static_cast<SHORT>(mc->height)};
        mc->input.push_back(size);
    }
    if (events != 0 && Platform.attached)
        TermPresent(mc);
}

/*
 * Shows the console on the terminal, when there is one.  Called only where
 * the program is about to wait (for a key, the step delay, a report's key)
 * or hands the terminal back: all it drew since the last wait goes out in
 * one write, and a cell changed and changed back meanwhile sends nothing.
 */
static void Present(void)
{
    if (Platform.kind == PLATFORM_HEADLESS && Platform.presentHook != nullptr)
        Platform.presentHook(&Platform.console);
    /* A console found on the terminal and not drawn on is the shell's screen: left as it is. */
    if (Platform.kind != PLATFORM_TERMINAL || !Platform.attached || !Platform.drawn)
        return;
    FollowTerminal();
    TermPresent(&Platform.console);
}

/* The console is shown once more before the terminal is handed back at exit. */
static void PresentAtExit(void)
{
    Present();
}

/* Ends an output call: FALSE with the error, or TRUE (nothing is shown before the next wait). */
static BOOL Finish(DWORD error)
{
    if (error != ERROR_SUCCESS)
        return Fail(error);
    Platform.drawn = true;
    if (Platform.kind == PLATFORM_HEADLESS && Platform.outputHook != nullptr)
        Platform.outputHook(&Platform.console);
    return TRUE;
}

/* ------------------------------------------------------------- Handles */

HANDLE GetStdHandle(DWORD nStdHandle)
{
    if (!Enter("GetStdHandle"))
        return INVALID_HANDLE_VALUE;
    if (!Platform.attached) {
        Fail(Platform.kind == PLATFORM_NONE ? Platform.unavailable : ERROR_INVALID_HANDLE);
        return INVALID_HANDLE_VALUE;
    }
    if (nStdHandle == STD_INPUT_HANDLE)
        return InputHandle();
    if (nStdHandle == STD_OUTPUT_HANDLE || nStdHandle == STD_ERROR_HANDLE_ID)
        return OutputHandle();
    Fail(ERROR_INVALID_HANDLE);
    return INVALID_HANDLE_VALUE;
}

/* Opens the console devices "CONIN$" and "CONOUT$"; there are no files. */
HANDLE CreateFileA(LPCSTR name, DWORD, DWORD, void *, DWORD, DWORD, HANDLE)
{
    if (!Enter("CreateFileA"))
        return INVALID_HANDLE_VALUE;
    if (!name) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    bool input = strcasecmp(name, "CONIN$") == 0;
    bool output = strcasecmp(name, "CONOUT$") == 0;
    if (!input && !output) {
        Fail(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (!Platform.attached) {
        Fail(ERROR_INVALID_HANDLE);
        return INVALID_HANDLE_VALUE;
    }
    return input ? InputHandle() : OutputHandle();
}

BOOL CloseHandle(HANDLE handle)
{
    if (!Enter("CloseHandle"))
        return FALSE;
    if (handle != InputHandle() && handle != OutputHandle())
        return Fail(ERROR_INVALID_HANDLE);
    return TRUE;
}

/* ------------------------------------------------------------- Console */

/* A new console: on the terminal, its alternate screen, painted blank. */
BOOL AllocConsole(void)
{
    if (!Enter("AllocConsole"))
        return FALSE;
    if (Platform.attached)
        return Fail(ERROR_ACCESS_DENIED);
    if (Platform.kind == PLATFORM_NONE)
        return Fail(ERROR_INVALID_HANDLE);
    if (Platform.kind == PLATFORM_TERMINAL && !TermEnterScreen())
        return Fail(ERROR_INVALID_HANDLE);
    MemConsole *mc = &Platform.console;
    MemReset(mc, mc->width, mc->height, mc->largest.X, mc->largest.Y);
    Platform.attached = true;
    return Finish(ERROR_SUCCESS);
}

/* Lets the console go: on the terminal every setting made is undone. */
BOOL FreeConsole(void)
{
    if (!Enter("FreeConsole"))
        return FALSE;
    if (!Platform.attached)
        return Fail(ERROR_INVALID_HANDLE);
    Present();
    if (Platform.kind == PLATFORM_TERMINAL)
        TermRestore();
    Platform.attached = false;
    Platform.drawn = false;
    return TRUE;
}

BOOL SetConsoleTitleA(LPCSTR title)
{
    if (!Enter("SetConsoleTitleA"))
        return FALSE;
    if (!Platform.attached)
        return Fail(ERROR_INVALID_HANDLE);
    if (!title)
        return Fail(ERROR_INVALID_PARAMETER);
    Platform.console.title = title;
    if (Platform.kind == PLATFORM_TERMINAL)
        TermSetTitle(Platform.console.title);
    return TRUE;
}

/* -------------------------------------------------------------- Output */

BOOL GetConsoleScreenBufferInfo(HANDLE output, CONSOLE_SCREEN_BUFFER_INFO *info)
{
    MemConsole *mc = EnterOutput("GetConsoleScreenBufferInfo", output);
    if (!mc)
        return FALSE;
    if (!info)
        return Fail(ERROR_INVALID_PARAMETER);
    MemGetInfo(mc, info);
    return TRUE;
}

BOOL SetConsoleTextAttribute(HANDLE output, WORD attributes)
{
    MemConsole *mc = EnterOutput("SetConsoleTextAttribute", output);
    if (!mc)
        return FALSE;
    mc->attribute = attributes;
    return TRUE;
}

BOOL SetConsoleCursorPosition(HANDLE output, COORD position)
{
    MemConsole *mc = EnterOutput("SetConsoleCursorPosition", output);
    if (!mc)
        return FALSE;
    return Finish(MemSetCursor(mc, position.X, position.Y));
}

BOOL GetConsoleCursorInfo(HANDLE output, CONSOLE_CURSOR_INFO *info)
{
    MemConsole *mc = EnterOutput("GetConsoleCursorInfo", output);
    if (!mc)
        return FALSE;
    if (!info)
        return Fail(ERROR_INVALID_PARAMETER);
    info->dwSize = mc->cursorSize;
    info->bVisible = mc->cursorVisible ? TRUE : FALSE;
    return TRUE;
}

BOOL SetConsoleCursorInfo(HANDLE output, const CONSOLE_CURSOR_INFO *info)
{
    MemConsole *mc = EnterOutput("SetConsoleCursorInfo", output);
    if (!mc)
        return FALSE;
    if (!info)
        return Fail(ERROR_INVALID_PARAMETER);
    return Finish(MemSetCursorInfo(mc, info->dwSize, info->bVisible != FALSE));
}

BOOL WriteConsoleA(HANDLE output, const void *buffer, DWORD length, LPDWORD written, LPVOID)
{
    MemConsole *mc = EnterOutput("WriteConsoleA", output);
    if (!mc)
        return FALSE;
    if ((length > 0 && !buffer) || length > LONGEST_WRITE)
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD count = MemWrite(mc, static_cast<const unsigned char *>(buffer), length);
    if (written)
        *written = count;
    return Finish(ERROR_SUCCESS);
}

BOOL FillConsoleOutputCharacterA(HANDLE output, CHAR character, DWORD length, COORD start,
                                 LPDWORD written)
{
    MemConsole *mc = EnterOutput("FillConsoleOutputCharacterA", output);
    if (!mc)
        return FALSE;
    DWORD count = MemFillChar(mc, static_cast<unsigned char>(character), length, start);
    if (written)
        *written = count;
    return Finish(ERROR_SUCCESS);
}

BOOL FillConsoleOutputAttribute(HANDLE output, WORD attribute, DWORD length, COORD start,
                                LPDWORD written)
{
    MemConsole *mc = EnterOutput("FillConsoleOutputAttribute", output);
    if (!mc)
        return FALSE;
    DWORD count = MemFillAttr(mc, attribute, length, start);
    if (written)
        *written = count;
    return Finish(ERROR_SUCCESS);
}

BOOL ScrollConsoleScreenBufferA(HANDLE output, const SMALL_RECT *scroll, const SMALL_RECT *clip,
                                COORD destination, const CHAR_INFO *fill)
{
    MemConsole *mc = EnterOutput("ScrollConsoleScreenBufferA", output);
    if (!mc)
        return FALSE;
    if (!scroll || !fill)
        return Fail(ERROR_INVALID_PARAMETER);
    return Finish(MemScroll(mc, *scroll, clip, destination, *fill));
}

BOOL ReadConsoleOutputA(HANDLE output, CHAR_INFO *buffer, COORD bufferSize, COORD bufferCoord,
                        SMALL_RECT *readRegion)
{
    MemConsole *mc = EnterOutput("ReadConsoleOutputA", output);
    if (!mc)
        return FALSE;
    if (!buffer || !readRegion)
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD error = MemReadOutput(mc, buffer, bufferSize, bufferCoord, readRegion);
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

/* -------------------------------------------------------------- Sizing */

COORD GetLargestConsoleWindowSize(HANDLE output)
{
    MemConsole *mc = EnterOutput("GetLargestConsoleWindowSize", output);
    if (!mc)
        return COORD{0, 0};
    return mc->largest;
}

/* A terminal cannot be resized by the program: there the size stays as it
   is and the call succeeds, so window fitting goes on without a report. */
BOOL SetConsoleScreenBufferSize(HANDLE output, COORD size)
{
    MemConsole *mc = EnterOutput("SetConsoleScreenBufferSize", output);
    if (!mc)
        return FALSE;
    if (Platform.kind == PLATFORM_TERMINAL)
        return TRUE;
    return Finish(MemSetBufferSize(mc, size.X, size.Y));
}

BOOL SetConsoleWindowInfo(HANDLE output, BOOL absolute, const SMALL_RECT *window)
{
    MemConsole *mc = EnterOutput("SetConsoleWindowInfo", output);
    if (!mc)
        return FALSE;
    if (!window)
        return Fail(ERROR_INVALID_PARAMETER);
    if (Platform.kind == PLATFORM_TERMINAL)
        return TRUE;
    return Finish(MemSetWindow(mc, absolute != FALSE, *window));
}

/* --------------------------------------------------------------- Input */

/* Modes: the input mode on the input handle, the output mode on the output. */
static DWORD *ModeOf(HANDLE handle)
{
    if (!Platform.attached || (handle != InputHandle() && handle != OutputHandle())) {
        Fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return handle == InputHandle() ? &Platform.console.inputMode : &Platform.console.outputMode;
}

BOOL GetConsoleMode(HANDLE handle, LPDWORD mode)
{
    if (!Enter("GetConsoleMode"))
        return FALSE;
    DWORD *current = ModeOf(handle);
    if (!current)
        return FALSE;
    if (!mode)
        return Fail(ERROR_INVALID_PARAMETER);
    *mode = *current;
    return TRUE;
}

BOOL SetConsoleMode(HANDLE handle, DWORD mode)
{
    if (!Enter("SetConsoleMode"))
        return FALSE;
    DWORD *current = ModeOf(handle);
    if (!current)
        return FALSE;
    *current = mode;
    return TRUE;
}

/* Lets a headless test type keys at the moment the program waits for one. */
static bool AskKeySource(MemConsole *mc, bool programWaits)
{
    if (Platform.keySource != nullptr)
        Platform.keySource(programWaits);
    return !mc->input.empty();
}

void DecodeBytes(MemConsole *mc, const unsigned char *bytes, int count, int elapsed)
{
    std::vector<INPUT_RECORD> &records = Platform.decoded;
    records.clear();
    if (count > 0)
        KeyDecoderFeed(Platform.keys, reinterpret_cast<const char *>(bytes),
                       static_cast<size_t>(count), elapsed, records);
    else
        KeyDecoderIdle(Platform.keys, elapsed, records);
    mc->input.insert(mc->input.end(), records.begin(), records.end());
}

/* Decodes what the terminal sent (or, with no bytes, the pause) into the input queue. */
static void DecodeInput(MemConsole *mc, const unsigned char *bytes, int count)
{
    long now = TermNowMs();
    int elapsed = static_cast<int>(std::min(now - Platform.lastInputMs, 1000000L));
    Platform.lastInputMs = now;
    DecodeBytes(mc, bytes, count, elapsed);
}

/* The most bytes one look at the terminal takes in; more wait for the next look. */
const int TAKE_MAX = 16384;

/* Reads bytes, waiting at most timeoutMs (negative: no limit), and decodes them; their
   count, 0 when none came, -1 at the end of input. */
static int ReadAndDecode(MemConsole *mc, int timeoutMs)
{
    unsigned char bytes[256];
    int count = TermReadBytes(bytes, sizeof bytes, timeoutMs);
    if (count < 0) {
        Platform.inputEnded = true;
        return -1;
    }
    DecodeInput(mc, bytes, count);
    return count;
}

/*
 * Takes in what the terminal has sent so far, without waiting for more keys.
 * The decoder tells a lone ESC or a broken sequence by the pause after it,
 * and the program may not look again for seconds (a marble rolls), a pause
 * the terminal never made: so no look ends with the start of a sequence
 * read and its rest left unread.  The rest is waited for as long as the
 * decoder would wait for it (50 ms after an ESC), and no longer.
 */
static void TakeWaitingBytes(MemConsole *mc)
{
    for (int taken = 0; taken < TAKE_MAX;) {
        int count = ReadAndDecode(mc, 0);
        if (count == 0) {
            int rest = KeyDecoderWaitMs(Platform.keys);
            if (rest < 0)
                return;
            count = ReadAndDecode(mc, rest); /* the rest of the sequence, or the pause that ends it */
        }
        if (count < 0)
            return;
        taken += count;
    }
}

/*
 * The one place where the input queue is refilled: called when it has run
 * dry (wait set: a read must wait) or when a peek looks for what is there
 * (wait clear: never waits for a key).  A read that must wait shows the
 * console first.  Headless there is nothing more to come than what a test's
 * key source types, so a read that would wait gets the ESC key instead:
 * every wait of the program ends.  On the terminal it takes in the bytes
 * that came and, for a read, waits without a timeout until a key is whole;
 * end of input gives ESC at every read from then on.  A signal wakes the
 * wait, so that a resize or a resume is shown at once.
 */
static void FetchInput(MemConsole *mc, bool wait)
{
    if (Platform.kind != PLATFORM_TERMINAL) {
        if (wait)
            Present();
        if (!AskKeySource(mc, wait) && wait)
            MemPushKey(mc, 27, VK_ESCAPE);
        return;
    }
    for (;;) {
        FollowTerminal(); /* may queue a size event */
        if (Platform.inputEnded) {
            MemPushKey(mc, 27, VK_ESCAPE);
            return;
        }
        TakeWaitingBytes(mc);
        if (Platform.inputEnded)
            continue;
        if (!wait || !mc->input.empty())
            return;
        Present();
        ReadAndDecode(mc, -1);
    }
}

BOOL ReadConsoleInputA(HANDLE input, INPUT_RECORD *buffer, DWORD length, LPDWORD read)
{
    MemConsole *mc = EnterInput("ReadConsoleInputA", input);
    if (!mc)
        return FALSE;
    if (length > 0 && !buffer)
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD count = 0;
    if (length > 0) {
        while (mc->input.empty())
            FetchInput(mc, true);
        count = MemTakeInput(mc, buffer, length, true);
    }
    if (read)
        *read = count;
    return TRUE;
}

BOOL PeekConsoleInputA(HANDLE input, INPUT_RECORD *buffer, DWORD length, LPDWORD read)
{
    MemConsole *mc = EnterInput("PeekConsoleInputA", input);
    if (!mc)
        return FALSE;
    if (length > 0 && !buffer)
        return Fail(ERROR_INVALID_PARAMETER);
    Present(); /* a look for keys is a wait too: the machine looks between its marbles */
    FetchInput(mc, false);
    DWORD count = MemTakeInput(mc, buffer, length, false);
    if (read)
        *read = count;
    return TRUE;
}

BOOL GetNumberOfConsoleInputEvents(HANDLE input, LPDWORD count)
{
    MemConsole *mc = EnterInput("GetNumberOfConsoleInputEvents", input);
    if (!mc)
        return FALSE;
    if (!count)
        return Fail(ERROR_INVALID_PARAMETER);
    Present();
    FetchInput(mc, false);
    *count = static_cast<DWORD>(mc->input.size());
    return TRUE;
}

BOOL WriteConsoleInputA(HANDLE input, const INPUT_RECORD *buffer, DWORD length,
                        LPDWORD written)
{
    MemConsole *mc = EnterInput("WriteConsoleInputA", input);
    if (!mc)
        return FALSE;
    if (length > 0 && !buffer)
        return Fail(ERROR_INVALID_PARAMETER);
    mc->input.insert(mc->input.end(), buffer, buffer + length);
    if (written)
        *written = length;
    return TRUE;
}

/* Reads the characters of key presses, returning once at least one came. */
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD length, LPDWORD read, void *)
{
    MemConsole *mc = EnterInput("ReadFile", file);
    if (!mc)
        return FALSE;
    if (length > 0 && !buffer)
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD count = 0;
    while (length > 0 && count == 0) {
        count = MemTakeChars(mc, static_cast<unsigned char *>(buffer), length);
        if (count == 0)
            FetchInput(mc, true);
    }
    if (read)
        *read = count;
    return TRUE;
}

/* --------------------------------------------------------------- Waits */

/* The program waits: the console is shown first, then the time passes. */
void Sleep(DWORD milliseconds)
{
    Enter("Sleep");
    Present();
    TermSleepMs(static_cast<int>(std::min<DWORD>(milliseconds, INT_MAX)));
}

/* Output is held back until the program waits; this shows it at once. */
BOOL FlushFileBuffers(HANDLE file)
{
    if (!EnterOutput("FlushFileBuffers", file))
        return FALSE;
    Present();
    return TRUE;
}

/* -------------------------------------------------------------- Errors */

DWORD GetLastError(void)
{
    return Platform.lastError;
}

void SetLastError(DWORD error)
{
    Platform.lastError = error;
}

/* Our wording for the errors this layer produces; null for any other code. */
static std::string ErrorText(DWORD code)
{
    switch (code) {
    case ERROR_NO_TERMINAL:
        return "no terminal to play in: standard input, standard output and the controlling "
               "terminal are not terminals";
    case ERROR_TERM_UNSET:
        return "TERM is not set, so the kind of terminal is not known: set it to the "
               "terminal's name (such as xterm-256color)";
    case ERROR_TERM_CANNOT_ADDRESS: {
        const char *term = std::getenv("TERM");
        return std::string("the terminal TERM=") + (term ? term : "") +
               " cannot place the cursor as the game does (with ANSI sequences): play in one that can";
    }
    case ERROR_INVALID_FUNCTION:
        return "This console cannot do that.";
    case ERROR_FILE_NOT_FOUND:
        return "There is no console device of that name.";
    case ERROR_ACCESS_DENIED:
        return "The console refused access; the program already has one.";
    case ERROR_INVALID_HANDLE:
        return "The console handle is not valid.";
    case ERROR_NOT_ENOUGH_MEMORY:
        return "There is not enough memory for a console that large.";
    case ERROR_HANDLE_EOF:
        return "The console input has ended.";
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
static std::string LayOutMessage(const std::string &text, DWORD width)
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
    if (!Enter("FormatMessageA"))
        return 0;
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || !buffer)
        return Fail(ERROR_INVALID_PARAMETER);
    std::string text = ErrorText(messageId);
    if (text.empty())
        return Fail(ERROR_MR_MID_NOT_FOUND);
    std::string message = LayOutMessage(text, flags & FORMAT_MESSAGE_MAX_WIDTH_MASK);
    char *target = buffer;
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        target = static_cast<char *>(std::malloc(std::max<size_t>(message.size() + 1, size)));
        if (!target)
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
        *reinterpret_cast<char **>(buffer) = target;
    } else if (message.size() + 1 > size) {
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(target, message.c_str(), message.size() + 1);
    return static_cast<DWORD>(message.size());
}

HLOCAL LocalFree(HLOCAL memory)
{
    if (!Enter("LocalFree"))
        return memory;
    std::free(memory);
    return nullptr;
}
