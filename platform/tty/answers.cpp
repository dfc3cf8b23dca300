/*
 * The questions the tty driver asks the terminal at start (where its cursor
 * stands, and how wide it draws the characters of ambiguous width) and their
 * answers, which may come late: taken out of the keys while the game plays,
 * and waited for before the terminal goes back to the shell, which would
 * otherwise read them as typed text.
 */
#include "cp437.h"
#include "cursorreport.h"
#include "ttystate.h"

#include <algorithm>
#include <string>
#include <unistd.h>

/* How long the start waits for the answers to the cursor questions. */
const int CursorQueryMs = 200;
/* How long after the questions an answer still owed is waited for when the terminal is
   handed back: over a slow link it may come after the start stopped waiting, and then
   it would reach the shell as typed text. */
const int AnswerLimitMs = 1000;
/* How long the rest of an answer begun in one read is waited for in the next. */
const int AnswerRestMs = 50;
/* Written to see how wide the terminal draws them: a box-drawing character and a full
   block, of East Asian ambiguous width, as the game's frames and walls are. */
const unsigned char WidthSample[2] = {0xC4, 0xDB};

/*
 * Waits for the answers the terminal still owes, until their time is up, and
 * reads them, so that none is left for the shell to print after the program;
 * whatever else comes meanwhile goes with them, as the program is ending.  A
 * terminal that never answers is waited for only until that limit after the
 * questions: no wait at all once the game has gone on longer.
 * Async-signal-safe: the handlers call it before they hand the terminal back.
 */
void TtyAnswerAwait(void)
{
    CursorReport report = {};
    while (TtyFlags.answersOwed > 0) {
        long left = TtyFlags.answerDeadlineMs - DriverNowMs();
        int seen = left > 0 ? TtyIoWait(Tty.inFd, false, -1, static_cast<int>(left)) : WaitClosed;
        if (seen & WaitClosed)
            break;
        unsigned char bytes[64];
        ssize_t n = seen & WaitReady ? read(Tty.inFd, bytes, sizeof bytes) : 0;
        if (n == 0 && (seen & WaitReady))
            break; /* the terminal hung up */
        for (ssize_t i = 0; i < n; i++)
            if (CursorReportStep(&report, bytes[i]) == CursorReportDone)
                TtyFlags.answersOwed = TtyFlags.answersOwed - 1;
    }
    TtyFlags.answersOwed = 0;
}

/* Takes the answers still owed out of the bytes the key reader has waiting, with the
   rest of one begun: an answer that came after the start stopped waiting is no key. */
void TtyAnswerTakeLate(void)
{
    for (int reads = 0;
         TtyFlags.answersOwed > 0 && CursorReportEndsUnfinished(Tty.pendingInput) && reads < 4;
         reads++) {
        unsigned char chunk[64];
        int n = TtyIoReadSome(chunk, sizeof chunk, AnswerRestMs);
        if (n <= 0)
            break;
        Tty.pendingInput.append(reinterpret_cast<char *>(chunk), static_cast<size_t>(n));
    }
    int row = 0, column = 0;
    while (TtyFlags.answersOwed > 0 && CursorReportTake(&Tty.pendingInput, &row, &column))
        TtyFlags.answersOwed = TtyFlags.answersOwed - 1;
}

/*
 * Waits for the answers still owed, as TtyAnswerAwait does, but keeps what
 * else comes for the key reader: the terminal may be taken again at once
 * (a new console at start), and keys typed before the first screen are the
 * game's.
 */
void TtyAnswerAwaitKeepingKeys(void)
{
    for (long left;
         TtyFlags.answersOwed > 0 && (left = TtyFlags.answerDeadlineMs - DriverNowMs()) > 0;) {
        unsigned char chunk[64];
        int n = TtyIoReadSome(chunk, sizeof chunk, static_cast<int>(left));
        if (n < 0)
            break;
        Tty.pendingInput.append(reinterpret_cast<char *>(chunk), static_cast<size_t>(n));
        TtyAnswerTakeLate();
    }
    TtyFlags.answersOwed = 0;
}

/*
 * The questions asked of the terminal at start: where its cursor stands
 * (DSR 6n) and, on a UTF-8 terminal with an alternate screen, how wide it
 * draws the characters of East Asian ambiguous width, which terminals set
 * for Chinese, Japanese or Korean draw two cells wide: a box-drawing
 * character and a full block at the start of the alternate screen's second
 * row, the cursor asked for again, the two erased and the shell's screen
 * back, all in one write, so that both answers come in the time of one.
 * (On the second row an answer that comes too late is no key: ESC [ 1 ; n R
 * would be a modified F3.)
 */
static std::string TtyAnswerQuestions(bool measureWidth)
{
    std::string ask = "\x1b[6n";
    if (measureWidth)
        ask += Tty.caps.enterScreen + "\x1b[2;1H" + Cp437ToUtf8(WidthSample[0]) +
               Cp437ToUtf8(WidthSample[1]) + "\x1b[6n\x1b[2;1H    " + Tty.caps.leaveScreen;
    return ask;
}

/*
 * Asks the terminal where the cursor is, and whether it draws the ambiguous
 * characters two cells wide: then every glyph goes as a narrow one (lines
 * dashed, the block as a reversed space, the rest in ASCII), since its own
 * line drawing is as wide, being drawn with the same characters.  Bytes
 * typed meanwhile are kept in pendingInput for the key reader.  No answer: the
 * bottom-left corner, and one cell each.
 */
COORD TtyAnswerAskCursor(void)
{
    COORD guess = {0, static_cast<SHORT>(Tty.rows - 1)};
    bool measureWidth = Tty.caps.utf8 && !Tty.caps.enterScreen.empty();
    if (!Tty.caps.cursorReport)
        return guess;
    int answers[2][2] = {}; /* row, column */
    int answered = 0, wanted = measureWidth ? 2 : 1;
    TtyFlags.answerDeadlineMs = DriverNowMs() + AnswerLimitMs;
    TtyFlags.answersOwed = wanted;
    if (!TtyIoWriteText(TtyAnswerQuestions(measureWidth))) {
        TtyFlags.answersOwed = 0;
        return guess;
    }
    std::string got;
    long deadline = DriverNowMs() + CursorQueryMs;
    for (long left = CursorQueryMs; answered < wanted && left > 0;
         left = deadline - DriverNowMs()) {
        unsigned char chunk[64];
        int n = TtyIoReadSome(chunk, sizeof chunk, static_cast<int>(left));
        if (n < 0)
            break;
        got.append(reinterpret_cast<char *>(chunk), static_cast<size_t>(n));
        while (answered < wanted &&
               CursorReportTake(&got, &answers[answered][0], &answers[answered][1]))
            TtyFlags.answersOwed = wanted - ++answered;
    }
    Tty.pendingInput += got;
    TtyAnswerTakeLate();
    /* Written from the first column, the two end before the fourth where each takes one
       cell. */
    Tty.caps.wideAmbiguous = answered == 2 && answers[1][1] > 3;
    if (answered == 0)
        return guess;
    return COORD{static_cast<SHORT>(std::max(answers[0][1] - 1, 0)),
                 static_cast<SHORT>(std::max(answers[0][0] - 1, 0))};
}
