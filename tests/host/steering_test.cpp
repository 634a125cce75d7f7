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
// 2^-20: scales a delta of 2^31 down to exactly 2048 axis units.
constexpr float TINY_GAIN = 1.0f / 1048576.0f;

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

// 3 counts x 45 = 135, whenever the curve does not apply: switched off, linear,
// or with the wheel at centre (d = 0 makes the factor 1).
TEST_F(Steering, GainWithoutCurveIsCountsTimesSensitivity) {
  struct Case {
    int32_t curveOnSteering;
    float responseCurve;
  } cases[] = {{0, 1.5f}, {0, 3.0f}, {1, 1.0f}, {1, 1.5f}, {1, 3.0f}};
  for (const Case& c : cases) {
    SetUp();
    tuningSettings.curveOnSteering = c.curveOnSteering;
    tuningSettings.responseCurve = c.responseCurve;
    ApplySteeringDelta(3);
    EXPECT_EQ(steeringState.steering, 16384.0f + 135.0f)
        << "curveOnSteering " << c.curveOnSteering << " curve " << c.responseCurve;
    ApplySteeringDelta(-3);
    ApplySteeringDelta(-3);
    // Linear (or unshaped) steering is symmetric: back to centre, then 135 left.
    if (c.curveOnSteering == 0 || c.responseCurve == 1.0f) {
      EXPECT_EQ(steeringState.steering, 16384.0f - 135.0f);
    }
  }
}

// delta x (1 + d^(1/curve) x (curve - 1)), d measured before the move.
TEST_F(Steering, CurveRaisesGainAwayFromCentre) {
  struct Case {
    int32_t curveOnSteering;
    float responseCurve;
    float start;
    int32_t dx;
    float expected;
  } cases[] = {
      // d = 0.5, sqrt(0.5) = 0.70711: 100 x 1.70711
      {1, 2.0f, 8192.0f, 10, 8362.7107f},
      // d = 0.5, 0.5^(2/3) = 0.62996: 100 x 1.31498
      {1, 1.5f, 8192.0f, 10, 8323.4980f},
      {1, 1.5f, 24576.0f, -10, 24444.5020f},
      // full lock, d = 1: gain is the curve itself, 10 x 3
      {1, 3.0f, 0.0f, 1, 30.0f},
      // curve switched off: plain 100
      {0, 2.0f, 8192.0f, 10, 8292.0f},
      // exactly linear: plain 100
      {1, 1.0f, 8192.0f, 10, 8292.0f},
  };
  for (const Case& c : cases) {
    SetUp();
    tuningSettings.sensitivity = 10.0f;
    tuningSettings.curveOnSteering = c.curveOnSteering;
    tuningSettings.responseCurve = c.responseCurve;
    steeringState.steering = c.start;
    ApplySteeringDelta(c.dx);
    EXPECT_NEAR(steeringState.steering, c.expected, 0.01f)
        << "curve " << c.responseCurve << " from " << c.start;
  }
}

TEST_F(Steering, SmoothingAveragesTheWindowTruncatingTowardZero) {
  struct Case {
    int32_t window;
    int32_t deltas[5];
    float moves[5];  // wheel movement after each delta, at sensitivity 1
    int count;
  } cases[] = {
      // (1 - 2) / 2 = -0.5 -> 0: the second event moves nothing
      {2, {1, -2}, {1, 0}, 2},
      // -5, then (-5 + 2) / 2 = -1.5 -> -1 (not -2)
      {2, {-5, 2}, {-5, -1}, 2},
      // 10, 15, 20, then the ring wraps: (40 + 20 + 30) / 3 = 30
      {3, {10, 20, 30, 40}, {10, 15, 20, 30}, 4},
      // a window of 1 is raw input
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

TEST_F(Steering, DefaultsMoveTheFirstEventUnchangedAndTheSecondByTheAverage) {
  ResetToDefaults();  // smoothing 2, sensitivity 45, curve on but at centre
  tuningSettings.curveOnSteering = 0;
  EXPECT_EQ(Move(1), 45.0f);
  EXPECT_EQ(Move(-2), 0.0f);
}

TEST_F(Steering, ChangingTheWindowClearsTheRingAndKeepingItDoesNot) {
  tuningSettings.sensitivity = 1.0f;
  SetSmoothingWindow(4);
  Move(100);
  Move(100);
  SetSmoothingWindow(4);                      // same window: history kept
  EXPECT_EQ(Move(1), 67.0f);                  // (100 + 100 + 1) / 3 = 67
  SetSmoothingWindow(3);                      // new window: history gone
  EXPECT_EQ(steeringState.ringCount, 0);
  EXPECT_EQ(steeringState.ringIndex, 0);
  for (int32_t slot : steeringState.smoothingRing) EXPECT_EQ(slot, 0);
  EXPECT_EQ(Move(7), 7.0f);                   // first event after clearing passes unchanged
  EXPECT_EQ(Move(1), 4.0f);                   // (7 + 1) / 2
}

TEST_F(Steering, SmoothingWindowIsClampedToTheRing) {
  struct Case {
    int32_t requested;
    int32_t stored;
  } cases[] = {{0, 0},   {1, 1},    {20, 20},           {32, 32},         {33, 32},
               {1000, 32}, {-1, 0}, {INT32_MIN, 0},     {INT32_MAX, 32}};
  for (const Case& c : cases) {
    SetUp();
    SetSmoothingWindow(c.requested);
    EXPECT_EQ(tuningSettings.smoothing, c.stored) << "requested " << c.requested;
  }
}

// 40 events through the largest window: only the last 32 count, the ring is
// never indexed past its end.
TEST_F(Steering, LargeWindowsAverageTheLast32Deltas) {
  struct Case {
    const char* how;
    int32_t window;
    bool direct;  // written around SetSmoothingWindow, as a bad file value could be
  } cases[] = {{"clamped 1000", 1000, false}, {"direct 1000", 1000, true},
               {"direct 33", 33, true}, {"exactly 32", 32, false}};
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
    // deltas 9..40: sum 784, / 32 = 24.5 -> 24
    EXPECT_EQ(last, 24.0f) << c.how;
    EXPECT_GE(steeringState.ringIndex, 0) << c.how;
    EXPECT_LT(steeringState.ringIndex, 32) << c.how;
    EXPECT_EQ(steeringState.ringCount, 32) << c.how;
  }
}

TEST_F(Steering, NegativeWindowWrittenDirectlyIsRawInput) {
  tuningSettings.sensitivity = 1.0f;
  tuningSettings.smoothing = -3;
  EXPECT_EQ(Move(7), 7.0f);
  EXPECT_EQ(Move(-2), -2.0f);
}

TEST_F(Steering, WindowShrunkDirectlyRestartsTheAverage) {
  tuningSettings.sensitivity = 1.0f;
  SetSmoothingWindow(5);
  for (int32_t dx : {1, 2, 3, 4}) Move(dx);
  tuningSettings.smoothing = 2;  // index 4 and count 4 no longer fit
  EXPECT_EQ(Move(10), 10.0f);
  EXPECT_EQ(Move(20), 15.0f);
}

TEST_F(Steering, ExtremeDeltasAverageExactly) {
  struct Case {
    int32_t window;
    int32_t first;
    int32_t second;
    float secondMove;
  } cases[] = {
      // INT32_MIN x 2^-20 = -2048 exactly; a 32-bit sum would wrap to 0
      {2, INT32_MIN, INT32_MIN, -2048.0f},
      // 2147483647 rounds to 2^31 as a float: +2048
      {2, INT32_MAX, INT32_MAX, 2048.0f},
      // (2^31 - 1 - 2^31) / 2 = -0.5 -> 0
      {2, INT32_MAX, INT32_MIN, 0.0f},
      {0, INT32_MIN, INT32_MIN, -2048.0f},
  };
  for (const Case& c : cases) {
    SetUp();
    tuningSettings.sensitivity = TINY_GAIN;
    SetSmoothingWindow(c.window);
    Move(c.first);
    EXPECT_EQ(Move(c.second), c.secondMove) << c.first << " then " << c.second;
  }

  // A full ring of 32 x INT32_MIN; at 2^-24 each event moves exactly -128.
  SetUp();
  tuningSettings.sensitivity = 1.0f / 16777216.0f;
  SetSmoothingWindow(32);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(Move(INT32_MIN), -128.0f) << "event " << i;
}

TEST_F(Steering, ExtremeDeltasAtFullGainStopAtTheAxisEnds) {
  ResetToDefaults();  // curve on, smoothing 2
  ApplySteeringDelta(INT32_MAX);
  ApplySteeringDelta(INT32_MAX);
  EXPECT_EQ(steeringState.steering, 32767.0f);
  ApplySteeringDelta(INT32_MIN);
  ApplySteeringDelta(INT32_MIN);
  ApplySteeringDelta(INT32_MIN);
  EXPECT_EQ(steeringState.steering, 0.0f);
}

TEST_F(Steering, WheelRangeBoundsTheWheel) {
  struct Case {
    float limit;
    float low;
    float high;
  } cases[] = {{50.0f, 8192.0f, 24576.0f},
               {10.0f, 14745.6f, 18022.4f},
               // the range's top would be 32768: the axis holds it at 32767
               {100.0f, 0.0f, 32767.0f}};
  for (const Case& c : cases) {
    SetUp();
    tuningSettings.steeringLimit = c.limit;
    for (int i = 0; i < 50; ++i) ApplySteeringDelta(1000);
    EXPECT_NEAR(steeringState.steering, c.high, 0.001f) << "limit " << c.limit;
    for (int i = 0; i < 100; ++i) ApplySteeringDelta(-1000);
    EXPECT_NEAR(steeringState.steering, c.low, 0.001f) << "limit " << c.limit;
  }
}

TEST_F(Steering, WheelRangeStillCentresTowardTheMiddle) {
  tuningSettings.steeringLimit = 50.0f;
  tuningSettings.responseCurve = 1.5f;
  tuningSettings.autoCenterForce = 5.0f;
  ApplySteeringDelta(100000);
  ASSERT_EQ(steeringState.steering, 24576.0f);
  AutoCenterStep();
  // a = 8192, t = 0.5: 125 + 0.5^(2/3) x 250 = 282.49
  EXPECT_NEAR(steeringState.steering, 24293.5099f, 0.01f);
}

TEST_F(Steering, CentringPullsByTheCurvedOrLinearStep) {
  struct Case {
    float force;
    float curve;
    float start;
    float expected;
  } cases[] = {
      // step 125 + (4/16384)^(2/3) x 250 = 126 >= 4: lands exactly on centre
      {5.0f, 1.5f, 16380.0f, 16384.0f},
      {5.0f, 1.5f, 16388.0f, 16384.0f},
      {5.0f, 1.5f, 16384.0f, 16384.0f},
      // full lock with a curve: 2 x 125 x 1.5 = 375
      {5.0f, 1.5f, 0.0f, 375.0f},
      // 16383 away: 125 + (16383/16384)^(2/3) x 250 = 374.9898
      {5.0f, 1.5f, 32767.0f, 32392.0102f},
      // linear: 125 at centre rising to 250 at full lock
      {5.0f, 1.0f, 0.0f, 250.0f},
      {5.0f, 1.0f, 8192.0f, 8379.5f},
      {5.0f, 1.0f, 10000.0f, 10173.7061f},
      // a curve below 1 is linear too
      {5.0f, 0.5f, 8192.0f, 8379.5f},
      // 2.5 + 0.39 x 2.5 = 3.47, raised to the minimum step of 5
      {0.1f, 1.0f, 10000.0f, 10005.0f},
      {0.1f, 1.0f, 22000.0f, 21995.0f},
      // no force: no centring
      {0.0f, 1.5f, 10000.0f, 10000.0f},
      {-3.0f, 1.5f, 10000.0f, 10000.0f},
  };
  for (const Case& c : cases) {
    SetUp();
    tuningSettings.autoCenterForce = c.force;
    tuningSettings.responseCurve = c.curve;
    steeringState.steering = c.start;
    AutoCenterStep();
    EXPECT_NEAR(steeringState.steering, c.expected, 0.01f)
        << "force " << c.force << " curve " << c.curve << " from " << c.start;
  }
}

TEST_F(Steering, CentringIgnoresCurveOnSteering) {
  for (int32_t flag : {0, 1}) {
    SetUp();
    tuningSettings.curveOnSteering = flag;
    tuningSettings.autoCenterForce = 5.0f;
    tuningSettings.responseCurve = 1.5f;
    steeringState.steering = 0.0f;
    AutoCenterStep();
    EXPECT_NEAR(steeringState.steering, 375.0f, 0.01f) << "curveOnSteering " << flag;
  }
}

TEST_F(Steering, LeftButtonHeldStopsCentringButNotTheClamp) {
  struct Case {
    float start;
    float expected;
  } cases[] = {{10000.0f, 10000.0f}, {30000.0f, 30000.0f}, {40000.0f, 32767.0f}, {-5.0f, 0.0f}};
  for (const Case& c : cases) {
    SetUp();
    tuningSettings.autoCenterForce = 30.0f;
    steeringState.leftButtonHeld = 1;
    steeringState.steering = c.start;
    AutoCenterStep();
    EXPECT_EQ(steeringState.steering, c.expected) << "from " << c.start;
  }
}

TEST_F(Steering, RecenterIgnoresTheRange) {
  tuningSettings.steeringLimit = 10.0f;
  steeringState.steering = 30000.0f;
  RecenterSteering();
  EXPECT_EQ(steeringState.steering, 16384.0f);
}

// A tuning value that is not finite (a hand-edited file, say) must never put a
// NaN or infinity into the published wheel: the wheel stays where it was.
TEST_F(Steering, NonFiniteTuningKeepsTheWheelWhereItWas) {
  struct Case {
    const char* what;
    float TuningSettings::*field;
    float value;
  } cases[] = {
      {"sensitivity NaN", &TuningSettings::sensitivity, NaN},
      {"sensitivity +inf", &TuningSettings::sensitivity, Inf},
      {"sensitivity -inf", &TuningSettings::sensitivity, -Inf},
      {"curve +inf", &TuningSettings::responseCurve, Inf},
      {"limit -inf", &TuningSettings::steeringLimit, -Inf},
  };
  for (const Case& c : cases) {
    SetUp();
    tuningSettings.curveOnSteering = 1;
    steeringState.steering = 10000.0f;
    tuningSettings.*c.field = c.value;
    ApplySteeringDelta(5);
    EXPECT_EQ(steeringState.steering, 10000.0f) << c.what;
  }
}

TEST_F(Steering, NonFiniteTuningNeverLeavesTheAxisRange) {
  struct Case {
    const char* what;
    float TuningSettings::*field;
    float value;
  } cases[] = {
      {"curve NaN", &TuningSettings::responseCurve, NaN},
      {"curve +inf", &TuningSettings::responseCurve, Inf},
      {"curve -inf", &TuningSettings::responseCurve, -Inf},
      {"limit NaN", &TuningSettings::steeringLimit, NaN},
      {"limit +inf", &TuningSettings::steeringLimit, Inf},
      {"limit -inf", &TuningSettings::steeringLimit, -Inf},
      {"force NaN", &TuningSettings::autoCenterForce, NaN},
      {"force +inf", &TuningSettings::autoCenterForce, Inf},
      {"force -inf", &TuningSettings::autoCenterForce, -Inf},
      {"sensitivity NaN", &TuningSettings::sensitivity, NaN},
      {"sensitivity +inf", &TuningSettings::sensitivity, Inf},
  };
  for (const Case& c : cases) {
    for (float start : {0.0f, 10000.0f, 16384.0f, 32767.0f}) {
      SetUp();
      tuningSettings.curveOnSteering = 1;
      steeringState.steering = start;
      tuningSettings.*c.field = c.value;
      for (int32_t dx : {5, -70000, 70000}) {
        ApplySteeringDelta(dx);
        AutoCenterStep();
        const float w = steeringState.steering;
        EXPECT_TRUE(std::isfinite(w) && w >= 0.0f && w <= 32767.0f)
            << c.what << " from " << start << ": " << w;
      }
    }
  }
}

TEST_F(Steering, InfiniteForceKeepsTheWheelWhereItWas) {
  tuningSettings.autoCenterForce = Inf;
  for (float curve : {1.0f, 1.5f}) {
    tuningSettings.responseCurve = curve;
    steeringState.steering = 10000.0f;
    AutoCenterStep();
    EXPECT_EQ(steeringState.steering, 10000.0f) << "curve " << curve;
  }
}

}  // namespace
