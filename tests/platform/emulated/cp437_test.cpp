/* The code page 437 table: glyphs as UTF-8 and the way back from Unicode. */
#include "cp437.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

/* Decodes one whole UTF-8 string holding exactly one character; 0xFFFFFFFF when it does not. */
char32_t DecodeSingleCharacter(const char *text)
{
    const unsigned char *s = reinterpret_cast<const unsigned char *>(text);
    size_t length = std::strlen(text);
    if (length == 1 && s[0] < 0x80)
        return s[0];
    if (length == 2 && (s[0] & 0xE0) == 0xC0 && (s[1] & 0xC0) == 0x80)
        return static_cast<char32_t>(((s[0] & 0x1F) << 6) | (s[1] & 0x3F));
    if (length == 3 && (s[0] & 0xF0) == 0xE0 && (s[1] & 0xC0) == 0x80 && (s[2] & 0xC0) == 0x80)
        return static_cast<char32_t>(((s[0] & 0x0F) << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F));
    return 0xFFFFFFFF;
}

TEST(Cp437, KnownGlyphs)
{
    EXPECT_STREQ(Cp437ToUtf8(0xB3), "│");
    EXPECT_STREQ(Cp437ToUtf8(0xC4), "─");
    EXPECT_STREQ(Cp437ToUtf8(0xDA), "┌");
    EXPECT_STREQ(Cp437ToUtf8(0xD9), "┘");
    EXPECT_STREQ(Cp437ToUtf8(0xDB), "█");
    EXPECT_STREQ(Cp437ToUtf8(0xC9), "╔");
    EXPECT_STREQ(Cp437ToUtf8(0xBC), "╝");
    EXPECT_STREQ(Cp437ToUtf8(0x80), "Ç");
    EXPECT_STREQ(Cp437ToUtf8(0x82), "é");
    EXPECT_STREQ(Cp437ToUtf8(0x9E), "₧");
    EXPECT_STREQ(Cp437ToUtf8(0xE1), "ß");
    EXPECT_STREQ(Cp437ToUtf8(0xE6), "µ");
    EXPECT_STREQ(Cp437ToUtf8(0xFE), "■");
    EXPECT_STREQ(Cp437ToUtf8(0xFF), "\xC2\xA0");
    EXPECT_STREQ(Cp437ToUtf8(0x00), " ");
    EXPECT_STREQ(Cp437ToUtf8('A'), "A");
    EXPECT_STREQ(Cp437ToUtf8('~'), "~");
    EXPECT_STREQ(Cp437ToUtf8(0x7F), "⌂");
}

TEST(Cp437, ControlBytesShowTheirPictureGlyphsInOrder)
{
    std::string glyphs;
    for (int byte = 0x01; byte < 0x20; byte++)
        glyphs += Cp437ToUtf8(static_cast<unsigned char>(byte));
    EXPECT_EQ(glyphs, "☺☻♥♦♣♠•◘○◙♂♀♪♫☼►◄↕‼¶§▬↨↑↓→←∟↔▲▼");
}

TEST(Cp437, LineAndBlockGlyphsComeFromTheirUnicodeBlocks)
{
    for (int byte = 0xB3; byte <= 0xDA; byte++) {
        char32_t glyph = Cp437ToUnicode(static_cast<unsigned char>(byte));
        EXPECT_TRUE(glyph >= 0x2500 && glyph <= 0x257F) << "byte " << byte;
    }
    for (int byte : {0xB0, 0xB1, 0xB2, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF}) {
        char32_t glyph = Cp437ToUnicode(static_cast<unsigned char>(byte));
        EXPECT_TRUE(glyph >= 0x2580 && glyph <= 0x259F) << "byte " << byte;
    }
}

/* Each byte's UTF-8 is one well-formed character, its code point; all differ but NUL's blank. */
TEST(Cp437, WholeTableEncodesDistinctCharacters)
{
    std::set<char32_t> seen;
    for (int byte = 0; byte < 256; byte++) {
        unsigned char b = static_cast<unsigned char>(byte);
        EXPECT_EQ(DecodeSingleCharacter(Cp437ToUtf8(b)), Cp437ToUnicode(b)) << "byte " << byte;
        if (byte != 0) {
            EXPECT_TRUE(seen.insert(Cp437ToUnicode(b)).second) << "byte " << byte;
        }
        char32_t glyph = Cp437ToUnicode(b);
        EXPECT_FALSE(glyph < 0x20 || (glyph >= 0x7F && glyph < 0xA0))
            << "byte " << byte << " shows as a control character";
    }
}

TEST(Cp437, WholeTableRoundTripsExceptControlPictures)
{
    for (int byte = 0; byte < 256; byte++) {
        int back = Cp437FromUnicode(Cp437ToUnicode(static_cast<unsigned char>(byte)));
        int expected = byte;
        if (byte == 0)
            expected = ' ';
        else if (byte < 0x20 || byte == 0x7F)
            expected = -1;
        EXPECT_EQ(back, expected) << "byte " << byte;
    }
}

TEST(Cp437, UnicodeWithoutAGlyphHasNoByte)
{
    EXPECT_EQ(Cp437FromUnicode(0x0D), 0x0D);
    EXPECT_EQ(Cp437FromUnicode(0x1B), 0x1B);
    EXPECT_EQ(Cp437FromUnicode(0x80), -1);
    EXPECT_EQ(Cp437FromUnicode(0x9F), -1);
    EXPECT_EQ(Cp437FromUnicode(0x00C0), -1); /* À is not in the code page */
    EXPECT_EQ(Cp437FromUnicode(0x20AC), -1); /* € */
    EXPECT_EQ(Cp437FromUnicode(0xFFFD), -1);
    EXPECT_EQ(Cp437FromUnicode(0x1F600), -1);
    EXPECT_EQ(Cp437FromUnicode(0x110000), -1);
}

} // namespace
