#include "engine/steering.h"

#include <cmath>

#include "engine/system_seam.h"
#include "engine/tuning.h"

namespace {

constexpr float PERCENT_BASE = 100.0f;
constexpr float CENTERING_BASE_FACTOR = 25.0f;
constexpr float CENTERING_MIN_STEP = 5.0f;

float ClampToAxis(float v) {
  if (v < 0.0f) return 0.0f;
  if (v > AXIS_MAX) return AXIS_MAX;
  return v;
}

int32_t ClampWindow(int32_t n) {
  if (n < 0) return 0;
  if (n > STEERING_RING_SLOTS) return STEERING_RING_SLOTS;
  return n;
}

void ClearRing() {
  SteeringState& s = steeringState;
  for (int32_t& slot : s.smoothingRing) slot = 0;
  s.ringIndex = 0;
  s.ringCount = 0;
  s.smoothingCarry = 0;
}

// Moving average over the last `window` deltas, truncated toward zero. The sum
// is 64-bit so a full ring of extreme deltas cannot overflow.
int64_t SmoothDelta(int32_t dx, int32_t window) {
  SteeringState& s = steeringState;
  // The window may have been written around SetSmoothingWindow; start afresh
  // rather than trust an index or count that no longer fits it.
  if (s.ringIndex < 0 || s.ringIndex >= window || s.ringCount < 0 || s.ringCount > window) {
    ClearRing();
  }
  s.smoothingRing[s.ringIndex] = dx;
  s.ringIndex = (s.ringIndex + 1) % window;
  if (s.ringCount < window) s.ringCount += 1;
  int64_t sum = 0;
  for (int32_t i = 0; i < s.ringCount; ++i) sum += s.smoothingRing[i];
  if (!tuningSettings.directMode) return sum / s.ringCount;
  // At a thousand reports a second truncation would drop most small motion;
  // the remainder goes into the next average instead.
  sum += s.smoothingCarry;
  s.smoothingCarry = static_cast<int32_t>(sum % s.ringCount);
  return sum / s.ringCount;
}

// With a delay set, centring waits until the hand has rested that long; the
// clock is read only then, so the default path costs nothing more.
int CentringWaits(const TuningSettings& t, const SteeringState& s) {
  if (t.autoCenterDelay <= 0) return 0;
  const int32_t delayMs =
      t.autoCenterDelay < AUTO_CENTER_DELAY_MAX_MS ? t.autoCenterDelay : AUTO_CENTER_DELAY_MAX_MS;
  return SystemClockMicros() - s.lastSteerMicros < static_cast<uint64_t>(delayMs) * 1000u;
}

}  // namespace

void ApplySteeringDelta(int32_t dx) {
  const TuningSettings& t = tuningSettings;
  SteeringState& s = steeringState;
  if (t.autoCenterDelay > 0) s.lastSteerMicros = SystemClockMicros();

  int64_t averaged = dx;
  const int32_t window = ClampWindow(t.smoothing);
  if (window > 0) averaged = SmoothDelta(dx, window);

  float delta = static_cast<float>(averaged) * t.sensitivity;

  if (t.curveOnSteering == 1 && t.responseCurve > 1.0f) {
    const float d = std::fabs(s.steering - STEERING_CENTER) / STEERING_CENTER;
    delta *= 1.0f + std::pow(d, 1.0f / t.responseCurve) * (t.responseCurve - 1.0f);
  }

  MoveSteeringWithinRange(delta);
}

void MoveSteeringWithinRange(float delta) {
  const TuningSettings& t = tuningSettings;
  SteeringState& s = steeringState;
  // A non-finite tuning value must not reach the wheel: keep where it was.
  float wheel = s.steering + delta;
  if (!std::isfinite(wheel)) return;

  const float r = STEERING_CENTER * t.steeringLimit / PERCENT_BASE;
  if (wheel < STEERING_CENTER - r) {
    wheel = STEERING_CENTER - r;
  } else if (wheel > STEERING_CENTER + r) {
    wheel = STEERING_CENTER + r;
  }
  if (!std::isfinite(wheel)) return;

  s.steering = ClampToAxis(wheel);
}

void AutoCenterStep() {
  const TuningSettings& t = tuningSettings;
  SteeringState& s = steeringState;

  float wheel = s.steering;
  if (t.autoCenterForce > 0.0f && s.leftButtonHeld == 0 && !CentringWaits(t, s)) {
    const float e = STEERING_CENTER - wheel;
    const float a = std::fabs(e);
    const float u = a / STEERING_CENTER;
    const float base = t.autoCenterForce * CENTERING_BASE_FACTOR;
    const float top = base * 2.0f;
    float step;
    if (t.responseCurve > 1.0f) {
      step = base + std::pow(u, 1.0f / t.responseCurve) * (top * t.responseCurve - base);
    } else {
      step = base + u * (top - base);
    }
    if (step < CENTERING_MIN_STEP) step = CENTERING_MIN_STEP;
    // Landing exactly on centre keeps the wheel from oscillating around it.
    if (step >= a) {
      wheel = STEERING_CENTER;
    } else if (e > 0.0f) {
      wheel += step;
    } else {
      wheel -= step;
    }
  }
  if (!std::isfinite(wheel)) return;
  s.steering = ClampToAxis(wheel);
}

// Also ends the scroll wheel's cruise throttle: a fresh start for both hands.
void RecenterSteering() {
  steeringState.steering = STEERING_CENTER;
  steeringState.cruiseThrottle = 0.0f;
}

void SetSmoothingWindow(int32_t n) {
  const int32_t window = ClampWindow(n);
  if (window != tuningSettings.smoothing) ClearRing();
  tuningSettings.smoothing = window;
}
