/* The terminfo reader: what it makes of real entries, in the forms the renderer sends. */
#include "caps.h"
#include "terminfo.h"

#include <gtest/gtest.h>

namespace {

TEST(Terminfo, ReadsWhatEachTerminalCanDoInTheFormsTheRendererSends)
{
    struct Entry {
        const char *term;
        int verdict;
        int colours;
        bool backgroundErase, relativeMoves, scrollRegion, lineDrawing, title, titleStack;
        const char *enterScreen; /* "" for none */
        const char *hideCursor;
    } const entries[] = {
        {"xterm-256color", TerminfoPlayable, CapsColours16, true, true, true, true, true, true,
         "\x1b[?1049h\x1b[22;0;0t", "\x1b[?25l"},
        {"screen", TerminfoPlayable, CapsColours8, false, true, true, true, true, false,
         "\x1b[?1049h", "\x1b[?25l"},
        {"linux", TerminfoPlayable, CapsColours8, true, true, true, true, false, false, "",
         "\x1b[?25l\x1b[?1c"},
        {"rxvt-unicode-256color", TerminfoPlayable, CapsColoursIndexed, true, true, true, true,
         true, false, "\x1b[?1049h", "\x1b[?25l"},
        {"vt100", TerminfoPlayable, CapsColoursNone, false, true, true, true, false, false, "", ""},
        /* No entry: the common ANSI sequences, but nothing is erased in a colour. */
        {"no-such-terminal", TerminfoPlayable, CapsColours16, false, true, true, true, false, false,
         "\x1b[?1049h", "\x1b[?25l"},
        {"dumb", TerminfoCannotAddress, 0, false, false, false, false, false, false, "", ""},
        {"", TerminfoUnset, 0, false, false, false, false, false, false, "", ""},
    };
    for (const Entry &e : entries) {
        SCOPED_TRACE(e.term);
        Caps caps = {};
        ASSERT_EQ(TerminfoRead(e.term, false, false, &caps), e.verdict);
        if (e.verdict != TerminfoPlayable)
            continue;
        EXPECT_EQ(caps.colours, e.colours);
        EXPECT_EQ(caps.backgroundErase, e.backgroundErase);
        EXPECT_EQ(caps.relativeMoves, e.relativeMoves);
        EXPECT_EQ(caps.scrollRegion, e.scrollRegion);
        EXPECT_EQ(!caps.enterAcs.empty() && caps.acs['q'] != 0, e.lineDrawing);
        EXPECT_EQ(caps.title, e.title);
        EXPECT_EQ(caps.titleStack, e.titleStack);
        EXPECT_EQ(caps.enterScreen, e.enterScreen) << "as the entry says, without padding";
        EXPECT_EQ(caps.hideCursor, e.hideCursor);
        EXPECT_FALSE(caps.utf8) << "the locale's word, not the entry's";
    }
    EXPECT_EQ(TerminfoRead(nullptr, true, false, nullptr), TerminfoUnset);
    /* tmux erases in colour, whichever of its names TERM gives; GNU screen does not. */
    for (const char *term : {"tmux-256color", "screen"}) {
        Caps caps = {};
        ASSERT_EQ(TerminfoRead(term, true, true, &caps), TerminfoPlayable);
        EXPECT_TRUE(caps.backgroundErase) << term;
    }
}

} // namespace
