// The mouse lock with its real low-level hook: moves injected by a second Wine
// process are swallowed while locked and move the cursor when unlocked. (Raw
// deltas while the hook swallows are a Wine artefact, so they are not checked
// here; the raw-input tests cover the reports themselves.)
#include <gtest/gtest.h>

#include "engine/tuning.h"
#include "input/mouse_lock.h"
#include "input/raw_input.h"
#include "tests/support/input_pump_win32.h"
#include "tests/support/system_fake.h"

namespace {

HWND inputWindow;
HWND focusWindow;  // Wine passes injected input on only while it has a focus
int inputReportsSeen;

void CountInputReports(const MSG& message) {
  if (message.message == WM_INPUT && message.hwnd == inputWindow) ++inputReportsSeen;
}

bool SomeReportSeen() { return inputReportsSeen > 0; }

// ShowCursor answers the display count after its change.
int CursorShowCount() {
  ShowCursor(TRUE);
  return ShowCursor(FALSE);
}

POINT ParkPoint() {
  // 9999 is beyond the desktop: the system stops the cursor at its right edge.
  int right = GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN) - 1;
  return POINT{right, GetSystemMetrics(SM_CYSCREEN) / 2};
}

void ExpectCursorAt(POINT expected, const char* when) {
  POINT at{};
  GetCursorPos(&at);
  EXPECT_EQ(at.x, expected.x) << when;
  EXPECT_EQ(at.y, expected.y) << when;
}

class MouseLockTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    MouseAccelerationOff();
    CreateRawInputWindow();
    inputWindow = static_cast<HWND>(steeringState.rawInputWindow);
    focusWindow = CreateTestWindow("mouse lock test");
  }

  static void TearDownTestSuite() {
    DestroyWindow(focusWindow);
    MouseAccelerationRestore();
  }

  void SetUp() override {
    ASSERT_TRUE(FocusTestWindow(focusWindow)) << "no keyboard focus";
    FakeSystemReset();  // the real tick and buttons
    ResetToDefaults();
    steeringState.rawInputWindow = inputWindow;
    PumpPendingMessages();
    inputReportsSeen = 0;
    inputPump.observe = CountInputReports;
  }

  void TearDown() override {
    inputPump.observe = nullptr;
    if (steeringState.mouseLocked) ToggleMouseLock();
    PumpPendingMessages();
  }
};

TEST_F(MouseLockTest, LockHidesParksAndSwallowsMovesUnlockLetsThemThrough) {
  ASSERT_TRUE(SetCursorPos(200, 200));
  ASSERT_EQ(RunInputHelper("move 30 -20"), 0);
  ExpectCursorAt(POINT{230, 180}, "unlocked: an injected move moves the cursor");

  int shown = CursorShowCount();
  ToggleMouseLock();
  EXPECT_EQ(steeringState.mouseLocked, 1);
  EXPECT_EQ(CursorShowCount(), shown - 10);
  ExpectCursorAt(ParkPoint(), "locked: parked");

  inputReportsSeen = 0;
  ASSERT_EQ(RunInputHelper("move -40 25 move -15 -12 move 0 7"), 0);
  ExpectCursorAt(ParkPoint(), "locked: moves swallowed");
  // The raw reports still come (their deltas under Wine do not: see above).
  EXPECT_TRUE(PumpMessagesUntil(SomeReportSeen, 5000));

  ToggleMouseLock();
  EXPECT_EQ(steeringState.mouseLocked, 0);
  EXPECT_EQ(CursorShowCount(), shown);
  ExpectCursorAt(ParkPoint(), "unlocked again: the cursor stays where it was parked");

  ASSERT_EQ(RunInputHelper("move -40 25"), 0);
  POINT park = ParkPoint();
  ExpectCursorAt(POINT{park.x - 40, park.y + 25}, "unlocked again: moves pass");
}

TEST_F(MouseLockTest, ExitUnhooksAndShowsTheCursorOnlyWhileLocked) {
  int shown = CursorShowCount();
  EndMouseLockAtExit();  // not locked: nothing to undo
  EXPECT_EQ(CursorShowCount(), shown);

  ToggleMouseLock();
  ASSERT_EQ(CursorShowCount(), shown - 10);
  EndMouseLockAtExit();
  EXPECT_EQ(CursorShowCount(), shown);
  EXPECT_EQ(steeringState.mouseLocked, 0);
  // The tray's Exit and WM_DESTROY may both come: the second call does nothing.
  EndMouseLockAtExit();
  EXPECT_EQ(CursorShowCount(), shown);

  // With the flag forced back on, a hook still in place would swallow this move.
  steeringState.mouseLocked = 1;
  ASSERT_TRUE(SetCursorPos(300, 300));
  ASSERT_EQ(RunInputHelper("move 11 -9"), 0);
  steeringState.mouseLocked = 0;
  ExpectCursorAt(POINT{311, 291}, "after exit: no hook left");
}

TEST_F(MouseLockTest, SetCursorIsAnsweredOnlyWhileLocked) {
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  SetCursor(arrow);
  EXPECT_EQ(MouseLockHandleSetCursor(), 0);
  EXPECT_EQ(GetCursor(), arrow);

  ToggleMouseLock();
  SetCursor(arrow);
  EXPECT_EQ(MouseLockHandleSetCursor(), 1);
  EXPECT_EQ(GetCursor(), nullptr);
}

TEST_F(MouseLockTest, HookSwallowsOnlyMovesAndOnlyWhileLocked) {
  MSLLHOOKSTRUCT event{};
  LPARAM data = reinterpret_cast<LPARAM>(&event);
  struct Case {
    int locked;
    int code;
    WPARAM message;
    LRESULT expected;
  };
  const Case cases[] = {
      {1, HC_ACTION, WM_MOUSEMOVE, 1},    {1, HC_ACTION, WM_LBUTTONDOWN, 0},
      {1, HC_ACTION, WM_RBUTTONUP, 0},    {1, HC_ACTION, WM_MOUSEWHEEL, 0},
      {0, HC_ACTION, WM_MOUSEMOVE, 0},    {1, -1, WM_MOUSEMOVE, 0},
  };
  for (const Case& c : cases) {
    steeringState.mouseLocked = c.locked;
    EXPECT_EQ(MouseLockHookProc(c.code, c.message, data), c.expected)
        << "locked " << c.locked << ", code " << c.code << ", message 0x" << std::hex
        << c.message;
  }
  steeringState.mouseLocked = 0;
}

}  // namespace
