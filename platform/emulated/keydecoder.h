/*
 * The key decoder: turns the bytes a terminal sends for key presses into
 * console input records, a key-down and then a key-up record for each key.
 * It does no I/O: the Win32 calls hand it the bytes their driver read and
 * the time that passed, and ask it how long they may wait for more.
 */
#ifndef ZOP_PLATFORM_EMULATED_KEYDECODER_H
#define ZOP_PLATFORM_EMULATED_KEYDECODER_H

#include "wintypes.h"

#include <cstddef>
#include <vector>

enum {
    /* The longest escape sequence kept; a longer one is dropped whole. */
    KeyDecoderMaxSequence = 64,
    /* A lone ESC that no byte follows for this long is the ESC key. */
    KeyDecoderEscapeTimeoutMs = 50,
    /* An unfinished sequence that no byte follows for this long is given up. */
    KeyDecoderSequenceTimeoutMs = 500
};

/* The state carried from one read of the terminal to the next. */
struct KeyDecoder {
    int mode;                                      /* what the bytes held belong to */
    unsigned char sequence[KeyDecoderMaxSequence]; /* the unfinished sequence or character */
    int length;                                    /* bytes held in `sequence` */
    int overflowed;          /* the sequence outgrew `sequence` and is being dropped */
    int remaining;           /* bytes still due of a UTF-8 character or a mouse report */
    int idleMs;              /* time since the last byte while something is unfinished */
    int singleByte;          /* text comes in a single-byte character set, not UTF-8 */
    char32_t highBytes[128]; /* then: the character of each byte 0x80 to 0xFF, 0 for none */
};

/* Forgets every unfinished sequence and report, and reads UTF-8 again. */
void KeyDecoderReset(KeyDecoder &decoder);

/* Reads text as UTF-8 (null), or in a single-byte character set: the
   characters of bytes 0x80 to 0xFF, 0 where a byte stands for none. */
void KeyDecoderSetCharset(KeyDecoder &decoder, const char32_t *highBytes);

/*
 * Decodes bytes that arrived `elapsedMs` after the previous call (feed or
 * idle) and appends the records of every key they complete.  A sequence
 * split across calls is joined, unless the pause before its rest was longer
 * than the timeout.
 */
void KeyDecoderFeed(KeyDecoder &decoder, const char *bytes, size_t count, int elapsedMs,
                    std::vector<INPUT_RECORD> &records);

/* Tells the decoder `elapsedMs` passed with no byte; what has waited long enough ends. */
void KeyDecoderIdle(KeyDecoder &decoder, int elapsedMs, std::vector<INPUT_RECORD> &records);

/* How long the reader may wait for more bytes before calling KeyDecoderIdle; -1: no limit. */
int KeyDecoderWaitMs(const KeyDecoder &decoder);

#endif
