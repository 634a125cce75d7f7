#include "engine/output_tick.h"

#include <cmath>
#include <cstdint>

#include "engine/steering.h"
#include "engine/system_seam.h"
#include "engine/tuning.h"
#include "engine/output_link.h"

namespace {

// What goes to the driver in one publish.
struct PublishedOutputs {
  int32_t x, y, z;    // truncated axis values
  int32_t left, right;  // buttons 7 and 8
};

// What the driver was last given; an axis whose engine value is not finite
// (converting one to an integer is undefined) is sent as it was last time.
PublishedOutputs published = {static_cast<int32_t>(STEERING_CENTER), 0, 0, 0, 0};

// Truncates toward zero within 0..32767.
int32_t AxisValue(float v, int32_t last) {
  if (!std::isfinite(v)) return last;
  if (v < 0.0f) v = 0.0f;
  if (v > AXIS_MAX) v = AXIS_MAX;
  return static_cast<int32_t>(v);
}

PublishedOutputs CurrentOutputs(int32_t left, int32_t right) {
  const SteeringState& s = steeringState;
  return {AxisValue(s.steering, published.x), AxisValue(s.throttle, published.y),
          AxisValue(s.brake, published.z), left, right};
}

void Publish(const PublishedOutputs& outputs) {
  published = outputs;
  OutputPublish(outputs.x, outputs.y, outputs.z, outputs.left, outputs.right);
}

}  // namespace

void OutputTick() {
  // A bind that has ended (the pad's switch, a lost device back) is taken
  // here; the publish below is then whole.
  OutputTakeBinds(SystemClockMicros());
  AutoCenterStep();
  const int32_t left = SystemLeftButtonDown() ? 1 : 0;
  steeringState.leftButtonHeld = left;
  Publish(CurrentOutputs(left, SystemRightButtonDown() ? 1 : 0));
}

void PublishIfChanged() {
  const PublishedOutputs now =
      CurrentOutputs(SystemLeftButtonDown() ? 1 : 0, SystemRightButtonDown() ? 1 : 0);
  if (now.x == published.x && now.y == published.y && now.z == published.z &&
      now.left == published.left && now.right == published.right) {
    return;
  }
  Publish(now);
}
