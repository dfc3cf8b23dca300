/* Code page 437 to Unicode and back. */
#include "cp437.h"

/* ---------------------------------------------------------------- Tables */

/* The glyphs of bytes 0x00 to 0x1F: NUL shows blank, the rest as pictures. */
const char32_t ControlGlyphs[32] = {
    0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, /*  ☺☻♥♦♣♠• */
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C, /* ◘○◙♂♀♪♫☼ */
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8, /* ►◄↕‼¶§▬↨ */
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC, /* ↑↓→←∟↔▲▼ */
};

/* The glyph of byte 0x7F, DEL. */
const char32_t DeleteGlyph = 0x2302; /* ⌂ */

/* The glyphs of bytes 0x80 to 0xFF. */
const char32_t HighGlyphs[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, /* 80 Çüéâäàåç */
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, /* 88 êëèïîìÄÅ */
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, /* 90 ÉæÆôöòûù */
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, /* 98 ÿÖÜ¢£¥₧ƒ */
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, /* A0 áíóúñÑªº */
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, /* A8 ¿⌐¬½¼¡«» */
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, /* B0 ░▒▓│┤╡╢╖ */
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, /* B8 ╕╣║╗╝╜╛┐ */
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, /* C0 └┴┬├─┼╞╟ */
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, /* C8 ╚╔╩╦╠═╬╧ */
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, /* D0 ╨╤╥╙╘╒╓╫ */
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, /* D8 ╪┘┌█▄▌▐▀ */
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, /* E0 αßΓπΣσµτ */
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, /* E8 ΦΘΩδ∞φε∩ */
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, /* F0 ≡±≥≤⌠⌡÷≈ */
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0, /* F8 °∙·√ⁿ²■nbsp */
};

namespace {

/* Every glyph encoded once: at most three UTF-8 bytes and the NUL. */
struct Cp437Utf8Table {
    char text[256][4];
};

} // namespace

/* --------------------------------------------------------------- Lookups */

char32_t Cp437ToUnicode(unsigned char byte)
{
    if (byte < 0x20)
        return ControlGlyphs[byte];
    if (byte == 0x7F)
        return DeleteGlyph;
    if (byte < 0x80)
        return byte;
    return HighGlyphs[byte - 0x80];
}

/* Writes the UTF-8 form of a code point below U+10000 and its NUL. */
static void Cp437EncodeUtf8(char32_t codePoint, char *out)
{
    if (codePoint < 0x80) {
        out[0] = static_cast<char>(codePoint);
        out[1] = '\0';
    } else if (codePoint < 0x800) {
        out[0] = static_cast<char>(0xC0 | (codePoint >> 6));
        out[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
        out[2] = '\0';
    } else {
        out[0] = static_cast<char>(0xE0 | (codePoint >> 12));
        out[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
        out[3] = '\0';
    }
}

static Cp437Utf8Table Cp437BuildUtf8Table()
{
    Cp437Utf8Table table;
    for (int byte = 0; byte < 256; byte++)
        Cp437EncodeUtf8(Cp437ToUnicode(static_cast<unsigned char>(byte)), table.text[byte]);
    return table;
}

const char *Cp437ToUtf8(unsigned char byte)
{
    static const Cp437Utf8Table table = Cp437BuildUtf8Table();
    return table.text[byte];
}

std::string Cp437TextToUtf8(const std::string &text)
{
    std::string utf8;
    for (unsigned char byte : text)
        utf8 += Cp437ToUtf8(byte);
    return utf8;
}

int Cp437FromUnicode(char32_t codePoint)
{
    if (codePoint < 0x80)
        return static_cast<int>(codePoint);
    for (int i = 0; i < 128; i++) {
        if (HighGlyphs[i] == codePoint)
            return 0x80 + i;
    }
    return -1;
}

/* ------------------------------------------------- Terminals without UTF-8 */

/* Box drawing 0xB3 to 0xDA as DEC special graphics, doubled lines as the single ones. */
const char DecBoxes[0xDA - 0xB3 + 1 + 1] = "xuuukkuxkjjjkmvwtqnttmlvwtqnvvwwmmllnnjl";

char Cp437ToDecGraphics(unsigned char byte)
{
    if (byte >= 0xB3 && byte <= 0xDA)
        return DecBoxes[byte - 0xB3];
    switch (byte) {
    case 0xB0:
    case 0xB1:
    case 0xB2:
        return 'a'; /* the shades, as the checkerboard */
    case 0x04:
        return '`'; /* ♦ */
    case 0x9C:
        return '}'; /* £ */
    case 0xE3:
        return '{'; /* π */
    case 0xF1:
        return 'g'; /* ± */
    case 0xF2:
        return 'z'; /* ≥ */
    case 0xF3:
        return 'y'; /* ≤ */
    case 0xF8:
        return 'f'; /* ° */
    case 0xF9:
    case 0xFA:
        return '~'; /* the dots */
    default:
        return 0;
    }
}

/* Stand-ins for the glyphs of 0x00 to 0x1F, 0x7F, and 0x80 to 0xFF. */
const char AsciiControls[32 + 1] = " oo***o*oOomf**o><|!PS-|^v><L-^v";
const char AsciiHigh[128 + 1] = "CueaaaaceeeiiiAA"
                                "EaAooouuyOUcLYPf"
                                "aiounNao?--24!<>"
                                "###|++++++|+++++"
                                "++++-++++++++=++"
                                "+++++++++++#_||-"
                                "aBGpSsutFTOd8fen"
                                "=+><()/~o..vn2# ";

std::string Cp437ToNarrow(unsigned char byte)
{
    switch (byte) {
    case 0xC4: /* ─ */
        return "\u254C";
    case 0xB3: /* │ */
        return "\u254E";
    case 0xCD: /* ═ */
        return "\u254D";
    case 0xBA: /* ║ */
        return "\u254F";
    default:
        return std::string(1, Cp437ToAscii(byte));
    }
}

char Cp437ToAscii(unsigned char byte)
{
    if (byte < 0x20)
        return AsciiControls[byte];
    if (byte == 0x7F)
        return '^'; /* ⌂ */
    if (byte < 0x80)
        return static_cast<char>(byte);
    return AsciiHigh[byte - 0x80];
}
