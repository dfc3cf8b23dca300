/*
 * Key storms: what a hostile terminal, a pasted file or a cat on the keyboard
 * sends, made from a fixed seed so that every run sends the same bytes.
 * Shared by the headless storm tests and the program that writes storms for
 * the end-to-end test in a real terminal.
 */
#ifndef ZOP_TESTS_SUPPORT_KEYSTORM_H
#define ZOP_TESTS_SUPPORT_KEYSTORM_H

#include <cstddef>
#include <cstring>
#include <random>
#include <string>
#include <vector>

typedef std::mt19937 StormRandom;

/* A number from 0 to count - 1. */
inline unsigned StormPick(StormRandom &random, unsigned count)
{
    return static_cast<unsigned>(random() % count);
}

/* Ctrl-C, Ctrl-\ and Ctrl-Z: a terminal turns them into signals, not keys. */
inline bool StormSignalByte(unsigned char byte)
{
    return byte == 0x03 || byte == 0x1C || byte == 0x1A;
}

/* Any bytes at all; for a real terminal, none that raises a signal. */
inline std::string RandomStorm(unsigned seed, std::size_t bytes, bool forTerminal)
{
    StormRandom random(seed);
    std::string storm;
    while (storm.size() < bytes) {
        unsigned char byte = static_cast<unsigned char>(StormPick(random, 256));
        if (!forTerminal || !StormSignalByte(byte))
            storm.push_back(static_cast<char>(byte));
    }
    return storm;
}

/* ----------------------------------------------------- Neutral storms */

/*
 * A neutral storm holds whole escape sequences of every kind (known keys,
 * unknown and overlong sequences, mouse reports, strings whose bodies hold
 * any letter) and junk between them, and yet not one key the game acts on:
 * no b, n, g or p in either case, no ESC key, no Up or Down.  It comes in
 * pieces that each end where a key or a sequence ends.
 */
typedef std::vector<std::string> StormPieces;

/* Letters the game acts on in some phase. */
inline bool StormGameLetter(unsigned char byte)
{
    return byte != 0 && std::strchr("bBnNgGpP", byte) != nullptr;
}

/* A final byte of ESC [ or ESC O other than the arrows Up and Down; '[' and 'M' open longer forms. */
inline char StormFinal(StormRandom &random)
{
    for (;;) {
        char final = static_cast<char>(0x40 + StormPick(random, 0x3F));
        if (final != 'A' && final != 'B' && final != '[' && final != 'M')
            return final;
    }
}

/* ESC [ with parameters, sometimes a private marker or an intermediate, sometimes too long to keep. */
inline std::string StormCsi(StormRandom &random)
{
    static const char Markers[] = "?<=>";
    static const char Intermediates[] = " !\"#$%&'()*+,-./";
    std::string piece = "\x1b[";
    if (StormPick(random, 6) == 0)
        piece += Markers[StormPick(random, 4)];
    unsigned length =
        StormPick(random, 12) == 0 ? 70 + StormPick(random, 30) : StormPick(random, 7);
    for (unsigned i = 0; i < length; i++)
        piece += "0123456789;"[StormPick(random, 11)];
    if (StormPick(random, 8) == 0)
        piece += Intermediates[StormPick(random, 16)];
    return piece + StormFinal(random);
}

/* ESC O: function and keypad keys, or a final that names nothing. */
inline std::string StormSs3(StormRandom &random)
{
    static const char Known[] = "CDHFPQRSMjklmnopqrstuvwxy";
    std::string piece = "\x1bO";
    if (StormPick(random, 4) == 0)
        piece += static_cast<char>('1' + StormPick(random, 9));
    if (StormPick(random, 2) == 0)
        return piece + Known[StormPick(random, sizeof Known - 1)];
    return piece + StormFinal(random);
}

/* An OSC, DCS or APC string: its body may hold any byte but the four that end a string. */
inline std::string StormString(StormRandom &random, bool forTerminal)
{
    std::string piece = "\x1b";
    piece += "]P_"[StormPick(random, 3)];
    for (unsigned length = StormPick(random, 40); length > 0;) {
        unsigned char byte = static_cast<unsigned char>(StormPick(random, 256));
        if (byte == 0x07 || byte == 0x18 || byte == 0x1A || byte == 0x1B ||
            (forTerminal && StormSignalByte(byte)))
            continue;
        piece.push_back(static_cast<char>(byte));
        length--;
    }
    return piece + (StormPick(random, 2) ? "\x07" : "\x1b\\");
}

/* A whole UTF-8 character of two, three or four bytes (never a surrogate). */
inline std::string StormUtf8(StormRandom &random)
{
    unsigned kind = StormPick(random, 3);
    std::string piece;
    if (kind == 0) {
        unsigned code = 0x80 + StormPick(random, 0x780);
        piece += static_cast<char>(0xC0 | (code >> 6));
        piece += static_cast<char>(0x80 | (code & 0x3F));
    } else if (kind == 1) {
        unsigned code = 0x800 + StormPick(random, 0xD000 - 0x800);
        piece += static_cast<char>(0xE0 | (code >> 12));
        piece += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        piece += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        unsigned code = 0x10000 + StormPick(random, 0x100000);
        piece += static_cast<char>(0xF0 | (code >> 18));
        piece += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        piece += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        piece += static_cast<char>(0x80 | (code & 0x3F));
    }
    return piece;
}

/* One byte of junk: a key the game ignores, a control byte, or a byte no UTF-8 character starts with. */
inline std::string StormJunk(StormRandom &random, bool forTerminal)
{
    for (;;) {
        unsigned char byte = static_cast<unsigned char>(StormPick(random, 256));
        if (byte == 0x1B || StormGameLetter(byte) || (forTerminal && StormSignalByte(byte)))
            continue;
        return std::string(1, static_cast<char>(byte));
    }
}

/* The next piece of a neutral storm. */
inline std::string StormPiece(StormRandom &random, bool forTerminal)
{
    unsigned char mouse[3];
    switch (StormPick(random, 9)) {
    case 0:
    case 1:
        return StormCsi(random);
    case 2:
        return StormSs3(random);
    case 3:
        return StormString(random, forTerminal);
    case 4:
        for (unsigned char &byte : mouse)
            byte = static_cast<unsigned char>(0x20 + StormPick(random, 0xE0));
        return "\x1b[M" + std::string(reinterpret_cast<char *>(mouse), 3);
    case 5:
        return std::string("\x1b[[") + static_cast<char>('A' + StormPick(random, 5));
    case 6:
        return StormUtf8(random);
    default:
        return StormJunk(random, forTerminal);
    }
}

inline StormPieces NeutralStorm(unsigned seed, std::size_t bytes, bool forTerminal)
{
    StormRandom random(seed);
    StormPieces pieces;
    for (std::size_t total = 0; total < bytes;) {
        pieces.push_back(StormPiece(random, forTerminal));
        total += pieces.back().size();
    }
    return pieces;
}

inline std::string StormBytes(const StormPieces &pieces)
{
    std::string bytes;
    for (const std::string &piece : pieces)
        bytes += piece;
    return bytes;
}

#endif
