/* The game's screen on a headless console, and keys typed as a player types them. */
#ifndef ZOP_TESTS_GAME_HEADLESS_GAME_H
#define ZOP_TESTS_GAME_HEADLESS_GAME_H

#include "console.h"
#include "headless.h"
#include "machine.h"
#include "screen.h"

/* A headless screen set up as the program sets up its own, up to the drawn frames; marbles roll at once. */
inline void OpenGameScreen(int width, int height)
{
    HeadlessOpen(width, height);
    MachineReset();
    StepDelayMs = 0;
    ConInit();
    OutputHandle = GetStdHandle(STD_OUTPUT_HANDLE);
    ComputeLayout(OutputHandle);
    DrawFrames(OutputHandle);
}

/* Types a key: its character, with the upper-case letter (or the character itself) as virtual key. */
inline void TypeKey(char ch)
{
    WORD vk = ch >= 'a' && ch <= 'z' ? static_cast<WORD>(ch - 'a' + 'A') : static_cast<WORD>(ch);
    HeadlessPushKey(ch, vk);
}

#endif
