/* CONSOLE: the failure report of the console set-up, and window fitting. */
#include "console.h"

#include <cstdio>
#include <cstring>

/* The source file every report names: the console module's. */
const char ConSourceFile[] = "CONSOLE";

/* The line each failure is reported from: numbers the report has always named, kept as its
   text (tests hold them), not lines of this file. */
enum {
    LineGetStdHandle = 179,
    LineGetConsoleMode = 182,
    LineSetRawMode = 187,
    LineReadFile = 190,
    LineRestoreMode = 193,
    LineShrinkWindow = 711,
    LineShrinkBuffer = 713,
    LineGrowBuffer = 718,
    LineGrowWindow = 720
};

const size_t ReportSize = 1024;
const char ClosingQuestion[] = "\n\nContinue execution?";
/* Room for the first line and the system's text: the closing question always fits after them. */
const size_t BodySize = ReportSize - (sizeof ClosingQuestion - 1);

/* Reports made and not yet answered; a report made during another's key wait does not wait. */
static int ReportsWaiting;

/* Appends the system's text for an error, cut so that the closing question still fits. */
static void AppendSystemText(char *report, DWORD errorCode)
{
    size_t length = std::strlen(report);
    ConSystemText(errorCode, 40, report + length, BodySize - length);
}

int ConSystemText(DWORD errorCode, DWORD lineWidth, char *text, size_t size)
{
    char *system = nullptr;
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                  (lineWidth & FORMAT_MESSAGE_MAX_WIDTH_MASK);
    if (size == 0 ||
        !FormatMessageA(flags, nullptr, errorCode, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                        reinterpret_cast<LPSTR>(&system), 512, nullptr))
        return 0;
    std::strncpy(text, system, size - 1);
    text[size - 1] = '\0';
    LocalFree(system);
    return 1;
}

int ConReportFailure(const char *sourceFile, int line, const char *callName, DWORD errorCode)
{
    /* The screen as drawn is shown before the report is printed over it.  (A console
       whose output is not buffered, as on Windows, has nothing to flush and says so.) */
    FlushFileBuffers(GetStdHandle(STD_OUTPUT_HANDLE));
    char report[ReportSize];
    /* "(qk)" is the report's own text, which players and tests know it by: not a typo. */
    std::snprintf(report, BodySize, "%s: Error %d from %s on line %d: (qk)\n", sourceFile,
                  static_cast<int>(errorCode), callName, line);
    AppendSystemText(report, errorCode);
    std::strcat(report, ClosingQuestion);
    std::printf("%s\n", report);
    std::fflush(stdout);
    if (ReportsWaiting > 0)
        return 0;
    ReportsWaiting++;
    char key = ConGetRawChar();
    ReportsWaiting--;
    return key;
}

/* Reports the call that just failed, with the error the system gives for it. */
static void ReportFailed(int line, const char *callName)
{
    ConReportFailure(ConSourceFile, line, callName, GetLastError());
}

char ConGetRawChar()
{
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == INVALID_HANDLE_VALUE)
        ReportFailed(LineGetStdHandle, "GetStdHandle");
    DWORD mode = 0;
    /* Without the mode there is nothing known to set back, so the mode is left alone. */
    bool haveMode = GetConsoleMode(input, &mode) != 0;
    if (!haveMode)
        /* The call is named as the report has always named it; tests hold the spelling. */
        ReportFailed(LineGetConsoleMode, "GetconsoleMode");
    if (haveMode && !SetConsoleMode(input, mode & ~DWORD(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT)))
        ReportFailed(LineSetRawMode, "SetConsoleMode");
    char key = 0;
    DWORD read = 0;
    if (!ReadFile(input, &key, 1, &read, nullptr))
        ReportFailed(LineReadFile, "ReadFile");
    if (haveMode && !SetConsoleMode(input, mode))
        ReportFailed(LineRestoreMode, "SetConsoleMode");
    return key;
}

/* ---------------------------------------------------------------- Fitting */

void ConFitWindow(HANDLE handle, double widthFraction, double heightFraction)
{
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(handle, &info);
    COORD largest = GetLargestConsoleWindowSize(handle);
    SHORT right = static_cast<SHORT>(largest.X * widthFraction);
    SHORT bottom = static_cast<SHORT>(largest.Y * heightFraction);
    SMALL_RECT window = {0, 0, right, bottom};
    COORD size = {static_cast<SHORT>(right + 1), static_cast<SHORT>(bottom + 1)};

    if (info.dwSize.X == size.X && info.dwSize.Y == size.Y)
        return;
    /* A window may never be larger than its buffer: grow the buffer first, shrink the window first. */
    if (info.dwSize.X < size.X || info.dwSize.Y < size.Y) {
        if (!SetConsoleScreenBufferSize(handle, size))
            ReportFailed(LineGrowBuffer, "SetConsoleScreenBufferSize");
        if (!SetConsoleWindowInfo(handle, TRUE, &window))
            ReportFailed(LineGrowWindow, "SetConsoleWindowInfo");
    } else {
        if (!SetConsoleWindowInfo(handle, TRUE, &window))
            ReportFailed(LineShrinkWindow, "SetConsoleWindowInfo");
        if (!SetConsoleScreenBufferSize(handle, size))
            ReportFailed(LineShrinkBuffer, "SetConsoleScreenBufferSize");
    }
}
