// The periodic step: centre the wheel, then publish axes X, Y, Z and buttons 7 to 11.
#pragma once

void OutputTick();

// Direct mode, after the reports of one drain: publishes at once when an axis
// or a button differs from what the driver was last given. Leaves
// leftButtonHeld to the tick.
void PublishIfChanged();

// After a tick, and at each wake of a resting loop: 1 when nothing changes
// until a report, a message or a game's force packet comes, so the loop may
// stop its clock or keep it stopped. Not while the last tick changed an
// output, an output now differs from the one published, centring would still
// move the wheel (its delay running included), a game's force plays, the
// pad's report waits to be sent again, a lost device is retried or a pad bind
// runs, or otherWorkPending (the loop's own: a save waiting for its delay).
int OutputAtRest(int otherWorkPending);
