// Decoding of vJoy's force-feedback packets from the report bytes the driver
// delivers: byte 0 holds the device (high nibble) and the report id (low), the
// report follows, little-endian. The library's own helpers do not sign-extend
// signed fields, so every signed word is read through int16_t here.
#include "vjoy/vjoy_ffb.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>

#include "engine/system_seam.h"

namespace {

const uint32_t FFB_HEADER_BYTES = 8;  // size and cmd, counted in size
const uint8_t FFB_DEVICE = 1;
const uint16_t FFB_VERSION_WIDE_EFFECT = 0x220;  // 2.2 widened the Set Effect report
const float FFB_PI = 3.14159265f;

// Report ids (output reports; features are told apart by the command).
enum : uint8_t {
  REPORT_SET_EFFECT = 0x01,
  REPORT_ENVELOPE = 0x02,
  REPORT_CONDITION = 0x03,
  REPORT_PERIODIC = 0x04,
  REPORT_CONSTANT = 0x05,
  REPORT_RAMP = 0x06,
  REPORT_OPERATION = 0x0A,
  REPORT_BLOCK_FREE = 0x0B,
  REPORT_CONTROL = 0x0C,
  REPORT_GAIN = 0x0D,
  FEATURE_CREATE_EFFECT = 0x01,
};

enum : uint8_t { OP_START = 1, OP_SOLO = 2, OP_STOP = 3 };
enum : uint8_t {
  CONTROL_ENABLE = 1,
  CONTROL_DISABLE = 2,
  CONTROL_STOP_ALL = 3,
  CONTROL_RESET = 4,
  CONTROL_PAUSE = 5,
  CONTROL_CONTINUE = 6,
};

uint32_t Word(const uint8_t* d, int at) { return static_cast<uint32_t>(d[at] | d[at + 1] << 8); }
int32_t SignedWord(const uint8_t* d, int at) { return static_cast<int16_t>(Word(d, at)); }
uint32_t Long(const uint8_t* d, int at) { return Word(d, at) | Word(d, at + 2) << 16; }

void ClearEffect(VJoyFfbEffect& e, uint8_t type) {
  e = VJoyFfbEffect{};
  e.type = type;
  e.gain = 255;
  e.loops = 1;
  e.durationMs = FFB_DURATION_INFINITE;
  e.directionX = 1.0f;
  e.positiveSaturation = e.negativeSaturation = 10000;
}

// Direction on X: a force comes from its direction, so one from the east
// (90 degrees, or a positive DirX) pushes the wheel left. fullTurn is the
// logical value the descriptor gives 360 degrees: 255 on 2.1, 32767 on 2.2.
float DirectionX(uint8_t axes, int32_t direction, int32_t fullTurn, int32_t dirX, int32_t dirY) {
  const uint8_t DIRECTION_ENABLE = 0x04;
  if (axes & DIRECTION_ENABLE) {
    return -std::sin(2.0f * FFB_PI * static_cast<float>(direction) / static_cast<float>(fullTurn));
  }
  if (dirX) return dirX > 0 ? -1.0f : 1.0f;
  // No direction at all: a single-axis effect acts along X with its own sign.
  return dirY ? 0.0f : 1.0f;
}

void SetEffect(VJoyFfbTable& t, const uint8_t* d, uint32_t length, int wide) {
  VJoyFfbEffect& e = t.effects[d[1]];
  // On 2.1 every effect is block 1: a new type replaces the old effect.
  if (e.type != d[2]) ClearEffect(e, d[2]);
  e.durationMs = static_cast<uint16_t>(Word(d, 3));
  if (wide) {
    e.startDelayMs = static_cast<uint16_t>(Word(d, 9));
    e.gain = d[11];
    const int polar = d[13] & 0x04;
    const int32_t dirX = polar || length < 18 ? 0 : SignedWord(d, 14);
    const int32_t dirY = polar || length < 18 ? 0 : SignedWord(d, 16);
    e.directionX = DirectionX(d[13], static_cast<int32_t>(Word(d, 14)), 32767, dirX, dirY);
  } else {
    e.gain = d[9];
    e.directionX = DirectionX(d[11], d[12], 255, static_cast<int8_t>(d[12]), static_cast<int8_t>(d[13]));
  }
}

void Operate(VJoyFfbTable& t, VJoyFfbEffect& e, uint8_t op, uint8_t loops, uint64_t now) {
  if (op == OP_STOP) {
    e.playing = 0;
    return;
  }
  if (op == OP_SOLO) {
    for (VJoyFfbEffect& other : t.effects) other.playing = 0;
  }
  if (op != OP_START && op != OP_SOLO) return;
  e.playing = 1;
  e.loops = loops ? loops : 1;
  e.startMicros = now;
}

void Control(VJoyFfbTable& t, uint8_t control, uint64_t now) {
  switch (control) {
    case CONTROL_ENABLE: t.actuatorsOff = 0; break;
    case CONTROL_DISABLE: t.actuatorsOff = 1; break;
    case CONTROL_STOP_ALL:
      for (VJoyFfbEffect& e : t.effects) e.playing = 0;
      break;
    case CONTROL_RESET: {
      const uint8_t gain = t.deviceGain;
      const uint32_t packets = t.packets;
      VJoyFfbClear(t);
      t.deviceGain = gain;
      t.packets = packets;
      break;
    }
    case CONTROL_PAUSE:
      if (!t.paused) t.pausedMicros = now;
      t.paused = 1;
      break;
    case CONTROL_CONTINUE:
      // Playing effects go on from the time step where the pause held them.
      if (t.paused) {
        for (VJoyFfbEffect& e : t.effects) e.startMicros += now - t.pausedMicros;
      }
      t.paused = 0;
      break;
    default: break;
  }
}

// The shortest report of each kind, counted from the id byte.
uint32_t ShortestReport(uint8_t id, int wide) {
  switch (id) {
    case REPORT_SET_EFFECT: return wide ? 16 : 14;
    case REPORT_ENVELOPE: return 14;
    case REPORT_CONDITION: return 15;
    case REPORT_PERIODIC: return 12;
    case REPORT_CONSTANT: return 4;
    case REPORT_RAMP: return 6;
    case REPORT_OPERATION: return 4;
    default: return 2;
  }
}

}  // namespace

void VJoyFfbClear(VJoyFfbTable& table) {
  table = VJoyFfbTable{};
  table.deviceGain = 255;
}

int VJoyFfbApply(VJoyFfbTable& t, const VJoyFfbPacket& packet, uint16_t version, uint64_t now) {
  if (!packet.data || packet.size < FFB_HEADER_BYTES + 2) return 0;
  const uint8_t* d = packet.data;
  const uint32_t length = packet.size - FFB_HEADER_BYTES;
  if (d[0] >> 4 != FFB_DEVICE) return 0;
  const uint8_t id = d[0] & 0x0F;
  const int wide = version >= FFB_VERSION_WIDE_EFFECT;
  if (packet.cmd == FFB_CMD_SET_FEATURE) {
    if (id != FEATURE_CREATE_EFFECT || length < 3) return 0;
    // 2.2 hands out the block index; 2.1's effects are all block 1 and are
    // typed by their Set Effect.
    if (wide && d[2] >= 1 && d[2] <= FFB_EFFECT_SLOTS) ClearEffect(t.effects[d[2]], d[1]);
    t.packets++;
    return 1;
  }
  if (packet.cmd != FFB_CMD_WRITE_REPORT || length < ShortestReport(id, wide)) return 0;
  const int blockIndexed = id != REPORT_CONTROL && id != REPORT_GAIN;
  if (blockIndexed && (d[1] < 1 || d[1] > FFB_EFFECT_SLOTS)) return 0;
  VJoyFfbEffect& e = t.effects[blockIndexed ? d[1] : 0];
  switch (id) {
    case REPORT_SET_EFFECT: SetEffect(t, d, length, wide); break;
    case REPORT_ENVELOPE:
      e.hasEnvelope = 1;
      e.attackLevel = static_cast<int32_t>(Word(d, 2));
      e.fadeLevel = static_cast<int32_t>(Word(d, 4));
      e.attackMs = Long(d, 6);
      e.fadeMs = Long(d, 10);
      break;
    case REPORT_CONDITION:
      // A two-axis condition's Y block must not overwrite the X one.
      if (d[2]) break;
      e.centerOffset = SignedWord(d, 3);
      e.positiveCoefficient = SignedWord(d, 5);
      e.negativeCoefficient = SignedWord(d, 7);
      e.positiveSaturation = static_cast<int32_t>(Word(d, 9));
      e.negativeSaturation = static_cast<int32_t>(Word(d, 11));
      e.deadBand = static_cast<int32_t>(Word(d, 13));
      break;
    case REPORT_PERIODIC: e.periodicOffset = SignedWord(d, 4); break;
    case REPORT_CONSTANT: e.magnitude = SignedWord(d, 2); break;
    case REPORT_RAMP:
      e.rampStart = SignedWord(d, 2);
      e.rampEnd = SignedWord(d, 4);
      break;
    case REPORT_OPERATION: Operate(t, e, d[2], d[3], now); break;
    case REPORT_BLOCK_FREE: ClearEffect(e, FFB_NONE); break;
    case REPORT_CONTROL: Control(t, d[1], now); break;
    case REPORT_GAIN: t.deviceGain = d[1]; break;
    default: return 0;
  }
  t.packets++;
  return 1;
}

// ---- The shared table ----

namespace {

std::mutex ffbLock;
VJoyFfbTable ffbTable = {{}, 255, 0, 0, 0, 0};
uint16_t ffbVersion;
std::atomic<VJoyFfbWake> ffbWake{nullptr};

}  // namespace

void VJoyFfbSetWake(VJoyFfbWake wake) { ffbWake.store(wake); }

void VJoyFfbSetVersion(uint16_t version) {
  std::lock_guard<std::mutex> hold(ffbLock);
  ffbVersion = version;
}

void VJOY_CALL VJoyFfbReceive(void* packet, void* user) {
  (void)user;
  if (!packet) return;
  const uint64_t now = SystemClockMicros();
  {
    std::lock_guard<std::mutex> hold(ffbLock);
    VJoyFfbApply(ffbTable, *static_cast<const VJoyFfbPacket*>(packet), ffbVersion, now);
  }
  // After the count has grown: a loop about to rest sees the packet or is woken.
  const VJoyFfbWake wake = ffbWake.load();
  if (wake) wake();
}

void VJoyFfbSnapshot(VJoyFfbTable& copy) {
  std::lock_guard<std::mutex> hold(ffbLock);
  std::memcpy(&copy, &ffbTable, sizeof copy);
}

void VJoyFfbReset() {
  std::lock_guard<std::mutex> hold(ffbLock);
  VJoyFfbClear(ffbTable);
}

uint32_t VJoyFfbPackets() {
  std::lock_guard<std::mutex> hold(ffbLock);
  return ffbTable.packets;
}
