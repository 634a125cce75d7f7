// The periodic step: centre the wheel, then publish axes X, Y, Z and buttons 7 to 11.
#pragma once

void OutputTick();

// Direct mode, after the reports of one drain: publishes at once when an axis
// or a button differs from what the driver was last given. Leaves
// leftButtonHeld to the tick.
void PublishIfChanged();
