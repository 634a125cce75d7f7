#include "engine/output_tick.h"

#include <cmath>
#include <cstdint>

#include "engine/steering.h"
#include "engine/system_seam.h"
#include "engine/tuning.h"
#include "vjoy/vjoy_link.h"

namespace {

constexpr uint8_t BUTTON_LEFT = 7;
constexpr uint8_t BUTTON_RIGHT = 8;

// The last value each axis was given, resent should the engine ever hold a
// value that is not finite (converting one to an integer is undefined).
int32_t lastSteeringValue = static_cast<int32_t>(STEERING_CENTER);
int32_t lastThrottleValue = 0;
int32_t lastBrakeValue = 0;

// Truncates toward zero within 0..32767.
int32_t AxisValue(float v, int32_t* last) {
  if (!std::isfinite(v)) return *last;
  if (v < 0.0f) v = 0.0f;
  if (v > AXIS_MAX) v = AXIS_MAX;
  *last = static_cast<int32_t>(v);
  return *last;
}

}  // namespace

void OutputTick() {
  AutoCenterStep();

  const SteeringState& s = steeringState;
  VJoySetAxis(VJOY_AXIS_X, AxisValue(s.steering, &lastSteeringValue));
  VJoySetAxis(VJOY_AXIS_Y, AxisValue(s.throttle, &lastThrottleValue));
  VJoySetAxis(VJOY_AXIS_Z, AxisValue(s.brake, &lastBrakeValue));

  const int32_t left = SystemLeftButtonDown() ? 1 : 0;
  steeringState.leftButtonHeld = left;
  VJoySetButton(BUTTON_LEFT, left);
  VJoySetButton(BUTTON_RIGHT, SystemRightButtonDown() ? 1 : 0);
}
