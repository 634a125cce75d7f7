#include "engine/game_forces.h"

#include <cmath>

#include "engine/output_link.h"
#include "engine/steering.h"
#include "engine/tuning.h"

namespace {

const float FORCE_FULL = 10000.0f;
const float GAIN_FULL = 255.0f;
const float LOCK_TO_LOCK = 32768.0f;
// A stalled loop must not throw the wheel: a longer gap counts as this long.
const float GAME_FORCE_DT_MAX = 0.1f;

float Clamp(float v, float limit) { return v < -limit ? -limit : (v > limit ? limit : v); }

// HID PID's envelope on a level: from the attack level to the sustained one
// over the attack time, and down to the fade level over the fade time.
float EnvelopeLevel(const VJoyFfbEffect& e, float sustain, float ms) {
  if (!e.hasEnvelope) return sustain;
  if (e.attackMs && ms < static_cast<float>(e.attackMs)) {
    return e.attackLevel + (sustain - e.attackLevel) * ms / static_cast<float>(e.attackMs);
  }
  const float left = static_cast<float>(e.durationMs) - ms;
  if (e.durationMs != FFB_DURATION_INFINITE && e.fadeMs && left < static_cast<float>(e.fadeMs)) {
    return e.fadeLevel + (sustain - e.fadeLevel) * left / static_cast<float>(e.fadeMs);
  }
  return sustain;
}

// A spring pulls toward its centre-point offset, by side, beyond the dead band.
float SpringForce(const VJoyFfbEffect& e, float steering) {
  const float d = (steering - STEERING_CENTER) / STEERING_CENTER * FORCE_FULL;
  const float beyond = d - static_cast<float>(e.centerOffset);
  const float band = static_cast<float>(e.deadBand);
  if (beyond > band) {
    return -Clamp(e.positiveCoefficient * (beyond - band) / FORCE_FULL, static_cast<float>(e.positiveSaturation));
  }
  if (beyond < -band) {
    return Clamp(e.negativeCoefficient * (-beyond - band) / FORCE_FULL, static_cast<float>(e.negativeSaturation));
  }
  return 0.0f;
}

// One effect's force on X, before gains; 0 outside its time.
// sign: -1 when the game's forces are taken reversed; a spring, which has no
// direction, still pulls toward its offset.
float EffectForce(const VJoyFfbEffect& e, uint64_t now, float steering, float sign, int* holds) {
  if (!e.playing || e.type == FFB_NONE || now < e.startMicros) return 0.0f;
  float ms = static_cast<float>(now - e.startMicros) / 1000.0f - e.startDelayMs;
  if (ms < 0.0f) return 0.0f;
  if (e.durationMs != FFB_DURATION_INFINITE) {
    const float loop = static_cast<float>(e.durationMs);
    if (loop <= 0.0f) return 0.0f;
    if (e.loops != FFB_LOOP_INFINITE && ms >= loop * e.loops) return 0.0f;
    ms = std::fmod(ms, loop);
  }
  switch (e.type) {
    case FFB_CONSTANT: {
      *holds = 1;
      const float level = EnvelopeLevel(e, std::fabs(static_cast<float>(e.magnitude)), ms);
      return (e.magnitude < 0 ? -level : level) * e.directionX * sign;
    }
    case FFB_RAMP: {
      *holds = 1;
      const float share = e.durationMs == FFB_DURATION_INFINITE ? 0.0f : ms / e.durationMs;
      return (e.rampStart + (e.rampEnd - e.rampStart) * share) * e.directionX * sign;
    }
    case FFB_SPRING: *holds = 1; return SpringForce(e, steering);
    case FFB_SQUARE:
    case FFB_SINE:
    case FFB_TRIANGLE:
    case FFB_SAW_UP:
    case FFB_SAW_DOWN:
      // A mouse cannot convey a vibration: only the offset moves the wheel.
      return static_cast<float>(e.periodicOffset) * e.directionX * sign;
    default: return 0.0f;  // damper, inertia, friction: no positional force
  }
}

VJoyFfbTable gameForceTable;  // the tick's copy: too large for the stack of a loop
uint64_t gameForceLastMicros;
int gameForceRunning;

}  // namespace

GameForceSum GameForceOnWheel(const VJoyFfbTable& table, uint64_t nowMicros, float steering,
                              int reversed) {
  GameForceSum sum = {0.0f, 0};
  if (table.actuatorsOff || table.paused) return sum;
  for (const VJoyFfbEffect& e : table.effects) {
    sum.force += EffectForce(e, nowMicros, steering, reversed ? -1.0f : 1.0f, &sum.holdsCentre) * e.gain / GAIN_FULL;
  }
  sum.force = Clamp(sum.force * table.deviceGain / GAIN_FULL, FORCE_FULL);
  return sum;
}

int GameForcesStep(uint64_t nowMicros) {
  const TuningSettings& t = tuningSettings;
  if (!t.gameForces || outputLink.device != OUTPUT_VJOY) {
    gameForceRunning = 0;
    return 0;
  }
  float dt = 0.0f;
  if (gameForceRunning && nowMicros > gameForceLastMicros) {
    dt = static_cast<float>(nowMicros - gameForceLastMicros) / 1e6f;
    if (dt > GAME_FORCE_DT_MAX) dt = GAME_FORCE_DT_MAX;
  }
  gameForceRunning = 1;
  gameForceLastMicros = nowMicros;
  VJoyFfbSnapshot(gameForceTable);
  const GameForceSum sum =
      GameForceOnWheel(gameForceTable, nowMicros, steeringState.steering, t.gameForcesReversed);
  float strength = static_cast<float>(t.gameForceStrength);
  if (!(strength > 0.0f)) strength = 0.0f;
  if (strength > GAME_FORCE_STRENGTH_MAX) strength = GAME_FORCE_STRENGTH_MAX;
  MoveSteeringWithinRange(sum.force / FORCE_FULL * LOCK_TO_LOCK * strength / 100.0f * dt);
  return sum.holdsCentre;
}

int GameForcesPlaying(uint64_t nowMicros) {
  if (!gameForceRunning) return 0;
  const VJoyFfbTable& table = gameForceTable;
  if (VJoyFfbPackets() != table.packets) return 1;
  if (table.actuatorsOff || table.paused) return 0;
  for (const VJoyFfbEffect& e : table.effects) {
    // Damper, inertia and friction never move the wheel.
    if (!e.playing || e.type == FFB_NONE || e.type > FFB_SPRING) continue;
    if (e.durationMs == FFB_DURATION_INFINITE || e.loops == FFB_LOOP_INFINITE || nowMicros < e.startMicros) return 1;
    const uint64_t endMicros = (static_cast<uint64_t>(e.startDelayMs) + static_cast<uint64_t>(e.durationMs) * e.loops) * 1000u;
    if (nowMicros - e.startMicros < endMicros) return 1;
  }
  return 0;
}
