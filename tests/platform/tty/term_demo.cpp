/*
 * A small program for the real-terminal test: through the Win32 console
 * calls only, it takes a console of its own, draws a box in each of the four
 * frame styles and a line of coloured text, waits for one byte on the
 * terminal (or the number of milliseconds given as its argument, 10 s by
 * default) and gives the console back.
 */
#include "driver.h"
#include "platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

/* Corners, edges and side of the four frame styles, in the order top-left,
   top edge, top-right, side, bottom-left, bottom edge, bottom-right. */
static const unsigned char FrameStyles[4][7] = {
    {0xDA, 0xC4, 0xBF, 0xB3, 0xC0, 0xC4, 0xD9},
    {0xC9, 0xCD, 0xBB, 0xBA, 0xC8, 0xCD, 0xBC},
    {0xD6, 0xC4, 0xB7, 0xBA, 0xD3, 0xC4, 0xBD},
    {0xD5, 0xCD, 0xB8, 0xB3, 0xD4, 0xCD, 0xBE},
};

static void WriteAt(HANDLE out, int x, int y, const void *bytes, DWORD length)
{
    DWORD written = 0;
    SetConsoleCursorPosition(out, COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)});
    WriteConsoleA(out, bytes, length, &written, nullptr);
}

static void WriteText(HANDLE out, int x, int y, WORD attr, const char *text)
{
    SetConsoleTextAttribute(out, attr);
    WriteAt(out, x, y, text, static_cast<DWORD>(std::strlen(text)));
}

/* A box of width x height cells with its top-left corner at (left, top). */
static void DrawBox(HANDLE out, int left, int top, int width, int height,
                    const unsigned char *glyphs)
{
    unsigned char row[64];
    row[0] = glyphs[0];
    std::memset(row + 1, glyphs[1], static_cast<size_t>(width - 2));
    row[width - 1] = glyphs[2];
    WriteAt(out, left, top, row, static_cast<DWORD>(width));
    for (int y = top + 1; y < top + height - 1; y++) {
        WriteAt(out, left, y, &glyphs[3], 1);
        WriteAt(out, left + width - 1, y, &glyphs[3], 1);
    }
    row[0] = glyphs[4];
    std::memset(row + 1, glyphs[5], static_cast<size_t>(width - 2));
    row[width - 1] = glyphs[6];
    WriteAt(out, left, top + height - 1, row, static_cast<DWORD>(width));
}

int main(int argc, char **argv)
{
    int waitMs = argc > 1 ? std::atoi(argv[1]) : 10000;
    if (GetStdHandle(STD_OUTPUT_HANDLE) == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "term_demo: no terminal to draw on\n");
        return 1;
    }
    FreeConsole();
    AllocConsole();
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    SetConsoleTitleA("Zop terminal demo");
    CONSOLE_CURSOR_INFO hidden = {100, FALSE};
    SetConsoleCursorInfo(out, &hidden);

    SetConsoleTextAttribute(out, 10);
    for (int style = 0; style < 4; style++)
        DrawBox(out, 1 + style * 12, 1, 10, 4, FrameStyles[style]);
    WriteText(out, 1, 6, 12, "red");
    WriteText(out, 5, 6, 10, "green");
    WriteText(out, 11, 6, 9, "blue");
    WriteText(out, 16, 6, 0xA0, "label");
    WriteText(out, 22, 6, 7, "grey");
    /* The very last cell: writing it must not scroll the screen. */
    CONSOLE_SCREEN_BUFFER_INFO info;
    GetConsoleScreenBufferInfo(out, &info);
    static const unsigned char corner = 0xD9;
    SetConsoleTextAttribute(out, 10);
    WriteAt(out, info.dwSize.X - 1, info.dwSize.Y - 1, &corner, 1);

    /* The demo waits on the terminal itself, so it shows the picture first, as a key read would. */
    FlushFileBuffers(out);
    unsigned char key = 0;
    DriverReadBytes(&key, 1, waitMs);

    /* The cursor is left hidden: letting the console go must show it again. */
    FreeConsole();
    return 0;
}
