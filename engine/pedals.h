// The pedal axes: vertical mouse counts into throttle and brake.
#pragma once

#include <cstdint>

// Called for every accepted mouse report, also when dy is 0. Reads the right
// button as EngineRightButtonDown has it.
void ApplyPedalDelta(int32_t dy);

// One notch of a mouse wheel, as raw input counts it; high-resolution wheels
// report fractions of it.
constexpr int32_t WHEEL_NOTCH = 120;
// Wheel motion (positive away from the user) moves the cruise throttle by
// scrollThrottle percent per notch, fractions adding up, within 0..32767.
// Any brake keeps it at 0.
void ApplyWheelDelta(int32_t wheel);
// The throttle the game gets: the mouse's, or the cruise value when larger.
float PublishedThrottle();

// The left and right buttons as the engine takes them: any mouse's, from the
// system seam, or with one mouse chosen (steeringState.buttonsFromReports)
// that mouse's own, as its reports left steeringState.mouseButtons.
int EngineLeftButtonDown();
int EngineRightButtonDown();
