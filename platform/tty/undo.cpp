/* The settings the tty driver makes on the terminal, on a stack, and their undoing in the
   mirror order of setup: at the end, before a stop, and from a signal handler. */
#include "ttystate.h"

#include <algorithm>
#include <cstring>
#include <string>

bool TtyUndoHas(int step)
{
    for (int i = 0; i < Tty.undoCount; i++)
        if (Tty.undo[i] == step)
            return true;
    return false;
}

void TtyUndoPush(int step)
{
    if (TtyUndoHas(step) || Tty.undoCount == UndoMax)
        return;
    Tty.undo[Tty.undoCount++] = step;
    TtyUndoBuildEmergency();
}

static std::string TtyUndoBytesOf(int step)
{
    switch (step) {
    case UndoAltScreen:
        return Tty.caps.leaveScreen;
    case UndoCursor:
        return Tty.caps.showCursor;
    case UndoTitle:
        return TtyRestoreTitle;
    default:
        return "";
    }
}

/* The colours back to the terminal's own, where the game sets any. */
static std::string TtyUndoResetBytes(void)
{
    return CapsHasVideo(Tty.caps) ? "\x1b[0m" : "";
}

/* Prebuilds the restore string for a signal handler: colours back, then every
   undo in mirror order (the saved settings follow with tcsetattr). */
void TtyUndoBuildEmergency(void)
{
    Tty.emergencyLength = 0;
    if (Tty.lines)
        return; /* lines of text set nothing on the terminal but its modes */
    /* A signal may come in the middle of a frame that set a scroll region or drew lines. */
    std::string bytes = Tty.caps.scrollRegion ? "\x1b[r" : "";
    if (!Tty.caps.utf8)
        bytes += Tty.caps.leaveAcs;
    bytes += TtyUndoResetBytes();
    for (int i = Tty.undoCount - 1; i >= 0; i--)
        bytes += TtyUndoBytesOf(Tty.undo[i]);
    /* On the shell's own screen, its next words go below the picture rather than into it. */
    if (!TtyUndoHas(UndoAltScreen) && Tty.rows > 0)
        bytes += "\x1b[" + std::to_string(Tty.rows) + ";1H";
    size_t length = std::min(bytes.size(), sizeof Tty.emergencyBytes);
    std::memcpy(Tty.emergencyBytes, bytes.data(), length);
    Tty.emergencyLength = static_cast<sig_atomic_t>(length);
}

/* Makes every setting again, in the order first made: after a stop the shell had them undone. */
void TtyUndoReapply(void)
{
    std::string bytes;
    for (int i = 0; i < Tty.undoCount; i++) {
        switch (Tty.undo[i]) {
        case UndoRawMode:
            TtyIoSetSettings(TCSANOW, &Tty.raw);
            break;
        case UndoAltScreen:
            bytes += Tty.caps.enterScreen;
            break;
        case UndoCursor:
            bytes += Tty.caps.hideCursor;
            break;
        case UndoTitle:
            bytes += TtySaveTitle;
            break;
        }
    }
    if (Tty.acsEnabled)
        bytes += Tty.caps.enableAcs;
    if (Tty.caps.title && Tty.caps.titleStack && !Tty.title.empty())
        bytes += Tty.caps.titleStart + Tty.title + Tty.caps.titleEnd;
    TtyIoWriteText(bytes);
}

/* After a stop that no handler saw (SIGSTOP), the screen, the cursor and the title are
   still as we set them; only the shell may have put its own settings back meanwhile. */
void TtyUndoReapplyRawMode(void)
{
    for (int i = 0; i < Tty.undoCount; i++)
        if (Tty.undo[i] == UndoRawMode)
            TtyIoSetSettings(TCSANOW, &Tty.raw);
}

/* A blank picture left on the shell's own screen is erased in the terminal's own
   colours, so that the shell goes on in its colours rather than in the game's black. */
static std::string TtyUndoEraseBlankPicture(void)
{
    if (TtyUndoHas(UndoAltScreen) || !Tty.caps.eraseScreen || !RenderShowsBlank(Tty.front))
        return "";
    return "\x1b[H\x1b[2J";
}

/* Hands back what lines of text took: the keys' terminal, where they came from one. */
static void TtyUndoLines(void)
{
    if (TtyUndoHas(UndoRawMode))
        TtyIoSetSettings(TCSADRAIN, &Tty.saved);
    Tty.undoCount = 0;
    TtySignalRemove();
}

/*
 * Undoes every setting, in the mirror order of setup.  The answers the
 * terminal still owes are waited for first, so that none reaches the shell;
 * but a terminal handed back before anything was drawn on it is taken again
 * at once (a new console at start): it stays in raw mode, with the handlers,
 * so that the first screen waits for no answer, and an answer that comes
 * late is taken out of the keys, or waited for when the program ends.
 */
void TtyUndoAll(void)
{
    if (Tty.lines && Tty.open) {
        TtyUndoLines();
        return;
    }
    bool keepRawMode = Tty.open && TtyFlags.answersOwed > 0 && !Tty.ending && !Tty.drawn &&
                       Tty.undoCount > 0 && Tty.undo[0] == UndoRawMode;
    int kept = keepRawMode ? 1 : 0;
    Tty.drawn = false;
    if (Tty.open && !keepRawMode)
        TtyAnswerAwaitKeepingKeys();
    /* A picture leaves its colours set, even where no other setting could be made. */
    bool coloured = Tty.front.attr >= 0;
    if (!Tty.open || (Tty.undoCount == kept && !coloured))
        return;
    std::string bytes = TtyUndoResetBytes() + TtyUndoEraseBlankPicture();
    while (Tty.undoCount > kept) {
        int step = Tty.undo[--Tty.undoCount];
        bytes += TtyUndoBytesOf(step);
        if (step == UndoRawMode) {
            TtyIoWriteText(bytes);
            bytes.clear();
            TtyIoSetSettings(TCSADRAIN, &Tty.saved);
        }
    }
    TtyIoWriteText(bytes);
    Tty.front.known = false;
    Tty.front.attr = -1;
    Tty.screenWanted = false;
    Tty.titlePending = false;
    TtyUndoBuildEmergency();
    if (!keepRawMode)
        TtySignalRemove();
}
