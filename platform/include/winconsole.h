/*
 * The Win32 console calls that the console module makes, declared as Win32
 * declares them.  Here they act on an in-memory console that a driver shows
 * (on the terminal, in a web page) whenever the program is about to wait.
 */
#ifndef ZOP_PLATFORM_INCLUDE_WINCONSOLE_H
#define ZOP_PLATFORM_INCLUDE_WINCONSOLE_H

#include "wintypes.h"

#include <cstdarg>

/* ------------------------------------------------------------ Functions */

HANDLE GetStdHandle(DWORD nStdHandle);
HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, void *security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
BOOL CloseHandle(HANDLE handle);

BOOL AllocConsole(void);
BOOL FreeConsole(void);
BOOL SetConsoleTitleA(LPCSTR title);

BOOL GetConsoleScreenBufferInfo(HANDLE output, CONSOLE_SCREEN_BUFFER_INFO *info);
BOOL SetConsoleTextAttribute(HANDLE output, WORD attributes);
BOOL SetConsoleCursorPosition(HANDLE output, COORD position);
BOOL GetConsoleCursorInfo(HANDLE output, CONSOLE_CURSOR_INFO *info);
BOOL SetConsoleCursorInfo(HANDLE output, const CONSOLE_CURSOR_INFO *info);
BOOL WriteConsoleA(HANDLE output, const void *buffer, DWORD length, LPDWORD written,
                   LPVOID reserved);
BOOL FillConsoleOutputCharacterA(HANDLE output, CHAR character, DWORD length, COORD start,
                                 LPDWORD written);
BOOL FillConsoleOutputAttribute(HANDLE output, WORD attribute, DWORD length, COORD start,
                                LPDWORD written);
BOOL ScrollConsoleScreenBufferA(HANDLE output, const SMALL_RECT *scroll, const SMALL_RECT *clip,
                                COORD destination, const CHAR_INFO *fill);
BOOL ReadConsoleOutputA(HANDLE output, CHAR_INFO *buffer, COORD bufferSize, COORD bufferCoord,
                        SMALL_RECT *readRegion);

COORD GetLargestConsoleWindowSize(HANDLE output);
BOOL SetConsoleScreenBufferSize(HANDLE output, COORD size);
BOOL SetConsoleWindowInfo(HANDLE output, BOOL absolute, const SMALL_RECT *window);

BOOL GetConsoleMode(HANDLE handle, LPDWORD mode);
BOOL SetConsoleMode(HANDLE handle, DWORD mode);
BOOL ReadConsoleInputA(HANDLE input, INPUT_RECORD *buffer, DWORD length, LPDWORD read);
BOOL PeekConsoleInputA(HANDLE input, INPUT_RECORD *buffer, DWORD length, LPDWORD read);
BOOL GetNumberOfConsoleInputEvents(HANDLE input, LPDWORD count);
BOOL WriteConsoleInputA(HANDLE input, const INPUT_RECORD *buffer, DWORD length, LPDWORD written);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD length, LPDWORD read, void *overlapped);

/* The console output is held back until the program waits: before a key read
   blocks or input is looked at, in Sleep, and when FlushFileBuffers asks. */
void Sleep(DWORD milliseconds);
BOOL FlushFileBuffers(HANDLE file);

DWORD GetLastError(void);
void SetLastError(DWORD error);
DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPSTR buffer,
                     DWORD size, va_list *arguments);
HLOCAL LocalFree(HLOCAL memory);

/* The platform's calls beyond the Win32 subset (platform.h). */
void PlatformAnnounce(int channel, const char *text);
int PlatformShowLines(void);

#endif
