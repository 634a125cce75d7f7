#include "engine/output_link.h"

#include <cstdio>
#include <cstring>

#include "engine/tuning.h"
#include "pad/pad_link.h"
#include "vjoy/vjoy_link.h"

OutputLink outputLink;

namespace {

const uint64_t OUTPUT_RETRY_NOT_STARTED = ~uint64_t{0};

int BindDevice(OutputDevice device) { return device == OUTPUT_PAD ? PadBind() : VJoyBind(); }

void ReleaseDevice(OutputDevice device) {
  if (device == OUTPUT_PAD) {
    PadRelease();
  } else {
    VJoyRelease();
  }
}

void SetNote(const char* text) { std::snprintf(outputLink.note, sizeof outputLink.note, "%s", text); }

const char* PadFailure() {
  return padLink.outcome == PAD_NO_BUS ? "ViGEmBus not found" : "ViGEmBus refused";
}

}  // namespace

const char* OutputName(OutputDevice device) { return device == OUTPUT_PAD ? "Xbox pad" : "vJoy"; }

int OutputStart() {
  TuningSettings& t = tuningSettings;
  // Anything but the pad is vJoy; the file gets the value as it was taken.
  t.outputDevice = t.outputDevice == OUTPUT_PAD ? OUTPUT_PAD : OUTPUT_VJOY;
  if (t.padAntiDeadzone < 0) t.padAntiDeadzone = 0;
  if (t.padAntiDeadzone > PAD_ANTI_DEADZONE_MAX) t.padAntiDeadzone = PAD_ANTI_DEADZONE_MAX;
  outputLink = OutputLink{};
  outputLink.device = static_cast<OutputDevice>(t.outputDevice);
  if (outputLink.device == OUTPUT_PAD && !PadBind()) {
    // A user whose bus has gone must still be able to start and switch back.
    char text[OUTPUT_NOTE_SIZE];
    std::snprintf(text, sizeof text, "Xbox pad: %s, using vJoy", PadFailure());
    SetNote(text);
    outputLink.device = OUTPUT_VJOY;
  }
  if (outputLink.device == OUTPUT_VJOY && !VJoyBind()) return 0;
  outputLink.state = OUTPUT_LINK_BOUND;
  return 1;
}

void FormatOutputFailure(char* text, size_t size) {
  FormatVJoyFailure(text, size);
  if (tuningSettings.outputDevice != OUTPUT_PAD) return;
  const size_t used = std::strlen(text);
  if (used + 1 < size) {
    std::snprintf(text + used, size - used, "\n\nThe Xbox 360 pad was chosen: %s.", PadFailure());
  }
}

int OutputSwitch(OutputDevice device) {
  if (device == outputLink.device && outputLink.state != OUTPUT_LINK_RELEASED) {
    // Already in use (after a fallback, say): only the choice changes.
    tuningSettings.outputDevice = device;
    SetNote("");
    return 1;
  }
  if (!BindDevice(device)) {
    char reason[OUTPUT_NOTE_SIZE];
    if (device == OUTPUT_PAD) {
      std::snprintf(reason, sizeof reason, "Xbox pad: %s", PadFailure());
    } else {
      VJoyFailureReason(reason, sizeof reason);
    }
    SetNote(reason);
    return 0;
  }
  ReleaseDevice(outputLink.device);
  outputLink.device = device;
  outputLink.state = OUTPUT_LINK_BOUND;
  tuningSettings.outputDevice = device;
  SetNote("");
  return 1;
}

void OutputPublish(int32_t wheel, int32_t throttle, int32_t brake, int32_t left, int32_t right,
                   uint32_t gears) {
  if (outputLink.state != OUTPUT_LINK_BOUND) return;
  int ok;
  if (outputLink.device == OUTPUT_PAD) {
    ok = PadPublish(PadReportFor(wheel, throttle, brake, tuningSettings.padAntiDeadzone));
  } else {
    ok = VJoyPublish(wheel, throttle, brake, left, right, gears);
  }
  if (ok) return;
  if (outputLink.device == OUTPUT_PAD) {
    PadRelease();
  } else {
    VJoyDrop();
  }
  outputLink.state = OUTPUT_LINK_LOST;
  outputLink.lastRetryMicros = OUTPUT_RETRY_NOT_STARTED;
}

int OutputRetryIfLost(uint64_t nowMicros) {
  OutputLink& link = outputLink;
  if (link.state != OUTPUT_LINK_LOST) return link.state == OUTPUT_LINK_BOUND;
  // The first try comes a full interval after the loss: a driver restarting
  // needs the time.
  if (link.lastRetryMicros == OUTPUT_RETRY_NOT_STARTED) link.lastRetryMicros = nowMicros;
  if (nowMicros - link.lastRetryMicros < OUTPUT_RETRY_INTERVAL_US) return 0;
  link.lastRetryMicros = nowMicros;
  // The pad's bus is opened afresh; vJoy's device is taken without the
  // start-up bind's pause, since the loop never sleeps.
  if (!(link.device == OUTPUT_PAD ? PadBind() : VJoyRebind())) return 0;
  link.state = OUTPUT_LINK_BOUND;
  return 1;
}

void OutputRelease() {
  // A lost device was let go already; it is no longer tried again either.
  if (outputLink.state == OUTPUT_LINK_BOUND) ReleaseDevice(outputLink.device);
  outputLink.state = OUTPUT_LINK_RELEASED;
}

const char* OutputNotice() {
  OutputLink& link = outputLink;
  if (link.state == OUTPUT_LINK_LOST) {
    std::snprintf(link.notice, sizeof link.notice, "%s: Disconnected, retrying", OutputName(link.device));
    return link.notice;
  }
  if (link.note[0]) return link.note;
  return link.device == OUTPUT_VJOY ? virtualJoystickLink.notice : "";
}
