// Time per call of the engine's hot paths: one mouse report (steering and
// pedals), one centring step, one output tick, one hotkey text, one FFB packet.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

#include "engine/output_tick.h"
#include "engine/pedals.h"
#include "engine/steering.h"
#include "engine/tuning.h"
#include "input/hotkey_text.h"
#include "vjoy/vjoy_ffb.h"

namespace {

// Deltas of a hand swinging left and right. The second half of the pattern is
// the first one negated, so every moving average of the second half is the
// negation of one in the first (truncation toward zero is symmetric) and the
// wheel wanders about the centre instead of resting on a limit, where the clamps
// would cut the arithmetic short. Vertical deltas likewise for the pedals.
constexpr int32_t PATTERN_DX[] = {3, 7, 12, 5, -2, -9, -15, -4, 1, 6, -3, -1,
                                  -3, -7, -12, -5, 2, 9, 15, 4, -1, -6, 3, 1};
constexpr int32_t PATTERN_DY[] = {-4, -2, 1, 3, 5, -1, -6, 2, 4, -3, 1, 0,
                                  4, 2, -1, -3, -5, 1, 6, -2, -4, 3, -1, 0};
constexpr int PATTERN_LENGTH = sizeof PATTERN_DX / sizeof PATTERN_DX[0];
static_assert(sizeof PATTERN_DY == sizeof PATTERN_DX, "one dy per dx");

// Defaults, then the tuning under test. Pedal mode 0 so vertical motion does
// the pedal arithmetic instead of the button-up shortcut of mode 1.
void SetTuning(int32_t smoothing, int32_t curve) {
  ResetToDefaults();
  SetSmoothingWindow(smoothing);
  tuningSettings.curveOnSteering = curve;
  tuningSettings.accelBrakeMode = 0;
}

void BM_MouseReport(benchmark::State& state) {
  SetTuning(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)));
  int i = 0;
  for (auto _ : state) {
    ApplySteeringDelta(PATTERN_DX[i]);
    ApplyPedalDelta(PATTERN_DY[i]);
    if (++i == PATTERN_LENGTH) i = 0;
    benchmark::ClobberMemory();
  }
  // Proof that the reports did move the wheel, not a path that returned early.
  state.counters["wheel"] = steeringState.steering;
}
BENCHMARK(BM_MouseReport)
    ->ArgNames({"smoothing", "curve"})
    ->ArgsProduct({{0, 2, 20}, {0, 1}});

// The wheel is put back off centre before each step, else it would reach the
// centre and stay on the shortest path.
constexpr float OFF_CENTRE[] = {200.0f, 4100.0f, 9000.0f, 16000.0f,
                                32767.0f, 30000.0f, 24000.0f, 16500.0f};
constexpr int OFF_CENTRE_COUNT = sizeof OFF_CENTRE / sizeof OFF_CENTRE[0];

void BM_AutoCenterStep(benchmark::State& state) {
  ResetToDefaults();
  // 1.0 takes the linear centring, 1.5 the curved one (a pow per step).
  tuningSettings.responseCurve = state.range(0) ? 1.5f : 1.0f;
  int i = 0;
  for (auto _ : state) {
    steeringState.steering = OFF_CENTRE[i];
    AutoCenterStep();
    if (++i == OFF_CENTRE_COUNT) i = 0;
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_AutoCenterStep)->ArgName("curve")->Arg(0)->Arg(1);

// Centring plus five sends through a vJoy link that does nothing, so this is the
// engine's share of a tick; the driver's own cost is not in it.
void BM_OutputTick(benchmark::State& state) {
  ResetToDefaults();
  int i = 0;
  for (auto _ : state) {
    steeringState.steering = OFF_CENTRE[i];
    OutputTick();
    if (++i == OFF_CENTRE_COUNT) i = 0;
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_OutputTick);

// vJoy's FFB callback, one packet at a time as the library calls it: a game's
// usual stream of Set Effect, force, condition and start reports (vJoy 2.2).
uint8_t FFB_BENCH_PACKETS[][16] = {
    {0x11, 1, 1, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 255, 0xFF, 0x04, 0x00, 0x20},
    {0x15, 1, 0x78, 0xEC},
    {0x13, 2, 0, 0x88, 0x13, 0x10, 0x27, 0x10, 0x27, 0x10, 0x27, 0x10, 0x27, 0, 0},
    {0x1A, 1, 1, 1},
};
const uint32_t FFB_BENCH_SIZES[] = {16 + 8, 4 + 8, 15 + 8, 4 + 8};
constexpr int FFB_BENCH_COUNT = sizeof FFB_BENCH_SIZES / sizeof FFB_BENCH_SIZES[0];

void BM_FfbCallback(benchmark::State& state) {
  VJoyFfbReset();
  VJoyFfbSetVersion(0x222);
  VJoyFfbPacket packets[FFB_BENCH_COUNT];
  for (int k = 0; k < FFB_BENCH_COUNT; ++k) packets[k] = {FFB_BENCH_SIZES[k], FFB_CMD_WRITE_REPORT, FFB_BENCH_PACKETS[k]};
  int i = 0;
  for (auto _ : state) {
    VJoyFfbReceive(&packets[i], nullptr);
    if (++i == FFB_BENCH_COUNT) i = 0;
    benchmark::ClobberMemory();
  }
  // Each of 10,000 packets timed on its own: the slowest 1% is what a game's write waits for.
  std::vector<double> us(10000);
  for (size_t k = 0; k < us.size(); ++k) {
    const auto start = std::chrono::steady_clock::now();
    VJoyFfbReceive(&packets[k % FFB_BENCH_COUNT], nullptr);
    us[k] = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
  }
  std::sort(us.begin(), us.end());
  state.counters["packets_per_second"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["p99_us"] = us[us.size() * 99 / 100];
}
BENCHMARK(BM_FfbCallback);

const char* const HOTKEY_TEXTS[] = {"F4", "^R", "+^x", "!B", "F12", "^!+F10", "", "^^7"};
constexpr int HOTKEY_TEXT_COUNT = sizeof HOTKEY_TEXTS / sizeof HOTKEY_TEXTS[0];

void BM_ParseHotkey(benchmark::State& state) {
  uint32_t modifiers = 0;
  uint32_t key = 0;
  int i = 0;
  for (auto _ : state) {
    ParseHotkey(HOTKEY_TEXTS[i], &modifiers, &key);
    benchmark::DoNotOptimize(modifiers);
    benchmark::DoNotOptimize(key);
    if (++i == HOTKEY_TEXT_COUNT) i = 0;
  }
}
BENCHMARK(BM_ParseHotkey);

}  // namespace

int main(int argc, char** argv) {
#ifdef TARVIX_BENCH_SANITIZED
  benchmark::AddCustomContext("tarvix_build", "sanitized (ASan+UBSan): not representative");
#else
  benchmark::AddCustomContext("tarvix_build", "optimised, no sanitizers");
#endif
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
