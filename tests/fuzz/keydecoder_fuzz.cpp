/*
 * Fuzzes the key decoder with bytes and the time between reads.  The same
 * bytes are decoded three ways: in one read; in reads split anywhere less
 * than the ESC timeout apart, which must give exactly the same keys; and in
 * reads and pauses of any length.  Every way, the keys come as key-down and
 * key-up pairs, no letter comes out more often than the bytes hold it, the
 * decoder never asks to wait longer than its longest timeout, and after a
 * long pause it holds nothing.
 */
#include "keydecoder.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

typedef std::vector<INPUT_RECORD> Records;

/* A pause long enough to end anything the decoder holds. */
const int LongPause = 1000;

void Check(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "key decoder: %s\n", what);
        std::abort();
    }
}

void CheckWait(const KeyDecoder &decoder)
{
    int wait = KeyDecoderWaitMs(decoder);
    Check(wait == -1 || (wait >= 0 && wait <= KeyDecoderSequenceTimeoutMs), "a wait out of range");
}

bool SameRecord(const INPUT_RECORD &a, const INPUT_RECORD &b)
{
    const KEY_EVENT_RECORD &x = a.Event.KeyEvent, &y = b.Event.KeyEvent;
    return a.EventType == b.EventType && x.bKeyDown == y.bKeyDown &&
           x.wRepeatCount == y.wRepeatCount && x.wVirtualKeyCode == y.wVirtualKeyCode &&
           x.wVirtualScanCode == y.wVirtualScanCode && x.uChar.AsciiChar == y.uChar.AsciiChar &&
           x.dwControlKeyState == y.dwControlKeyState;
}

/* Every key is a key-down then the same key up; no letter outnumbers its bytes in the input. */
void CheckKeys(const Records &records, const std::vector<uint8_t> &bytes)
{
    Check(records.size() % 2 == 0, "a key without its key-up");
    long letters[256] = {};
    for (uint8_t byte : bytes)
        letters[byte]++;
    for (size_t i = 0; i < records.size(); i += 2) {
        const INPUT_RECORD &down = records[i], &up = records[i + 1];
        Check(down.EventType == KEY_EVENT && down.Event.KeyEvent.bKeyDown, "not a key-down");
        Check(up.EventType == KEY_EVENT && !up.Event.KeyEvent.bKeyDown, "not a key-up");
        INPUT_RECORD released = down;
        released.Event.KeyEvent.bKeyDown = FALSE;
        Check(SameRecord(released, up), "a key-up of another key");
        Check(down.Event.KeyEvent.wRepeatCount == 1, "a repeat count other than 1");
        unsigned char ch = static_cast<unsigned char>(down.Event.KeyEvent.uChar.AsciiChar);
        bool letter = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
        Check(!letter || --letters[ch] >= 0, "a letter that the bytes do not hold");
    }
}

KeyDecoder Fresh()
{
    KeyDecoder decoder;
    KeyDecoderReset(decoder);
    return decoder;
}

void Feed(KeyDecoder &decoder, const uint8_t *bytes, size_t count, int elapsedMs, Records &records)
{
    KeyDecoderFeed(decoder, reinterpret_cast<const char *>(bytes), count, elapsedMs, records);
    CheckWait(decoder);
}

void EndWithPause(KeyDecoder &decoder, Records &records)
{
    KeyDecoderIdle(decoder, LongPause, records);
    Check(KeyDecoderWaitMs(decoder) == -1, "something held after a long pause");
}

/* Splits where the plan says, each read 0 to 45 ms after the last: shorter than the ESC timeout. */
Records DecodeSplit(const std::vector<uint8_t> &bytes, const std::vector<uint8_t> &plan)
{
    KeyDecoder decoder = Fresh();
    Records keys;
    size_t at = 0;
    for (size_t i = 0; i < plan.size() && at < bytes.size(); i++) {
        size_t length = std::min<size_t>(1 + (plan[i] & 15), bytes.size() - at);
        Feed(decoder, bytes.data() + at, length, (plan[i] >> 4) * 3, keys);
        at += length;
    }
    Feed(decoder, bytes.data() + at, bytes.size() - at, 0, keys);
    EndWithPause(decoder, keys);
    return keys;
}

/* Reads and pauses of any length up to 600 ms, as the plan says. */
Records DecodeTimed(const std::vector<uint8_t> &bytes, const std::vector<uint8_t> &plan)
{
    KeyDecoder decoder = Fresh();
    Records keys;
    size_t at = 0;
    for (size_t i = 0; i + 1 < plan.size() && at < bytes.size(); i += 2) {
        size_t length = std::min<size_t>(plan[i] & 31, bytes.size() - at);
        int elapsed = plan[i + 1] * 600 / 255;
        if (length == 0 || (plan[i] & 32))
            KeyDecoderIdle(decoder, elapsed, keys);
        if (length > 0)
            Feed(decoder, bytes.data() + at, length, elapsed, keys);
        CheckWait(decoder);
        at += length;
    }
    Feed(decoder, bytes.data() + at, bytes.size() - at, 0, keys);
    EndWithPause(decoder, keys);
    return keys;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    std::vector<uint8_t> plan =
        input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, 64));
    std::vector<uint8_t> bytes = input.ConsumeRemainingBytes<uint8_t>();

    KeyDecoder whole = Fresh();
    Records wholeKeys;
    Feed(whole, bytes.data(), bytes.size(), 0, wholeKeys);
    EndWithPause(whole, wholeKeys);
    CheckKeys(wholeKeys, bytes);

    Records splitKeys = DecodeSplit(bytes, plan);
    Check(splitKeys.size() == wholeKeys.size(), "a split read changed the number of keys");
    for (size_t i = 0; i < splitKeys.size(); i++)
        Check(SameRecord(splitKeys[i], wholeKeys[i]), "a split read changed a key");

    /* Timed reads may give other keys (a lone ESC, a sequence cut short), but well-formed ones. */
    CheckKeys(DecodeTimed(bytes, plan), bytes);
    return 0;
}
