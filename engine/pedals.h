// The pedal axes: vertical mouse counts into throttle and brake.
#pragma once

#include <cstdint>

// Called for every accepted mouse report, also when dy is 0. Reads the right
// button through the system seam.
void ApplyPedalDelta(int32_t dy);
