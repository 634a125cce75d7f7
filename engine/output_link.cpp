#include "engine/output_link.h"

#include <cstdio>
#include <cstring>

#include "engine/tuning.h"
#include "pad/pad_link.h"
#include "vjoy/vjoy_link.h"

OutputLink outputLink;

namespace {

const uint64_t OUTPUT_RETRY_NOT_STARTED = ~uint64_t{0};

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

void SetPadFailureNote() {
  char reason[OUTPUT_NOTE_SIZE];
  std::snprintf(reason, sizeof reason, "Xbox pad: %s", PadFailure());
  SetNote(reason);
}

// A running bind of the pad is cancelled; its pad is let go when it ends.
void DropPadBind() {
  if (outputLink.padBind == OUTPUT_PAD_BIND_NONE) return;
  PadBindCancel();
  outputLink.padBind = OUTPUT_PAD_BIND_DROP;
}

// Cancels a running bind of the pad and waits for its end: the cancelled wait
// ends at once.
void EndPadBind() {
  if (outputLink.padBind == OUTPUT_PAD_BIND_NONE) return;
  PadBindCancel();
  PadBindEnded(PAD_BIND_WAIT_ALWAYS);
  if (PadBindTake() == 1) PadRelease();
  outputLink.padBind = OUTPUT_PAD_BIND_NONE;
}

// The end of the pad's bind, once it has come.
void TakePadBind(uint64_t nowMicros) {
  OutputLink& link = outputLink;
  const int bound = PadBindTake();
  if (bound < 0) return;
  const OutputPadBind bind = link.padBind;
  link.padBind = OUTPUT_PAD_BIND_NONE;
  if (bind == OUTPUT_PAD_BIND_DROP) {
    if (bound) PadRelease();
  } else if (bind == OUTPUT_PAD_BIND_RETRY) {
    if (bound) link.state = OUTPUT_LINK_BOUND;
    link.lastRetryMicros = nowMicros;
  } else if (!bound) {
    SetPadFailureNote();
  } else {
    ReleaseDevice(link.device);
    link.device = OUTPUT_PAD;
    link.state = OUTPUT_LINK_BOUND;
    tuningSettings.outputDevice = OUTPUT_PAD;
    SetNote("");
    link.switchEnded = 1;
  }
}

}  // namespace

const char* OutputName(OutputDevice device) { return device == OUTPUT_PAD ? "Xbox pad" : "vJoy"; }

int OutputStart() {
  TuningSettings& t = tuningSettings;
  // Anything but the pad is vJoy; the file gets the value as it was taken.
  t.outputDevice = t.outputDevice == OUTPUT_PAD ? OUTPUT_PAD : OUTPUT_VJOY;
  if (t.padAntiDeadzone < 0) t.padAntiDeadzone = 0;
  if (t.padAntiDeadzone > PAD_ANTI_DEADZONE_MAX) t.padAntiDeadzone = PAD_ANTI_DEADZONE_MAX;
  EndPadBind();
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
  OutputLink& link = outputLink;
  if (device == link.device && link.state != OUTPUT_LINK_RELEASED) {
    // Already in use (after a fallback, or while a switch away from it runs):
    // only the choice changes. A lost pad's retry goes on.
    if (link.padBind == OUTPUT_PAD_BIND_SWITCH) DropPadBind();
    tuningSettings.outputDevice = device;
    SetNote("");
    return 1;
  }
  if (device == OUTPUT_PAD) {
    // A bind still ending after a cancel is let be: the click does nothing.
    if (link.padBind == OUTPUT_PAD_BIND_NONE && PadBindStart()) {
      link.padBind = OUTPUT_PAD_BIND_SWITCH;
      SetNote("");
    }
    return 0;
  }
  if (!VJoyBind()) {
    char reason[OUTPUT_NOTE_SIZE];
    VJoyFailureReason(reason, sizeof reason);
    SetNote(reason);
    return 0;
  }
  // The pad goes, bound, lost or still binding.
  DropPadBind();
  ReleaseDevice(link.device);
  link.device = device;
  link.state = OUTPUT_LINK_BOUND;
  tuningSettings.outputDevice = device;
  SetNote("");
  return 1;
}

void OutputPublish(int32_t wheel, int32_t throttle, int32_t brake, int32_t left, int32_t right,
                   uint32_t gears) {
  if (outputLink.state != OUTPUT_LINK_BOUND) return;
  int ok;
  if (outputLink.device == OUTPUT_PAD) {
    // A refused report (the bus had no read of the game's driver waiting) is
    // not a lost pad: the next tick sends the newest state again.
    const PadBusOutcome outcome = PadPublish(PadReportFor(wheel, throttle, brake, tuningSettings.padAntiDeadzone));
    // Kept awake until it is taken: at rest no tick would send it again.
    outputLink.resendPending = outcome != PAD_OUTCOME_DONE && outcome != PAD_OUTCOME_GONE;
    ok = outcome != PAD_OUTCOME_GONE;
  } else {
    ok = VJoyPublish(wheel, throttle, brake, left, right, gears);
  }
  if (ok) return;
  if (outputLink.device == OUTPUT_PAD) {
    PadRelease();
  } else {
    VJoyDrop();
  }
  outputLink.resendPending = 0;
  outputLink.state = OUTPUT_LINK_LOST;
  outputLink.lastRetryMicros = OUTPUT_RETRY_NOT_STARTED;
}

int OutputTakeBinds(uint64_t nowMicros) {
  OutputLink& link = outputLink;
  if (link.padBind != OUTPUT_PAD_BIND_NONE) TakePadBind(nowMicros);
  if (link.state != OUTPUT_LINK_LOST) return link.state == OUTPUT_LINK_BOUND;
  if (link.device == OUTPUT_PAD && link.padBind != OUTPUT_PAD_BIND_NONE) return 0;
  // The first try comes a full interval after the loss: a driver restarting
  // needs the time.
  if (link.lastRetryMicros == OUTPUT_RETRY_NOT_STARTED) link.lastRetryMicros = nowMicros;
  if (nowMicros - link.lastRetryMicros < OUTPUT_RETRY_INTERVAL_US) return 0;
  link.lastRetryMicros = nowMicros;
  // The pad's bus is opened afresh on the bind's thread, taken at a later
  // tick; vJoy's device is taken without the start-up bind's pause, since the
  // loop never sleeps.
  if (link.device == OUTPUT_PAD) {
    if (PadBindStart()) link.padBind = OUTPUT_PAD_BIND_RETRY;
    return 0;
  }
  if (!VJoyRebind()) return 0;
  link.state = OUTPUT_LINK_BOUND;
  return 1;
}

void OutputRelease() {
  EndPadBind();
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
  if (link.device != OUTPUT_VJOY) return "";
  if (!virtualJoystickLink.notice[0] && tuningSettings.gameForces && link.state == OUTPUT_LINK_BOUND &&
      !virtualJoystickLink.deviceFfb) {
    return "vJoy: force feedback not enabled on device 1";
  }
  return virtualJoystickLink.notice;
}
