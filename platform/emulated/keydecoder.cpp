/*
 * The key decoder.  Bytes are read one at a time by a small state machine in
 * the manner of a terminal's own parser: plain bytes are keys at once; ESC
 * starts a sequence that ends at its final byte; a string (OSC, DCS, APC)
 * ends at BEL or ESC \; a UTF-8 character ends with its last byte.  A
 * sequence the decoder does not know is dropped whole, so none of its bytes
 * ever comes out as a key.
 */
#include "keydecoder.h"

#include "cp437.h"
#include "cursorreport.h"

#include <algorithm>
#include <cstring>

/* ------------------------------------------------------------ Constants */

typedef std::vector<INPUT_RECORD> Records;

/* What the bytes held so far belong to. */
enum {
    DecodeGround = 0,    /* nothing unfinished */
    DecodeEscape,        /* an ESC and nothing after it yet */
    DecodeSequence,      /* ESC [ or ESC O with parameters, up to the final byte */
    DecodeLinuxFunction, /* ESC [ [, the Linux console's F1 to F5, one letter to come */
    DecodeString,        /* an OSC, DCS or APC string, up to BEL or ESC \ */
    DecodeStringEscape,  /* an ESC inside a string: its end, or a new sequence */
    DecodeMouse,         /* the three raw bytes of an ESC [ M mouse report */
    DecodeUtf8           /* the continuation bytes of a UTF-8 character */
};

enum : unsigned char {
    ByteEscape = 0x1B,
    ByteCancel = 0x18, /* CAN and SUB abandon a sequence, as on a terminal */
    ByteSubstitute = 0x1A,
    ByteBell = 0x07,
    ByteDelete = 0x7F
};

/* Virtual-key codes of keys that the console header has no name for. */
const WORD VkNumpad0 = 0x60; /* to VkNumpad0 + 9 */
const WORD VkMultiply = 0x6A;
const WORD VkAdd = 0x6B;
const WORD VkSubtract = 0x6D;
const WORD VkDecimal = 0x6E;
const WORD VkDivide = 0x6F;
const WORD VkOem1 = 0xBA;      /* ; : */
const WORD VkOemPlus = 0xBB;   /* = + */
const WORD VkOemComma = 0xBC;  /* , < */
const WORD VkOemMinus = 0xBD;  /* - _ */
const WORD VkOemPeriod = 0xBE; /* . > */
const WORD VkOem2 = 0xBF;      /* / ? */
const WORD VkOem3 = 0xC0;      /* ` ~ */
const WORD VkOem4 = 0xDB;      /* [ { */
const WORD VkOem5 = 0xDC;      /* \ | */
const WORD VkOem6 = 0xDD;      /* ] } */
const WORD VkOem7 = 0xDE;      /* ' " */

/* ------------------------------------------------------- Key records */

/* Set-1 scan codes of the letters A to Z, of a US keyboard. */
const unsigned char LetterScanCodes[26] = {
    0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
    0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C,
};

/* Scan codes of the keypad's digits 0 to 9. */
const unsigned char KeypadScanCodes[10] = {
    0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49,
};

/* Scan codes of the other keys the decoder hands out, by virtual-key code. */
const WORD OtherScanCodes[][2] = {
    {VK_BACK, 0x0E},     {VK_TAB, 0x0F},     {VK_RETURN, 0x1C},  {VK_ESCAPE, 0x01},
    {VK_SPACE, 0x39},    {VK_PRIOR, 0x49},   {VK_NEXT, 0x51},    {VK_END, 0x4F},
    {VK_HOME, 0x47},     {VK_LEFT, 0x4B},    {VK_UP, 0x48},      {VK_RIGHT, 0x4D},
    {VK_DOWN, 0x50},     {VK_INSERT, 0x52},  {VK_DELETE, 0x53},  {VkMultiply, 0x37},
    {VkAdd, 0x4E},       {VkSubtract, 0x4A}, {VkDecimal, 0x53},  {VkDivide, 0x35},
    {VkOem1, 0x27},      {VkOemPlus, 0x0D},  {VkOemComma, 0x33}, {VkOemMinus, 0x0C},
    {VkOemPeriod, 0x34}, {VkOem2, 0x35},     {VkOem3, 0x29},     {VkOem4, 0x1A},
    {VkOem5, 0x2B},      {VkOem6, 0x1B},     {VkOem7, 0x28},
};

/* The scan code a US keyboard sends for a key; 0 where there is none. */
static WORD KeyDecoderScanCodeFor(WORD vk)
{
    if (vk >= 'A' && vk <= 'Z')
        return LetterScanCodes[vk - 'A'];
    if (vk >= '1' && vk <= '9')
        return static_cast<WORD>(vk - '1' + 0x02);
    if (vk == '0')
        return 0x0B;
    if (vk >= VkNumpad0 && vk < VkNumpad0 + 10)
        return KeypadScanCodes[vk - VkNumpad0];
    if (vk >= VK_F1 && vk < VK_F1 + 10)
        return static_cast<WORD>(vk - VK_F1 + 0x3B);
    if (vk == VK_F1 + 10 || vk == VK_F12)
        return static_cast<WORD>(vk - VK_F1 - 10 + 0x57);
    for (const WORD *pair : OtherScanCodes) {
        if (pair[0] == vk)
            return pair[1];
    }
    return 0;
}

/* The keys a PC keyboard has twice, whose grey copies Win32 marks as enhanced. */
static int KeyDecoderIsEnhancedKey(WORD vk)
{
    return (vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_INSERT || vk == VK_DELETE;
}

/* Appends one key press: its key-down record, then its key-up record. */
static void KeyDecoderAddKey(Records &records, char character, WORD vk, DWORD state)
{
    INPUT_RECORD record;
    std::memset(&record, 0, sizeof record);
    record.EventType = KEY_EVENT;
    KEY_EVENT_RECORD &key = record.Event.KeyEvent;
    key.bKeyDown = TRUE;
    key.wRepeatCount = 1;
    key.wVirtualKeyCode = vk;
    key.wVirtualScanCode = KeyDecoderScanCodeFor(vk);
    key.uChar.AsciiChar = character;
    key.dwControlKeyState = state | (KeyDecoderIsEnhancedKey(vk) ? ENHANCED_KEY : 0);
    records.push_back(record);
    key.bKeyDown = FALSE;
    records.push_back(record);
}

/* Appends a key without a character of its own: cursor, editing and function keys. */
static void KeyDecoderAddNamedKey(Records &records, WORD vk, DWORD state)
{
    if (vk == VK_TAB)
        KeyDecoderAddKey(records, '\t', vk, state);
    else if (vk == VK_RETURN)
        KeyDecoderAddKey(records, '\r', vk, state);
    else if (vk != 0)
        KeyDecoderAddKey(records, 0, vk, state);
}

/* ---------------------------------------------------------- Plain bytes */

/* Punctuation of a US keyboard, unshifted and shifted, with the key each is on. */
const char PunctuationPlain[] = "`-=[]\\;',./";
const char PunctuationShifted[] = "~_+{}|:\"<>?";
const WORD PunctuationVks[] = {VkOem3, VkOemMinus, VkOemPlus,  VkOem4,      VkOem6, VkOem5,
                               VkOem1, VkOem7,     VkOemComma, VkOemPeriod, VkOem2};
/* The shifted digit keys, indexed by their digit. */
const char DigitsShifted[] = ")!@#$%^&*(";

/* Appends the key of a printable ASCII byte, with the key a US keyboard types it on. */
static void KeyDecoderAddPrintableKey(Records &records, unsigned char byte)
{
    char character = static_cast<char>(byte);
    if (byte == ' ')
        KeyDecoderAddKey(records, character, VK_SPACE, 0);
    else if (byte >= 'a' && byte <= 'z')
        KeyDecoderAddKey(records, character, static_cast<WORD>(byte - 'a' + 'A'), 0);
    else if ((byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9'))
        KeyDecoderAddKey(records, character, byte, (byte >= 'A') ? SHIFT_PRESSED : 0);
    else if (const char *digit = std::strchr(DigitsShifted, character))
        KeyDecoderAddKey(records, character, static_cast<WORD>('0' + (digit - DigitsShifted)),
                         SHIFT_PRESSED);
    else if (const char *plain = std::strchr(PunctuationPlain, character))
        KeyDecoderAddKey(records, character, PunctuationVks[plain - PunctuationPlain], 0);
    else if (const char *shifted = std::strchr(PunctuationShifted, character))
        KeyDecoderAddKey(records, character, PunctuationVks[shifted - PunctuationShifted],
                         SHIFT_PRESSED);
}

/* Appends the key of a control byte other than ESC: Enter, Tab, Backspace or a Ctrl key. */
static void KeyDecoderAddControlKey(Records &records, unsigned char byte)
{
    char character = static_cast<char>(byte);
    if (byte == '\r' || byte == '\n')
        KeyDecoderAddKey(records, '\r', VK_RETURN, 0);
    else if (byte == '\t')
        KeyDecoderAddKey(records, '\t', VK_TAB, 0);
    else if (byte == '\b' || byte == ByteDelete)
        KeyDecoderAddKey(records, '\b', VK_BACK, 0);
    else if (byte == 0)
        KeyDecoderAddKey(records, 0, VK_SPACE, LEFT_CTRL_PRESSED);
    else if (byte <= 0x1A)
        KeyDecoderAddKey(records, character, static_cast<WORD>('A' + byte - 1), LEFT_CTRL_PRESSED);
    else if (byte == 0x1C || byte == 0x1D)
        KeyDecoderAddKey(records, character, byte == 0x1C ? VkOem5 : VkOem6, LEFT_CTRL_PRESSED);
    else if (byte == 0x1E || byte == 0x1F)
        KeyDecoderAddKey(records, character, byte == 0x1E ? WORD('6') : VkOemMinus,
                         LEFT_CTRL_PRESSED | SHIFT_PRESSED);
}

/* ------------------------------------------------------ Sequence state */

/* Holds a new ESC as the start of a sequence or a lone ESC key. */
static void KeyDecoderStartEscape(KeyDecoder &decoder)
{
    decoder.mode = DecodeEscape;
    decoder.sequence[0] = ByteEscape;
    decoder.length = 1;
    decoder.overflowed = 0;
}

static void KeyDecoderAppendByte(KeyDecoder &decoder, unsigned char byte)
{
    decoder.sequence[decoder.length++] = byte;
}

/* Starts on a byte while nothing is unfinished. */
static void KeyDecoderTakeGroundByte(KeyDecoder &decoder, unsigned char byte, Records &records)
{
    if (byte == ByteEscape) {
        KeyDecoderStartEscape(decoder);
    } else if (byte < 0x20 || byte == ByteDelete) {
        KeyDecoderAddControlKey(records, byte);
    } else if (byte < 0x80) {
        KeyDecoderAddPrintableKey(records, byte);
    } else if (decoder.singleByte) {
        int cp437 = Cp437FromUnicode(decoder.highBytes[byte - 0x80]);
        KeyDecoderAddKey(records, static_cast<char>(cp437 <= 0 ? 0 : cp437), 0, 0);
    } else if (byte >= 0xC2 && byte <= 0xF4) {
        decoder.mode = DecodeUtf8;
        decoder.sequence[0] = byte;
        decoder.length = 1;
        decoder.remaining = (byte < 0xE0) ? 1 : (byte < 0xF0) ? 2 : 3;
    }
    /* Any other byte cannot start a UTF-8 character and is dropped. */
}

/* ------------------------------------------------------- Parameters */

namespace {

/* The numeric parameters of a sequence: at most two, each 0 where left out. */
struct SequenceParameters {
    int count;
    int value[2];
};

} // namespace

enum { MaxParameterDigits = 4 };

/* Reads the parameters before the final byte; 0 unless they are plain digits and ';'. */
static int KeyDecoderReadParameters(const KeyDecoder &decoder, SequenceParameters &parameters)
{
    parameters = SequenceParameters{0, {0, 0}};
    int digits = 0;
    for (int i = 2; i < decoder.length - 1; i++) {
        unsigned char byte = decoder.sequence[i];
        if (parameters.count == 0)
            parameters.count = 1;
        if (byte == ';') {
            if (parameters.count == 2)
                return 0;
            parameters.count++;
            digits = 0;
        } else if (byte >= '0' && byte <= '9' && digits < MaxParameterDigits) {
            int &value = parameters.value[parameters.count - 1];
            value = value * 10 + (byte - '0');
            digits++;
        } else {
            return 0;
        }
    }
    return 1;
}

/* The modifier keys of an xterm modifier parameter: 1 + (Shift 1 | Alt 2 | Ctrl 4). */
static DWORD KeyDecoderModifierState(int parameter)
{
    int bits = (parameter > 1) ? parameter - 1 : 0;
    DWORD state = 0;
    if (bits & 1)
        state |= SHIFT_PRESSED;
    if (bits & 2)
        state |= LEFT_ALT_PRESSED;
    if (bits & 4)
        state |= LEFT_CTRL_PRESSED;
    return state;
}

/* ------------------------------------------------------- Known sequences */

/* The key of a letter that ends a CSI or SS3 sequence: cursor keys, Home, End, F1 to F4. */
static WORD KeyDecoderLetterKeyVk(unsigned char final)
{
    static const char Finals[] = "ABCDHFPQRS";
    static const WORD Vks[] = {VK_UP,  VK_DOWN, VK_RIGHT,  VK_LEFT,   VK_HOME,
                               VK_END, VK_F1,   VK_F1 + 1, VK_F1 + 2, VK_F1 + 3};
    const char *found = std::strchr(Finals, final);
    return (final != 0 && found) ? Vks[found - Finals] : 0;
}

/* The key of ESC [ number ~; 0 for numbers that name no key. */
static WORD KeyDecoderTildeKeyVk(int number)
{
    static const WORD Vks[] = {0,        VK_HOME, VK_INSERT, VK_DELETE, VK_END,
                               VK_PRIOR, VK_NEXT, VK_HOME,   VK_END};
    if (number >= 1 && number <= 8)
        return Vks[number];
    if (number >= 11 && number <= 15)
        return static_cast<WORD>(VK_F1 + number - 11);
    if (number >= 17 && number <= 21)
        return static_cast<WORD>(VK_F1 + 5 + number - 17);
    if (number == 23 || number == 24)
        return static_cast<WORD>(VK_F1 + 10 + number - 23);
    return 0;
}

/* Appends a key of the numeric keypad in application mode: ESC O j to y, ESC O M. */
static void KeyDecoderAddKeypadKey(Records &records, unsigned char final, DWORD state)
{
    static const char Characters[] = "*+,-./0123456789";
    if (final == 'M') {
        KeyDecoderAddNamedKey(records, VK_RETURN, state);
    } else if (final >= 'j' && final <= 'o') {
        WORD vk = static_cast<WORD>(VkMultiply + final - 'j');
        KeyDecoderAddKey(records, Characters[final - 'j'], vk, state);
    } else if (final >= 'p' && final <= 'y') {
        WORD vk = static_cast<WORD>(VkNumpad0 + final - 'p');
        KeyDecoderAddKey(records, Characters[final - 'j'], vk, state);
    }
}

/* Appends the key of a finished ESC O sequence; the last parameter, if any, holds the modifiers. */
static void KeyDecoderFinishSs3(unsigned char final, const SequenceParameters &parameters,
                                Records &records)
{
    DWORD state =
        KeyDecoderModifierState(parameters.count > 0 ? parameters.value[parameters.count - 1] : 0);
    if (final == 'M' || (final >= 'j' && final <= 'y'))
        KeyDecoderAddKeypadKey(records, final, state);
    else
        KeyDecoderAddNamedKey(records, KeyDecoderLetterKeyVk(final), state);
}

/* Appends the key of a finished ESC [ sequence; drops cursor reports and anything else. */
static void KeyDecoderFinishCsi(unsigned char final, const SequenceParameters &parameters,
                                Records &records)
{
    DWORD state = KeyDecoderModifierState(parameters.value[1]);
    if (final == '~') {
        KeyDecoderAddNamedKey(records, KeyDecoderTildeKeyVk(parameters.value[0]), state);
    } else if (final == 'R' && parameters.count == 2 &&
               !CursorReportCouldBeKey(parameters.value[0], parameters.value[1])) {
        /* a cursor position report come too late to be the answer the tty driver waited for */
    } else if (parameters.value[0] > 1) {
        /* Keys ending in a letter send only "1;m" as their parameters. */
    } else if (final == 'Z') {
        KeyDecoderAddNamedKey(records, VK_TAB, state | SHIFT_PRESSED);
    } else {
        KeyDecoderAddNamedKey(records, KeyDecoderLetterKeyVk(final), state);
    }
}

/* Acts on a sequence whose final byte has just arrived. */
static void KeyDecoderFinishSequence(KeyDecoder &decoder, Records &records)
{
    SequenceParameters parameters;
    unsigned char final = decoder.sequence[decoder.length - 1];
    decoder.mode = DecodeGround;
    if (decoder.overflowed || !KeyDecoderReadParameters(decoder, parameters))
        return;
    if (decoder.sequence[1] == 'O')
        KeyDecoderFinishSs3(final, parameters, records);
    else
        KeyDecoderFinishCsi(final, parameters, records);
}

/* ------------------------------------------------------ Byte by byte */

/*
 * Each TakeXxxByte function takes one byte in one mode and answers 1 when it
 * used the byte up, or 0 when the byte ended what was held and must be taken
 * again from the mode it left behind (never the same mode with the same
 * bytes, so a byte is taken again at most twice).
 */

static int KeyDecoderTakeEscapeByte(KeyDecoder &decoder, unsigned char byte, Records &records)
{
    if (byte == '[' || byte == 'O') {
        decoder.mode = DecodeSequence;
        KeyDecoderAppendByte(decoder, byte);
        return 1;
    }
    if (byte == ']' || byte == 'P' || byte == '_') {
        decoder.mode = DecodeString;
        return 1;
    }
    /* ESC before anything else is the ESC key, then that byte's own key. */
    KeyDecoderAddKey(records, ByteEscape, VK_ESCAPE, 0);
    if (byte == ByteEscape)
        return 1;
    decoder.mode = DecodeGround;
    return 0;
}

/* The bytes a terminal's parser treats alike in every sequence: controls, DEL, ESC, UTF-8. */
static int KeyDecoderTakeByteInsideSequence(KeyDecoder &decoder, unsigned char byte,
                                            Records &records)
{
    if (byte == ByteEscape) {
        KeyDecoderStartEscape(decoder);
    } else if (byte == ByteCancel || byte == ByteSubstitute) {
        decoder.mode = DecodeGround;
    } else if (byte >= 0x80) {
        decoder.mode = DecodeGround;
        return 0;
    } else if (byte != ByteDelete) {
        /* A terminal acts on a control byte and goes on with the sequence. */
        KeyDecoderAddControlKey(records, byte);
    }
    return 1;
}

static int KeyDecoderTakeSequenceByte(KeyDecoder &decoder, unsigned char byte, Records &records)
{
    if (byte < 0x20 || byte >= ByteDelete)
        return KeyDecoderTakeByteInsideSequence(decoder, byte, records);
    if (byte < 0x40) {
        if (decoder.length < KeyDecoderMaxSequence - 1)
            KeyDecoderAppendByte(decoder, byte);
        else
            decoder.overflowed = 1;
        return 1;
    }
    int bare = decoder.length == 2 && decoder.sequence[1] == '[';
    if (bare && byte == '[') {
        decoder.mode = DecodeLinuxFunction;
    } else if (bare && byte == 'M') {
        decoder.mode = DecodeMouse;
        decoder.remaining = 3;
    } else {
        KeyDecoderAppendByte(decoder, byte);
        KeyDecoderFinishSequence(decoder, records);
    }
    return 1;
}

static int KeyDecoderTakeLinuxFunctionByte(KeyDecoder &decoder, unsigned char byte,
                                           Records &records)
{
    decoder.mode = DecodeGround;
    if (byte >= 'A' && byte <= 'E') {
        KeyDecoderAddNamedKey(records, static_cast<WORD>(VK_F1 + byte - 'A'), 0);
        return 1;
    }
    return byte >= 0x20 && byte < ByteDelete; /* any other final ends the unknown sequence */
}

static int KeyDecoderTakeStringByte(KeyDecoder &decoder, unsigned char byte)
{
    if (decoder.mode == DecodeStringEscape) {
        if (byte == '\\') {
            decoder.mode = DecodeGround;
            return 1;
        }
        KeyDecoderStartEscape(
            decoder); /* an ESC that does not end the string starts a new sequence */
        return 0;
    }
    if (byte == ByteEscape)
        decoder.mode = DecodeStringEscape;
    else if (byte == ByteBell || byte == ByteCancel || byte == ByteSubstitute)
        decoder.mode = DecodeGround;
    return 1;
}

/* Whether a byte may follow the bytes of a UTF-8 character held so far. */
static int KeyDecoderIsUtf8Continuation(const KeyDecoder &decoder, unsigned char byte)
{
    if (decoder.length == 1) {
        unsigned char lead = decoder.sequence[0];
        if (lead == 0xE0)
            return byte >= 0xA0 && byte <= 0xBF; /* no overlong forms */
        if (lead == 0xED)
            return byte >= 0x80 && byte <= 0x9F; /* no surrogates */
        if (lead == 0xF0)
            return byte >= 0x90 && byte <= 0xBF;
        if (lead == 0xF4)
            return byte >= 0x80 && byte <= 0x8F; /* nothing past U+10FFFF */
    }
    return byte >= 0x80 && byte <= 0xBF;
}

/* Appends the key of a whole UTF-8 character: its code page 437 byte, else character 0. */
static void KeyDecoderAddUtf8Key(const KeyDecoder &decoder, Records &records)
{
    static const unsigned char LeadMasks[] = {0, 0, 0x1F, 0x0F, 0x07};
    char32_t codePoint = decoder.sequence[0] & LeadMasks[decoder.length];
    for (int i = 1; i < decoder.length; i++)
        codePoint = (codePoint << 6) | (decoder.sequence[i] & 0x3Fu);
    int byte = Cp437FromUnicode(codePoint);
    KeyDecoderAddKey(records, static_cast<char>(byte < 0 ? 0 : byte), 0, 0);
}

static int KeyDecoderTakeUtf8Byte(KeyDecoder &decoder, unsigned char byte, Records &records)
{
    if (!KeyDecoderIsUtf8Continuation(decoder, byte)) {
        decoder.mode = DecodeGround; /* the broken character is dropped; the byte starts afresh */
        return 0;
    }
    KeyDecoderAppendByte(decoder, byte);
    if (--decoder.remaining == 0) {
        decoder.mode = DecodeGround;
        KeyDecoderAddUtf8Key(decoder, records);
    }
    return 1;
}

/* Takes one byte in the present mode; 0 when it must be taken again. */
static int KeyDecoderTakeByte(KeyDecoder &decoder, unsigned char byte, Records &records)
{
    switch (decoder.mode) {
    case DecodeEscape:
        return KeyDecoderTakeEscapeByte(decoder, byte, records);
    case DecodeSequence:
        return KeyDecoderTakeSequenceByte(decoder, byte, records);
    case DecodeLinuxFunction:
        return KeyDecoderTakeLinuxFunctionByte(decoder, byte, records);
    case DecodeString:
    case DecodeStringEscape:
        return KeyDecoderTakeStringByte(decoder, byte);
    case DecodeMouse:
        if (--decoder.remaining == 0)
            decoder.mode = DecodeGround;
        return 1;
    case DecodeUtf8:
        return KeyDecoderTakeUtf8Byte(decoder, byte, records);
    default:
        KeyDecoderTakeGroundByte(decoder, byte, records);
        return 1;
    }
}

/* -------------------------------------------------------------- Timing */

static int KeyDecoderTimeoutMs(const KeyDecoder &decoder)
{
    return decoder.mode == DecodeEscape ? KeyDecoderEscapeTimeoutMs : KeyDecoderSequenceTimeoutMs;
}

/*
 * Ends what is held when its time is up.  A lone ESC is the ESC key; ESC [
 * and ESC O alone are ESC and then that key, as ESC before any other
 * printable byte is; the rest of a sequence cut short is dropped.
 */
static void KeyDecoderExpireSequence(KeyDecoder &decoder, Records &records)
{
    if (decoder.mode == DecodeEscape || (decoder.mode == DecodeSequence && decoder.length == 2))
        KeyDecoderAddKey(records, ByteEscape, VK_ESCAPE, 0);
    if (decoder.mode == DecodeSequence && decoder.length == 2)
        KeyDecoderAddPrintableKey(records, decoder.sequence[1]);
    decoder.mode = DecodeGround;
    decoder.idleMs = 0;
}

/* ------------------------------------------------------------ Interface */

void KeyDecoderReset(KeyDecoder &decoder)
{
    std::memset(&decoder, 0, sizeof decoder);
    decoder.mode = DecodeGround;
}

void KeyDecoderSetCharset(KeyDecoder &decoder, const char32_t *highBytes)
{
    decoder.singleByte = highBytes != nullptr;
    if (highBytes != nullptr)
        std::memcpy(decoder.highBytes, highBytes, sizeof decoder.highBytes);
}

void KeyDecoderIdle(KeyDecoder &decoder, int elapsedMs, Records &records)
{
    if (decoder.mode == DecodeGround)
        return;
    /* Capped, so that no pause can overflow the count. */
    if (elapsedMs > 0)
        decoder.idleMs += std::min<int>(elapsedMs, KeyDecoderSequenceTimeoutMs);
    if (decoder.idleMs >= KeyDecoderTimeoutMs(decoder))
        KeyDecoderExpireSequence(decoder, records);
}

void KeyDecoderFeed(KeyDecoder &decoder, const char *bytes, size_t count, int elapsedMs,
                    Records &records)
{
    KeyDecoderIdle(decoder, elapsedMs, records);
    for (size_t i = 0; i < count; i++) {
        unsigned char byte = static_cast<unsigned char>(bytes[i]);
        while (!KeyDecoderTakeByte(decoder, byte, records)) {
        }
    }
    if (count > 0)
        decoder.idleMs = 0;
}

int KeyDecoderWaitMs(const KeyDecoder &decoder)
{
    if (decoder.mode == DecodeGround)
        return -1;
    int left = KeyDecoderTimeoutMs(decoder) - decoder.idleMs;
    return left > 0 ? left : 0;
}
