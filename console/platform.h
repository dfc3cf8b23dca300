/*
 * The console platform: the Win32 console calls the console module makes.
 * On Windows these are the real ones; elsewhere they are our own, over an
 * in-memory console that a driver shows on the terminal or in a web page
 * (console/emulated/winconsole.cpp says how).
 */
#ifndef ZOP_CONSOLE_PLATFORM_H
#define ZOP_CONSOLE_PLATFORM_H

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
/* The standard output handle comes with wrapping at the end of the line off. */
#include "console/windows/winstart.h"
#else
#include "console/emulated/winconsole.h"
#endif

#endif
