#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/loop_timing.h"

namespace {

constexpr uint64_t MS = 1000;
constexpr uint64_t START = 5000 * MS, RUN = 10000 * MS;  // the clock has long been running

// How the system wakes the loop: on its own time step, up to +-jitter around
// the asked time, and once, halfway through, stalled for a while.
struct Wakes {
  const char* name;
  uint64_t step, jitter, stall;
  uint64_t minGap, maxGap;  // every tick interval but the one across the stall
};

// Runs the loop as the program does: wait as told, wake when the system lets it.
std::vector<uint64_t> TickTimes(const Wakes& w) {
  TickSchedule schedule;
  TickScheduleStart(&schedule, START);
  std::vector<uint64_t> ticks;
  uint32_t seed = 12345;
  bool stalled = false;
  for (uint64_t now = START; now < START + RUN;) {
    uint64_t wake = now + TickScheduleWaitMicros(&schedule, now);
    seed = seed * 1103515245u + 12345u;
    if (w.jitter) wake = wake + (seed >> 8) % (2 * w.jitter + 1) - w.jitter;
    if (wake < now) wake = now;
    wake = (wake + w.step - 1) / w.step * w.step;
    if (w.stall && !stalled && wake >= START + RUN / 2) wake += w.stall, stalled = true;
    now = wake;
    if (TickScheduleTake(&schedule, now)) ticks.push_back(now);
  }
  return ticks;
}

TEST(LoopTiming, TicksKeepTheirRateAndSpacingHoweverTheSystemWakes) {
  const Wakes cases[] = {
      {"coarse system timer", 15625, 0, 0, 15625, 31250},
      {"1 ms steps", 1 * MS, 0, 0, 16 * MS, 16 * MS},
      {"+-3 ms jitter", 1, 3 * MS, 0, 12 * MS, 20 * MS},
      {"30 ms stall", 1 * MS, 0, 30 * MS, 16 * MS, 16 * MS},
  };
  for (const Wakes& w : cases) {
    SCOPED_TRACE(w.name);
    const std::vector<uint64_t> ticks = TickTimes(w);
    EXPECT_NEAR(ticks.size() / 10.0, 62.5, 0.5) << "ticks a second";
    int longGaps = 0;
    for (size_t i = 1; i < ticks.size(); ++i) {
      const uint64_t gap = ticks[i] - ticks[i - 1];
      if (w.stall && gap > w.stall) {
        ++longGaps;  // one tick after the stall, then the grid again
        continue;
      }
      EXPECT_GE(gap, w.minGap) << "tick " << i;
      EXPECT_LE(gap, w.maxGap) << "tick " << i;
    }
    EXPECT_EQ(longGaps, w.stall ? 1 : 0);
  }
}

TEST(LoopTiming, GateAdmitsOneReportPerEightMilliseconds) {
  const struct {
    uint64_t spacing;
    int reports, admitted;
  } cases[] = {{1 * MS, 1000, 125}, {8 * MS, 125, 125}, {8 * MS - 1, 1000, 500}, {3 * MS, 1000, 334}};
  for (const auto& c : cases) {
    uint64_t last = 0;
    int admitted = 0;
    for (int i = 0; i < c.reports; ++i) admitted += InputGateAdmit(&last, START + i * c.spacing, 1);
    EXPECT_EQ(admitted, c.admitted) << "reports " << c.spacing << " us apart";
  }
  // A report that does not move is used and leaves the gate alone: an empty one just before a move (as Wine sends
  // after its pointer updates) must not drop that move. Times in ms after a first accepted move.
  const struct { uint64_t at; int moved, admitted; } reports[] = {
      {5, 0, 1}, {12, 0, 1}, {13, 1, 1}, {15, 0, 1}, {20, 1, 0}, {21, 1, 1}};
  uint64_t last = 0;
  ASSERT_TRUE(InputGateAdmit(&last, START, 1));
  for (const auto& r : reports) {
    EXPECT_EQ(InputGateAdmit(&last, START + r.at * MS, r.moved), r.admitted) << "at " << r.at << " ms";
  }
}

}  // namespace
