// The output layer: the one device the engine's values go to, vJoy (vjoy/) or
// the Xbox 360 pad (pad/). It binds, publishes and releases through the
// device's link, keeps whether it is bound, lost or released, and takes a lost
// device again about once a second.
#pragma once

#include <cstddef>
#include <cstdint>

// The settings file's outputDevice values.
enum OutputDevice : int32_t {
  OUTPUT_VJOY = 0,
  OUTPUT_PAD = 1,
};

enum OutputLinkState {
  OUTPUT_LINK_RELEASED,  // never bound, or given back at exit
  OUTPUT_LINK_BOUND,
  OUTPUT_LINK_LOST,  // a publish failed: let go, taken again about once a second
};

constexpr uint64_t OUTPUT_RETRY_INTERVAL_US = 1000000;
constexpr size_t OUTPUT_NOTE_SIZE = 96;

struct OutputLink {
  OutputDevice device;  // the one in use
  OutputLinkState state;
  uint64_t lastRetryMicros;
  // Why the chosen output is not the one in use (start-up), or why the last
  // switch failed; "" when neither.
  char note[OUTPUT_NOTE_SIZE];
  char notice[OUTPUT_NOTE_SIZE];  // OutputNotice's text for a lost device
};

extern OutputLink outputLink;

// "vJoy" or "Xbox pad", as the status line names them.
const char* OutputName(OutputDevice device);
// Binds the output chosen in the settings (outputDevice, read as vJoy unless
// it is 1). A pad whose bus is missing or refuses gives way to vJoy, and the
// note says why. 0 when nothing could be bound.
int OutputStart();
// The start-up failure box: vJoy's reason, and a line about the bus when the
// pad was chosen.
void FormatOutputFailure(char* text, size_t size);
// Binds the other output before the one in use is let go, and stores the
// choice. When the new one fails, the old one stays and the note says why.
// 1 when the output in use is now device.
int OutputSwitch(OutputDevice device);
// One publish of the axes (0..32767) and the mouse buttons (gears: bits 0-2
// for vJoy buttons 9-11); a refusal counts the device as lost. Only while bound.
void OutputPublish(int32_t wheel, int32_t throttle, int32_t brake, int32_t left, int32_t right,
                   uint32_t gears);
// A lost device is taken again once OUTPUT_RETRY_INTERVAL_US has passed since
// the last try; the caller then publishes in full. 1 when it is bound now.
int OutputRetryIfLost(uint64_t nowMicros);
// Gives the device back; a second call does nothing.
void OutputRelease();
// For the status line: the lost device, else the note, else what the vJoy
// device lacks; "" when all is well.
const char* OutputNotice();
