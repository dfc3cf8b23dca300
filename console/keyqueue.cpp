/* CONSOLE: the keyboard queue, the input half of the module's start-up and shutdown. */
#include "console.h"

#include <new>
#include <vector>

ConsoleInput ConInput;

/*
 * A batch is one record shorter than the ring: the ring is refilled only
 * when empty, so a batch of key-downs can never fill every slot and bring
 * the write position round onto the read position, where the ring would
 * read as empty and the whole batch would be lost.
 */
const DWORD BatchRecords = ConRecordCount - 1;

/* Lets the queue's buffers go; the module then answers as before its start-up. */
static void ReleaseQueue()
{
    delete[] ConInput.records;
    ConInput.records = nullptr;
    delete[] ConInput.ring;
    ConInput.ring = nullptr;
    ConInput.writePosition = nullptr;
    ConInput.readPosition = nullptr;
}

int ConInitInput()
{
    ReleaseQueue(); /* a second start-up replaces the first queue rather than losing it */
    ConInput.records = new (std::nothrow) INPUT_RECORD[ConRecordCount];
    ConInput.handle = GetStdHandle(STD_INPUT_HANDLE);
    ConInput.ring = new (std::nothrow) KeySlot[ConRecordCount];
    ConInput.writePosition = ConInput.ring;
    ConInput.readPosition = ConInput.ring;
    /* Without either buffer every key read would answer at once: a start-up failure. */
    if (ConInput.ring == nullptr || ConInput.records == nullptr) {
        ReleaseQueue();
        return 0;
    }
    for (int i = 0; i < ConRecordCount; i++)
        ConInput.ring[i] = KeySlot{i == ConRecordCount - 1 ? 1 : 0, 0, 0};
    return 1;
}

void ConShutdownInput()
{
    ReleaseQueue();
    if (ConInput.device != nullptr && ConInput.device != INVALID_HANDLE_VALUE)
        CloseHandle(ConInput.device);
    ConInput.device = nullptr;
}

/* ------------------------------------------------------------- The ring */

static KeySlot *NextSlot(KeySlot *slot)
{
    return slot->wrap ? ConInput.ring : slot + 1;
}

static bool RingEmpty()
{
    return ConInput.readPosition == ConInput.writePosition;
}

/* Keeps the key-downs of a batch; releases, mouse, size, menu and focus events are dropped. */
static void StoreKeyDowns(DWORD count)
{
    for (DWORD i = 0; i < count; i++) {
        const INPUT_RECORD &record = ConInput.records[i];
        if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown)
            continue;
        KeySlot *slot = ConInput.writePosition;
        slot->virtualKey = record.Event.KeyEvent.wVirtualKeyCode;
        slot->character = record.Event.KeyEvent.uChar.AsciiChar;
        ConInput.writePosition = NextSlot(slot);
    }
}

/*
 * Reads batches until one brings a key press.  A read that fails is taken
 * as the end of input and answered with ESC, so every wait of the game ends
 * instead of retrying the read without pause.
 */
static void FillRing()
{
    while (RingEmpty()) {
        DWORD count = 0;
        if (!ReadConsoleInputA(ConInput.handle, ConInput.records, BatchRecords, &count)) {
            *ConInput.writePosition = KeySlot{ConInput.writePosition->wrap, KeyEscape, KeyEscape};
            ConInput.writePosition = NextSlot(ConInput.writePosition);
            return;
        }
        StoreKeyDowns(count);
    }
}

int ConGetKey(int *virtualKey)
{
    if (ConInput.ring == nullptr || ConInput.records == nullptr) {
        if (virtualKey != nullptr)
            *virtualKey = 0;
        return 0;
    }
    FillRing();
    const KeySlot &slot = *ConInput.readPosition;
    if (virtualKey != nullptr)
        *virtualKey = slot.virtualKey;
    ConInput.readPosition = NextSlot(ConInput.readPosition);
    return static_cast<signed char>(slot.character);
}

/* ------------------------------------------------------ Non-blocking test */

/* Keys the console sends as two codes, with no character of their own. */
static bool IsExtendedKey(WORD virtualKey)
{
    return (virtualKey >= VK_PRIOR && virtualKey <= VK_DOWN) || virtualKey == VK_INSERT ||
           virtualKey == VK_DELETE || (virtualKey >= VK_F1 && virtualKey <= VK_F12);
}

static HANDLE InputDevice()
{
    if (ConInput.device == nullptr)
        ConInput.device =
            CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
    return ConInput.device;
}

int ConKeyPending()
{
    HANDLE device = InputDevice();
    DWORD waiting = 0;
    if (!GetNumberOfConsoleInputEvents(device, &waiting) || waiting == 0)
        return 0;
    std::vector<INPUT_RECORD> copies(waiting);
    DWORD copied = 0;
    if (!PeekConsoleInputA(device, copies.data(), waiting, &copied) || copied == 0)
        return 0;
    for (DWORD i = 0; i < copied; i++) {
        const KEY_EVENT_RECORD &key = copies[i].Event.KeyEvent;
        if (copies[i].EventType == KEY_EVENT && key.bKeyDown &&
            (key.uChar.AsciiChar != 0 || IsExtendedKey(key.wVirtualKeyCode)))
            return 1;
    }
    return 0;
}
