// Game forces: the game's force-feedback effects move the wheel as a damped
// wheel would, drifting toward the force at a speed proportional to it. At
// strength 100% an unopposed full force takes the wheel from lock to lock in
// one second. The effects come decoded from vJoy (vjoy/vjoy_ffb.h).
#pragma once

#include <cstdint>

#include "vjoy/vjoy_ffb.h"

constexpr int32_t GAME_FORCE_STRENGTH_MAX = 200;  // percent
constexpr int32_t GAME_FORCE_STRENGTH_STEP = 5;

struct GameForceSum {
  float force;      // on the steering axis, -10000..10000; positive pushes right
  int holdsCentre;  // a constant, ramp or spring plays: the game centres the wheel
};

// The playing effects' forces on X at a moment, for the wheel where it is,
// after envelope, effect gain and device gain; reversed turns the directed ones.
GameForceSum GameForceOnWheel(const VJoyFfbTable& table, uint64_t nowMicros, float steering,
                              int reversed);
// One output tick: moves the wheel by the game's forces since the last tick
// when game forces are on and vJoy is the output. 1 when the game's effects
// hold the wheel, so its own centring stays off.
int GameForcesStep(uint64_t nowMicros);
// After a tick: 1 while an effect that moves the wheel plays or waits for its
// start delay, or a packet came since the tick's copy; 0 when forces are off,
// paused or the output is the pad.
int GameForcesPlaying(uint64_t nowMicros);
