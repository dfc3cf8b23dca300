/* The line teller: the game's announcements as plain lines of text, each said once. */
#include "lines.h"

#include "cp437.h"
#include "platform.h"

#include <cstring>

/* What a line longer than LinesWidth goes on with, on a line of its own. */
const char LinesGoesOn[] = "  ";

void LinesReset(LinesTeller *teller, const char32_t *highBytes)
{
    *teller = LinesTeller{};
    teller->highBytes = highBytes;
}

/* One character in the output's character set: its byte there, or '?' where it has none. */
static void LinesAppendChar(const LinesTeller *teller, unsigned char byte, std::string *out)
{
    if (teller->highBytes == nullptr) {
        out->append(Cp437ToUtf8(byte));
        return;
    }
    char32_t codePoint = Cp437ToUnicode(byte);
    if (codePoint < 0x80) {
        out->push_back(static_cast<char>(codePoint));
        return;
    }
    for (int high = 0; high < 0x80; high++)
        if (teller->highBytes[high] == codePoint) {
            out->push_back(static_cast<char>(0x80 + high));
            return;
        }
    out->push_back('?');
}

/* Where a line too long is broken: after the last "; " that fits, else at the last space. */
static size_t LinesBreakAt(const std::string &line)
{
    size_t space = line.rfind(' ', LinesWidth);
    for (size_t at = space; at != std::string::npos && at > 0; at = line.rfind(' ', at - 1))
        if (line[at - 1] == ';')
            return at;
    return space == std::string::npos || space == 0 ? LinesWidth : space;
}

/* Says a code page 437 line, broken into lines of at most LinesWidth characters. */
static void LinesSay(LinesTeller *teller, std::string line)
{
    for (;;) {
        size_t end =
            line.size() <= static_cast<size_t>(LinesWidth) ? line.size() : LinesBreakAt(line);
        for (size_t i = 0; i < end; i++)
            LinesAppendChar(teller, static_cast<unsigned char>(line[i]), &teller->waiting);
        teller->waiting.push_back('\n');
        if (end == line.size())
            return;
        line = LinesGoesOn + line.substr(line[end] == ' ' ? end + 1 : end);
    }
}

/* Says a state's text when it is not what was last said of that state. */
static void LinesSayChange(LinesTeller *teller, std::string *last, const std::string &text)
{
    if (text == *last)
        return;
    *last = text;
    LinesSay(teller, text);
}

/* What each key does, "key:what" joined by '|', as a sentence: "Keys: B, release a marble; ...". */
static std::string LinesKeysText(const char *keys)
{
    std::string said = "Keys: ";
    for (const char *pair = keys; *pair != '\0';) {
        size_t length = std::strcspn(pair, "|");
        std::string key(pair, length);
        size_t colon = key.find(':');
        if (colon != std::string::npos)
            key.replace(colon, 1, ", ");
        said += (pair == keys ? "" : "; ") + key;
        pair += length + (pair[length] == '|' ? 1 : 0);
    }
    return said;
}

void LinesAnnounce(LinesTeller *teller, int channel, const char *text)
{
    switch (channel) {
    case AnnounceLog:
    case AnnounceResult:
        LinesSay(teller, text);
        break;
    case AnnounceStatus:
        LinesSayChange(teller, &teller->lastCount, text);
        break;
    case AnnounceTurn:
        LinesSayChange(teller, &teller->lastTurn, text);
        break;
    case AnnounceKeys:
        LinesSayChange(teller, &teller->lastKeys, LinesKeysText(text));
        break;
    default:
        break; /* the parts of the screen mean nothing without it */
    }
}

void LinesSayTitle(LinesTeller *teller, const std::string &title)
{
    LinesSay(teller, title);
}

void LinesSayAgain(LinesTeller *teller)
{
    for (const std::string *said : {&teller->lastTurn, &teller->lastCount, &teller->lastKeys})
        if (!said->empty())
            LinesSay(teller, *said);
}

std::string LinesTake(LinesTeller *teller)
{
    std::string taken;
    taken.swap(teller->waiting);
    return taken;
}
