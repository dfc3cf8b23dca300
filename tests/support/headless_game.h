/* The game's screen on a headless console, and keys typed as a player types them. */
#ifndef ZOP_TESTS_SUPPORT_HEADLESS_GAME_H
#define ZOP_TESTS_SUPPORT_HEADLESS_GAME_H

#include "console.h"
#include "headless.h"
#include "machine.h"
#include "screen.h"

/* A headless console of that size with the game's screen opened on it, at its size; marbles
   roll at once.  Returns how far the opening came. */
inline int OpenHeadlessScreen(int width, int height)
{
    HeadlessOpen(width, height);
    MachineReset();
    StepDelayMs = 0;
    return OpenGameScreen(KeepSize);
}

/* Types a key: its character, with the upper-case letter (or the character itself) as virtual key. */
inline void TypeKey(char ch)
{
    WORD vk = ch >= 'a' && ch <= 'z' ? static_cast<WORD>(ch - 'a' + 'A') : static_cast<WORD>(ch);
    HeadlessPushKey(ch, vk);
}

#endif
