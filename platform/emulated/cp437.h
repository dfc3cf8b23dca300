/*
 * Code page 437, the character set of the console's cells, and Unicode: the
 * glyph each byte shows and the byte a typed Unicode character stands for.
 */
#ifndef ZOP_PLATFORM_EMULATED_CP437_H
#define ZOP_PLATFORM_EMULATED_CP437_H

#include <string>

/* The glyph of a byte as one Unicode code point (0x00 shows as a space). */
char32_t Cp437ToUnicode(unsigned char byte);

/* The glyph of a byte as a NUL-terminated UTF-8 string of one to three bytes. */
const char *Cp437ToUtf8(unsigned char byte);

/* A text of code page 437 bytes in UTF-8. */
std::string Cp437TextToUtf8(const std::string &text);

/*
 * The byte for a code point: ASCII (U+0000 to U+007F) as itself, the glyphs
 * of bytes 0x80 to 0xFF as those bytes, -1 for anything else.  The glyphs of
 * the control bytes (U+263A and the rest, U+2302) give -1 too: mapped back
 * they would read as control characters, a typed smiley as Ctrl-A.
 */
int Cp437FromUnicode(char32_t codePoint);

/*
 * The character of DEC special graphics (a terminal's alternate character
 * set) that draws a byte's glyph, or the nearest line drawing ('q' for both
 * ─ and ═); 0 where there is none.
 */
char Cp437ToDecGraphics(unsigned char byte);

/* A plain ASCII character standing in for a byte's glyph, one cell wide. */
char Cp437ToAscii(unsigned char byte);

/*
 * The glyph of a byte as UTF-8 for a terminal that draws the characters of
 * East Asian ambiguous width two cells wide, as every line and block of the
 * table is: ASCII as itself, the single and double lines as their dashed
 * forms (the only lines of narrow width), anything else beyond ASCII as its
 * ASCII stand-in.  Always one cell.
 */
std::string Cp437ToNarrow(unsigned char byte);

#endif
