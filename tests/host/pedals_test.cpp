#include <gtest/gtest.h>

#include <cstdint>

#include "engine/pedals.h"
#include "engine/tuning.h"
#include "tests/support/system_fake.h"

namespace {

// One count is 32767 / 100 = 327.67 units; f32 keeps about 0.001 at these sizes.
constexpr float TOL = 0.01f;

class Pedals : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeSystemReset();
    ResetToDefaults();
  }
};

TEST_F(Pedals, FreeModeIsOneSignedTravel) {
  struct Case {
    float throttle, brake;
    int32_t dy;
    int rightDown;  // ignored in this mode
    float expectThrottle, expectBrake;
  } cases[] = {
      // 50 x 327.67; the right button plays no part
      {0.0f, 0.0f, -50, 1, 16383.5f, 0.0f},
      {0.0f, 0.0f, 50, 0, 0.0f, 16383.5f},
      // brake 10 counts, 30 counts away: the 20 left over press the throttle
      {0.0f, 3276.7f, -30, 0, 6553.4f, 0.0f},
      {6553.4f, 0.0f, 30, 0, 0.0f, 3276.7f},
      // release only: 5000 - 3276.7
      {0.0f, 5000.0f, -10, 0, 0.0f, 1723.3f},
      // exactly released, nothing carried
      {0.0f, 3276.7f, -10, 0, 0.0f, 0.0f},
      // full travel holds
      {32767.0f, 0.0f, -10, 0, 32767.0f, 0.0f},
      {0.0f, 0.0f, -200, 0, 32767.0f, 0.0f},
      // carry-over larger than the travel is clamped too
      {0.0f, 100.0f, -200, 0, 32767.0f, 0.0f},
      // no vertical motion, no change
      {1000.0f, 0.0f, 0, 1, 1000.0f, 0.0f},
  };
  for (const Case& c : cases) {
    SetUp();
    tuningSettings.accelBrakeMode = 0;
    steeringState.throttle = c.throttle;
    steeringState.brake = c.brake;
    fakeSystem.rightDown = c.rightDown;
    ApplyPedalDelta(c.dy);
    SCOPED_TRACE(testing::Message() << "throttle " << c.throttle << " brake " << c.brake
                                    << " dy " << c.dy);
    EXPECT_NEAR(steeringState.throttle, c.expectThrottle, TOL);
    EXPECT_NEAR(steeringState.brake, c.expectBrake, TOL);
    EXPECT_FALSE(steeringState.throttle > 0.0f && steeringState.brake > 0.0f);
  }
}

// Right-click pedal mode, one step at a time: button state, dy, then the
// pedals and the latch expected after the call.
struct PedalStep {
  int rightDown;
  int32_t dy;
  float throttle, brake;
  int32_t latch;
};

void RunSteps(const char* name, const PedalStep* steps, int count) {
  for (int i = 0; i < count; ++i) {
    const PedalStep& s = steps[i];
    fakeSystem.rightDown = s.rightDown;
    ApplyPedalDelta(s.dy);
    EXPECT_NEAR(steeringState.throttle, s.throttle, TOL) << name << " step " << i;
    EXPECT_NEAR(steeringState.brake, s.brake, TOL) << name << " step " << i;
    EXPECT_EQ(steeringState.pedalLatch, s.latch) << name << " step " << i;
  }
}

TEST_F(Pedals, RightClickModeLatchesThePedalForTheWholePress) {
  const PedalStep brakePress[] = {
      {1, 5, 0.0f, 1638.35f, -1},    // first motion toward the user: brake
      {1, -40, 0.0f, 1638.35f, -1},  // away motion ignored for this press
      {1, 5, 0.0f, 3276.7f, -1},
      {1, 200, 0.0f, 32767.0f, -1},  // clamped
      {0, 0, 0.0f, 0.0f, 0},         // release drops both even with dy 0
      {1, -10, 3276.7f, 0.0f, 1},    // next press chooses afresh
      {1, 100, 3276.7f, 0.0f, 1},    // the throttle never decreases while held
      {1, -1, 3604.37f, 0.0f, 1},
      {0, -50, 0.0f, 0.0f, 0},       // released: motion does nothing
      {0, 50, 0.0f, 0.0f, 0},
  };
  RunSteps("brake press", brakePress, sizeof brakePress / sizeof brakePress[0]);

  SetUp();
  const PedalStep noMotionFirst[] = {
      {1, 0, 0.0f, 0.0f, 0},  // no vertical motion: no choice yet
      {1, 0, 0.0f, 0.0f, 0},
      {1, -10, 3276.7f, 0.0f, 1},
  };
  RunSteps("no motion first", noMotionFirst, sizeof noMotionFirst / sizeof noMotionFirst[0]);
}

TEST_F(Pedals, RightClickModeClearsTheOtherPedalLeftFromFreeMode) {
  struct Case {
    int32_t freeDy;  // leaves throttle (away) or brake (toward) at 6553.4
    PedalStep step;
  } cases[] = {
      {-20, {1, 1, 0.0f, 327.67f, -1}},
      {20, {1, -1, 327.67f, 0.0f, 1}},
  };
  for (const Case& c : cases) {
    SetUp();
    tuningSettings.accelBrakeMode = 0;
    ApplyPedalDelta(c.freeDy);
    tuningSettings.accelBrakeMode = 1;
    RunSteps(c.freeDy < 0 ? "throttle left over" : "brake left over", &c.step, 1);
  }
}

TEST_F(Pedals, UnknownModeLeavesEverythingAlone) {
  for (int32_t mode : {2, -1, 100}) {
    SetUp();
    tuningSettings.accelBrakeMode = mode;
    steeringState.throttle = 1234.0f;
    steeringState.brake = 0.0f;
    steeringState.pedalLatch = 1;
    for (int rightDown : {0, 1}) {
      fakeSystem.rightDown = rightDown;
      for (int32_t dy : {-30, 0, 30}) ApplyPedalDelta(dy);
    }
    EXPECT_EQ(steeringState.throttle, 1234.0f) << "mode " << mode;
    EXPECT_EQ(steeringState.brake, 0.0f) << "mode " << mode;
    EXPECT_EQ(steeringState.pedalLatch, 1) << "mode " << mode;
  }
}

// |INT32_MIN| does not fit in 32 bits; the pedals must simply go to full travel.
TEST_F(Pedals, ExtremeDeltasStayWithinTheAxis) {
  tuningSettings.accelBrakeMode = 0;
  for (int32_t dy : {INT32_MIN, INT32_MAX, INT32_MIN}) {
    ApplyPedalDelta(dy);
    EXPECT_EQ(steeringState.throttle, dy < 0 ? 32767.0f : 0.0f) << dy;
    EXPECT_EQ(steeringState.brake, dy < 0 ? 0.0f : 32767.0f) << dy;
  }

  SetUp();
  const PedalStep throttle[] = {{1, INT32_MIN, 32767.0f, 0.0f, 1}, {1, INT32_MIN, 32767.0f, 0.0f, 1}};
  RunSteps("mode 1 throttle", throttle, 2);
  SetUp();
  const PedalStep brake[] = {{1, INT32_MAX, 0.0f, 32767.0f, -1}, {1, INT32_MIN, 0.0f, 32767.0f, -1}};
  RunSteps("mode 1 brake", brake, 2);
}

}  // namespace
