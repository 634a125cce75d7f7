// The game's force-feedback effects as vJoy delivers them: packets decoded from
// the raw report bytes into one table of effects. The library calls
// VJoyFfbReceive on a thread of its own, one packet at a time, and the game's
// write waits on it; the output tick reads a copy of the table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vjoy/vjoy_link.h"

// Effect types, as the Set Effect and Create New Effect reports number them.
enum VJoyFfbEffectType : uint8_t {
  FFB_NONE = 0,
  FFB_CONSTANT = 1,
  FFB_RAMP = 2,
  FFB_SQUARE = 3,
  FFB_SINE = 4,
  FFB_TRIANGLE = 5,
  FFB_SAW_UP = 6,
  FFB_SAW_DOWN = 7,
  FFB_SPRING = 8,
  FFB_DAMPER = 9,
  FFB_INERTIA = 10,
  FFB_FRICTION = 11,
};

constexpr int FFB_EFFECT_SLOTS = 100;  // block indices 1..100 (2.1 uses only 1)
constexpr uint16_t FFB_DURATION_INFINITE = 65535;
constexpr uint8_t FFB_LOOP_INFINITE = 255;

struct VJoyFfbEffect {
  uint8_t type;     // VJoyFfbEffectType; FFB_NONE: free
  uint8_t playing;
  uint8_t gain;     // 0..255
  uint8_t loops;    // loop count of the last start; 255 for ever
  uint8_t hasEnvelope;
  uint16_t durationMs;    // 65535: infinite
  uint16_t startDelayMs;  // 2.2 only
  float directionX;  // the force on X per unit of force: -sin(direction), or the Cartesian sign
  int32_t magnitude;  // constant force, -10000..10000
  int32_t rampStart, rampEnd;
  int32_t periodicOffset;
  int32_t centerOffset, positiveCoefficient, negativeCoefficient;  // the X condition block
  int32_t positiveSaturation, negativeSaturation, deadBand;
  int32_t attackLevel, fadeLevel;
  uint32_t attackMs, fadeMs;
  uint64_t startMicros;  // when the last start came
};

struct VJoyFfbTable {
  VJoyFfbEffect effects[FFB_EFFECT_SLOTS + 1];  // indexed by block index; 0 unused
  uint8_t deviceGain;  // 0..255
  uint8_t actuatorsOff;
  uint8_t paused;
  uint64_t pausedMicros;  // when the pause came
  uint32_t packets;  // decoded since the start; non-zero: the game sends forces
};

// The packet the library hands its callback: size counts the 8 bytes of size
// and cmd before the data.
struct VJoyFfbPacket {
  uint32_t size;
  uint32_t cmd;
  const uint8_t* data;
};

static_assert(sizeof(void*) != 8 || offsetof(VJoyFfbPacket, data) == 8, "FFB_DATA on x64");

constexpr uint32_t FFB_CMD_WRITE_REPORT = 0xB000F;  // IOCTL_HID_WRITE_REPORT
constexpr uint32_t FFB_CMD_SET_FEATURE = 0xB0191;   // IOCTL_HID_SET_FEATURE

// Applies one packet to table: layout by the library's version (0x2xx), the
// clock read by the caller. 0 for a packet not ours or too short.
int VJoyFfbApply(VJoyFfbTable& table, const VJoyFfbPacket& packet, uint16_t version, uint64_t nowMicros);
void VJoyFfbClear(VJoyFfbTable& table);

// ---- The table the library's thread writes and the loop reads ----

// Set before FfbRegisterGenCB; GetvJoyVersion's answer.
void VJoyFfbSetVersion(uint16_t version);
// The callback as FfbRegisterGenCB takes it: decodes under a lock held only
// for the table's update.
void VJOY_CALL VJoyFfbReceive(void* packet, void* user);
// Called on the library's thread after each packet, to wake a resting loop;
// null: none.
typedef void (*VJoyFfbWake)();
void VJoyFfbSetWake(VJoyFfbWake wake);
// A copy of the table, under the same lock.
void VJoyFfbSnapshot(VJoyFfbTable& copy);
void VJoyFfbReset();
// Packets decoded since the device was taken: non-zero once the game sends forces.
uint32_t VJoyFfbPackets();
