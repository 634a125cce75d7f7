// The output tick while the disk is slow: every file write made to take 300 ms
// through the file seam, and the settings saved every 250 ms, as while a
// slider is dragged. The loop is the main loop's own schedule. Two ways:
//   on the loop: the loop waits for each write to end, as the program did
//                before the writer thread (the write ran on the loop's thread)
//   writer:      the loop hands the file over and goes on
//
//   tarvix_write_bench [SECONDS]     default 5 s per way
//
// Prints one JSON object on stdout: ticks per second and the longest gap.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/loop_timing.h"
#include "engine/system_seam.h"
#include "engine/tuning.h"
#include "storage/file_replace.h"
#include "storage/file_writer.h"
#include "storage/saving.h"
#include "storage/settings_file.h"

namespace {

constexpr uint32_t SLOW_WRITE_MS = 300;

struct WayResult {
  double ticksPerSecond, longestGapMs, p99GapMs;
};

WayResult RunWay(int waitForWrites, double seconds) {
  const uint64_t start = SystemClockMicros(), end = start + static_cast<uint64_t>(seconds * 1e6);
  TickSchedule schedule;
  TickScheduleStart(&schedule, start);
  std::vector<uint64_t> ticks;
  uint64_t lastSave = start;
  for (uint64_t now = start; now < end; now = SystemClockMicros()) {
    const uint64_t wait = TickScheduleWaitMicros(&schedule, now);
    if (wait) Sleep(static_cast<DWORD>((wait + 999) / 1000));
    now = SystemClockMicros();
    if (TickScheduleTake(&schedule, now)) ticks.push_back(now);
    if (now - lastSave >= SETTINGS_SAVE_INTERVAL_MS * 1000) {
      lastSave = now;
      tuningSettings.sensitivity = tuningSettings.sensitivity > 50 ? 40.0f : 60.0f;
      SaveSettings();
      if (waitForWrites) WaitForFileWrites(FILE_WRITE_EXIT_WAIT_MS);
      CollectFileWriteResults();
    }
  }
  WaitForFileWrites(FILE_WRITE_EXIT_WAIT_MS);
  std::vector<double> gaps;
  for (size_t i = 1; i < ticks.size(); ++i) gaps.push_back((ticks[i] - ticks[i - 1]) / 1000.0);
  std::sort(gaps.begin(), gaps.end());
  WayResult r = {};
  if (gaps.empty()) return r;
  r.ticksPerSecond = (ticks.size() - 1) / ((ticks.back() - ticks.front()) / 1e6);
  r.longestGapMs = gaps.back();
  r.p99GapMs = gaps[std::min(gaps.size() - 1, (gaps.size() * 99 + 99) / 100 - 1)];
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string data = std::string(folder) + "tarvix-write-bench";
  CreateDirectoryA(data.c_str(), nullptr);
  ResetToDefaults();
  SetDataFolder(data.c_str());
  fileSeamFaults.writeDelayMs = SLOW_WRITE_MS;
  std::printf("{\"write_ms\": %u, \"save_interval_ms\": %u, \"seconds\": %.1f", SLOW_WRITE_MS,
              SETTINGS_SAVE_INTERVAL_MS, seconds);
  for (int way = 0; way < 2; ++way) {
    const WayResult r = RunWay(way == 0, seconds);
    std::printf(", \"%s\": {\"ticks_per_second\": %.1f, \"longest_gap_ms\": %.1f, \"p99_gap_ms\": %.1f}",
                way == 0 ? "on_the_loop" : "writer", r.ticksPerSecond, r.longestGapMs, r.p99GapMs);
  }
  std::printf("}\n");
  DeleteFileA((data + "\\settings.txt").c_str());
  RemoveDirectoryA(data.c_str());
  return 0;
}
