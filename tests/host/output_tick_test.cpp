#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "engine/output_tick.h"
#include "engine/tuning.h"
#include "tests/support/system_fake.h"
#include "tests/support/vjoy_fake_host.h"
#include "vjoy/vjoy_link.h"

namespace {

using Calls = std::vector<std::string>;

// One tick's calls: X, Y, Z, then button 7 (left) and button 8 (right).
Calls Tick(int32_t x, int32_t y, int32_t z, int left, int right) {
  return {"SetAxis(" + std::to_string(x) + ",1,48)", "SetAxis(" + std::to_string(y) + ",1,49)",
          "SetAxis(" + std::to_string(z) + ",1,50)", "SetBtn(" + std::to_string(left) + ",1,7)",
          "SetBtn(" + std::to_string(right) + ",1,8)"};
}

class OutputTickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeSystemReset();
    VJoyFakeReset();
    ResetToDefaults();
  }
  // Runs one tick with the engine at these values; what it sent.
  static Calls TickWith(float steering, float throttle, float brake) {
    steeringState.steering = steering;
    steeringState.throttle = throttle;
    steeringState.brake = brake;
    vjoyFakeCalls.clear();
    OutputTick();
    return vjoyFakeCalls;
  }
};

// The axes truncated toward zero, then the buttons as they are now.
TEST_F(OutputTickTest, SendsAxesThenButtonsInOrder) {
  struct Case {
    float steering, throttle, brake;
    int left, right;
    int32_t x, y, z;
  } cases[] = {
      {16383.9f, 1000.99f, 0.5f, 1, 0, 16383, 1000, 0},
      {16384.0f, 0.0f, 32767.0f, 0, 1, 16384, 0, 32767},
      {0.2f, 32766.99f, 1.0f, 1, 1, 0, 32766, 1},
  };
  tuningSettings.autoCenterForce = 0.0f;  // keep the wheel where the case puts it
  for (const Case& c : cases) {
    fakeSystem.leftDown = c.left;
    fakeSystem.rightDown = c.right;
    EXPECT_EQ(TickWith(c.steering, c.throttle, c.brake), Tick(c.x, c.y, c.z, c.left, c.right));
    EXPECT_EQ(steeringState.leftButtonHeld, c.left);
  }
}

// Centring runs before sending, and reads the button as the previous tick saw
// it: the press is seen at the first tick after it, and from the next tick on
// the wheel holds; after the release it holds one tick more.
TEST_F(OutputTickTest, LeftButtonSuspendsCentringFromTheTickAfterThePress) {
  tuningSettings.autoCenterForce = 1.0f;
  tuningSettings.responseCurve = 1.0f;  // linear: 25 at centre to 50 at full lock
  const struct {
    int leftDown;
    int32_t sent;
  } ticks[] = {
      {0, 50},  // released
      {1, 99},  // pressed since the last tick: this tick still centres
      {1, 99},  // held
      {1, 99},
      {0, 99},  // released since the last tick: this tick still holds
      {0, 149},
  };
  steeringState.steering = 0.0f;
  for (const auto& t : ticks) {
    fakeSystem.leftDown = t.leftDown;
    EXPECT_EQ(TickWith(steeringState.steering, 0, 0), Tick(t.sent, 0, 0, t.leftDown, 0)) << t.sent;
  }
}

TEST_F(OutputTickTest, CentringRunsWithoutTheDevice) {
  virtualJoystickLink.vjoyAcquired = 0;
  const Calls sent = TickWith(16380.0f, 0, 0);
  EXPECT_EQ(steeringState.steering, 16384.0f);
  // The sending calls themselves decide to send nothing; none is made as if acquired.
  for (const std::string& call : sent) EXPECT_NE(call.find(" unacquired"), std::string::npos) << call;
}

// Whatever the records hold, only 0..32767 is published; a value that is not
// finite resends the axis's previous value instead.
TEST_F(OutputTickTest, PublishesOnlyAxisValues) {
  constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
  constexpr float Inf = std::numeric_limits<float>::infinity();
  tuningSettings.autoCenterForce = 0.0f;
  TickWith(20000.5f, 1234.0f, 4321.0f);
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
    EXPECT_EQ(TickWith(c.steering, c.throttle, c.brake), Tick(c.x, c.y, c.z, 0, 0)) << c.x << " " << c.y;
  }
}

}  // namespace
