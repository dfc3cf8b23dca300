/*
 * The tty driver: the emulated console shown on the controlling terminal, or
 * told in lines of text (zop --lines).  It implements the driver interface
 * (driver.h) and adds nothing to it: raw mode, the alternate screen, the
 * title, presenting through the renderer or the line teller, the signals,
 * and reading the terminal's bytes.  Every setting it makes is undone by
 * DriverRestore, in the mirror order of setup, and by its signal handlers
 * before the program ends or stops.  One file a subsystem, each function
 * carrying its file's prefix:
 *   tty.cpp      Driver*      the driver interface, each call handed to the part that does it
 *   open.cpp     TtyOpen*     finding the terminal, its entry, the locale, raw mode, the size
 *   io.cpp       TtyIo*       waiting on the terminal, reading and writing it
 *   answers.cpp  TtyAnswer*   the questions asked of the terminal at start and their answers
 *   present.cpp  TtyPresent*  showing the console: the picture, or the lines
 *   undo.cpp     TtyUndo*     the settings made, and giving them back
 *   signals.cpp  TtySignal*   the signal handlers and their wake-up pipe
 *   lines.cpp    Lines*       the line teller (pure), for zop --lines
 * ttystate.h holds the state they share.
 */
#ifndef ZOP_PLATFORM_TTY_TTY_H
#define ZOP_PLATFORM_TTY_TTY_H

#include "driver.h"

#endif
