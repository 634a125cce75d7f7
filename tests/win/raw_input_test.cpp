// Raw mouse input through real reports: moves injected by a second Wine process
// reach "TXInputWnd" as WM_INPUT and drive the engine. The clock is the fake
// one, so the 8 ms gate is checked at exact times.
//
// Wine passes injected input on only while one of its windows has the focus.
// The gate cases give it to a window of this test: with another program's
// window in front, Wine's X11 driver follows each move with a second report of
// zero motion, which would take the gate's slot at a time the test cannot
// know. The input-sink case puts Wine's notepad in front, as a game would be,
// and lets every report through the gate.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "engine/tuning.h"
#include "input/raw_input.h"
#include "tests/support/input_pump_win32.h"
#include "tests/support/system_fake.h"

namespace {

constexpr DWORD REPORT_TIMEOUT_MS = 5000;
constexpr float CENTER = 16384.0f;
constexpr float COUNT_TO_PEDAL = 32767.0f / 100.0f;

HWND inputWindow;
HWND focusWindow;
int inputReportsSeen;  // WM_INPUT messages dispatched to the raw-input window
int sinkReportsSeen;   // those of them sent while another program was in front

void CountInputReports(const MSG& message) {
  if (message.message != WM_INPUT || message.hwnd != inputWindow) return;
  ++inputReportsSeen;
  if (GET_RAWINPUT_CODE_WPARAM(message.wParam) == RIM_INPUTSINK) ++sinkReportsSeen;
}

bool OneReportSeen() { return inputReportsSeen >= 1; }

// Injects one relative move and waits until its report has been dispatched.
void InjectMoveAt(uint32_t tick, int dx, int dy) {
  fakeSystem.clockMicros = tick * uint64_t{1000};
  inputReportsSeen = 0;
  char arguments[64];
  std::snprintf(arguments, sizeof arguments, "move %d %d", dx, dy);
  ASSERT_EQ(RunInputHelper(arguments), 0);
  ASSERT_TRUE(PumpMessagesUntil(OneReportSeen, REPORT_TIMEOUT_MS))
      << "no raw input for move " << dx << ", " << dy;
  EXPECT_EQ(inputReportsSeen, 1);
}

class RawInputTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    MouseAccelerationOff();
    CreateRawInputWindow();
    inputWindow = static_cast<HWND>(steeringState.rawInputWindow);
    focusWindow = CreateTestWindow("raw input test");
  }

  static void TearDownTestSuite() {
    DestroyWindow(focusWindow);
    MouseAccelerationRestore();
  }

  void SetUp() override {
    ASSERT_NE(inputWindow, nullptr);
    ASSERT_TRUE(FocusTestWindow(focusWindow)) << "no keyboard focus";
    // Wine reports a move twice while the pointer is over a window it tracks
    // (where an earlier program may have left it): start well away from ours.
    SetCursorPos(1000, 800);
    PumpPendingMessages();  // nothing left over from an earlier case
    ResetToDefaults();
    steeringState.rawInputWindow = inputWindow;
    // Plain arithmetic: no averaging, no curve, pedals follow motion always.
    tuningSettings.smoothing = 0;
    tuningSettings.curveOnSteering = 0;
    tuningSettings.accelBrakeMode = 0;
    FakeSystemReset();
    fakeSystem.overrideClock = 1;
    fakeSystem.overrideButtons = 1;
    inputReportsSeen = 0;
    sinkReportsSeen = 0;
    inputPump.observe = CountInputReports;
  }

  void TearDown() override {
    inputPump.observe = nullptr;
    FakeSystemReset();
  }
};

// The input-sink flag itself is proven by the reports that arrive while
// another program is in front (below).
TEST_F(RawInputTest, WindowIsMessageOnlyAndTheMouseIsRegisteredToIt) {
  EXPECT_EQ(FindWindowExA(HWND_MESSAGE, nullptr, "TXInputWnd", nullptr), inputWindow);
  RAWINPUTDEVICE devices[4] = {};
  UINT count = 4;
  ASSERT_EQ(GetRegisteredRawInputDevices(devices, &count, sizeof(RAWINPUTDEVICE)), 1u);
  EXPECT_EQ(devices[0].hwndTarget, inputWindow);
}

// Each row injects one move at a tick and gives what the engine holds after
// it: the gate's time, the wheel's offset from centre and the pedals in counts.
struct Report {
  uint32_t tick;
  int dx, dy;
  uint32_t lastTick;
  float steeringCounts, throttleCounts, brakeCounts;
  int ringCount;
};

void InjectReports(const Report* reports, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const Report& r = reports[i];
    SCOPED_TRACE(testing::Message() << "report " << i << " at " << r.tick);
    InjectMoveAt(r.tick, r.dx, r.dy);
    EXPECT_EQ(steeringState.lastRawInputMicros, r.lastTick * uint64_t{1000});
    EXPECT_FLOAT_EQ(steeringState.steering, CENTER + r.steeringCounts * 45.0f);
    EXPECT_FLOAT_EQ(steeringState.throttle, r.throttleCounts * COUNT_TO_PEDAL);
    EXPECT_FLOAT_EQ(steeringState.brake, r.brakeCounts * COUNT_TO_PEDAL);
    EXPECT_EQ(steeringState.ringCount, r.ringCount);
  }
}

TEST_F(RawInputTest, GateDropsReportsCloserThanEightMilliseconds) {
  const Report reports[] = {
      {1000, 3, -50, 1000, 3, 50, 0, 0},
      {1005, 10, 20, 1000, 3, 50, 0, 0},  // 5 ms later: dropped whole, the gate keeps its time
      {1008, -2, 0, 1008, 1, 50, 0, 0},   // 8 ms after the first; horizontal only
  };
  InjectReports(reports, sizeof reports / sizeof reports[0]);
}

// With averaging on, a steering call with 0 would enter the ring and halve the
// next average: the ring count shows whether one was made.
TEST_F(RawInputTest, VerticalOnlyReportReachesPedalsAndLeavesTheWheel) {
  tuningSettings.smoothing = 2;
  const Report reports[] = {
      {2000, 10, 0, 2000, 10, 0, 0, 1},
      {2008, 0, 7, 2008, 10, 0, 7, 1},
  };
  InjectReports(reports, sizeof reports / sizeof reports[0]);
}

TEST_F(RawInputTest, ReportOfAnotherDeviceAppliesNothing) {
  // Only the mouse is registered by the program; register the keyboard too so
  // a keyboard report reaches the window. In right-click pedal mode with the
  // button up, any pedal call would drop the throttle to 0.
  RAWINPUTDEVICE keyboard{};
  keyboard.usUsagePage = 0x01;
  keyboard.usUsage = 0x06;
  keyboard.dwFlags = RIDEV_INPUTSINK;
  keyboard.hwndTarget = inputWindow;
  ASSERT_TRUE(RegisterRawInputDevices(&keyboard, 1, sizeof keyboard));

  tuningSettings.accelBrakeMode = 1;
  fakeSystem.rightDown = 0;
  steeringState.throttle = 5000.0f;
  steeringState.steering = 20000.0f;
  fakeSystem.clockMicros = 3000000;
  ASSERT_EQ(RunInputHelper("keys 0x87"), 0);  // F24: reaches nothing else
  bool seen = PumpMessagesUntil(OneReportSeen, REPORT_TIMEOUT_MS);

  keyboard.dwFlags = RIDEV_REMOVE;
  keyboard.hwndTarget = nullptr;
  RegisterRawInputDevices(&keyboard, 1, sizeof keyboard);
  PumpPendingMessages();

  ASSERT_TRUE(seen) << "no raw keyboard report";
  EXPECT_EQ(steeringState.lastRawInputMicros, 3000000u);  // the gate runs before the type is known
  EXPECT_EQ(steeringState.throttle, 5000.0f);
  EXPECT_EQ(steeringState.steering, 20000.0f);
}

TEST_F(RawInputTest, UnreadableReportAppliesNothing) {
  // A handle the system does not know: the read fails and nothing moves.
  tuningSettings.accelBrakeMode = 1;
  steeringState.throttle = 5000.0f;
  fakeSystem.clockMicros = 4000000;
  RawInputWindowProc(inputWindow, WM_INPUT, RIM_INPUTSINK, static_cast<LPARAM>(0x7654321));
  EXPECT_EQ(steeringState.lastRawInputMicros, 4000000u);
  EXPECT_EQ(steeringState.throttle, 5000.0f);
  EXPECT_EQ(steeringState.steering, CENTER);
}

// Every report gets a tick 8 ms after the one before, so all pass the gate;
// Wine's extra zero-motion reports then add nothing.
void OpenGateAndCount(const MSG& message) {
  if (message.message == WM_INPUT && message.hwnd == inputWindow) fakeSystem.clockMicros += 8000;
  CountInputReports(message);
}

HWND notepadWindow;

bool NotepadShown() {
  notepadWindow = FindWindowA("Notepad", nullptr);
  return notepadWindow != nullptr;
}

bool NotepadInFront() { return GetForegroundWindow() == notepadWindow; }

bool SinkMotionArrived() {
  return sinkReportsSeen > 0 && steeringState.steering == CENTER + 5 * 45.0f &&
         std::fabs(steeringState.throttle - 20 * COUNT_TO_PEDAL) < 0.01f;
}

TEST_F(RawInputTest, ReportsArriveWhileAnotherProgramIsInFront) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION notepad{};
  char commandLine[] = "notepad.exe";
  ASSERT_TRUE(CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &notepad));
  CloseHandle(notepad.hThread);
  bool inFront = PumpMessagesUntil(NotepadShown, REPORT_TIMEOUT_MS);
  if (inFront) {
    SetForegroundWindow(notepadWindow);
    inFront = PumpMessagesUntil(NotepadInFront, REPORT_TIMEOUT_MS);
  }

  bool arrived = false;
  int helperResult = -1;
  if (inFront) {
    fakeSystem.clockMicros = 5000000;
    inputPump.observe = OpenGateAndCount;
    helperResult = RunInputHelper("move 5 -20");
    arrived = PumpMessagesUntil(SinkMotionArrived, REPORT_TIMEOUT_MS);
  }
  TerminateProcess(notepad.hProcess, 0);
  WaitForSingleObject(notepad.hProcess, REPORT_TIMEOUT_MS);
  CloseHandle(notepad.hProcess);

  ASSERT_TRUE(inFront) << "notepad did not come to the front";
  EXPECT_EQ(helperResult, 0);
  EXPECT_TRUE(arrived) << sinkReportsSeen << " sink reports; wheel " << steeringState.steering
                       << ", throttle " << steeringState.throttle;
}

}  // namespace
