// The main loop's time-keeping: when the output tick is due and which raw mouse
// reports pass the gate. Both take the time as an argument, in microseconds of
// the one clock (SystemClockMicros), so any clock can drive them.
#pragma once

#include <cstdint>

constexpr uint64_t OUTPUT_TICK_PERIOD_US = 16000;
// Reports closer than this to the last accepted one are dropped.
constexpr uint64_t INPUT_GATE_US = 8000;

// A grid of due times one tick period apart.
struct TickSchedule {
  uint64_t due;  // when the next tick is due
};

// The first tick falls one period after now.
void TickScheduleStart(TickSchedule* schedule, uint64_t now);

// After a rest: the grid starts again from now, with a tick due at once.
void TickScheduleWake(TickSchedule* schedule, uint64_t now);

// How long the loop may wait from now before the next tick is due; 0 when due.
uint64_t TickScheduleWaitMicros(const TickSchedule* schedule, uint64_t now);

// 1 when a tick is due at now, and the grid moves on one period. A wake more
// than a period late gets one tick and a grid restarted from now: the ticks it
// missed are not made up in a burst.
int TickScheduleTake(TickSchedule* schedule, uint64_t now);

// For a report that moves (moved 1): 1 when now is at least INPUT_GATE_US after
// the last accepted one, which it then becomes; dropped reports leave the gate
// as it was. A report that does not move has no motion to drop: 1, and the
// gate is left as it was, so an empty report (Wine sends some while its window
// is shown, and a mouse may) never costs the next real motion.
int InputGateAdmit(uint64_t* lastAccepted, uint64_t now, int moved);
