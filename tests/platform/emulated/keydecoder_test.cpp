/* The key decoder: terminal bytes and elapsed time in, key records out. */
#include "cursorreport.h"
#include "keydecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

/* One decoded key press: what the game reads of it and its modifier state. */
struct Key {
    int character; /* AsciiChar as an unsigned byte */
    int vk;
    DWORD state;
};

/* A key written with vk -1 stands for its character alone, whatever key and modifiers type it. */
bool operator==(const Key &a, const Key &b)
{
    if (a.vk < 0 || b.vk < 0)
        return a.character == b.character;
    return a.character == b.character && a.vk == b.vk && a.state == b.state;
}

std::ostream &operator<<(std::ostream &out, const Key &key)
{
    char text[64];
    std::snprintf(text, sizeof text, "{char %d, vk %d, state 0x%x}", key.character, key.vk,
                  static_cast<unsigned>(key.state));
    return out << text;
}

const DWORD Shift = SHIFT_PRESSED;
const DWORD Alt = LEFT_ALT_PRESSED;
const DWORD Ctrl = LEFT_CTRL_PRESSED;
const DWORD Enhanced = ENHANCED_KEY;
const Key EscKey = {27, VK_ESCAPE, 0};

Key Char(char character, int vk = -1, DWORD state = 0)
{
    return Key{static_cast<unsigned char>(character), vk, state};
}

/* Turns key-down/key-up pairs into keys, checking that every record is one half of such a pair. */
void TakeKeys(const std::vector<INPUT_RECORD> &records, std::vector<Key> &keys)
{
    ASSERT_EQ(records.size() % 2, 0u);
    for (size_t i = 0; i < records.size(); i += 2) {
        const KEY_EVENT_RECORD &down = records[i].Event.KeyEvent;
        const KEY_EVENT_RECORD &up = records[i + 1].Event.KeyEvent;
        ASSERT_EQ(records[i].EventType, KEY_EVENT);
        ASSERT_EQ(records[i + 1].EventType, KEY_EVENT);
        ASSERT_TRUE(down.bKeyDown);
        ASSERT_FALSE(up.bKeyDown);
        ASSERT_EQ(down.wRepeatCount, 1);
        ASSERT_EQ(up.wRepeatCount, 1);
        ASSERT_EQ(down.wVirtualKeyCode, up.wVirtualKeyCode);
        ASSERT_EQ(down.wVirtualScanCode, up.wVirtualScanCode);
        ASSERT_EQ(down.uChar.UnicodeChar, up.uChar.UnicodeChar);
        ASSERT_EQ(down.dwControlKeyState, up.dwControlKeyState);
        ASSERT_EQ(down.uChar.UnicodeChar >> 8, 0) << "the character's upper byte is left set";
        keys.push_back(Key{static_cast<unsigned char>(down.uChar.AsciiChar), down.wVirtualKeyCode,
                           down.dwControlKeyState});
    }
}

/* Decodes bytes that arrive in one read, then lets every timeout pass. */
std::vector<Key> Decode(const std::string &bytes)
{
    KeyDecoder decoder;
    KeyDecoderReset(decoder);
    std::vector<INPUT_RECORD> records;
    KeyDecoderFeed(decoder, bytes.data(), bytes.size(), 0, records);
    KeyDecoderIdle(decoder, 1000, records);
    EXPECT_EQ(KeyDecoderWaitMs(decoder), -1);
    std::vector<Key> keys;
    TakeKeys(records, keys);
    return keys;
}

std::vector<Key> Keys(std::initializer_list<Key> keys)
{
    return std::vector<Key>(keys);
}

class KeyDecoderReads : public ::testing::Test {
protected:
    void SetUp() override { KeyDecoderReset(decoder); }

    void Feed(const std::string &bytes, int elapsedMs)
    {
        KeyDecoderFeed(decoder, bytes.data(), bytes.size(), elapsedMs, records);
    }

    void Idle(int elapsedMs) { KeyDecoderIdle(decoder, elapsedMs, records); }

    /* The keys decoded since the last call. */
    std::vector<Key> TakenKeys()
    {
        std::vector<Key> keys;
        TakeKeys(records, keys);
        records.clear();
        return keys;
    }

    KeyDecoder decoder;
    std::vector<INPUT_RECORD> records;
};

/* ------------------------------------------------------------ Plain keys */

TEST(KeyDecoderPlain, LettersDigitsAndTheKeysTheGameReads)
{
    EXPECT_EQ(Decode("a"), Keys({Char('a', 'A')}));
    EXPECT_EQ(Decode("z"), Keys({Char('z', 'Z')}));
    EXPECT_EQ(Decode("N"), Keys({Char('N', 'N', Shift)}));
    EXPECT_EQ(Decode("0"), Keys({Char('0', '0')}));
    EXPECT_EQ(Decode("9"), Keys({Char('9', '9')}));
    EXPECT_EQ(Decode("\r"), Keys({Char('\r', VK_RETURN)}));
    EXPECT_EQ(Decode("\n"), Keys({Char('\r', VK_RETURN)}));
    EXPECT_EQ(Decode("\x7f"), Keys({Char('\b', VK_BACK)}));
    EXPECT_EQ(Decode("\b"), Keys({Char('\b', VK_BACK)}));
    EXPECT_EQ(Decode("\t"), Keys({Char('\t', VK_TAB)}));
    EXPECT_EQ(Decode(" "), Keys({Char(' ', VK_SPACE)}));
    EXPECT_EQ(Decode("gNb"), Keys({Char('g', 'G'), Char('N', 'N', Shift), Char('b', 'B')}));
}

TEST(KeyDecoderPlain, PunctuationKeepsItsCharacterOnAUsKeyboardKey)
{
    EXPECT_EQ(Decode("!"), Keys({Char('!', '1', Shift)}));
    EXPECT_EQ(Decode(")"), Keys({Char(')', '0', Shift)}));
    EXPECT_EQ(Decode("-"), Keys({Char('-', 0xBD)}));
    EXPECT_EQ(Decode("_"), Keys({Char('_', 0xBD, Shift)}));
    EXPECT_EQ(Decode("/"), Keys({Char('/', 0xBF)}));
    EXPECT_EQ(Decode("\""), Keys({Char('"', 0xDE, Shift)}));
    for (int byte = 0x20; byte < 0x7F; byte++) {
        std::vector<Key> keys = Decode(std::string(1, static_cast<char>(byte)));
        ASSERT_EQ(keys.size(), 1u) << "byte " << byte;
        EXPECT_EQ(keys[0].character, byte);
        EXPECT_NE(keys[0].vk, 0) << "byte " << byte;
    }
}

TEST(KeyDecoderPlain, ControlBytesAreCtrlLetters)
{
    EXPECT_EQ(Decode("\x01"), Keys({Char('\x01', 'A', Ctrl)}));
    EXPECT_EQ(Decode("\x07"), Keys({Char('\x07', 'G', Ctrl)}));
    EXPECT_EQ(Decode("\x0e"), Keys({Char('\x0e', 'N', Ctrl)}));
    EXPECT_EQ(Decode("\x1a"), Keys({Char('\x1a', 'Z', Ctrl)}));
    EXPECT_EQ(Decode("\x1d"), Keys({Char('\x1d', 0xDD, Ctrl)}));
    EXPECT_EQ(Decode(std::string(1, '\0')), Keys({Char('\0', VK_SPACE, Ctrl)}));
}

TEST(KeyDecoderPlain, RecordsCarryScanCodesAndEnhancedFlag)
{
    KeyDecoder decoder;
    KeyDecoderReset(decoder);
    std::vector<INPUT_RECORD> records;
    KeyDecoderFeed(decoder, "a\x1b[A\r", 5, 0, records);
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[0].Event.KeyEvent.wVirtualScanCode, 0x1E);
    EXPECT_EQ(records[0].Event.KeyEvent.dwControlKeyState, 0u);
    EXPECT_EQ(records[2].Event.KeyEvent.wVirtualScanCode, 0x48);
    EXPECT_EQ(records[2].Event.KeyEvent.dwControlKeyState, static_cast<DWORD>(ENHANCED_KEY));
    EXPECT_EQ(records[4].Event.KeyEvent.wVirtualScanCode, 0x1C);
}

/* ----------------------------------------------------------- Sequences */

struct SequenceCase {
    const char *bytes;
    Key key;
};

// clang-format off
const SequenceCase NamedKeys[] = {
    {"\x1b[A", {0, VK_UP, Enhanced}},      {"\x1bOA", {0, VK_UP, Enhanced}},
    {"\x1b[B", {0, VK_DOWN, Enhanced}},    {"\x1bOB", {0, VK_DOWN, Enhanced}},
    {"\x1b[C", {0, VK_RIGHT, Enhanced}},   {"\x1bOC", {0, VK_RIGHT, Enhanced}},
    {"\x1b[D", {0, VK_LEFT, Enhanced}},    {"\x1bOD", {0, VK_LEFT, Enhanced}},
    {"\x1b[H", {0, VK_HOME, Enhanced}},    {"\x1bOH", {0, VK_HOME, Enhanced}},
    {"\x1b[1~", {0, VK_HOME, Enhanced}},   {"\x1b[7~", {0, VK_HOME, Enhanced}},
    {"\x1b[F", {0, VK_END, Enhanced}},     {"\x1bOF", {0, VK_END, Enhanced}},
    {"\x1b[4~", {0, VK_END, Enhanced}},    {"\x1b[8~", {0, VK_END, Enhanced}},
    {"\x1b[2~", {0, VK_INSERT, Enhanced}}, {"\x1b[3~", {0, VK_DELETE, Enhanced}},
    {"\x1b[5~", {0, VK_PRIOR, Enhanced}},  {"\x1b[6~", {0, VK_NEXT, Enhanced}},
    {"\x1bOP", {0, VK_F1, 0}},             {"\x1b[11~", {0, VK_F1, 0}},
    {"\x1bOQ", {0, VK_F1 + 1, 0}},         {"\x1b[12~", {0, VK_F1 + 1, 0}},
    {"\x1bOR", {0, VK_F1 + 2, 0}},         {"\x1b[13~", {0, VK_F1 + 2, 0}},
    {"\x1bOS", {0, VK_F1 + 3, 0}},         {"\x1b[14~", {0, VK_F1 + 3, 0}},
    {"\x1b[15~", {0, VK_F1 + 4, 0}},       {"\x1b[17~", {0, VK_F1 + 5, 0}},
    {"\x1b[18~", {0, VK_F1 + 6, 0}},       {"\x1b[19~", {0, VK_F1 + 7, 0}},
    {"\x1b[20~", {0, VK_F1 + 8, 0}},       {"\x1b[21~", {0, VK_F1 + 9, 0}},
    {"\x1b[23~", {0, VK_F1 + 10, 0}},      {"\x1b[24~", {0, VK_F12, 0}},
    {"\x1b[[A", {0, VK_F1, 0}},            {"\x1b[[E", {0, VK_F1 + 4, 0}},
    {"\x1b[Z", {'\t', VK_TAB, Shift}},     {"\x1bOM", {'\r', VK_RETURN, 0}},
    {"\x1bOp", {'0', 0x60, 0}},            {"\x1bOy", {'9', 0x69, 0}},
    {"\x1bOk", {'+', 0x6B, 0}},            {"\x1bOo", {'/', 0x6F, 0}},
};
// clang-format on

const SequenceCase ModifiedKeys[] = {
    {"\x1b[1;5A", {0, VK_UP, Ctrl | Enhanced}},
    {"\x1b[1;2B", {0, VK_DOWN, Shift | Enhanced}},
    {"\x1b[1;3C", {0, VK_RIGHT, Alt | Enhanced}},
    {"\x1b[1;8D", {0, VK_LEFT, Shift | Alt | Ctrl | Enhanced}},
    {"\x1b[1;6H", {0, VK_HOME, Shift | Ctrl | Enhanced}},
    {"\x1b[1;4F", {0, VK_END, Shift | Alt | Enhanced}},
    {"\x1b[3;2~", {0, VK_DELETE, Shift | Enhanced}},
    {"\x1b[2;5~", {0, VK_INSERT, Ctrl | Enhanced}},
    {"\x1b[5;3~", {0, VK_PRIOR, Alt | Enhanced}},
    {"\x1b[6;7~", {0, VK_NEXT, Alt | Ctrl | Enhanced}},
    {"\x1b[1;2P", {0, VK_F1, Shift}},
    {"\x1b[1;5Q", {0, VK_F1 + 1, Ctrl}},
    {"\x1b[1;5R", {0, VK_F1 + 2, Ctrl}},
    {"\x1b[1;3S", {0, VK_F1 + 3, Alt}},
    {"\x1b[15;2~", {0, VK_F1 + 4, Shift}},
    {"\x1b[24;5~", {0, VK_F12, Ctrl}},
    {"\x1bO5P", {0, VK_F1, Ctrl}},
    {"\x1bO2A", {0, VK_UP, Shift | Enhanced}},
    {"\x1b[1;1A", {0, VK_UP, Enhanced}},
    {"\x1b[;5A", {0, VK_UP, Ctrl | Enhanced}},
};

TEST(KeyDecoderSequences, NamedKeysInCsiAndSs3Forms)
{
    for (const SequenceCase &c : NamedKeys)
        EXPECT_EQ(Decode(c.bytes), Keys({c.key})) << "sequence ESC" << (c.bytes + 1);
}

TEST(KeyDecoderSequences, ModifierParameters)
{
    for (const SequenceCase &c : ModifiedKeys)
        EXPECT_EQ(Decode(c.bytes), Keys({c.key})) << "sequence ESC" << (c.bytes + 1);
}

/* ----------------------------------------------------------------- ESC */

TEST_F(KeyDecoderReads, LoneEscWaitsForTheTimeoutThenIsTheEscKey)
{
    Feed("\x1b", 0);
    EXPECT_TRUE(TakenKeys().empty());
    EXPECT_EQ(KeyDecoderWaitMs(decoder), KeyDecoderEscapeTimeoutMs);
    Idle(30);
    Idle(19);
    EXPECT_TRUE(TakenKeys().empty());
    EXPECT_EQ(KeyDecoderWaitMs(decoder), 1);
    Idle(1);
    EXPECT_EQ(TakenKeys(), Keys({EscKey}));
    EXPECT_EQ(KeyDecoderWaitMs(decoder), -1);
}

TEST_F(KeyDecoderReads, BytesAfterTheEscTimeoutAreKeysOfTheirOwn)
{
    Feed("\x1b", 0);
    Feed("[A", KeyDecoderEscapeTimeoutMs);
    EXPECT_EQ(TakenKeys(), Keys({EscKey, Char('[', 0xDB), Char('A', 'A', Shift)}));
}

TEST_F(KeyDecoderReads, SequenceSplitAcrossReadsIsJoined)
{
    Feed("\x1b", 0);
    Idle(20);
    Feed("[", 20);
    Feed("1;", 5);
    Feed("5", 5);
    EXPECT_TRUE(TakenKeys().empty());
    Feed("A", 5);
    EXPECT_EQ(TakenKeys(), Keys({{0, VK_UP, Ctrl | Enhanced}}));
    Feed("\x1bO", 0);
    Feed("P", 40);
    EXPECT_EQ(TakenKeys(), Keys({{0, VK_F1, 0}}));
}

TEST_F(KeyDecoderReads, UnfinishedSequenceIsGivenUpAfterItsTimeout)
{
    Feed("\x1b[1;5", 0);
    EXPECT_EQ(KeyDecoderWaitMs(decoder), KeyDecoderSequenceTimeoutMs);
    Idle(KeyDecoderSequenceTimeoutMs);
    EXPECT_TRUE(TakenKeys().empty());
    EXPECT_EQ(KeyDecoderWaitMs(decoder), -1);
    Feed("\x1b]0;title", 0);
    Feed("b", KeyDecoderSequenceTimeoutMs);
    EXPECT_EQ(TakenKeys(), Keys({Char('b', 'B')}));
}

TEST(KeyDecoderEsc, EscBeforeAnotherKeyIsEscThenThatKey)
{
    EXPECT_EQ(Decode("\x1bn"), Keys({EscKey, Char('n', 'N')}));
    EXPECT_EQ(Decode("\x1bN"), Keys({EscKey, Char('N', 'N', Shift)}));
    EXPECT_EQ(Decode("\x1b\r"), Keys({EscKey, Char('\r', VK_RETURN)}));
    EXPECT_EQ(Decode("\x1b\xc3\xa9"), Keys({EscKey, Char('\x82', 0)}));
    EXPECT_EQ(Decode("\x1b\x1b"), Keys({EscKey, EscKey}));
    EXPECT_EQ(Decode("\x1b\x1b\x1b[A"), Keys({EscKey, EscKey, {0, VK_UP, Enhanced}}));
    /* ESC [ and ESC O that nothing follows were ESC and a key after all. */
    EXPECT_EQ(Decode("\x1b["), Keys({EscKey, Char('[')}));
    EXPECT_EQ(Decode("\x1bO"), Keys({EscKey, Char('O')}));
}

/* --------------------------------------------------------------- UTF-8 */

TEST(KeyDecoderUtf8, TextBecomesTheCodePageCharacterOrZero)
{
    EXPECT_EQ(Decode("\xc3\xa9"), Keys({Char('\x82', 0)}));       /* é */
    EXPECT_EQ(Decode("\xc3\x9f"), Keys({Char('\xe1', 0)}));       /* ß */
    EXPECT_EQ(Decode("\xe2\x94\x80"), Keys({Char('\xc4', 0)}));   /* ─ */
    EXPECT_EQ(Decode("\xe2\x96\x88"), Keys({Char('\xdb', 0)}));   /* █ */
    EXPECT_EQ(Decode("\xc2\xa0"), Keys({Char('\xff', 0)}));       /* no-break space */
    EXPECT_EQ(Decode("\xf0\x9f\x98\x80"), Keys({Char('\0', 0)})); /* an emoji */
    EXPECT_EQ(Decode("\xe2\x82\xac"), Keys({Char('\0', 0)}));     /* € */
    EXPECT_EQ(Decode("\xe2\x98\xba"), Keys({Char('\0', 0)}));     /* ☺ is not Ctrl-A */
}

TEST(KeyDecoderUtf8, InvalidBytesAreDroppedAndDecodingGoesOn)
{
    EXPECT_EQ(Decode("\x80x"), Keys({Char('x')}));
    EXPECT_EQ(Decode("\xffx"), Keys({Char('x')}));
    EXPECT_EQ(Decode("\xc0\xafx"), Keys({Char('x')}));         /* overlong '/' */
    EXPECT_EQ(Decode("\xe0\x80\xafx"), Keys({Char('x')}));     /* overlong '/' */
    EXPECT_EQ(Decode("\xed\xa0\x80x"), Keys({Char('x')}));     /* a surrogate */
    EXPECT_EQ(Decode("\xf4\x90\x80\x80x"), Keys({Char('x')})); /* past U+10FFFF */
    EXPECT_EQ(Decode("\xc3x"), Keys({Char('x')}));             /* cut short by ASCII */
    EXPECT_EQ(Decode("\xe2\x94\x1b[B"), Keys({{0, VK_DOWN, Enhanced}}));
    EXPECT_EQ(Decode("\xc3"), Keys({}));
}

TEST(KeyDecoderSingleByte, TextInTheLocalesCharacterSetBecomesTheCodePageCharacterOrZero)
{
    char32_t latin1[128];
    for (int i = 0; i < 128; i++)
        latin1[i] = i < 0x20 ? 0 : static_cast<char32_t>(0x80 + i); /* C1 controls stand for none */
    KeyDecoder decoder;
    KeyDecoderReset(decoder);
    KeyDecoderSetCharset(decoder, latin1);
    std::vector<INPUT_RECORD> records;
    std::string bytes = "\xe9\xdf\x85\xc3\xa9x\x1b[B";
    KeyDecoderFeed(decoder, bytes.data(), bytes.size(), 0, records);
    std::vector<Key> keys;
    TakeKeys(records, keys);
    /* é, ß, a C1 control, Ã (not in code page 437), © (neither), x, and the down arrow */
    EXPECT_EQ(keys, Keys({Char('\x82', 0),
                          Char('\xe1', 0),
                          Char('\0', 0),
                          Char('\0', 0),
                          Char('\0', 0),
                          Char('x'),
                          {0, VK_DOWN, Enhanced}}));
    KeyDecoderReset(decoder);
    records.clear();
    keys.clear();
    KeyDecoderFeed(decoder, "\xc3\xa9", 2, 0, records);
    TakeKeys(records, keys);
    EXPECT_EQ(keys, Keys({Char('\x82', 0)})) << "a reset decoder reads UTF-8 again";
}

/* ---------------------------------------------------- Swallowed input */

const char *const Swallowed[] = {
    "\x1b[99x",
    "\x1b[5n",
    "\x1b[2A",
    "\x1b[1;2;3A",
    "\x1b[12345~",
    "\x1b[0~",
    "\x1b[16~",
    "\x1b[200~",
    "\x1b[201~",
    "\x1b[I",
    "\x1b[O",
    "\x1b[Mabc",
    "\x1b[M\x1b[A",
    "\x1b[<0;12;34M",
    "\x1b[<0;12;34m",
    "\x1b[?1;2c",
    "\x1b[>41;330;0c",
    "\x1b[1 q",
    "\x1b[E",
    "\x1bOz",
    "\x1b[[Z",
    "\x1b]0;Hello A\x07",
    "\x1b]2;Title B\x1b\\",
    "\x1bP1$r0mC\x1b\\",
    "\x1b_Gi=1;OK\x1b\\",
    "\x1b[12;40R",
    "\x1b[1;1R",
    "\x1b[1\x18",
    "\x1b[1\x1a",
    "\x1b[\x7f~",
};

TEST(KeyDecoderSwallowed, UnknownAndMalformedSequencesGiveNoKey)
{
    for (const char *bytes : Swallowed)
        EXPECT_EQ(Decode(std::string(bytes) + "k"), Keys({Char('k', 'K')}))
            << "sequence ESC" << (bytes + 1);
}

TEST(KeyDecoderSwallowed, OverlongSequencesAreDroppedWholeAndDecodingResynchronises)
{
    EXPECT_EQ(Decode("\x1b[" + std::string(200, '1') + "Ak"), Keys({Char('k')}));
    EXPECT_EQ(Decode("\x1b[" + std::string(100, ';') + "~k"), Keys({Char('k')}));
    EXPECT_EQ(Decode("\x1b]" + std::string(5000, 'x') + "\x07k"), Keys({Char('k')}));
    KeyDecoder decoder;
    KeyDecoderReset(decoder);
    std::vector<INPUT_RECORD> records;
    std::string digits(100000, '7');
    KeyDecoderFeed(decoder, "\x1b[", 2, 0, records);
    KeyDecoderFeed(decoder, digits.data(), digits.size(), 0, records);
    KeyDecoderFeed(decoder, "Bk", 2, 0, records);
    std::vector<Key> keys;
    TakeKeys(records, keys);
    EXPECT_EQ(keys, Keys({Char('k')}));
}

TEST(KeyDecoderSwallowed, EscInsideASequenceStartsANewOne)
{
    EXPECT_EQ(Decode("\x1b[1;\x1b[B"), Keys({{0, VK_DOWN, Enhanced}}));
    EXPECT_EQ(Decode("\x1b]0;ti\x1b[Atle"),
              Keys({{0, VK_UP, Enhanced}, Char('t'), Char('l'), Char('e')}));
    /* A control byte inside a sequence is acted on and the sequence goes on, as on a terminal. */
    EXPECT_EQ(Decode("\x1b[1;\r5A"), Keys({Char('\r', VK_RETURN), {0, VK_UP, Ctrl | Enhanced}}));
    /* A byte that cannot be part of a sequence ends it and is read afresh. */
    EXPECT_EQ(Decode("\x1b[1\xc3\xa9"), Keys({Char('\x82', 0)}));
}

/* ------------------------------------------------- Cursor position report */

TEST_F(KeyDecoderReads, ALateCursorPositionReportIsNoKeyButCtrlF3Is)
{
    Feed("a\x1b[12;40Rb", 0);
    EXPECT_EQ(TakenKeys(), Keys({Char('a'), Char('b')}));
    Feed("\x1b[1;5R", 0);
    EXPECT_EQ(TakenKeys(), Keys({{0, VK_F1 + 2, Ctrl}}));
}

/* ----------------------------------------------------------- Random input */

/* A piece of input and the keys it must give, whatever comes before or after it. */
struct Token {
    std::string bytes;
    std::vector<Key> keys;
};

/* Every kind of input the decoder meets, each self-contained. */
std::vector<Token> TokenKinds()
{
    std::vector<Token> kinds;
    for (int byte = 0x20; byte < 0x7F; byte++)
        kinds.push_back({std::string(1, static_cast<char>(byte)), {Char(static_cast<char>(byte))}});
    for (int byte = 0x01; byte <= 0x1A; byte++) {
        char character = static_cast<char>(byte == '\n' ? '\r' : byte);
        kinds.push_back({std::string(1, static_cast<char>(byte)), {Char(character)}});
    }
    kinds.push_back({"\x7f", {Char('\b', VK_BACK)}});
    kinds.push_back({"\x1b", {EscKey}});
    for (const SequenceCase &c : NamedKeys)
        kinds.push_back({c.bytes, {c.key}});
    for (const SequenceCase &c : ModifiedKeys)
        kinds.push_back({c.bytes, {c.key}});
    for (const char *bytes : Swallowed)
        kinds.push_back({bytes, {}});
    kinds.push_back({"\x1b[" + std::string(300, '4') + "A", {}});
    kinds.push_back({"\xc3\xa9", {Char('\x82', 0)}});
    kinds.push_back({"\xe2\x95\x94", {Char('\xc9', 0)}});
    kinds.push_back({"\xf0\x9f\x8e\xb1", {Char('\0', 0)}});
    kinds.push_back({"\xc0\xaf", {}});
    kinds.push_back({"\xed\xa0\x80", {}});
    return kinds;
}

/* A printable byte that would join a lone ESC before it into a sequence. */
bool ContinuesEsc(const std::string &bytes)
{
    return bytes.size() == 1 && std::string("[O]P_").find(bytes[0]) != std::string::npos;
}

/* The input of many random tokens, and where a pause must pass for a lone ESC to stand alone. */
struct Script {
    std::string bytes;
    std::vector<Key> keys;
    /* Per byte: 0 inside a token, 1 a token starts, 2 a token starts that must wait out a lone ESC. */
    std::vector<char> tokenStart;
};

Script MakeScript(std::mt19937 &random, size_t minimumBytes)
{
    static const std::vector<Token> kinds = TokenKinds();
    Script script;
    bool afterEsc = false;
    while (script.bytes.size() < minimumBytes) {
        const Token &token = kinds[random() % kinds.size()];
        script.tokenStart.push_back((afterEsc && ContinuesEsc(token.bytes)) ? 2 : 1);
        script.tokenStart.resize(script.bytes.size() + token.bytes.size(), 0);
        script.bytes += token.bytes;
        script.keys.insert(script.keys.end(), token.keys.begin(), token.keys.end());
        afterEsc = token.bytes == "\x1b";
    }
    return script;
}

/*
 * Feeds the script in random pieces.  Inside a token the pause is always
 * shorter than the ESC timeout, between tokens it may be of any length, and
 * after a lone ESC whose next byte would continue it, it is long enough.
 */
std::vector<Key> FeedInPieces(const Script &script, std::mt19937 &random)
{
    KeyDecoder decoder;
    KeyDecoderReset(decoder);
    std::vector<INPUT_RECORD> records;
    std::vector<Key> keys;
    size_t at = 0;
    while (at < script.bytes.size()) {
        size_t end = at + 1 + random() % 12;
        for (size_t i = at + 1; i < end && i < script.bytes.size(); i++) {
            if (script.tokenStart[i] == 2)
                end = i;
        }
        end = std::min(end, script.bytes.size());
        int pause = static_cast<int>(random() % KeyDecoderEscapeTimeoutMs);
        if (script.tokenStart[at] == 2)
            pause = KeyDecoderEscapeTimeoutMs + static_cast<int>(random() % 1000);
        else if (script.tokenStart[at] == 1 && random() % 4 == 0)
            pause = static_cast<int>(random() % 1000);
        int idle = static_cast<int>(random() % (pause + 1));
        KeyDecoderIdle(decoder, idle, records);
        KeyDecoderFeed(decoder, script.bytes.data() + at, end - at, pause - idle, records);
        int wait = KeyDecoderWaitMs(decoder);
        EXPECT_TRUE(wait >= -1 && wait <= KeyDecoderSequenceTimeoutMs);
        TakeKeys(records, keys);
        records.clear();
        at = end;
    }
    KeyDecoderIdle(decoder, 1000, records);
    TakeKeys(records, keys);
    return keys;
}

TEST(KeyDecoderRandom, AMegabyteOfMixedInputInRandomPiecesGivesExactlyItsKeys)
{
    std::mt19937 random(20240607);
    Script script = MakeScript(random, 1 << 20);
    std::vector<Key> keys = FeedInPieces(script, random);
    ASSERT_EQ(keys.size(), script.keys.size());
    for (size_t i = 0; i < keys.size(); i++)
        ASSERT_EQ(keys[i], script.keys[i]) << "key " << i;
}

/* Decodes bytes in random pieces with random pauses, each below `maximumPauseMs`. */
std::vector<Key> DecodeRandomly(const std::string &bytes, std::mt19937 &random, int maximumPauseMs)
{
    KeyDecoder decoder;
    KeyDecoderReset(decoder);
    std::vector<INPUT_RECORD> records;
    std::vector<Key> keys;
    for (size_t at = 0; at < bytes.size();) {
        size_t count = std::min<size_t>(1 + random() % 4096, bytes.size() - at);
        int pause = static_cast<int>(random() % maximumPauseMs);
        int idle = static_cast<int>(random() % (pause + 1));
        KeyDecoderIdle(decoder, idle, records);
        KeyDecoderFeed(decoder, bytes.data() + at, count, pause - idle, records);
        EXPECT_LE(KeyDecoderWaitMs(decoder), KeyDecoderSequenceTimeoutMs);
        TakeKeys(records, keys);
        records.clear();
        at += count;
    }
    KeyDecoderIdle(decoder, 1000, records);
    TakeKeys(records, keys);
    EXPECT_EQ(KeyDecoderWaitMs(decoder), -1);
    return keys;
}

TEST(KeyDecoderRandom, AMegabyteOfRandomBytesDecodesAlikeHoweverItIsSplit)
{
    std::mt19937 random(4370);
    std::string bytes(1 << 20, '\0');
    for (char &byte : bytes)
        byte = static_cast<char>(random());
    std::vector<Key> whole = Decode(bytes);
    std::vector<Key> pieces = DecodeRandomly(bytes, random, KeyDecoderEscapeTimeoutMs);
    ASSERT_EQ(whole.size(), pieces.size());
    for (size_t i = 0; i < whole.size(); i++)
        ASSERT_EQ(whole[i], pieces[i]) << "key " << i;
    /* With pauses past the timeouts the keys may differ, but each is still a whole key press. */
    std::vector<Key> paused = DecodeRandomly(bytes, random, 2000);
    EXPECT_GT(paused.size(), bytes.size() / 4);
    for (const Key &key : paused) {
        bool named =
            (key.vk >= VK_PRIOR && key.vk <= VK_DOWN) || key.vk == VK_INSERT || key.vk == VK_DELETE;
        ASSERT_EQ((key.state & ENHANCED_KEY) != 0, named) << key;
    }
}

TEST(CursorReport, IsTakenOutOfTheBytesAroundIt)
{
    std::string bytes = "ab\x1b[12;5Rcd";
    int row = 0;
    int column = 0;
    ASSERT_TRUE(CursorReportTake(&bytes, &row, &column));
    EXPECT_EQ(row, 12);
    EXPECT_EQ(column, 5);
    EXPECT_EQ(bytes, "abcd");
    /* A key sequence before the report stays, in order. */
    bytes = "\x1b[A\x1b[1;1R";
    ASSERT_TRUE(CursorReportTake(&bytes, &row, &column));
    EXPECT_EQ(row, 1);
    EXPECT_EQ(bytes, "\x1b[A");
    /* Incomplete or absent: nothing taken. */
    for (std::string partial : {"\x1b[12;", "\x1b[12R", "x\x1b[;R", "q"}) {
        std::string kept = partial;
        EXPECT_FALSE(CursorReportTake(&kept, &row, &column)) << partial;
        EXPECT_EQ(kept, partial);
    }
}

} // namespace
