#include "engine/output_tick.h"

#include <cmath>
#include <cstdint>

#include "engine/pedals.h"
#include "engine/game_forces.h"
#include "engine/steering.h"
#include "engine/system_seam.h"
#include "engine/tuning.h"
#include "engine/output_link.h"

namespace {

// What goes to the driver in one publish.
struct PublishedOutputs {
  int32_t x, y, z;    // truncated axis values
  int32_t left, right;  // buttons 7 and 8
  uint32_t gears;       // buttons 9 to 11
};

// What the driver was last given; an axis whose engine value is not finite
// (converting one to an integer is undefined) is sent as it was last time.
PublishedOutputs published = {static_cast<int32_t>(STEERING_CENTER), 0, 0, 0, 0, 0};

// The last tick's outputs differed from those published before it.
int tickChanged = 1;

// The middle, back and forward buttons' bits of steeringState.mouseButtons.
constexpr int GEAR_BUTTONS_SHIFT = 2;
constexpr uint32_t GEAR_BUTTONS_MASK = 0x7;

// Truncates toward zero within 0..32767.
int32_t AxisValue(float v, int32_t last) {
  if (!std::isfinite(v)) return last;
  if (v < 0.0f) v = 0.0f;
  if (v > AXIS_MAX) v = AXIS_MAX;
  return static_cast<int32_t>(v);
}

PublishedOutputs CurrentOutputs(int32_t left, int32_t right) {
  const SteeringState& s = steeringState;
  return {AxisValue(s.steering, published.x), AxisValue(PublishedThrottle(), published.y),
          AxisValue(s.brake, published.z), left, right,
          s.mouseButtons >> GEAR_BUTTONS_SHIFT & GEAR_BUTTONS_MASK};
}

int SameOutputs(const PublishedOutputs& a, const PublishedOutputs& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z && a.left == b.left && a.right == b.right && a.gears == b.gears;
}

void Publish(const PublishedOutputs& outputs) {
  published = outputs;
  OutputPublish(outputs.x, outputs.y, outputs.z, outputs.left, outputs.right, outputs.gears);
}

}  // namespace

void OutputTick() {
  // A bind that has ended (the pad's switch, a lost device back) is taken
  // here; the publish below is then whole.
  const uint64_t now = SystemClockMicros();
  OutputTakeBinds(now);
  // While the game's constant, ramp or spring plays, the game centres the wheel.
  if (!GameForcesStep(now)) AutoCenterStep();
  const int32_t left = EngineLeftButtonDown() ? 1 : 0;
  steeringState.leftButtonHeld = left;
  const PublishedOutputs outputs = CurrentOutputs(left, EngineRightButtonDown() ? 1 : 0);
  tickChanged = !SameOutputs(outputs, published);
  // Sent even unchanged: a device that went away is noticed here.
  Publish(outputs);
}

int OutputAtRest(int otherWorkPending) {
  const TuningSettings& t = tuningSettings;
  const SteeringState& s = steeringState;
  // A centring delay still running counts: the pull comes without a report.
  // The button as it is now: Direct Mode has published its release already.
  const int left = EngineLeftButtonDown() ? 1 : 0;
  const int centring = t.autoCenterForce > 0.0f && !left && s.steering != STEERING_CENTER;
  const OutputLink& link = outputLink;
  const int retrying = link.state == OUTPUT_LINK_LOST || link.padBind != OUTPUT_PAD_BIND_NONE;
  if (tickChanged || centring || GameForcesPlaying(SystemClockMicros()) || link.resendPending || retrying ||
      otherWorkPending) {
    return 0;
  }
  // Reports, hotkeys and the panel since the tick: only a changed output wakes.
  return SameOutputs(CurrentOutputs(left, EngineRightButtonDown() ? 1 : 0), published);
}

void PublishIfChanged() {
  const PublishedOutputs now =
      CurrentOutputs(EngineLeftButtonDown() ? 1 : 0, EngineRightButtonDown() ? 1 : 0);
  if (!SameOutputs(now, published)) Publish(now);
}
