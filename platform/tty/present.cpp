/* Showing the console on the terminal: the picture's changes through the renderer, with the
   settings asked for since the last present, or the lines said since then. */
#include "ttystate.h"

/* The settings asked for since the last present: the alternate screen, then the title. */
static void TtyPresentSettings(std::string *out)
{
    const Caps &caps = Tty.caps;
    if (Tty.screenWanted) {
        out->append(caps.enterScreen);
        TtyUndoPush(UndoAltScreen);
        Tty.screenWanted = false;
    }
    /* enacs only makes line drawing selectable (screen puts it in G1); nothing the shell
       uses selects it, so there is nothing to undo. */
    if (!Tty.acsEnabled && !caps.utf8 && !caps.enterAcs.empty()) {
        out->append(caps.enableAcs);
        Tty.acsEnabled = true;
    }
    /* A title that could not be put back would outlive the game. */
    if (Tty.titlePending && caps.title && caps.titleStack) {
        if (!TtyUndoHas(UndoTitle)) {
            out->append(TtySaveTitle);
            TtyUndoPush(UndoTitle);
        }
        out->append(caps.titleStart).append(Tty.title).append(caps.titleEnd);
    }
    Tty.titlePending = false;
}

void TtyPresent(const MemConsole *mc)
{
    if (!Tty.open)
        return;
    if (Tty.lines) {
        TtyIoWriteText(LinesTake(&Tty.teller));
        return;
    }
    if (!Tty.drawn)
        return;
    Tty.out.clear();
    TtyPresentSettings(&Tty.out);
    RenderFrameOf(mc, &Tty.want);
    RenderUpdate(Tty.want, &Tty.front, Tty.columns, Tty.rows, &Tty.out, Tty.caps);
    if (!mc->cursorVisible && !Tty.caps.hideCursor.empty())
        TtyUndoPush(UndoCursor);
    TtyIoWriteText(Tty.out);
}
