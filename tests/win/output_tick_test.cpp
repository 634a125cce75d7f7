// The output tick through the real vJoy link into the stand-in library: what
// reaches the driver, in which order, and when centring pauses for the left button.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/output_tick.h"
#include "engine/tuning.h"
#include "tests/support/standin_log_win32.h"
#include "tests/support/system_fake.h"
#include "vjoy/vjoy_link.h"

using Calls = std::vector<std::string>;

namespace {

class OutputTickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StandinUnloadLink();
    StandinSetMode(nullptr);
    StandinUseFolder("standin");
    ASSERT_FALSE(StandinStartLog().empty());
    ASSERT_EQ(VJoyBind(), 1);
    StandinClearLog();
    ResetToDefaults();
    FakeSystemReset();
    fakeSystem.overrideButtons = 1;
  }
  void TearDown() override {
    VJoyRelease();
    StandinUnloadLink();
    StandinUseFolder(nullptr);
    StandinClearLog();
    FakeSystemReset();
  }
  static Calls Logged() { return StandinCallTexts(StandinReadLog()); }

  // The axis X values of every SetAxis call logged so far.
  static std::vector<long> SentSteering() {
    std::vector<long> values;
    for (const StandinCall& c : StandinReadLog()) {
      long value = 0;
      unsigned device = 0, axis = 0;
      if (std::sscanf(c.call.c_str(), "SetAxis(%ld,%u,%u)", &value, &device, &axis) == 3 &&
          device == 1 && axis == VJOY_AXIS_X)
        values.push_back(value);
    }
    return values;
  }
};

}  // namespace

// One tick: X, Y, Z truncated toward zero, then button 7 (left) and button 8
// (right), all on device 1, and nothing else.
TEST_F(OutputTickTest, OneTickSendsTheAxesTruncatedThenBothButtons) {
  struct Case {
    float steering, throttle, brake;
    int left, right;
    Calls expected;
  };
  const Case cases[] = {
      {16383.9f, 0.0f, 0.0f, 0, 0,
       {"SetAxis(16383,1,48)=1", "SetAxis(0,1,49)=1", "SetAxis(0,1,50)=1", "SetBtn(0,1,7)=1",
        "SetBtn(0,1,8)=1"}},
      {0.0f, 16383.5f, 0.0f, 1, 0,
       {"SetAxis(0,1,48)=1", "SetAxis(16383,1,49)=1", "SetAxis(0,1,50)=1", "SetBtn(1,1,7)=1",
        "SetBtn(0,1,8)=1"}},
      {32767.0f, 0.0f, 6553.4f, 0, 1,
       {"SetAxis(32767,1,48)=1", "SetAxis(0,1,49)=1", "SetAxis(6553,1,50)=1", "SetBtn(0,1,7)=1",
        "SetBtn(1,1,8)=1"}},
      {20000.99f, 32767.0f, 0.999f, 1, 1,
       {"SetAxis(20000,1,48)=1", "SetAxis(32767,1,49)=1", "SetAxis(0,1,50)=1", "SetBtn(1,1,7)=1",
        "SetBtn(1,1,8)=1"}},
  };
  // No centring, so the wheel is sent where it was put.
  tuningSettings.autoCenterForce = 0.0f;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected[0]);
    StandinClearLog();
    steeringState.steering = c.steering;
    steeringState.throttle = c.throttle;
    steeringState.brake = c.brake;
    fakeSystem.leftDown = c.left;
    fakeSystem.rightDown = c.right;

    OutputTick();

    EXPECT_EQ(Logged(), c.expected);
    EXPECT_EQ(steeringState.leftButtonHeld, c.left);
  }
}

// The left button read at one tick suspends centring at the next: the wheel
// holds from the tick after the press until the tick after the release.
TEST_F(OutputTickTest, LeftButtonSuspendsCentringFromTheTickAfterThePressToTheTickAfterRelease) {
  struct Tick {
    int left;
    bool moves;  // does this tick pull the wheel toward centre?
  };
  const Tick ticks[] = {
      {0, true},   // free
      {1, true},   // press seen now; this tick still centres
      {1, false},  // held
      {1, false},  // held
      {0, false},  // release seen now; the press seen last tick still holds the wheel
      {0, true},   // centring again
      {0, true},
  };
  // Far enough right of centre that no tick reaches it.
  steeringState.steering = 30000.0f;
  long previous = 30000;
  for (size_t i = 0; i < sizeof ticks / sizeof ticks[0]; ++i) {
    SCOPED_TRACE("tick " + std::to_string(i + 1));
    fakeSystem.leftDown = ticks[i].left;
    StandinClearLog();

    OutputTick();

    const std::vector<long> sent = SentSteering();
    ASSERT_EQ(sent.size(), 1u);
    if (ticks[i].moves) {
      EXPECT_LT(sent[0], previous);
      EXPECT_GT(sent[0], 16384);
    } else {
      EXPECT_EQ(sent[0], previous);
    }
    EXPECT_EQ(sent[0], static_cast<long>(steeringState.steering));
    previous = sent[0];
  }
}

// Without the device the engine still runs: the wheel centres and the button
// is read, but nothing reaches the driver.
TEST_F(OutputTickTest, WithoutTheDeviceTheTickRunsButSendsNothing) {
  VJoyRelease();
  StandinClearLog();
  steeringState.steering = 30000.0f;
  fakeSystem.leftDown = 1;

  OutputTick();

  EXPECT_LT(steeringState.steering, 30000.0f);
  EXPECT_EQ(steeringState.leftButtonHeld, 1);
  EXPECT_EQ(Logged(), Calls{});
}
