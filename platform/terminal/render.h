/*
 * The renderer: the bytes that turn a terminal from showing one screen
 * picture into showing another, sending only the cells that differ, with the
 * cheapest cursor moves, colour changes only where the colour changes, and
 * erases and scroll regions where they save bytes.  Pure: no I/O, no
 * program state.  The tty driver sends what it returns.
 */
#ifndef ZOP_PLATFORM_TERMINAL_RENDER_H
#define ZOP_PLATFORM_TERMINAL_RENDER_H

#include "caps.h"
#include "memconsole.h"

#include <string>
#include <vector>

/* A screen picture: what a terminal shows, or is to show. */
struct RenderFrame {
    int width;
    int height;
    std::vector<MemCell> cells; /* width * height, row-major */
    COORD cursor;
    bool cursorVisible;
    bool known; /* false: what the terminal shows is unknown, so all is sent */
    int attr;   /* kept by RenderUpdate: the attribute the terminal draws in, -1 when unknown */
};

/* Copies the cells and cursor of a console into a frame. */
void RenderFrameOf(const MemConsole *mc, RenderFrame *frame);

/*
 * Appends to out the bytes that turn the terminal from showing *front into
 * showing want, and then makes *front equal to want, sending only what caps
 * says the terminal takes.  Only cells inside the terminal's columns x rows
 * are sent.  A frame leaves its colours set for the next one (the driver
 * resets them when it hands the terminal back) and the alternate character
 * set off.  Pure: no I/O, no program state.
 */
void RenderUpdate(const RenderFrame &want, RenderFrame *front, int columns, int rows,
                  std::string *out, const Caps &caps);

/* The same on a terminal of the xterm kind with UTF-8 (CapsXterm). */
void RenderUpdate(const RenderFrame &want, RenderFrame *front, int columns, int rows,
                  std::string *out);

/* Whether the frame a terminal shows (a front kept by RenderUpdate) is blank throughout. */
bool RenderShowsBlank(const RenderFrame &front);

#endif
