// The steering and pedal arithmetic and the output tick, one row per case.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "engine/game_forces.h"
#include "engine/output_link.h"
#include "engine/output_tick.h"
#include "engine/pedals.h"
#include "engine/status_notice.h"
#include "engine/steering.h"
#include "engine/tuning.h"
#include "input/mouse_choice.h"
#include "input/mouse_motion.h"
#include "pad/pad_link.h"
#include "storage/settings_file.h"
#include "tests/support/system_fake.h"
#include "tests/support/vjoy_fake_host.h"
#include "tools/fakebus/fake_bus.h"
#include "vjoy/vjoy_ffb.h"
#include "vjoy/vjoy_link.h"

namespace {

constexpr float NaN = std::numeric_limits<float>::quiet_NaN(), Inf = std::numeric_limits<float>::infinity();

// Tuning and wheel before; mouse deltas, 0 standing for a centring step `tick` ms later; the wheel after.
TEST(Steering, DeltasAndCentring) {
  struct Row { float sens, curve; int32_t on, window; float limit, force; int32_t held; float at; std::vector<int32_t> ops; float wheel;
               int32_t delay = 0; uint64_t tick = 16; };
  const Row rows[] = {
      {45, 1.5f, 0, 0, 100, 0, 0, 16384, {3}, 16519}, {45, 1.5f, 1, 0, 100, 0, 0, 16384, {3}, 16519},  // curve 1 at centre
      {10, 2, 1, 0, 100, 0, 0, 8192, {10}, 8362.7107f},       // half lock: 100 x (1 + 0.5^(1/2))
      {10, 1.5f, 1, 0, 100, 0, 0, 24576, {-10}, 24444.502f},  // 100 x (1 + 0.5^(2/3) x 0.5)
      {10, 3, 1, 0, 100, 0, 0, 0, {1}, 30},                    // full lock: the gain is the curve
      {10, 2, 0, 0, 100, 0, 0, 8192, {10}, 8292}, {10, 1, 1, 0, 100, 0, 0, 8192, {10}, 8292},
      {1, 1, 0, 2, 100, 0, 0, 16384, {1, -2}, 16385},  // averages truncate toward zero: 1 then 0
      {1, 1, 0, 2, 100, 0, 0, 16384, {-5, 2}, 16378},  // -5 then -1
      {1, 1, 0, 3, 100, 0, 0, 16384, {10, 20, 30, 40}, 16459}, {1, 1, 0, 4, 100, 0, 0, 16384, {1, 1, 1, -1, -1}, 16387},
      {1.0f / 1048576, 1, 0, 2, 100, 0, 0, 16384, {INT32_MIN, INT32_MIN}, 12288},  // a 32-bit sum would wrap
      {45, 1, 0, 0, 50, 0, 0, 16384, {1000}, 24576}, {45, 1, 0, 0, 50, 0, 0, 16384, {-1000}, 8192},
      {45, 1, 0, 0, 10, 0, 0, 16384, {1000}, 18022.4f}, {45, 1, 0, 0, 100, 0, 0, 16384, {1000}, 32767},
      {0, 1.5f, 0, 0, 100, 5, 0, 16380, {0}, 16384}, {0, 1.5f, 1, 0, 100, 5, 0, 16388, {0}, 16384},  // lands on centre
      {0, 1.5f, 0, 0, 100, 5, 0, 0, {0}, 375},               // full lock: 2 x 125 x 1.5, curve on or off
      {0, 1.5f, 1, 0, 100, 5, 0, 24576, {0}, 24293.5099f},   // 125 + 0.5^(2/3) x 250
      {0, 1, 1, 0, 100, 5, 0, 0, {0}, 250}, {0, 1, 0, 0, 100, 5, 0, 8192, {0}, 8379.5f},  // linear: 125 to 250
      {0, 0.5f, 1, 0, 100, 5, 0, 8192, {0}, 8379.5f},
      {0, 1, 1, 0, 100, 0.1f, 0, 10000, {0}, 10005}, {0, 1, 0, 0, 100, 0.1f, 0, 22000, {0}, 21995},  // minimum 5
      {0, 1.5f, 1, 0, 100, 0, 0, 10000, {0}, 10000}, {0, 1.5f, 1, 0, 100, -3, 0, 10000, {0}, 10000},
      {0, 1.5f, 1, 0, 100, 30, 1, 10000, {0}, 10000}, {0, 1.5f, 1, 0, 100, 30, 1, 40000, {0}, 32767},  // held: clamp only
      {0, 1.5f, 1, 0, 100, 30, 1, -5, {0}, 0},
      {NaN, 1, 0, 0, 100, 0, 0, 10000, {5}, 10000}, {45, Inf, 1, 0, 100, 0, 0, 10000, {5}, 10000},  // not finite:
      {45, 1, 0, 0, -Inf, 0, 0, 10000, {5}, 10000}, {0, 1, 0, 0, 100, Inf, 0, 10000, {0}, 10000},  // no step
      {0, 1, 0, 0, 100, 5, 0, 8192, {1, 0}, 8192, 500, 499}, {0, 1, 0, 0, 100, 5, 0, 8192, {1, 0}, 8379.5f, 500, 500},  // delay
      {0, 1, 0, 0, 100, 5, 0, 8192, {1, 0, 0, 1, 0}, 8379.5f, 500, 300}, {0, 1, 0, 0, 100, 5, 0, 8192, {0}, 8379.5f, 2000, 0},
      {0, 1, 0, 0, 100, 5, 1, 8192, {1, 0}, 8192, 500, 900}, {0, 1, 0, 0, 100, 5, 0, 8192, {1, 0}, 8379.5f, 0, 0},  // held; none
      {0, 1, 0, 0, 100, 5, 0, 8192, {1, 0}, 8379.5f, 99999, 2000}, {0, 1, 0, 0, 100, 5, 0, 8192, {1, 0}, 8379.5f, -50, 0},
  };
  for (const Row& r : rows) {
    ResetToDefaults();
    TuningSettings& t = tuningSettings;
    t.sensitivity = r.sens, t.responseCurve = r.curve, t.curveOnSteering = r.on, t.steeringLimit = r.limit;
    t.autoCenterForce = r.force, t.smoothing = r.window, t.autoCenterDelay = r.delay;
    steeringState.leftButtonHeld = r.held, steeringState.steering = r.at, fakeSystem.clockMicros = 10000000;
    for (int32_t dx : r.ops) dx ? ApplySteeringDelta(dx) : (fakeSystem.clockMicros += r.tick * 1000, AutoCenterStep());
    EXPECT_NEAR(steeringState.steering, r.wheel, 0.01f) << "row " << &r - rows;
  }
  steeringState.cruiseThrottle = 99, RecenterSteering();
  EXPECT_EQ(steeringState.steering + steeringState.cruiseThrottle, 16384);
}

// Only a changed window clears the ring.
TEST(Steering, SmoothingWindowChange) {
  ResetToDefaults();
  tuningSettings.sensitivity = tuningSettings.responseCurve = 1;
  for (auto [window, dx] : {std::pair{4, 100}, {4, 1}, {3, 7}}) SetSmoothingWindow(window), ApplySteeringDelta(dx);
  EXPECT_EQ(steeringState.steering, 16384 + 100 + 50 + 7);  // (100 + 1) / 2, then 7 alone
}

// Mode, pedals and latch before; (right button, dy) steps; pedals and latch after. A count is 327.67.
// Cruise throttle at `percent` a notch: steps W (a report's vertical wheel of dy), H (horizontal wheel), R (re-centre).
TEST(Pedals, ModesAndCruise) {
  enum { W = 2, H, R };
  struct Row { int32_t mode; float throttle, brake; int32_t latch; std::vector<std::pair<int, int32_t>> steps; float t, b; int32_t l;
               int32_t percent = 0; float cruise = 0; };
  const Row rows[] = {
      {0, 0, 0, 0, {{1, -50}}, 16383.5f, 0, 0}, {0, 0, 0, 0, {{0, 50}}, 0, 16383.5f, 0},
      {0, 0, 3276.7f, 0, {{0, -30}}, 6553.4f, 0, 0}, {0, 6553.4f, 0, 0, {{0, 30}}, 0, 3276.7f, 0},  // rest carried
      {0, 0, 5000, 0, {{0, -10}}, 0, 1723.3f, 0}, {0, 0, 3276.7f, 0, {{0, -10}}, 0, 0, 0},
      {0, 32767, 0, 0, {{0, -10}}, 32767, 0, 0}, {0, 0, 0, 0, {{0, -200}}, 32767, 0, 0},
      {0, 0, 100, 0, {{0, -200}}, 32767, 0, 0}, {0, 1000, 0, 0, {{1, 0}}, 1000, 0, 0},
      {0, 0, 0, 0, {{0, INT32_MIN}, {0, INT32_MAX}}, 0, 32767, 0},
      {1, 0, 0, 0, {{1, 5}, {1, -40}}, 0, 1638.35f, -1},             // the first motion picks the pedal
      {1, 0, 0, 0, {{1, -10}, {1, 100}, {1, -1}}, 3604.37f, 0, 1},  // and the other way is ignored
      {1, 0, 0, 0, {{1, 200}, {1, INT32_MAX}}, 0, 32767, -1}, {1, 0, 0, 0, {{1, INT32_MIN}, {1, INT32_MIN}}, 32767, 0, 1},
      {1, 0, 0, 0, {{1, 5}, {0, 0}}, 0, 0, 0}, {1, 0, 0, 0, {{0, -50}, {0, 50}}, 0, 0, 0},  // released
      {1, 0, 0, 0, {{1, 5}, {0, 0}, {1, -10}}, 3276.7f, 0, 1}, {1, 0, 0, 0, {{1, 0}, {1, 0}, {1, -10}}, 3276.7f, 0, 1},
      {1, 6553.4f, 0, 0, {{1, 1}}, 0, 327.67f, -1}, {1, 0, 6553.4f, 0, {{1, -1}}, 327.67f, 0, 1},
      {2, 1234, 0, 1, {{0, -30}, {1, 30}}, 1234, 0, 1}, {-1, 0, 99, -1, {{0, 0}, {1, -30}}, 0, 99, -1},
      {1, 0, 0, 0, {{W, 120}, {W, 120}}, 0, 0, 0, 10, 6553.4f}, {1, 0, 0, 0, {{W, 40}, {W, 40}, {W, 40}}, 0, 0, 0, 10, 3276.7f},
      {1, 0, 0, 0, {{W, 120}, {W, -360}, {W, 120}}, 0, 0, 0, 10, 3276.7f}, {1, 0, 0, 0, {{W, 600}}, 0, 0, 0, 25, 32767},  // floor, top
      {1, 0, 0, 0, {{W, 32767}, {W, -32768}}, 0, 0, 0, 25, 0}, {1, 0, 0, 0, {{H, 120}, {W, 120}}, 0, 0, 0, 0, 0},  // off
      {1, 0, 0, 0, {{H, 120}}, 0, 0, 0, 10, 0}, {1, 0, 0, 0, {{W, 120}, {R, 0}}, 0, 0, 0, 10, 0},  // re-centre ends it
      {1, 0, 0, 0, {{W, 120}, {1, -10}, {0, 0}}, 0, 0, 0, 10, 3276.7f},  // the right button's release keeps it
      {1, 0, 0, 0, {{W, 120}, {1, 5}, {1, 0}}, 0, 1638.35f, -1, 10, 0}, {0, 0, 0, 0, {{W, 240}, {0, 5}}, 0, 1638.35f, 0, 10, 0},
      {0, 0, 100, 0, {{W, 120}}, 0, 100, 0, 10, 0}, {0, 0, 100, 0, {{0, -1}, {W, 120}}, 227.67f, 0, 0, 10, 3276.7f},  // braking
  };
  for (const Row& r : rows) {
    ResetToDefaults();
    tuningSettings.accelBrakeMode = r.mode;
    steeringState.throttle = r.throttle, steeringState.brake = r.brake, steeringState.pedalLatch = r.latch;
    tuningSettings.scrollThrottle = r.percent;
    for (auto [right, dy] : r.steps) {
      if (right == R) RecenterSteering();
      else if (right >= W) MouseReportButtons(right == W ? MOUSE_REPORT_WHEEL : MOUSE_REPORT_HWHEEL, uint16_t(dy));
      else fakeSystem.rightDown = right, ApplyPedalDelta(dy);
    }
    EXPECT_NEAR(steeringState.cruiseThrottle, r.cruise, 0.01f) << "row " << &r - rows;
    EXPECT_FALSE(steeringState.throttle > 0 && steeringState.brake > 0) << "row " << &r - rows;
    EXPECT_NEAR(steeringState.throttle, r.t, 0.01f) << "row " << &r - rows;
    EXPECT_NEAR(steeringState.brake, r.b, 0.01f) << "row " << &r - rows;
    EXPECT_EQ(steeringState.pedalLatch, r.l) << "row " << &r - rows;
  }
}

// Direct mode, report by report as the raw input hands them over: every one counts, the filter carries each
// average's remainder, and a changed axis or button goes out at once; only the tick moves leftButtonHeld.
TEST(DirectMode, EveryReportCountsAndEachChangeGoesOutAtOnce) {
  struct Row { int32_t window; float sens; std::vector<int32_t> dx; int reports, press; float wheel; int published; };
  const Row rows[] = {
      {0, 10, {1}, 1000, -1, 26384, 1000}, {2, 1, {1, 2}, 1000, -1, 17883, 1000},  // truncated: 1 each, 17384
      {2, 1, {1, 2, 1, 2}, 4, -1, 16389, 4}, {3, 1, {-1, -1, 1}, 6, -1, 16381, 3},
      {0, 0.25f, {1}, 8, -1, 16386, 2}, {0, 0, {1}, 3, 1, 16384, 1},  // a press alone goes out
  };
  for (const Row& r : rows) {
    ResetToDefaults(), VJoyFakeReset(), FakeSystemReset();
    TuningSettings& t = tuningSettings;
    t.directMode = 1, t.sensitivity = r.sens, t.responseCurve = 1, t.autoCenterForce = 0, SetSmoothingWindow(r.window);
    OutputTick(), vjoyFakeCalls.clear();
    for (int i = 0; i < r.reports; ++i)
      fakeSystem.leftDown = r.press >= 0 && i >= r.press, ApplySteeringDelta(r.dx[i % r.dx.size()]), PublishIfChanged();
    const std::string last = "48=" + std::to_string(int(r.wheel)) + " 49=0 50=0 b7=" + std::to_string(r.press >= 0) + " b8=0 ";
    int published = 0;
    for (size_t at = 0; (at = vjoyFakeCalls.find("48=", at)) != std::string::npos; ++at) ++published;
    EXPECT_EQ(steeringState.steering, r.wheel) << "row " << &r - rows;
    EXPECT_EQ(published, r.published) << "row " << &r - rows;
    EXPECT_EQ(vjoyFakeCalls.substr(std::min(vjoyFakeCalls.rfind("48="), vjoyFakeCalls.size())), last) << "row " << &r - rows;
    EXPECT_EQ(steeringState.leftButtonHeld, 0);
  }
}

// Ticks in a row: centring, reading the left button as the previous tick saw it; axes X Y Z truncated into
// 0..32767, one not finite resending its last value; buttons 7 and 8. A steering of -1 keeps the wheel. Y is the
// larger of the throttle and the cruise value.
TEST(OutputTick, CentresThenSendsAxesAndButtons) {
  struct Row { float force, steering, throttle, brake; int left, right; const char* sent; float cruise = 0; };
  const Row rows[] = {
      {0, 16383.9f, 1000.99f, 0.5f, 1, 0, "48=16383 49=1000 50=0 b7=1 b8=0 "},
      {0, 100, 1000, 0, 0, 0, "48=100 49=5000 50=0 b7=0 b8=0 ", 5000.5f}, {0, 100, 6000, 0, 0, 0, "48=100 49=6000 50=0 b7=0 b8=0 ", 5000},
      {0, 20000.5f, 1234, 4321, 0, 1, "48=20000 49=1234 50=4321 b7=0 b8=1 "},
      {0, NaN, Inf, -Inf, 0, 0, "48=20000 49=1234 50=4321 b7=0 b8=0 "}, {0, 40000, -1, 1e30f, 1, 1, "48=32767 49=0 50=32767 b7=1 b8=1 "},
      {0, -0.5f, 7.9f, 32767.5f, 0, 0, "48=0 49=7 50=32767 b7=0 b8=0 "},
      {1, 0, 0, 0, 0, 0, "48=50 49=0 50=0 b7=0 b8=0 "},   // linear centring: 25 at centre, 50 at full lock
      {1, -1, 0, 0, 1, 0, "48=99 49=0 50=0 b7=1 b8=0 "},  // pressed since the last tick: still centres
      {1, -1, 0, 0, 1, 0, "48=99 49=0 50=0 b7=1 b8=0 "}, {1, -1, 0, 0, 0, 0, "48=99 49=0 50=0 b7=0 b8=0 "},
      {1, -1, 0, 0, 0, 0, "48=149 49=0 50=0 b7=0 b8=0 "},
  };
  ResetToDefaults(), VJoyFakeReset();
  tuningSettings.responseCurve = 1, tuningSettings.scrollThrottle = 10;
  for (const Row& r : rows) {
    tuningSettings.autoCenterForce = r.force;
    if (r.steering != -1) steeringState.steering = r.steering;
    steeringState.throttle = r.throttle, steeringState.brake = r.brake, steeringState.cruiseThrottle = r.cruise;
    fakeSystem.leftDown = r.left, fakeSystem.rightDown = r.right;
    vjoyFakeCalls.clear(), OutputTick();
    EXPECT_EQ(vjoyFakeCalls, r.sent);
    EXPECT_EQ(steeringState.leftButtonHeld, r.left);
  }
  // The gear buttons from the reports' flags (middle, back, forward down; back down and up in one report), each
  // sent only when the device has it; an unknown count is taken as 8.
  const struct { int count; std::vector<uint16_t> flags; const char* gears; } gears[] = {
      {8, {0x10}, ""}, {9, {0x10, 0x100}, "b9=1 "}, {10, {0x40}, "b9=0 b10=1 "}, {11, {0x10, 0x100, 0xC0}, "b9=1 b10=0 b11=1 "},
      {11, {0x150, 0x20, 0x200}, "b9=0 b10=1 b11=0 "}, {32, {0x40, 0x1}, "b9=0 b10=1 b11=0 "}, {-1, {0x150}, ""}};
  for (const auto& g : gears) {
    vjoyFake = VJoyFakeAnswers{}, vjoyFake.buttons = g.count, VJoyFakeInstall(), OutputStart(), steeringState.mouseButtons = 0;
    for (uint16_t f : g.flags) MouseReportButtons(f, 0);
    fakeSystem.leftDown = 0, vjoyFakeCalls.clear(), OutputTick();
    EXPECT_EQ(vjoyFakeCalls.substr(vjoyFakeCalls.find("b8=0 ") + 5), g.gears) << g.count;
  }
  OutputRelease();  // no device: centring still runs
  steeringState.steering = 16380;
  OutputTick();
  EXPECT_EQ(steeringState.steering, 16384);
}

// The library's answers at start-up: the one reason the box gives, or the notice of a device that runs.
TEST(VJoyBind, TheReasonOrTheNoticeFromTheLibrarysAnswers) {
  struct Row { int library, complete; VJoyFakeAnswers a; const char* reason; const char* notice; };
  auto A = [](auto change) { VJoyFakeAnswers a; change(a); return a; };
  const std::string differ = "vJoy's driver and library versions differ (driver 221, library 222): reinstall vJoy.";
  const Row rows[] = {
      {0, 1, {}, "vJoy is not installed: vJoyInterface.dll was not found.", ""},
      {1, 0, {}, "vJoyInterface.dll lacks functions Tarvix needs. Reinstall vJoy.", ""},
      {1, 1, A([](auto& a) { a.enabled = 0; }), "vJoy is installed but not enabled.", ""},
      {1, 1, A([](auto& a) { a.status = 3; }), "vJoy device 1 does not exist. Add it in Configure vJoy.", ""},
      {1, 1, A([](auto& a) { a.status = 4; }), "vJoy device 1 does not exist. Add it in Configure vJoy.", ""},
      {1, 1, A([](auto& a) { a.status = 2; }), "vJoy device 1 is in use by another program.", ""},
      {1, 1, A([](auto& a) { a.status = 2, a.ownerPid = 0x12345; }), "vJoy device 1 is in use by game.exe.", ""},
      {1, 1, A([](auto& a) { a.status = 2, a.ownerPid = 0x12345, a.ownerMatches = 2; }), "vJoy device 1 is in use by another program.", ""},
      {1, 1, A([](auto& a) { a.acquire = 0, a.driverMatch = 1; }), "vJoy device 1 could not be acquired.", ""},
      {1, 1, A([](auto& a) { a.acquire = 0, a.driverMatch = 0; }), "", ""},  // the versions follow the reason
      {1, 1, A([](auto& a) { a.driverMatch = 0; }), nullptr, "vJoy: driver 221, library 222 differ"},
      {1, 1, A([](auto& a) { a.axes = 3, a.buttons = 4, a.driverMatch = 0; }), nullptr, "vJoy: no Z axis, 4 buttons"},
      {1, 1, A([](auto& a) { a.axes = 1; }), nullptr, "vJoy: no Y, Z axes"},
      {1, 1, A([](auto& a) { a.buttons = 1, a.status = 0; }), nullptr, "vJoy: 1 button"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(&r - rows);
    vjoyFake = r.a, VJoyFakeInstall();
    if (!r.library) virtualJoystickLink.library = nullptr;
    if (!r.complete) virtualJoystickLink.ResetVJD = nullptr;
    EXPECT_EQ(VJoyBind(), r.reason == nullptr);
    EXPECT_EQ(virtualJoystickLink.vjoyAcquired, r.reason == nullptr);
    EXPECT_STREQ(virtualJoystickLink.notice, r.notice);
    char box[512];
    FormatVJoyFailure(box, sizeof box);
    const std::string reason = !r.reason ? "" : r.reason[0] ? r.reason : "vJoy device 1 could not be acquired.\n" + differ;
    if (r.reason) {
      EXPECT_EQ(box, "vJoy initialization failed!\n\n" + reason + "\n\nMake sure vJoy is installed and configured:\n"
                     "- Device 1 enabled\n- X axis (steering)\n- Y axis (accel)\n- Z axis (brake)\n- Buttons 7-8");
    }
  }
}

// A refused update lets the device go at once; about a second later the tick takes it again and publishes
// in full; after the release nothing is tried any more.
TEST(VJoyBind, ALostDeviceIsLetGoAndTakenAgainOnTheTick) {
  ResetToDefaults(), VJoyFakeReset(), FakeSystemReset();
  tuningSettings.autoCenterForce = 0, steeringState.steering = 20000;
  struct Step { uint64_t ms; int updatesLeft; const char* calls; int acquired; const char* notice; };
  const Step steps[] = {
      {0, 1, "48=20000 49=0 50=0 b7=0 b8=0 ", 1, ""}, {16, 0, "relinquish ", 0, "vJoy: Disconnected, retrying"},
      {32, -1, "", 0, "vJoy: Disconnected, retrying"}, {1016, -1, "", 0, "vJoy: Disconnected, retrying"},
      {1032, -1, "48=20000 49=0 50=0 b7=0 b8=0 ", 1, ""}, {1048, -1, "48=20000 49=0 50=0 b7=0 b8=0 ", 1, ""},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.ms);
    fakeSystem.clockMicros = 5000000 + s.ms * 1000, vjoyFake.updatesLeft = s.updatesLeft, vjoyFakeCalls.clear();
    OutputTick();
    EXPECT_EQ(vjoyFakeCalls, s.calls);
    EXPECT_EQ(virtualJoystickLink.vjoyAcquired, s.acquired);
    EXPECT_STREQ(OutputNotice(), s.notice);
  }
  vjoyFake.updatesLeft = 0, OutputTick(), OutputRelease(), vjoyFakeCalls.clear();  // lost, then released
  fakeSystem.clockMicros += 5000000, vjoyFake.updatesLeft = -1, OutputTick();
  EXPECT_EQ(vjoyFakeCalls + std::to_string(virtualJoystickLink.vjoyAcquired), "0");
}

// The wheel on the left stick's X, past the anti-deadzone (0..40%) when not centred; the pedals on the triggers.
TEST(PadReport, WheelOnTheStickPedalsOnTheTriggers) {
  struct Row { int32_t wheel, throttle, brake, percent, x, left, right; };
  const Row rows[] = {
      {0, 0, 0, 0, -32768, 0, 0}, {16384, 32767, 128, 0, 0, 0, 255}, {32767, 129, 16384, 0, 32766, 127, 1},
      {16385, 0, 0, 24, 7865, 0, 0}, {16383, 0, 0, 24, -7865, 0, 0}, {24576, 0, 0, 24, 20315, 0, 0},
      {16384, 0, 0, 40, 0, 0, 0}, {0, 0, 0, 40, -32767, 0, 0}, {32767, 0, 0, 90, 32766, 0, 0}, {20000, 0, 0, -5, 7232, 0, 0},
  };
  for (const Row& r : rows) {
    const PadReport p = PadReportFor(r.wheel, r.throttle, r.brake, r.percent);
    EXPECT_EQ(std::vector<int>({p.thumbLX, p.leftTrigger, p.rightTrigger, p.buttons, p.thumbLY, p.thumbRX, p.thumbRY}),
              std::vector<int>({r.x, r.left, r.right, 0, 0, 0, 0})) << r.wheel << " " << r.percent;
  }
}

// What the bus's answers mean, from the driver's own statuses: only a bus or a pad gone away lets the pad go.
TEST(PadBus, AnswersMeanWhatTheDriverMeans) {
  const uint32_t REPORT = PAD_REQUEST_SUBMIT_REPORT, READY = PAD_REQUEST_WAIT_DEVICE_READY,
                 PLUG = PAD_REQUEST_PLUGIN_TARGET, VERSION = PAD_REQUEST_CHECK_VERSION, UNPLUG = PAD_REQUEST_UNPLUG_TARGET;
  const PadBusOutcome DONE = PAD_OUTCOME_DONE, AGAIN = PAD_OUTCOME_TRANSIENT, UNKNOWN = PAD_OUTCOME_UNKNOWN_REQUEST,
                      REFUSED = PAD_OUTCOME_REFUSED, GONE = PAD_OUTCOME_GONE;
  struct Row { uint32_t code, error; PadBusOutcome outcome; };
  const Row rows[] = {
      {REPORT, 0, DONE}, {UNPLUG, 0, DONE}, {READY, 0, DONE},
      {REPORT, 259, AGAIN}, {READY, 259, REFUSED},   // no read of the game's driver waits
      {READY, 87, UNKNOWN}, {REPORT, 87, REFUSED},   // 1.16 does not know wait-ready
      {PLUG, 87, REFUSED}, {VERSION, 87, REFUSED},    // the serial is taken
      {VERSION, 50, REFUSED}, {REPORT, 50, REFUSED},  // another version
      {READY, 483, AGAIN}, {REPORT, 483, REFUSED},    // the pad has not started within the bus's second
      {READY, 995, GONE}, {REPORT, 995, REFUSED},     // the pad's wait queue purged as it goes
      {REPORT, 55, GONE}, {READY, 55, GONE}, {REPORT, 433, GONE}, {REPORT, 2, GONE}, {REPORT, 5, GONE},
      {PLUG, 22, GONE}, {UNPLUG, 22, GONE}, {REPORT, 6, GONE}, {REPORT, 1167, GONE}, {VERSION, 1617, GONE},
      {REPORT, 31, REFUSED}, {READY, 317, REFUSED}, {0, 259, REFUSED},
  };
  for (const Row& r : rows) EXPECT_EQ(PadBusOutcomeFor(r.code, r.error), r.outcome) << r.code << " " << r.error;
}

// The output layer over the fake bus and the fake vJoy: the start-up binds only the chosen output and falls back to
// vJoy; a switch binds the new one before the old one goes; a refused report stays plugged in and goes again at the
// next tick; a pad gone away comes back; the pad binds on its own thread, and the ticks go on while the bus holds it;
// the bus sees the order it expects.
TEST(OutputLink, StartSwitchLoseAndReleaseInTheBussOrder) {
  enum Act { START, TICK, TO_VJOY, TO_PAD, RELEASE, TICKING };  // TICKING: in real time, until a tick takes the bind
  struct Step { Act act; int chosen; FakeBusAnswers bus; int vjoy; const char* calls; const char* notice; int pad; };
  auto B = [](auto change) { FakeBusAnswers a; change(a); return a; };
  const FakeBusAnswers slow = B([](auto& a) { a.readyHoldMs = 1000; }), stuck = B([](auto& a) { a.readyHoldMs = -1; });
  const char* plug = "Open CheckVersion(8,1)=0 PlugIn(16,1,0,0,0)=87 PlugIn(16,2,0,0,0)=0 ";
  const char* rebind = "Open CheckVersion(8,1)=0 PlugIn(16,1,0,0,0)=0 ";
  const char* lost = "Xbox pad: Disconnected, retrying";
  const Step steps[] = {
      {START, 1, {}, 1, "+WaitReady(8,2)=0 ", "", 1},
      {TICK, 1, B([](auto& a) { a.refuseReports = 1; }), 1, "Report(20,2,0,0,0,15045,0,0,0)=259 ", "", 1},
      {TICK, 1, {}, 1, "Report(20,2,0,0,0,15045,0,0,0)=0 ", "", 1},  // the same pad, at the next tick
      {TICK, 1, B([](auto& a) { a.reportsLeft = 0; }), 1, "Report(20,2,0,0,0,15045,0,0,0)=22 Unplug(8,2)=22 Close ", lost, 1},
      {TICK, 1, {}, 1, "", lost, 1},                                    // a second from here
      {TICK, 1, {}, 1, "-WaitReady(8,1)=0 ", lost, 1},                  // on its own thread
      {TICK, 1, {}, 1, "Report(20,1,0,0,0,15045,0,0,0)=0 ", "", 1},      // taken at the next tick
      {TO_PAD, 1, B([](auto& a) { a.present = 0; }), 1, "", "", 1},     // in use already
      {TO_VJOY, 1, {}, 0, "", "vJoy is installed but not enabled.", 1}, {TO_VJOY, 0, {}, 1, "Unplug(8,1)=0 Close ", "", 0},
      {TO_PAD, 0, B([](auto& a) { a.present = 0; }), 1, "", "", 0},
      {TICK, 0, {}, 1, "", "Xbox pad: ViGEmBus not found", 0},
      {TO_PAD, 0, slow, 1, "-", "", 0}, {TICKING, 1, slow, 1, "WaitReady(8,1)=0 Report(20,1,0,0,0,15045,0,0,0)=0 ", "", 1},
      {TO_VJOY, 0, {}, 1, "Unplug(8,1)=0 Close ", "", 0},
      {TO_PAD, 0, stuck, 1, "-", "", 0}, {TICK, 0, stuck, 1, "", "", 0},  // vJoy goes on meanwhile
      {RELEASE, 0, stuck, 1, "WaitReady(8,1)=995 Unplug(8,1)=0 Close ", "", 0},  // the exit cancels it
      {START, 1, B([](auto& a) { a.knowsWaitReady = 0; }), 1, "+WaitReady(8,2)=87 ", "", 1},
      {START, 1, stuck, 1, "+WaitReady(8,2)=995 Unplug(8,2)=0 Close ", "Xbox pad: ViGEmBus refused, using vJoy", 0},
      {START, 1, B([](auto& a) { a.present = 0; }), 1, "", "Xbox pad: ViGEmBus not found, using vJoy", 0},
      {START, 1, B([](auto& a) { a.version = 2; }), 1, "Open CheckVersion(8,1)=50 Close ", "Xbox pad: ViGEmBus refused, using vJoy", 0},
      {START, 7, {}, 1, "", "", 0}, {START, 1, B([](auto& a) { a.opens = 0; }), 0, "", "Xbox pad: ViGEmBus refused, using vJoy", 0},
  };
  ResetToDefaults(), FakeSystemReset(), FakeBusReset();
  tuningSettings.autoCenterForce = 0, tuningSettings.padAntiDeadzone = 99, steeringState.steering = 18000;
  for (const Step& s : steps) {
    SCOPED_TRACE(&s - steps);
    if (s.act == START) OutputRelease(), FakeBusReset(), tuningSettings.outputDevice = s.chosen;
    if (PadBindEnded(0)) fakeBus.answers = s.bus;  // else the bind's thread reads them
    vjoyFake = VJoyFakeAnswers{}, vjoyFake.enabled = s.vjoy;
    if (s.act == START) VJoyFakeInstall();
    fakeSystem.clockMicros += 1000000;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point begun = Clock::now();
    Clock::time_point last = begun;
    Clock::duration gap{};
    const int done = s.act == START ? OutputStart() : s.act == TO_VJOY ? OutputSwitch(OUTPUT_VJOY) : s.act == TO_PAD ? OutputSwitch(OUTPUT_PAD)
                                                    : s.act == RELEASE ? (OutputRelease(), 1) : (OutputTick(), 1);
    while (s.act == TICKING && outputLink.padBind != OUTPUT_PAD_BIND_NONE && last - begun < std::chrono::seconds(3)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(4)), OutputTick();
      gap = std::max(gap, Clock::now() - last), last = Clock::now();
    }
    EXPECT_TRUE(s.act != TICKING || (last - begun > std::chrono::milliseconds(900) && gap <= std::chrono::milliseconds(40)));
    for (int i = 0; i < 3000 && !PadBindEnded(1) && !FakeBusHolding(); ++i) {}  // until it ends or the bus holds it
    const std::string calls = FakeBusTakeCalls();
    EXPECT_EQ(calls, s.calls[0] == '+' ? plug + std::string(s.calls + 1) : s.calls[0] == '-' ? rebind + std::string(s.calls + 1) : s.calls);
    EXPECT_STREQ(s.act == RELEASE ? "" : OutputNotice(), s.notice);
    EXPECT_EQ(outputLink.device, s.pad ? OUTPUT_PAD : OUTPUT_VJOY);
    EXPECT_EQ(tuningSettings.outputDevice, s.chosen == 1);
    EXPECT_EQ(virtualJoystickLink.vjoyAcquired, !s.pad && s.vjoy && s.act != RELEASE);  // only the output in use
    EXPECT_EQ(done, s.act == START ? s.vjoy || s.pad : s.act == TO_PAD ? s.pad : s.act != TO_VJOY || !s.notice[0]);
    EXPECT_EQ(fakeBus.faults, 0);
  }
  EXPECT_EQ(tuningSettings.padAntiDeadzone, 40);
  char box[1024];
  FormatOutputFailure(box, sizeof box);
  EXPECT_NE(std::string(box).find("- Buttons 7-8\n\nThe Xbox 360 pad was chosen: ViGEmBus refused."), std::string::npos) << box;
}

// Reports in order; absolute ones hold positions 0..65535 over the primary screen or the two-screen desktop.
TEST(MouseReports, AbsolutePositionsBecomeMotionInPixels) {
  struct Row { uint16_t flags; uintptr_t device; int32_t x, y; uint32_t ms; int32_t dx, dy; };
  const Row rows[] = {
      {0, 1, 5, -3, 0, 5, -3},                                   // relative: as reported
      {1, 1, 65535, 65535, 0, 0, 0},                             // the first sample: no motion
      {1, 1, 32768, 0, 10, 960 - 1919, -1079},                   // not 32768 counts of motion
      {3, 1, 32768, 32768, 20, 0 - 960, 540},                    // the desktop runs from x -1920
      {3, 1, 65535, 32768, 30, 1919, 0},
      {1, 2, 0, 0, 40, 0, 0},                                    // another device starts afresh
      {0, 2, 7, 7, 45, 7, 7},                                    // relative in between: no effect
      {1, 2, 6554, 65535, 540, 192, 1079},                       // 500 ms later: still motion
      {1, 2, 0, 0, 1041, 0, 0},                                  // after more than 500 ms: afresh
      {1, 1, 0, 0, 1050, 0, 0},                                  // back to device 1: afresh
      {1, 1, 0, 0, 0xFFFFFFF0u, 0, 0}, {1, 1, 35, 61, 10, 1, 1},  // across the tick's wrap
  };
  const ScreenRect desktop = {-1920, 0, 1920, 1080}, primary = {0, 0, 1920, 1080};
  absoluteMouseTrack = {};
  for (const Row& r : rows) {
    int32_t dx = -99, dy = -99;
    MouseReportMotion(r.flags, r.device, r.x, r.y, r.ms, desktop, primary, &dx, &dy);
    EXPECT_EQ(std::make_pair(dx, dy), std::make_pair(r.dx, r.dy)) << r.ms;
  }
}

// Paths as raw input names them: USB with interface and collection, Bluetooth (VID source 0002), PS/2.
const std::string GUID = "#{378de44c-56ef-11d1-bc8c-00a0c91e6ec2}", USB = "\\\\?\\HID#VID_046D&PID_C077&MI_01&Col02#7&2a4e1c3b&0&000",
                  BT = "\\\\?\\HID#{00001124-0000-1000-8000-00805f9b34fb}_VID&0002046d_PID&b01a&Col01#8&2b1c&0&0000" + GUID;
MouseDevice Mouse(uintptr_t handle, const std::string& path, const char* serial = "", const char* name = "") {
  MouseDevice d{handle, {}, {}};
  MouseIdentityFromPath(path.c_str(), &d.identity);
  std::snprintf(d.identity.serial, MOUSE_SERIAL_SIZE, "%s", serial), std::snprintf(d.name, MOUSE_NAME_SIZE, "%s", name);
  return d;
}
std::string Encoded(const MouseIdentity& id) { char t[242] = ""; return MouseIdentityEncode(id, t, sizeof t) ? t : "refused"; }

// The identity a path names, its one line and what reads back; then what the reader refuses.
TEST(MouseChoice, IdentityFromThePathAndItsOneLine) {
  const std::string longPath = USB + std::string(160, '0') + GUID;
  const struct { std::string path; const char* serial; std::string line; } rows[] = {
      {USB + "0" + GUID, "", "046D:C077:01:02::" + USB + "0" + GUID}, {BT, "A0:b1 %\x7f", "046D:B01A::01:A0%3Ab1%20%25%7F:" + BT},
      {"\\\\?\\ACPI#PNP0F13#4&1&0" + GUID, "", "::::" ":\\\\?\\ACPI#PNP0F13#4&1&0" + GUID}, {"\\\\?\\HID#RAPID_1#x", "", "::::" ":\\\\?\\HID#RAPID_1#x"},
      {longPath, "S1", "046D:C077:01:02:S1:"},  // too long with its path: the identity alone
      {"\\\\?\\ACPI#PNP0F13#" + std::string(220, '0'), "", "refused"}};
  for (const auto& r : rows) {
    const MouseDevice d = Mouse(7, r.path, r.serial);
    ASSERT_EQ(Encoded(d.identity), r.line);
    MouseIdentity back{};
    EXPECT_EQ(MouseIdentityDecode(r.line.c_str(), &back) ? Encoded(back) : "refused", r.line);
  }
  for (const std::string& bad : std::vector<std::string>{"", ":::::", "046D", "46D:C077:::x:p", "046D:C077:1:::p", "046D:C077:::a b:p", "046D:C077:::%4:p",
                                "046D:C077:::%00:p", "046D:C077:::" + std::string(64, 's') + ":p", ":::::" + std::string(256, 'p')}) {
    MouseIdentity id{};
    EXPECT_EQ(MouseIdentityDecode(bad.c_str(), &id), 0) << bad;
  }
  std::snprintf(tuningSettings.steeringMouse, 242, "%s", "046D:zz"), MouseChoiceLoad();
  EXPECT_EQ(mouseChoice.chosen + int(std::strlen(tuningSettings.steeringMouse)), 0) << "malformed: any mouse";
}

// Two of one model without a serial (one on a new port), the same model with one, another model.
TEST(MouseChoice, FoundAgainByPathThenByAnIdentityOnlyOneDeviceHas) {
  const MouseDevice mice[] = {Mouse(1, USB + "1" + GUID), Mouse(2, USB + "2" + GUID), Mouse(3, USB + "3" + GUID, "X1"), Mouse(4, BT)};
  std::string lower = USB + "1" + GUID;
  for (char& c : lower) c = char(std::tolower(c));
  const struct { std::string path; const char* serial; int count, found; } rows[] = {
      {USB + "2" + GUID, "", 4, 1}, {lower, "", 4, 0}, {USB + "9" + GUID, "", 4, MOUSE_FIND_AMBIGUOUS}, {USB + "9" + GUID, "", 1, 0},
      {USB + "9" + GUID, "X1", 4, 2}, {USB + "9" + GUID, "X2", 4, MOUSE_FIND_NONE}, {"\\\\?\\HID#VID_046D&PID_B01A#9" + GUID, "", 4, MOUSE_FIND_NONE},
      {"\\\\?\\ACPI#PNP0F13#1", "", 4, MOUSE_FIND_NONE}, {BT, "", 0, MOUSE_FIND_NONE}};
  for (const auto& r : rows) EXPECT_EQ(MouseDeviceFind(Mouse(0, r.path, r.serial).identity, mice, r.count), r.found) << r.path;
}

// "Use the Next Mouse I Move", then reports of the chosen mouse, of another and without a device; the chosen mouse
// leaves and comes back on another port. Left and right are its own, whatever the system's buttons say.
TEST(MouseChoice, TheMouseMovedFirstAloneSteersWithItsOwnButtons) {
  ResetToDefaults(), FakeSystemReset(), MouseChoiceClear();
  const struct { uintptr_t device; int32_t dx, dy; uint64_t at; int chosen; } moves[] = {
      {0, 90, 0, 1, 0}, {5, 10, -9, 2, 0}, {6, -19, 0, 3, 0}, {5, 0, 1, 4, 1}, {5, 5, 0, 5, 0}};  // looked at once
  MouseSelectionStart(0);
  for (const auto& m : moves) EXPECT_EQ(MouseSelectionFeed(m.device, m.dx, m.dy, m.at), m.chosen) << m.at;
  MouseSelectionStart(0);
  EXPECT_EQ(MouseSelectionFeed(5, 50, 0, MOUSE_SELECT_WINDOW_US + 1) + MouseSelectionActive(0), 0) << "too late";
  const MouseDevice chosen = Mouse(5, USB + "1" + GUID, "", "Wireless Mouse"), moved = Mouse(8, USB + "4" + GUID, "", "Wireless Mouse");
  ASSERT_EQ(MouseChoiceTake(chosen), 1);
  EXPECT_EQ(std::string(tuningSettings.steeringMouse), "046D:C077:01:02::" + USB + "1" + GUID);
  fakeSystem.leftDown = fakeSystem.rightDown = 1;
  const struct { uintptr_t device; uint16_t flags; int taken, left, right; int arrived = -1; int list = 0; } reports[] = {
      {5, 0, 1, 0, 0}, {6, 0x5, 0, 0, 0}, {0, 0x5, 0, 0, 0}, {5, 0x45, 1, 1, 1}, {5, 0x2, 1, 0, 1},
      {6, 0, 0, 0, 1, 0}, {5, 0, 0, 0, 0, 0},     // another mouse leaves; then the chosen one: all let go
      {5, 0x1, 0, 0, 0, 1, 1}, {8, 0x1, 1, 1, 0}};  // back, found by its identity on a new port
  tuningSettings.accelBrakeMode = 1;
  for (const auto& r : reports) {
    if (r.arrived >= 0) {
      EXPECT_EQ(MouseChoiceDeviceChange(r.arrived, r.device == 5 && !r.list ? 5 : 9), r.list);
      if (r.list) MouseChoiceFollow(&moved, 1);
    }
    EXPECT_EQ(MouseReportTake(r.device, r.flags, 0), r.taken) << r.device << " " << r.flags;
    if (r.taken) ApplyPedalDelta(-10);
    EXPECT_EQ(EngineLeftButtonDown() * 2 + EngineRightButtonDown(), r.left * 2 + r.right) << r.device << " " << r.flags;
    EXPECT_EQ(steeringState.throttle > 0, r.right == 1);
  }
  EXPECT_EQ(steeringState.mouseButtons, MOUSE_HELD_LEFT) << "the back button went with the mouse";
  char label[160];
  MouseChoiceDeviceChange(0, 8), MouseChoiceLabel(label, sizeof label);
  EXPECT_EQ(std::to_string(MouseReportTake(0, 0x1, 0)) + StatusNoticeText(NOTICE_MOUSE) + " | " + label,
            "0Steering mouse not connected | Wireless Mouse (not connected)") << "nothing steers, not even device 0";
  EXPECT_NE(std::string(tuningSettings.steeringMouse).find(USB + "4"), std::string::npos) << "the new path kept";
  MouseChoiceClear(), MouseChoiceLabel(label, sizeof label);
  EXPECT_EQ(std::to_string(MouseReportTake(0, 0, 0) + EngineLeftButtonDown()) + StatusNoticeText(NOTICE_MOUSE) + label, "2Any mouse");
}

TEST(MouseLock, ParksAtTheRightEdgeOfTheForegroundWindowsMonitor) {
  const ScreenRect a = {0, 0, 1920, 1080}, b = {1920, -200, 4480, 1240}, c = {-1280, 100, 0, 1124};
  struct Row { std::vector<ScreenRect> monitors; ScreenRect window; bool none; int32_t x, y; };
  const Row rows[] = {
      {{a}, {100, 100, 800, 600}, false, 1919, 540}, {{a}, {}, true, 1919, 540},  // one monitor: as ever
      {{a, b}, {2000, 0, 2500, 400}, false, 4479, 520}, {{b, a}, {1000, 0, 2200, 500}, false, 1919, 540},
      {{a, b}, {1800, 0, 3000, 500}, false, 4479, 520},  // mostly on b
      {{b, a, c}, {}, true, 1919, 540},                   // no window: the primary, at (0, 0)
      {{a, c}, {-900, 200, -100, 700}, false, -1, 612}, {{a, b, c}, {-5000, 300, -4000, 400}, false, -1, 612},  // nearest
      {{a, b}, {5000, 0, 5100, 100}, false, 4479, 520},
  };
  for (const Row& r : rows) {
    int32_t x = 0, y = 0;
    EXPECT_EQ(MouseLockParkPoint(r.monitors.data(), int(r.monitors.size()), r.none ? nullptr : &r.window, &x, &y), 1);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(r.x, r.y)) << r.window.left;
  }
  int32_t x = 0, y = 0;
  EXPECT_EQ(MouseLockParkPoint(nullptr, 0, nullptr, &x, &y), 0);
}

}  // namespace

// Report bytes as vJoy delivers them, written from its FFB descriptor: byte 0 is device 1 and the id.
std::vector<uint8_t> SetEffect22(uint8_t type, uint16_t dir, uint16_t ms = 0xFFFF) {
  return {0x11, 1, type, uint8_t(ms), uint8_t(ms >> 8), 0, 0, 0, 0, 0, 0, 255, 0xFF, 0x04, uint8_t(dir), uint8_t(dir >> 8)};
}
int ApplyBytes(VJoyFfbTable& t, std::vector<uint8_t> d, uint16_t version, uint32_t cmd = FFB_CMD_WRITE_REPORT) {
  return VJoyFfbApply(t, VJoyFfbPacket{uint32_t(d.size() + 8), cmd, d.data()}, version, 1000);
}

TEST(GameForces, PacketsOfBothVersionsDecodeWithTheirSigns) {
  VJoyFfbTable t;
  VJoyFfbClear(t);
  const VJoyFfbEffect& e1 = t.effects[1];
  // 2.1: a byte direction (64 of 255 is east), gain 128, 1000 ms; then a spring replaces it in block 1.
  EXPECT_EQ(ApplyBytes(t, {0x11, 1, 1, 0xE8, 0x03, 0, 0, 0, 0, 0x80, 0xFF, 0x04, 64, 0}, 0x219), 1);
  EXPECT_EQ(e1.type, FFB_CONSTANT); EXPECT_EQ(e1.durationMs, 1000); EXPECT_EQ(e1.gain, 128);
  EXPECT_NEAR(e1.directionX, -1, 0.001);
  ApplyBytes(t, {0x15, 1, 0xF0, 0xD8}, 0x219);  // -10000, which the library's helper reads as 55536
  EXPECT_EQ(e1.magnitude, -10000);
  ApplyBytes(t, {0x11, 1, 1, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0x03, 0xFF, 0}, 0x219);  // Cartesian, DirX -1: from the west
  EXPECT_EQ(e1.directionX, 1); EXPECT_EQ(e1.magnitude, -10000);
  ApplyBytes(t, {0x11, 1, 1, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0x01, 0, 0}, 0x219);  // one axis, no direction
  EXPECT_EQ(e1.directionX, 1);
  ApplyBytes(t, {0x11, 1, 8, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0x04, 0, 0}, 0x219);
  EXPECT_EQ(e1.type, FFB_SPRING); EXPECT_EQ(e1.magnitude, 0);
  ApplyBytes(t, {0x13, 1, 0, 0x88, 0x13, 0x10, 0x27, 0xF0, 0xD8, 0x10, 0x27, 0x40, 0x1F, 0xE8, 0x03}, 0x219);
  ApplyBytes(t, {0x13, 1, 1, 0x18, 0xFC, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0x219);  // the Y block leaves X alone
  EXPECT_EQ(e1.centerOffset, 5000); EXPECT_EQ(e1.negativeCoefficient, -10000); EXPECT_EQ(e1.negativeSaturation, 8000);
  EXPECT_EQ(e1.deadBand, 1000);
  EXPECT_EQ(ApplyBytes(t, {0x11, 8, 7}, 0x219, FFB_CMD_SET_FEATURE), 1);  // 2.1 has no index to hand out
  EXPECT_EQ(t.effects[7].type, FFB_NONE);
  // 2.2: the driver's index, a word direction (24576 of 32767 is west), the start delay, loops.
  ApplyBytes(t, {0x11, 2, 7}, 0x222, FFB_CMD_SET_FEATURE);
  EXPECT_EQ(t.effects[7].type, FFB_RAMP); EXPECT_EQ(t.effects[7].gain, 255);
  ApplyBytes(t, {0x11, 7, 2, 0xF4, 0x01, 0, 0, 0, 0, 0xC8, 0, 0xFF, 0xFF, 0x04, 0x00, 0x60}, 0x222);
  ApplyBytes(t, {0x16, 7, 0x78, 0xEC, 0x88, 0x13}, 0x222), ApplyBytes(t, {0x1A, 7, 1, 255}, 0x222);
  const VJoyFfbEffect& e7 = t.effects[7];
  EXPECT_EQ(e7.startDelayMs, 200); EXPECT_NEAR(e7.directionX, 1, 0.001); EXPECT_EQ(e7.rampStart, -5000);
  EXPECT_EQ(e7.rampEnd, 5000); EXPECT_EQ(e7.playing, 1); EXPECT_EQ(e7.loops, 255); EXPECT_EQ(e7.startMicros, 1000u);
  ApplyBytes(t, {0x11, 7, 4, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0x03, 0x01, 0x00, 0xFF, 0xFF}, 0x222);
  ApplyBytes(t, {0x14, 7, 0x10, 0x27, 0x30, 0xF8, 0, 0, 0x64, 0, 0, 0}, 0x222);
  EXPECT_EQ(e7.type, FFB_SINE); EXPECT_EQ(e7.directionX, -1); EXPECT_EQ(e7.periodicOffset, -2000);
  ApplyBytes(t, {0x1D, 0x80}, 0x222), ApplyBytes(t, {0x1C, 2}, 0x222);
  EXPECT_EQ(t.deviceGain, 128); EXPECT_EQ(t.actuatorsOff, 1);
  ApplyBytes(t, {0x1B, 7}, 0x222);  // Block Free
  EXPECT_EQ(e7.type, FFB_NONE); EXPECT_EQ(e1.type, FFB_SPRING);
  // Another device's packet, a short one and an index past the pool change nothing.
  EXPECT_EQ(ApplyBytes(t, {0x25, 1, 0x10, 0x27}, 0x222) + ApplyBytes(t, {0x15, 1, 0x10}, 0x222) +
                ApplyBytes(t, {0x15, 101, 0x10, 0x27}, 0x222), 0);
  EXPECT_EQ(t.packets, 17u);
}

std::vector<uint8_t> START = {0x1A, 1, 1, 1}, STOP_ALL = {0x1C, 3}, RESET = {0x1C, 4};

// The model through the output tick at 1 ms: packets at the start, more halfway, the wheel at the end.
TEST(GameForces, EffectsMoveTheWheelAndHoldItsCentring) {
  struct Row { std::vector<std::vector<uint8_t>> first, later; int reversed; float centring, from; int ms; float wheel, near; };
  const uint16_t E = 8192, W = 24576;  // 90 and 270 degrees
  const Row rows[] = {
      {{SetEffect22(1, E), {0x15, 1, 0x88, 0x13}, START}, {}, 0, 0, 16384, 500, 8192, 20},  // +5000 from the east
      {{SetEffect22(1, W), {0x15, 1, 0x88, 0x13}, START}, {}, 0, 0, 16384, 500, 24576, 20},
      {{SetEffect22(1, E), {0x15, 1, 0x88, 0x13}, START}, {}, 1, 0, 16384, 500, 24576, 20},  // reversed
      {{SetEffect22(1, E), {0x15, 1, 0xF0, 0xD8}, START}, {}, 0, 0, 16384, 250, 24576, 20},  // -10000
      {{SetEffect22(1, E), {0x15, 1, 0x10, 0x27}, {0x1D, 128}, START}, {}, 0, 0, 16384, 500, 8160, 20},
      {{SetEffect22(1, E, 100), {0x15, 1, 0x10, 0x27}, {0x1A, 1, 1, 2}}, {}, 0, 0, 16384, 500, 9840, 40},  // 2 loops of 100 ms
      {{SetEffect22(1, E), {0x12, 1, 0, 0, 0, 0, 0xF4, 1, 0, 0, 0, 0, 0, 0}, {0x15, 1, 0x10, 0x27}, START}, {}, 0, 0,
       16384, 500, 8192, 20},  // attack from 0 over the half second: half the force on average
      {{SetEffect22(8, 0), {0x13, 1, 0, 0x88, 0x13, 0x10, 0x27, 0x10, 0x27, 0x10, 0x27, 0x10, 0x27, 0, 0}, START}, {}, 0, 5,
       16384, 5000, 24576, 30},  // a spring holds the wheel at its offset, centring off
      {{SetEffect22(8, 0), {0x13, 1, 0, 0, 0, 0x10, 0x27, 0x10, 0x27, 0x10, 0x27, 0x10, 0x27, 0xE8, 0x03}, START}, {}, 0, 5,
       24576, 5000, 18022, 30},  // stops at the dead band's edge
      {{SetEffect22(8, 0), {0x13, 1, 0, 0, 0, 0x10, 0x27, 0x10, 0x27, 0x10, 0x27, 0x10, 0x27, 0xE8, 0x03}, START}, {}, 0, 5,
       18000, 500, 18000, 0},  // inside it: nothing moves
      {{SetEffect22(4, E), {0x14, 1, 0x10, 0x27, 0xD0, 0x07, 0, 0, 0x64, 0, 0, 0}, START}, {}, 0, 0, 16384, 500, 13107, 20},
      {{SetEffect22(4, E), {0x14, 1, 0x10, 0x27, 0, 0, 0, 0, 0x64, 0, 0, 0}, START}, {}, 0, 5, 17000, 500, 16384, 0},
      {{SetEffect22(1, E), {0x15, 1, 0x88, 0x13}, START}, {STOP_ALL}, 0, 0, 16384, 500, 12288, 20},
      {{SetEffect22(1, E), {0x15, 1, 0x88, 0x13}, START}, {{0x1C, 5}}, 0, 0, 16384, 500, 12288, 20},  // paused
      {{SetEffect22(1, E), {0x15, 1, 0x88, 0x13}, START}, {RESET, START}, 0, 0, 16384, 500, 12288, 20},
      {{SetEffect22(1, E, 250), START}, {}, 0, 5, 20000, 240, 20000, 0},  // a zero force still holds centring
      {{SetEffect22(1, E, 250), START}, {}, 0, 5, 20000, 1000, 16384, 0},  // and gives it back at its end
  };
  for (const Row& r : rows) {
    ResetToDefaults(), VJoyFakeReset(), VJoyFfbReset(), VJoyFfbSetVersion(0x222);
    fakeSystem.overrideClock = 1, fakeSystem.clockMicros = 1000000;
    OutputTick();  // forces off: the next start has no gap behind it
    tuningSettings.gameForces = 1, tuningSettings.gameForcesReversed = r.reversed;
    tuningSettings.autoCenterForce = r.centring, steeringState.steering = r.from;
    for (int ms = 0; ms <= r.ms; ++ms) {
      for (auto d : ms == 0 ? r.first : ms == r.ms / 2 ? r.later : std::vector<std::vector<uint8_t>>{}) {
        VJoyFfbPacket p{uint32_t(d.size() + 8), FFB_CMD_WRITE_REPORT, d.data()};
        VJoyFfbReceive(&p, nullptr);
      }
      OutputTick(), fakeSystem.clockMicros += 1000;
    }
    EXPECT_NEAR(steeringState.steering, r.wheel, r.near) << &r - rows;
  }
  EXPECT_STREQ(OutputNotice(), "vJoy: force feedback not enabled on device 1");  // the fake has no FFB
  FakeSystemReset();
}

// After ticks in a row, whether the loop may stop its clock: only when nothing changes without a report, a message
// or a force packet. Each row starts from a tick that published its wheel, forces and centring off, a second ago.
TEST(OutputTick, RestsOnlyWhenNothingChangesWithoutInput) {
  enum Extra { NONE, HELD, DELAY, SPRING, ENDED, PAUSED, PACKET, REFUSED, LOST, SAVE };
  struct Row { const char* name; float force, from; Extra extra; int ticks, rests; };
  const Row rows[] = {
      {"at centre", 5, 16384, NONE, 1, 1}, {"centring off", 0, 20000, NONE, 2, 1}, {"left button held", 5, 20000, HELD, 2, 1},
      {"centring pending", 5, 20000, NONE, 2, 0}, {"a centring delay running", 5, 20000, DELAY, 3, 0},
      {"the tick landed on centre", 5, 16388, NONE, 1, 0}, {"then an unchanged publish", 5, 16388, NONE, 2, 1},
      {"a spring plays, nothing moves", 0, 18000, SPRING, 2, 0}, {"a force ended", 0, 16384, ENDED, 2, 1},
      {"forces paused", 0, 16384, PAUSED, 2, 1}, {"a packet since the tick", 0, 16384, PACKET, 2, 0},
      {"a refused pad report", 0, 16384, REFUSED, 2, 0}, {"a lost device", 0, 16384, LOST, 2, 0},
      {"a save pending", 0, 16384, SAVE, 2, 0},
  };
  const std::vector<uint8_t> spring = {0x13, 1, 0, 0, 0, 0x10, 0x27, 0x10, 0x27, 0x10, 0x27, 0x10, 0x27, 0xE8, 0x03};
  auto send = [](const std::vector<uint8_t>& d) {
    VJoyFfbPacket p{uint32_t(d.size() + 8), FFB_CMD_WRITE_REPORT, d.data()};
    VJoyFfbReceive(&p, nullptr);
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    OutputRelease(), ResetToDefaults(), FakeSystemReset(), FakeBusReset(), VJoyFakeReset(), VJoyFfbReset(), VJoyFfbSetVersion(0x222);
    TuningSettings& t = tuningSettings;
    fakeSystem.overrideClock = 1, fakeSystem.clockMicros = 1000000, t.autoCenterForce = 0, steeringState.steering = r.from;
    if (r.extra == REFUSED) t.outputDevice = OUTPUT_PAD, OutputStart(), fakeBus.answers.refuseReports = 9;
    OutputTick();
    const std::vector<std::vector<uint8_t>> packets =
        r.extra == SPRING ? std::vector<std::vector<uint8_t>>{SetEffect22(8, 0), spring, START}
        : r.extra == ENDED ? std::vector<std::vector<uint8_t>>{SetEffect22(1, 8192, 250), START}
        : r.extra == PAUSED ? std::vector<std::vector<uint8_t>>{SetEffect22(1, 8192), START, {0x1C, 5}} : std::vector<std::vector<uint8_t>>{};
    for (const auto& d : packets) send(d);
    fakeSystem.clockMicros += 1000000, steeringState.lastSteerMicros = fakeSystem.clockMicros;
    t.autoCenterForce = r.force, t.autoCenterDelay = r.extra == DELAY ? 500 : 0, fakeSystem.leftDown = r.extra == HELD;
    t.gameForces = r.extra >= SPRING && r.extra <= PACKET, vjoyFake.updatesLeft = r.extra == LOST ? 0 : -1;
    if (r.extra == SAVE) RequestSettingsSave();
    for (int i = 0; i < r.ticks; ++i) OutputTick(), fakeSystem.clockMicros += 16000;
    if (r.extra == PACKET) send(START);
    EXPECT_EQ(OutputAtRest(SettingsSavePending()), r.rests);
    EXPECT_TRUE(r.extra != DELAY || steeringState.steering == r.from) << "the delay holds the wheel";
    SettingsSaveDue(0) || SettingsSaveDue(1u << 31);
  }
  OutputRelease(), FakeSystemReset();
}
