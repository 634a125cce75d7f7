// The steering axis: horizontal mouse counts into the wheel position, and the
// pull back toward centre once per output tick.
#pragma once

#include <cstdint>

constexpr float STEERING_CENTER = 16384.0f;
constexpr float AXIS_MAX = 32767.0f;

void ApplySteeringDelta(int32_t dx);  // never called with 0
// The wheel moved by delta, held within the wheel range and the axis.
void MoveSteeringWithinRange(float delta);
void AutoCenterStep();
void RecenterSteering();  // also ends the scroll wheel's cruise throttle
// The only way the smoothing window changes: clears the ring when it differs.
// Values outside 0..32 are clamped so the ring is never indexed past its end.
void SetSmoothingWindow(int32_t n);
