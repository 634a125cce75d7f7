#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "engine/output_tick.h"
#include "engine/tuning.h"
#include "tests/support/system_fake.h"
#include "tests/support/vjoy_fake_host.h"
#include "vjoy/vjoy_link.h"

namespace {

class OutputTickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeSystemReset();
    VJoyFakeReset();
    ResetToDefaults();
  }
};

void ExpectCall(int index, int kind, uint32_t id, int32_t value) {
  ASSERT_LT(index, vjoyFake.callCount);
  const VJoyFakeCall& c = vjoyFake.calls[index];
  EXPECT_EQ(c.kind, kind) << "call " << index;
  EXPECT_EQ(c.id, id) << "call " << index;
  EXPECT_EQ(c.value, value) << "call " << index;
}

// X, Y, Z truncated toward zero, then button 7 (left), then button 8 (right).
TEST_F(OutputTickTest, SendsAxesThenButtonsInOrder) {
  struct Case {
    float steering, throttle, brake;
    int left, right;
    int32_t x, y, z;
  } cases[] = {
      {16383.9f, 1000.99f, 0.5f, 1, 0, 16383, 1000, 0},
      {16384.0f, 0.0f, 32767.0f, 0, 1, 16384, 0, 32767},
      {0.2f, 32766.99f, 1.0f, 1, 1, 0, 32766, 1},
      {32767.0f, 0.0f, 0.0f, 0, 0, 32767, 0, 0},
  };
  for (const Case& c : cases) {
    SetUp();
    tuningSettings.autoCenterForce = 0.0f;  // keep the wheel where the case puts it
    steeringState.steering = c.steering;
    steeringState.throttle = c.throttle;
    steeringState.brake = c.brake;
    fakeSystem.leftDown = c.left;
    fakeSystem.rightDown = c.right;
    OutputTick();
    ASSERT_EQ(vjoyFake.callCount, 5);
    ExpectCall(0, VJOY_FAKE_AXIS, 0x30, c.x);
    ExpectCall(1, VJOY_FAKE_AXIS, 0x31, c.y);
    ExpectCall(2, VJOY_FAKE_AXIS, 0x32, c.z);
    ExpectCall(3, VJOY_FAKE_BUTTON, 7, c.left);
    ExpectCall(4, VJOY_FAKE_BUTTON, 8, c.right);
    EXPECT_EQ(steeringState.leftButtonHeld, c.left);
  }
}

// Centring reads the button as the previous tick saw it: the press is seen at
// the first tick after it, and from the next tick on the wheel holds; after the
// release it holds one tick more.
TEST_F(OutputTickTest, LeftButtonSuspendsCentringFromTheTickAfterThePress) {
  tuningSettings.autoCenterForce = 1.0f;
  tuningSettings.responseCurve = 1.0f;
  steeringState.steering = 0.0f;  // far enough never to reach centre here
  struct {
    int leftDown;
    bool moves;
  } ticks[] = {
      {0, true},   // released
      {1, true},   // pressed since the last tick: this tick still centres
      {1, false},  // held
      {1, false},
      {0, false},  // released since the last tick: this tick still holds
      {0, true},
      {0, true},
  };
  float before = steeringState.steering;
  int n = 0;
  for (const auto& t : ticks) {
    fakeSystem.leftDown = t.leftDown;
    const int firstCall = vjoyFake.callCount;
    OutputTick();
    const float after = steeringState.steering;
    EXPECT_EQ(after != before, t.moves) << "tick " << n;
    EXPECT_EQ(steeringState.leftButtonHeld, t.leftDown) << "tick " << n;
    ExpectCall(firstCall, VJOY_FAKE_AXIS, 0x30, static_cast<int32_t>(after));
    ExpectCall(firstCall + 3, VJOY_FAKE_BUTTON, 7, t.leftDown);
    before = after;
    ++n;
  }
  // Centring runs before sending: linear, 1 x 25 at centre to 50 at full lock,
  // so the first tick from 0 sends 50.
  EXPECT_EQ(vjoyFake.calls[0].value, 50);
}

TEST_F(OutputTickTest, CentringRunsWithoutTheDevice) {
  virtualJoystickLink.vjoyAcquired = 0;
  steeringState.steering = 16380.0f;
  OutputTick();
  EXPECT_EQ(steeringState.steering, 16384.0f);
  // The sending calls themselves decide to send nothing; none was made as if acquired.
  for (int i = 0; i < vjoyFake.callCount; ++i) EXPECT_EQ(vjoyFake.calls[i].acquired, 0);
}

// Whatever the records hold, only 0..32767 is published; a value that is not
// finite resends the axis's previous value instead.
TEST_F(OutputTickTest, PublishesOnlyAxisValues) {
  constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
  constexpr float Inf = std::numeric_limits<float>::infinity();
  tuningSettings.autoCenterForce = 0.0f;
  steeringState.steering = 20000.5f;
  steeringState.throttle = 1234.0f;
  steeringState.brake = 4321.0f;
  OutputTick();

  struct Case {
    float steering, throttle, brake;
    int32_t x, y, z;
  } cases[] = {
      {NaN, Inf, -Inf, 20000, 1234, 4321},
      {-Inf, NaN, Inf, 20000, 1234, 4321},
      {40000.0f, -1.0f, 1e30f, 32767, 0, 32767},
      {NaN, NaN, NaN, 32767, 0, 32767},
      {-0.5f, 7.9f, 32767.5f, 0, 7, 32767},
  };
  for (const Case& c : cases) {
    steeringState.steering = c.steering;
    steeringState.throttle = c.throttle;
    steeringState.brake = c.brake;
    const int first = vjoyFake.callCount;
    OutputTick();
    ExpectCall(first, VJOY_FAKE_AXIS, 0x30, c.x);
    ExpectCall(first + 1, VJOY_FAKE_AXIS, 0x31, c.y);
    ExpectCall(first + 2, VJOY_FAKE_AXIS, 0x32, c.z);
  }
}

}  // namespace
