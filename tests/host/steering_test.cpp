#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/steering.h"
#include "engine/tuning.h"
#include "tests/support/system_fake.h"

namespace {

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();

// Raw input, no curve on steering; cases set what they need.
class Steering : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeSystemReset();
    ResetToDefaults();
    SetSmoothingWindow(0);
    tuningSettings.curveOnSteering = 0;
  }
  // Applies one delta and answers how far the wheel moved.
  static float Move(int32_t dx) {
    const float before = steeringState.steering;
    ApplySteeringDelta(dx);
    return steeringState.steering - before;
  }
};

// delta = counts x sensitivity x (1 + d^(1/curve) x (curve - 1)), d measured
// before the move; the curve applies only when switched on and above 1.
TEST_F(Steering, GainAndCurve) {
  struct Case {
    int32_t curveOnSteering;
    float responseCurve, sensitivity, start;
    int32_t dx;
    float expected;
  } cases[] = {
      {0, 1.5f, 45.0f, 16384.0f, 3, 16519.0f},  // 3 x 45 = 135
      {1, 1.5f, 45.0f, 16384.0f, 3, 16519.0f},  // at centre d = 0: factor 1
      // d = 0.5, sqrt(0.5) = 0.70711: 100 x 1.70711
      {1, 2.0f, 10.0f, 8192.0f, 10, 8362.7107f},
      // d = 0.5, 0.5^(2/3) = 0.62996: 100 x 1.31498, either side
      {1, 1.5f, 10.0f, 8192.0f, 10, 8323.4980f},
      {1, 1.5f, 10.0f, 24576.0f, -10, 24444.5020f},
      {1, 3.0f, 10.0f, 0.0f, 1, 30.0f},  // full lock: the gain is the curve itself
      {0, 2.0f, 10.0f, 8192.0f, 10, 8292.0f},
      {1, 1.0f, 10.0f, 8192.0f, 10, 8292.0f},
  };
  for (const Case& c : cases) {
    SetUp();
    tuningSettings.curveOnSteering = c.curveOnSteering;
    tuningSettings.responseCurve = c.responseCurve;
    tuningSettings.sensitivity = c.sensitivity;
    steeringState.steering = c.start;
    ApplySteeringDelta(c.dx);
    EXPECT_NEAR(steeringState.steering, c.expected, 0.01f)
        << "curve " << c.responseCurve << " on " << c.curveOnSteering << " from " << c.start;
  }
}

TEST_F(Steering, SmoothingAveragesTheWindowTruncatingTowardZero) {
  struct Case {
    int32_t window;
    int32_t deltas[5];
    float moves[5];  // wheel movement after each delta, at sensitivity 1
    int count;
  } cases[] = {
      {2, {1, -2}, {1, 0}, 2},    // (1 - 2) / 2 = -0.5 -> 0: the second event moves nothing
      {2, {-5, 2}, {-5, -1}, 2},  // (-5 + 2) / 2 = -1.5 -> -1, not -2
      {3, {10, 20, 30, 40}, {10, 15, 20, 30}, 4},  // the ring wraps: (40 + 20 + 30) / 3
      {1, {7, -3, 9}, {7, -3, 9}, 3},
      {4, {1, 1, 1, -1, -1}, {1, 1, 1, 0, 0}, 5},
  };
  for (const Case& c : cases) {
    SetUp();
    tuningSettings.sensitivity = 1.0f;
    SetSmoothingWindow(c.window);
    for (int i = 0; i < c.count; ++i) {
      EXPECT_EQ(Move(c.deltas[i]), c.moves[i]) << "window " << c.window << " event " << i;
    }
  }
}

TEST_F(Steering, ChangingTheWindowClearsTheRingAndKeepingItDoesNot) {
  tuningSettings.sensitivity = 1.0f;
  SetSmoothingWindow(4);
  Move(100);
  Move(100);
  SetSmoothingWindow(4);      // same window: history kept
  EXPECT_EQ(Move(1), 67.0f);  // (100 + 100 + 1) / 3
  SetSmoothingWindow(3);      // new window: history gone
  EXPECT_EQ(steeringState.ringCount, 0);
  EXPECT_EQ(steeringState.ringIndex, 0);
  for (int32_t slot : steeringState.smoothingRing) EXPECT_EQ(slot, 0);
  EXPECT_EQ(Move(7), 7.0f);  // the first event after clearing passes unchanged
  EXPECT_EQ(Move(1), 4.0f);
}

// File values may lie outside the ring's 32 slots: the setter bounds them, and
// a window written around it is bounded where the ring is used.
TEST_F(Steering, WindowsBeyondTheRingAverageTheLast32Deltas) {
  struct Clamp {
    int32_t requested, stored;
  } clamps[] = {{20, 20}, {33, 32}, {-1, 0}, {INT32_MIN, 0}, {INT32_MAX, 32}};
  for (const Clamp& c : clamps) {
    SetSmoothingWindow(c.requested);
    EXPECT_EQ(tuningSettings.smoothing, c.stored) << "requested " << c.requested;
  }

  struct Case {
    int32_t window;
    bool direct;
  } cases[] = {{1000, false}, {1000, true}, {33, true}, {32, false}};
  for (const Case& c : cases) {
    SetUp();
    tuningSettings.sensitivity = 1.0f;
    if (c.direct) {
      tuningSettings.smoothing = c.window;
    } else {
      SetSmoothingWindow(c.window);
    }
    float last = 0.0f;
    for (int32_t dx = 1; dx <= 40; ++dx) last = Move(dx);
    EXPECT_EQ(last, 24.0f) << c.window;  // 9..40: 784 / 32 = 24.5 -> 24
    EXPECT_GE(steeringState.ringIndex, 0);
    EXPECT_LT(steeringState.ringIndex, 32);
    EXPECT_EQ(steeringState.ringCount, 32);
  }
}

TEST_F(Steering, WindowWrittenDirectlyNeverUsesAStaleIndex) {
  tuningSettings.sensitivity = 1.0f;
  tuningSettings.smoothing = -3;  // raw input
  EXPECT_EQ(Move(7), 7.0f);
  EXPECT_EQ(Move(-2), -2.0f);

  SetSmoothingWindow(5);
  for (int32_t dx : {1, 2, 3, 4}) Move(dx);
  tuningSettings.smoothing = 2;  // index 4 and count 4 no longer fit: start afresh
  EXPECT_EQ(Move(10), 10.0f);
  EXPECT_EQ(Move(20), 15.0f);
}

TEST_F(Steering, ExtremeDeltasAverageExactly) {
  struct Case {
    int32_t window, first, second;
    float secondMove;
  } cases[] = {
      {2, INT32_MIN, INT32_MIN, -2048.0f},  // a 32-bit sum would wrap to 0
      {2, INT32_MAX, INT32_MAX, 2048.0f},   // 2^31 - 1 rounds to 2^31 as a float
      {2, INT32_MAX, INT32_MIN, 0.0f},      // -0.5 -> 0
      {0, INT32_MIN, INT32_MIN, -2048.0f},
  };
  for (const Case& c : cases) {
    SetUp();
    tuningSettings.sensitivity = 1.0f / 1048576.0f;  // 2^31 x 2^-20 = 2048 exactly
    SetSmoothingWindow(c.window);
    Move(c.first);
    EXPECT_EQ(Move(c.second), c.secondMove) << c.first << " then " << c.second;
  }

  // A full ring of 32 x INT32_MIN; at 2^-24 each event moves exactly -128.
  SetUp();
  tuningSettings.sensitivity = 1.0f / 16777216.0f;
  SetSmoothingWindow(32);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(Move(INT32_MIN), -128.0f) << "event " << i;

  // At full gain they stop at the axis ends.
  ResetToDefaults();
  for (int i = 0; i < 2; ++i) ApplySteeringDelta(INT32_MAX);
  EXPECT_EQ(steeringState.steering, 32767.0f);
  for (int i = 0; i < 3; ++i) ApplySteeringDelta(INT32_MIN);
  EXPECT_EQ(steeringState.steering, 0.0f);
}

TEST_F(Steering, WheelRangeBoundsTheWheel) {
  struct Case {
    float limit, low, high;
  } cases[] = {{50.0f, 8192.0f, 24576.0f},
               {10.0f, 14745.6f, 18022.4f},
               {100.0f, 0.0f, 32767.0f}};  // the range's top would be 32768
  for (const Case& c : cases) {
    SetUp();
    tuningSettings.steeringLimit = c.limit;
    for (int i = 0; i < 50; ++i) ApplySteeringDelta(1000);
    EXPECT_NEAR(steeringState.steering, c.high, 0.001f) << "limit " << c.limit;
    for (int i = 0; i < 100; ++i) ApplySteeringDelta(-1000);
    EXPECT_NEAR(steeringState.steering, c.low, 0.001f) << "limit " << c.limit;
  }
  RecenterSteering();
  EXPECT_EQ(steeringState.steering, 16384.0f);
}

// The curve always shapes centring, whatever curveOnSteering says.
TEST_F(Steering, CentringPullsByTheCurvedOrLinearStep) {
  struct Case {
    float force, curve, start, expected;
  } cases[] = {
      // step 125 + (4/16384)^(2/3) x 250 = 126 >= 4: lands exactly on centre
      {5.0f, 1.5f, 16380.0f, 16384.0f},
      {5.0f, 1.5f, 16388.0f, 16384.0f},
      {5.0f, 1.5f, 16384.0f, 16384.0f},
      {5.0f, 1.5f, 0.0f, 375.0f},  // full lock with a curve: 2 x 125 x 1.5
      // 16383 away: 125 + (16383/16384)^(2/3) x 250 = 374.9898
      {5.0f, 1.5f, 32767.0f, 32392.0102f},
      // from the edge of a 50% range: 125 + 0.5^(2/3) x 250 = 282.49
      {5.0f, 1.5f, 24576.0f, 24293.5099f},
      {5.0f, 1.0f, 0.0f, 250.0f},  // linear: 125 at centre rising to 250 at full lock
      {5.0f, 1.0f, 8192.0f, 8379.5f},
      {5.0f, 0.5f, 8192.0f, 8379.5f},  // a curve below 1 is linear too
      // 2.5 + 0.39 x 2.5 = 3.47, raised to the minimum step of 5
      {0.1f, 1.0f, 10000.0f, 10005.0f},
      {0.1f, 1.0f, 22000.0f, 21995.0f},
      {0.0f, 1.5f, 10000.0f, 10000.0f},
      {-3.0f, 1.5f, 10000.0f, 10000.0f},
  };
  for (int32_t curveOnSteering : {0, 1}) {
    for (const Case& c : cases) {
      SetUp();
      tuningSettings.curveOnSteering = curveOnSteering;
      tuningSettings.autoCenterForce = c.force;
      tuningSettings.responseCurve = c.curve;
      steeringState.steering = c.start;
      AutoCenterStep();
      EXPECT_NEAR(steeringState.steering, c.expected, 0.01f)
          << "force " << c.force << " curve " << c.curve << " from " << c.start;
    }
  }
}

TEST_F(Steering, LeftButtonHeldStopsCentringButNotTheClamp) {
  struct Case {
    float start, expected;
  } cases[] = {{10000.0f, 10000.0f}, {40000.0f, 32767.0f}, {-5.0f, 0.0f}};
  for (const Case& c : cases) {
    SetUp();
    tuningSettings.autoCenterForce = 30.0f;
    steeringState.leftButtonHeld = 1;
    steeringState.steering = c.start;
    AutoCenterStep();
    EXPECT_EQ(steeringState.steering, c.expected) << "from " << c.start;
  }
}

// A tuning value that is not finite (a hand-edited file, say) must never put a
// NaN or infinity into the published wheel; where the step itself would be
// one, the wheel stays where it was.
TEST_F(Steering, NonFiniteTuningNeverLeavesTheAxisRange) {
  struct Case {
    const char* what;
    float TuningSettings::*field;
    float value;
    bool deltaKeepsWheel, centringKeepsWheel;
  } cases[] = {
      {"sensitivity NaN", &TuningSettings::sensitivity, NaN, true, false},
      {"sensitivity +inf", &TuningSettings::sensitivity, Inf, true, false},
      {"sensitivity -inf", &TuningSettings::sensitivity, -Inf, true, false},
      {"curve NaN", &TuningSettings::responseCurve, NaN, false, false},
      {"curve +inf", &TuningSettings::responseCurve, Inf, true, false},
      {"curve -inf", &TuningSettings::responseCurve, -Inf, false, false},
      {"limit NaN", &TuningSettings::steeringLimit, NaN, false, false},
      {"limit +inf", &TuningSettings::steeringLimit, Inf, false, false},
      {"limit -inf", &TuningSettings::steeringLimit, -Inf, true, false},
      {"force NaN", &TuningSettings::autoCenterForce, NaN, false, false},
      {"force +inf", &TuningSettings::autoCenterForce, Inf, false, true},
      {"force -inf", &TuningSettings::autoCenterForce, -Inf, false, false},
  };
  for (const Case& c : cases) {
    for (float start : {0.0f, 10000.0f, 16384.0f, 32767.0f}) {
      SCOPED_TRACE(testing::Message() << c.what << " from " << start);
      SetUp();
      tuningSettings.curveOnSteering = 1;
      tuningSettings.*c.field = c.value;
      steeringState.steering = start;
      ApplySteeringDelta(5);
      if (c.deltaKeepsWheel) {
        EXPECT_EQ(steeringState.steering, start);
      }
      const float beforeCentring = steeringState.steering;
      AutoCenterStep();
      if (c.centringKeepsWheel) {
        EXPECT_EQ(steeringState.steering, beforeCentring);
      }
      for (int32_t dx : {-70000, 70000}) {
        ApplySteeringDelta(dx);
        AutoCenterStep();
        const float w = steeringState.steering;
        EXPECT_TRUE(std::isfinite(w) && w >= 0.0f && w <= 32767.0f) << w;
      }
    }
  }
}

}  // namespace
