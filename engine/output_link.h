// The output layer: the one device the engine's values go to, vJoy (vjoy/) or
// the Xbox 360 pad (pad/). It binds, publishes and releases through the
// device's link, keeps whether it is bound, lost or released, and takes a lost
// device again about once a second. The pad binds on a thread of its own
// (pad_link.h) after the start-up; the tick takes its end.
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
  OUTPUT_LINK_LOST,  // its driver went away: let go, taken again about once a second
};

// What the pad's running bind is for.
enum OutputPadBind {
  OUTPUT_PAD_BIND_NONE,
  OUTPUT_PAD_BIND_RETRY,   // the lost pad, taken again
  OUTPUT_PAD_BIND_SWITCH,  // the pad, to replace vJoy
  OUTPUT_PAD_BIND_DROP,    // no longer wanted: cancelled, its pad let go when it ends
};

constexpr uint64_t OUTPUT_RETRY_INTERVAL_US = 1000000;
constexpr size_t OUTPUT_NOTE_SIZE = 96;

struct OutputLink {
  OutputDevice device;  // the one in use
  OutputLinkState state;
  OutputPadBind padBind;
  int switchEnded;  // a switch to the pad ended at a tick: the choice is to be saved
  int resendPending;  // the pad's last report was refused: the next tick sends it again
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
// 1 when the output in use is now device. The pad binds on its own thread
// while the old output goes on: 0 then, and a later tick completes the
// switch (and sets switchEnded, for the panel to save the choice) or sets the note.
int OutputSwitch(OutputDevice device);
// One publish of the axes (0..32767) and the mouse buttons (gears: bits 0-2
// for vJoy buttons 9-11), only while bound. A driver gone away counts the
// device as lost; a pad report the bus refused is not (the next tick sends
// the newest state again).
void OutputPublish(int32_t wheel, int32_t throttle, int32_t brake, int32_t left, int32_t right,
                   uint32_t gears);
// At each tick: takes the end of the pad's bind (a switch or a retry), and
// tries a lost device again once OUTPUT_RETRY_INTERVAL_US has passed since
// the last try ended. 1 when the output in use is bound now.
int OutputTakeBinds(uint64_t nowMicros);
// Gives the device back, after cancelling a pad bind that runs and letting
// its pad go; a second call does nothing.
void OutputRelease();
// For the status line: the lost device, else the note, else what the vJoy
// device lacks; "" when all is well.
const char* OutputNotice();
