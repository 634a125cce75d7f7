#include "engine/loop_timing.h"

void TickScheduleStart(TickSchedule* schedule, uint64_t now) {
  schedule->due = now + OUTPUT_TICK_PERIOD_US;
}

void TickScheduleWake(TickSchedule* schedule, uint64_t now) { schedule->due = now; }

uint64_t TickScheduleWaitMicros(const TickSchedule* schedule, uint64_t now) {
  return schedule->due > now ? schedule->due - now : 0;
}

int TickScheduleTake(TickSchedule* schedule, uint64_t now) {
  if (now < schedule->due) return 0;
  // Relative to the grid, so the rate holds however late each wake comes;
  // after a stall the grid starts again rather than catching up.
  if (now - schedule->due >= OUTPUT_TICK_PERIOD_US) {
    schedule->due = now + OUTPUT_TICK_PERIOD_US;
  } else {
    schedule->due += OUTPUT_TICK_PERIOD_US;
  }
  return 1;
}

int InputGateAdmit(uint64_t* lastAccepted, uint64_t now, int moved) {
  if (!moved) return 1;
  // Unsigned: a clock value below the last one counts as long after it.
  if (now - *lastAccepted < INPUT_GATE_US) return 0;
  *lastAccepted = now;
  return 1;
}
