/*
 * The tty driver: the emulated console shown on the controlling terminal, or
 * told in lines of text.  This file is its side of the driver interface
 * (driver.h), each call handed to the part of the driver that does it
 * (ttystate.h lists them); it owns the driver's state.
 */
#include "tty.h"

#include "cp437.h"
#include "ttystate.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

TtyState Tty = {};
TtyFlagState TtyFlags = {0, 0, 0, 0, 0, {-1, -1}};

int DriverShowLines(void)
{
    if (Tty.open)
        return 0;
    Tty.lines = true;
    return 1;
}

int DriverOpen(DriverScreen *screen)
{
    return Tty.lines ? TtyOpenLines(screen) : TtyOpenTerminal(screen);
}

void DriverRestore(void)
{
    TtyUndoAll();
}

void DriverPresent(const MemConsole *mc)
{
    TtyPresent(mc);
}

/* The terminal lets every call go. */
DWORD DriverCheckCall(const char *)
{
    return ERROR_SUCCESS;
}

/* What was drawn goes out at the next wait, all of it in one write. */
void DriverNoteDrawing(const MemConsole *)
{
    Tty.drawn = true;
}

int DriverTakeEvents(int *columns, int *rows)
{
    int events = 0;
    if (TtyFlags.resumed) {
        TtyFlags.resumed = 0;
        if (TtyFlags.gaveBack) {
            TtyFlags.gaveBack = 0;
            TtyUndoReapply();
            if (Tty.lines)
                LinesSayAgain(&Tty.teller); /* the shell has spoken meanwhile */
        } else {
            TtyUndoReapplyRawMode();
        }
        events |= DriverResumed;
    }
    /* A resize while stopped signals the shell, not us: on resume the size is asked anew too.
       The flag is taken before the size is asked, so that a resize signalled meanwhile
       stays noted for the next look. */
    bool resized = TtyFlags.resized != 0;
    TtyFlags.resized = 0;
    if (resized || (events & DriverResumed)) {
        int columnsBefore = Tty.columns, rowsBefore = Tty.rows;
        TtyOpenQuerySize();
        if (resized || columnsBefore != Tty.columns || rowsBefore != Tty.rows)
            events |= DriverResized;
        TtyUndoBuildEmergency(); /* it places the cursor on the last row, which may have moved */
    }
    if (events != 0)
        Tty.front.known = false;
    *columns = Tty.columns;
    *rows = Tty.rows;
    return events;
}

int DriverEnterScreen(void)
{
    if (!Tty.open)
        return 0;
    TtyOpenRawMode();
    TtySignalInstall();
    Tty.screenWanted = !TtyUndoHas(UndoAltScreen) && !Tty.caps.enterScreen.empty();
    Tty.front.known = false;
    return 1;
}

/* Ctrl-L: the whole picture again, or in lines the state of the game said again. */
void DriverForgetScreen(void)
{
    Tty.front.known = false;
    if (Tty.lines && Tty.open)
        LinesSayAgain(&Tty.teller);
}

/* In lines the announcements are what is told; a picture has nothing beside it to read them. */
void DriverAnnounce(int channel, const char *text)
{
    if (Tty.lines && Tty.open)
        LinesAnnounce(&Tty.teller, channel, text);
}

void DriverSetTitle(const std::string &title)
{
    if (!Tty.open)
        return;
    if (Tty.lines) {
        LinesSayTitle(&Tty.teller, title);
        return;
    }
    Tty.title = Cp437TextToUtf8(title);
    Tty.titlePending = true;
}

int DriverReadBytes(unsigned char *buffer, int size, int timeoutMs)
{
    if (size <= 0)
        return 0;
    if (Tty.lines) {
        int n = Tty.open ? TtyIoReadSome(buffer, size, timeoutMs) : -1;
        return n > 0 ? TtyIoDropLineEnds(buffer, n) : n;
    }
    if (Tty.pendingInput.empty()) {
        if (!Tty.open)
            return -1;
        int n = TtyIoReadSome(buffer, size, timeoutMs);
        if (n <= 0 || TtyFlags.answersOwed == 0)
            return n;
        Tty.pendingInput.assign(reinterpret_cast<char *>(buffer), static_cast<size_t>(n));
        TtyAnswerTakeLate();
    }
    size_t n = std::min(static_cast<size_t>(size), Tty.pendingInput.size());
    std::memcpy(buffer, Tty.pendingInput.data(), n);
    Tty.pendingInput.erase(0, n);
    return static_cast<int>(n);
}

long DriverNowMs(void)
{
    struct timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void DriverSleepMs(int ms)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < deadline)
        std::this_thread::sleep_until(deadline);
}

const char32_t *DriverKeyCharset(void)
{
    return Tty.singleByte ? Tty.highBytes : nullptr;
}
