// Global hotkeys with real key presses: keys injected by a second Wine process
// arrive as WM_HOTKEY at the window the hotkeys are registered on. Wine hands
// keys out only while one of its windows has the keyboard focus, so the test
// window takes it, as a game window would have it.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/tuning.h"
#include "input/hotkeys.h"
#include "tests/support/input_pump_win32.h"

namespace {

constexpr DWORD KEY_TIMEOUT_MS = 5000;
const char F4[] = "keys 0x73";
const char CTRL_R[] = "keys 0x11,0x52";

struct HotkeySeen {
  int count;
  LPARAM lParam;  // modifiers in the low word, key in the high word
};

HWND testWindow;
HotkeySeen lockSeen;      // WM_HOTKEY with id 1000
HotkeySeen recenterSeen;  // WM_HOTKEY with id 1001
int otherHotkeys;
int plainF4Presses;  // F4 delivered as an ordinary key, not as a hotkey

void WatchKeys(const MSG& message) {
  if (message.message == WM_HOTKEY) {
    EXPECT_EQ(message.hwnd, testWindow);
    HotkeySeen* seen = message.wParam == static_cast<WPARAM>(HOTKEY_ID_LOCK)       ? &lockSeen
                       : message.wParam == static_cast<WPARAM>(HOTKEY_ID_RECENTER) ? &recenterSeen
                                                                                   : nullptr;
    if (seen) {
      ++seen->count;
      seen->lParam = message.lParam;
    } else {
      ++otherHotkeys;
    }
  } else if (message.message == WM_KEYDOWN && message.wParam == VK_F4) {
    ++plainF4Presses;
  }
}

bool LockSeen() { return lockSeen.count > 0; }
bool RecenterSeen() { return recenterSeen.count > 0; }
bool PlainF4Seen() { return plainF4Presses > 0; }

void SetTexts(const char* lock, const char* recenter) {
  std::strncpy(tuningSettings.hotkeyLock, lock, sizeof tuningSettings.hotkeyLock - 1);
  std::strncpy(tuningSettings.hotkeyRecenter, recenter, sizeof tuningSettings.hotkeyRecenter - 1);
}

class HotkeysTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { testWindow = CreateTestWindow("hotkeys test"); }

  static void TearDownTestSuite() {
    DestroyWindow(testWindow);
    testWindow = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(testWindow, nullptr);
    ASSERT_TRUE(FocusTestWindow(testWindow)) << "no keyboard focus";
    ResetToDefaults();
    hotkeyWindow = testWindow;
    lockSeen = HotkeySeen{};
    recenterSeen = HotkeySeen{};
    otherHotkeys = 0;
    plainF4Presses = 0;
    inputPump.observe = WatchKeys;
  }

  void TearDown() override {
    inputPump.observe = nullptr;
    UnregisterHotKey(testWindow, HOTKEY_ID_LOCK);
    UnregisterHotKey(testWindow, HOTKEY_ID_RECENTER);
    PumpPendingMessages();
  }
};

TEST_F(HotkeysTest, DefaultTextsFireLockAndRecenter) {
  RegisterHotkeys();

  ASSERT_EQ(RunInputHelper(F4), 0);
  ASSERT_TRUE(PumpMessagesUntil(LockSeen, KEY_TIMEOUT_MS));
  EXPECT_EQ(LOWORD(lockSeen.lParam), 0);
  EXPECT_EQ(HIWORD(lockSeen.lParam), VK_F4);

  ASSERT_EQ(RunInputHelper(CTRL_R), 0);
  ASSERT_TRUE(PumpMessagesUntil(RecenterSeen, KEY_TIMEOUT_MS));
  EXPECT_EQ(LOWORD(recenterSeen.lParam), MOD_CONTROL);
  EXPECT_EQ(HIWORD(recenterSeen.lParam), 'R');

  EXPECT_EQ(lockSeen.count, 1);
  EXPECT_EQ(recenterSeen.count, 1);
  EXPECT_EQ(otherHotkeys, 0);
  EXPECT_EQ(plainF4Presses, 0);
}

TEST_F(HotkeysTest, TextNamingNoKeyLeavesThatHotkeyOffAndTheOtherWorking) {
  RegisterHotkeys();  // F4 live first: the next registration must take it away
  SetTexts("5", "^R");
  RegisterHotkeys();

  ASSERT_EQ(RunInputHelper(F4), 0);
  ASSERT_EQ(RunInputHelper(CTRL_R), 0);
  // Posted hotkeys come in order, so once the later Ctrl+R is here an F4 hotkey
  // would be too; F4 itself arrives as a plain key.
  ASSERT_TRUE(PumpMessagesUntil(RecenterSeen, KEY_TIMEOUT_MS));
  ASSERT_TRUE(PumpMessagesUntil(PlainF4Seen, KEY_TIMEOUT_MS));
  EXPECT_EQ(lockSeen.count, 0);
  EXPECT_EQ(recenterSeen.count, 1);
}

TEST_F(HotkeysTest, UnterminatedTextIsReadOnlyWithinItsBuffer) {
  // A full buffer of modifiers and no terminator. Read on past its end, it would
  // run into the next field and make the lock Ctrl+F4.
  std::memset(tuningSettings.hotkeyLock, '^', sizeof tuningSettings.hotkeyLock);
  std::strcpy(tuningSettings.hotkeyRecenter, "F4");
  RegisterHotkeys();

  ASSERT_EQ(RunInputHelper("keys 0x11,0x73"), 0);
  ASSERT_EQ(RunInputHelper(F4), 0);
  ASSERT_TRUE(PumpMessagesUntil(RecenterSeen, KEY_TIMEOUT_MS));
  EXPECT_EQ(lockSeen.count, 0);
  EXPECT_EQ(recenterSeen.count, 1);
}

}  // namespace
