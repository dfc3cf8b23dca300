/* The keyboard queue: key presses read in batches from a headless console and handed out in order. */
#include "console.h"
#include "headless.h"

#include <gtest/gtest.h>

#include <string>

namespace {

INPUT_RECORD KeyRecord(bool down, char character, WORD virtualKey, WORD repeat = 1)
{
    INPUT_RECORD record = {};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = down;
    record.Event.KeyEvent.wRepeatCount = repeat;
    record.Event.KeyEvent.wVirtualKeyCode = virtualKey;
    record.Event.KeyEvent.uChar.AsciiChar = character;
    return record;
}

INPUT_RECORD OtherRecord(WORD eventType)
{
    INPUT_RECORD record = {};
    record.EventType = eventType;
    return record;
}

class KeyQueue : public ::testing::Test {
protected:
    void SetUp() override
    {
        HeadlessOpen(80, 25);
        ASSERT_NE(ConInit(), 0);
    }
    void TearDown() override { ConShutdown(); }

    static int Reads() { return HeadlessCallCount("ReadConsoleInputA"); }
};

TEST_F(KeyQueue, KeyPressesComeOutAsCharacterAndVirtualKeyCodeOncePerPress)
{
    HeadlessPushKey('g', 'G');
    HeadlessPushKey(0, VK_UP);
    HeadlessPushKey(0, VK_DOWN);
    HeadlessPushKey(27, VK_ESCAPE);
    HeadlessPushKey('\xE9', 0);
    const int expected[][2] = {{'g', 'G'}, {0, 38}, {0, 40}, {27, 27}, {-23, 0}};
    for (const auto &key : expected) {
        int vk = -1;
        EXPECT_EQ(ConGetKey(&vk), key[0]);
        EXPECT_EQ(vk, key[1]);
    }
    EXPECT_EQ(Reads(), 1) << "keys typed before the call cost one console read";
}

TEST_F(KeyQueue, ReleasesMouseFocusAndMenuEventsNeverEndTheWait)
{
    HeadlessPushInput(KeyRecord(false, 'q', 'Q'));
    HeadlessPushInput(OtherRecord(MOUSE_EVENT));
    HeadlessPushInput(OtherRecord(FOCUS_EVENT));
    HeadlessPushInput(OtherRecord(MENU_EVENT));
    HeadlessPushInput(OtherRecord(WINDOW_BUFFER_SIZE_EVENT));
    HeadlessPushInput(KeyRecord(true, 0, VK_SHIFT));
    HeadlessPushInput(KeyRecord(true, 'b', 'B', 5));
    int vk = -1;
    EXPECT_EQ(ConGetKey(&vk), 0) << "Shift alone is a key without a character";
    EXPECT_EQ(vk, VK_SHIFT);
    EXPECT_EQ(ConGetKey(nullptr), 'b') << "a repeat count of 5 is still one key";
    HeadlessPushKey('z', 'Z');
    EXPECT_EQ(ConGetKey(nullptr), 'z');
}

TEST_F(KeyQueue, ABurstOfKeysComesOutCompleteAndInOrderAcrossTheRingsWrap)
{
    const int Burst = 300;
    for (int i = 0; i < Burst; i++)
        HeadlessPushKey(static_cast<char>('a' + i % 26), static_cast<WORD>('A' + i % 26));
    for (int i = 0; i < Burst; i++) {
        int vk = 0;
        ASSERT_EQ(ConGetKey(&vk), 'a' + i % 26) << "key " << i;
        ASSERT_EQ(vk, 'A' + i % 26) << "key " << i;
    }
}

TEST_F(KeyQueue, AWholeBatchOfKeyDownsIsKeptEvenWhenItWouldFillTheRing)
{
    for (int i = 0; i < 2 * ConRecordCount; i++)
        HeadlessPushInput(KeyRecord(true, static_cast<char>('0' + i % 10), 0));
    for (int i = 0; i < 2 * ConRecordCount; i++)
        ASSERT_EQ(ConGetKey(nullptr), '0' + i % 10) << "key " << i;
}

TEST_F(KeyQueue, TheEndOfInputIsAnEscapeSoNoWaitGoesOnForever)
{
    int vk = 0;
    EXPECT_EQ(ConGetKey(&vk), 27);
    EXPECT_EQ(vk, VK_ESCAPE);
}

TEST_F(KeyQueue, AFailedReadEndsTheWaitWithEscapeInsteadOfRetrying)
{
    HeadlessPushKey('x', 'X');
    HeadlessFailNext("ReadConsoleInputA", ERROR_INVALID_HANDLE);
    EXPECT_EQ(ConGetKey(nullptr), 27);
    EXPECT_EQ(Reads(), 1);
    EXPECT_EQ(ConGetKey(nullptr), 'x') << "the key still waiting is handed out next";
}

TEST_F(KeyQueue, WithoutItsBuffersTheQueueAnswersZeroAtOnce)
{
    ConShutdown();
    HeadlessPushKey('x', 'X');
    int vk = -1;
    EXPECT_EQ(ConGetKey(&vk), 0);
    EXPECT_EQ(vk, 0);
    EXPECT_EQ(Reads(), 0);
    ConInput = ConsoleInput{};
    EXPECT_EQ(ConGetKey(&vk), 0) << "as before ConInit";
    ASSERT_NE(ConInit(), 0);
    EXPECT_EQ(ConGetKey(nullptr), 'x');
}

TEST_F(KeyQueue, PendingSeesKeyPressesWithACharacterOrExtendedKeysWithoutRemovingThem)
{
    EXPECT_EQ(ConKeyPending(), 0);
    HeadlessPushInput(KeyRecord(false, 'a', 'A'));
    HeadlessPushInput(KeyRecord(true, 0, VK_SHIFT));
    HeadlessPushInput(OtherRecord(MOUSE_EVENT));
    EXPECT_EQ(ConKeyPending(), 0) << "releases, modifiers alone and mouse events";
    HeadlessPushInput(KeyRecord(true, 0, VK_LEFT));
    EXPECT_NE(ConKeyPending(), 0) << "an arrow key";
    DWORD waiting = 0;
    ASSERT_TRUE(GetNumberOfConsoleInputEvents(GetStdHandle(STD_INPUT_HANDLE), &waiting));
    EXPECT_EQ(waiting, 4u);
    EXPECT_NE(ConKeyPending(), 0) << "still there";

    int vk = 0;
    EXPECT_EQ(ConGetKey(&vk), 0);
    EXPECT_EQ(vk, VK_SHIFT);
    EXPECT_EQ(ConGetKey(&vk), 0);
    EXPECT_EQ(vk, VK_LEFT);
    EXPECT_EQ(ConKeyPending(), 0) << "keys in the ring are no longer in the console";
}

TEST_F(KeyQueue, PendingAnswersZeroWhenTheConsoleCannotBeAsked)
{
    HeadlessPushKey('x', 'X');
    HeadlessFailNext("GetNumberOfConsoleInputEvents", ERROR_INVALID_HANDLE);
    EXPECT_EQ(ConKeyPending(), 0);
    HeadlessFailNext("PeekConsoleInputA", ERROR_INVALID_HANDLE);
    EXPECT_EQ(ConKeyPending(), 0);
    EXPECT_NE(ConKeyPending(), 0);
}

TEST_F(KeyQueue, ShutdownShowsTheCursorAndLeavesLightGreyOnBlack)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_CURSOR_INFO hidden = {100, FALSE};
    SetConsoleCursorInfo(out, &hidden);
    ConSetColor(10, 0);
    ConShutdown();
    EXPECT_TRUE(HeadlessCursorVisible());
    CONSOLE_CURSOR_INFO cursor = {};
    GetConsoleCursorInfo(out, &cursor);
    EXPECT_EQ(cursor.dwSize, 25u);
    EXPECT_EQ(ConOutput.rememberedAttribute, 7);
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(out, &info);
    EXPECT_EQ(info.wAttributes, 7);
    ConShutdown(); /* twice is harmless */
}

} // namespace
