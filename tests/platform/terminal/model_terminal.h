/*
 * A small model terminal for the renderer tests: it plays the bytes the
 * renderer sends and keeps the cells a real terminal would show, so that
 * tests compare them with the frame that was to be shown.  It knows only
 * the sequences the renderer may send; anything else is a test failure.
 * It is a terminal of a capability profile and fails the test on any
 * sequence the profile lacks: for instance one whose erased cells keep its
 * own background, one of 8 colours (bold brightens the text colour before
 * reverse video swaps it; on the kernel's console after, and blink
 * brightens the background) or of none (bold and reverse video only), one without UTF-8 (ASCII and the line
 * drawing its profile names), one that draws characters of ambiguous width
 * two cells wide (nothing beyond ASCII but dashed lines), or one where
 * writing the last cell scrolls.
 */
#ifndef ZOP_TESTS_PLATFORM_MODEL_TERMINAL_H
#define ZOP_TESTS_PLATFORM_MODEL_TERMINAL_H

#include "render.h"

#include <string>
#include <vector>

struct ModelCell {
    std::string glyph; /* as UTF-8 */
    int fg;            /* the colour shown, Windows colour 0..15, -1 for the terminal's default */
    int bg;
    bool erased; /* blanked by an erase or a scroll, not written: default foreground */
    bool underline;
};

struct Model {
    int columns;
    int rows;
    std::vector<ModelCell> cells;
    int x;
    int y;
    bool pastEnd; /* the last column was written: where the cursor is differs between terminals */
    int fg;
    int bg;
    bool cursorVisible;
    int top; /* the scroll region, inclusive */
    int bottom;
    std::vector<int> sent; /* per cell: how often a write, an erase or a scroll reached it */
    bool bold;             /* the video attributes in effect */
    bool reverse;
    bool underline;
    bool blink;
    bool lineDrawing;   /* the alternate character set is on */
    bool shiftOut;      /* SO selected the line drawing of G1 */
    bool g1LineDrawing; /* G1 holds the line drawing (enacs, ESC ) 0) */
    Caps caps;          /* the profile: what the terminal takes, and how it shows it */
};

/* A terminal of the xterm kind (CapsXterm) showing unknown cells ("?") in default
   colours, cursor at the top left. */
Model NewModel(int columns, int rows);

/* The same, of the profile that caps describe. */
Model NewModel(int columns, int rows, const Caps &caps);

/* Plays bytes on the model, failing the test on anything unexpected. */
void Feed(Model *m, const std::string &bytes);

/*
 * The first difference between what the model shows and the frame, or "".
 * An erased cell must be wanted as a plain blank (a space or NUL, neither
 * reversed nor underscored) of the same background, and erased cells inside
 * a row must come in runs of five or more: shorter gaps are to be written.
 * Colours show as near as the profile can show them: on 8 colours a bright
 * background dims a bright text colour (the kernel's console shows both),
 * and brightness needs bold; without colours bright text is bold and any
 * background but black reverse video.
 * Without UTF-8, or where ambiguous characters are wide, a full block shows
 * as a space in reverse video where there is reverse video, a line that the
 * line drawing lacks (or, wide, any but the four straight ones, dashed) as
 * one of + - | =, and other glyphs beyond ASCII as any one character; where
 * writing it would scroll, the bottom-right cell may show anything.
 */
std::string Difference(const Model &m, const RenderFrame &f);

/* What a frame must leave behind: no scroll region and the alternate character set off
   (its colours stay set for the next frame). */
std::string EndOfFrameProblem(const Model &m);

#endif
