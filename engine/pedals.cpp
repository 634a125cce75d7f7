#include "engine/pedals.h"

#include "engine/steering.h"
#include "engine/system_seam.h"
#include "engine/tuning.h"

namespace {

constexpr float COUNTS_FOR_FULL_PEDAL = 100.0f;
// MOUSE_HELD_LEFT and MOUSE_HELD_RIGHT of steeringState.mouseButtons.
constexpr uint32_t HELD_LEFT = 0x01, HELD_RIGHT = 0x02;

float ClampPedal(float v) {
  if (v < 0.0f) return 0.0f;
  if (v > AXIS_MAX) return AXIS_MAX;
  return v;
}

// Throttle and brake as one signed travel: motion first releases the opposite
// pedal, and whatever is left over presses this one.
void MovePedals(float* pressing, float* releasing, float m) {
  if (*releasing > 0.0f) {
    *releasing -= m;
    if (*releasing < 0.0f) {
      *pressing = ClampPedal(-*releasing);
      *releasing = 0.0f;
    }
  } else {
    *pressing = ClampPedal(*pressing + m);
  }
}

void MovePedalsForMode(int32_t dy) {
  const int32_t mode = tuningSettings.accelBrakeMode;
  if (mode != 0 && mode != 1) return;

  SteeringState& s = steeringState;
  // |INT32_MIN| does not fit in 32 bits; the magnitude is taken in 64.
  const int64_t counts = dy < 0 ? -static_cast<int64_t>(dy) : static_cast<int64_t>(dy);
  const float m = static_cast<float>(counts) * AXIS_MAX / COUNTS_FOR_FULL_PEDAL;

  if (mode == 0) {
    if (dy < 0) {
      MovePedals(&s.throttle, &s.brake, m);
    } else if (dy > 0) {
      MovePedals(&s.brake, &s.throttle, m);
    }
    return;
  }

  if (!EngineRightButtonDown()) {
    s.throttle = 0.0f;
    s.brake = 0.0f;
    s.pedalLatch = 0;
    return;
  }
  // The first vertical motion of a press picks the pedal for the whole press.
  if (s.pedalLatch == 0) {
    if (dy < 0) {
      s.pedalLatch = 1;
    } else if (dy > 0) {
      s.pedalLatch = -1;
    }
  }
  if (s.pedalLatch == 1) {
    if (dy < 0) s.throttle = ClampPedal(s.throttle + m);
    s.brake = 0.0f;
  } else if (s.pedalLatch == -1) {
    if (dy > 0) s.brake = ClampPedal(s.brake + m);
    s.throttle = 0.0f;
  }
}

}  // namespace

void ApplyPedalDelta(int32_t dy) {
  MovePedalsForMode(dy);
  // As a car's cruise control: the brake ends it. Releasing the right button
  // does not.
  if (steeringState.brake > 0.0f) steeringState.cruiseThrottle = 0.0f;
}

void ApplyWheelDelta(int32_t wheel) {
  const int32_t percent = tuningSettings.scrollThrottle;
  SteeringState& s = steeringState;
  if (percent <= 0 || s.brake > 0.0f) {
    s.cruiseThrottle = 0.0f;
    return;
  }
  const float share = static_cast<float>(percent < SCROLL_THROTTLE_MAX ? percent : SCROLL_THROTTLE_MAX);
  s.cruiseThrottle = ClampPedal(s.cruiseThrottle + static_cast<float>(wheel) * share / 100.0f *
                                                       AXIS_MAX / static_cast<float>(WHEEL_NOTCH));
}

float PublishedThrottle() {
  const SteeringState& s = steeringState;
  return tuningSettings.scrollThrottle > 0 && s.cruiseThrottle > s.throttle ? s.cruiseThrottle
                                                                             : s.throttle;
}

int EngineLeftButtonDown() {
  const SteeringState& s = steeringState;
  return s.buttonsFromReports ? (s.mouseButtons & HELD_LEFT) != 0 : SystemLeftButtonDown();
}

int EngineRightButtonDown() {
  const SteeringState& s = steeringState;
  return s.buttonsFromReports ? (s.mouseButtons & HELD_RIGHT) != 0 : SystemRightButtonDown();
}
