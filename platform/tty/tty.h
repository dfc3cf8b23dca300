/*
 * The tty driver: the emulated console shown on the controlling terminal.
 * It implements the driver interface (platform/emulated/driver.h): raw mode,
 * the alternate screen, the title, presenting through the renderer, the
 * signals, and reading the terminal's bytes.  Every setting it makes is
 * undone by DriverRestore, in the mirror order of setup, and by its signal
 * handlers before the program ends or stops.  What it adds to the interface
 * is declared here.
 */
#ifndef ZOP_PLATFORM_TTY_TTY_H
#define ZOP_PLATFORM_TTY_TTY_H

#include "driver.h"

#include <string>

/*
 * Finds a cursor position report (ESC [ row ; column R) in bytes, takes it
 * out and stores its 1-based row and column; other bytes stay, in order.
 */
bool TtyTakeCursorReport(std::string *bytes, int *row, int *column);

#endif
