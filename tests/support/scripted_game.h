/*
 * The scripted runs the benchmark measures, on a headless console of 81 x 46
 * with the marble step delay at 0: the whole program playing one game, and
 * one marble rolled down each of the four flipper routes.  A present hook
 * sees the console where the tty driver sends what changed to the
 * terminal: at every wait of the program, or (for comparison) after every
 * output call.  The byte-count test drives the same runs, so that its
 * figures are the benchmark's.
 */
#ifndef ZOP_TESTS_SUPPORT_SCRIPTED_GAME_H
#define ZOP_TESTS_SUPPORT_SCRIPTED_GAME_H

struct MemConsole;

/* The screen size of every measurement. */
const int ScriptColumns = 81;
const int ScriptRows = 46;

/* Sees the console where the terminal would be shown it. */
typedef void (*PresentHook)(const MemConsole *console);

/* Where the terminal is shown the console: at the program's waits, as the
   tty driver does, or after every output call. */
enum PresentPoints { PresentAtWaits, PresentPerCall };

/*
 * Runs the whole program: one game of 15 marbles, Dr. Zop starts ('N'), the
 * player always takes 1, then declines another game.  firstWait, when not
 * null, is called once, when the program first waits for a key: the whole
 * screen is drawn then.  Returns the program's exit status.
 */
int RunScriptedGame(PresentHook present, void (*firstWait)(void), PresentPoints points);

/* A marble's route down the board, set up by the flipper presets of a ball count. */
struct FlipperRoute {
    const char *flippers; /* the flipper states before the roll, right to left */
    int ballCount;        /* a count whose presets give those states */
};

const int FlipperRouteCount = 4;
extern const FlipperRoute FlipperRoutes[FlipperRouteCount];

/*
 * Draws the game screen mid-game with the flippers preset for ballCount, the
 * diverter set and Dr. Zop to play, then rolls one marble between the calls
 * of rollStarts and rollEnds (either may be null).  present sees the console
 * up to the end of the roll, the preparation's too; at waits, once more
 * before rollStarts and before rollEnds, where the waits before and after
 * the roll show it.
 */
void RollOneMarble(int ballCount, PresentHook present, void (*rollStarts)(void),
                   void (*rollEnds)(void), PresentPoints points);

#endif
