#include <gtest/gtest.h>

#include <cstring>

#include "engine/tuning.h"

TEST(ResetToDefaults, RestoresEveryTuningValueAndCentresTheWheel) {
  std::memset(&tuningSettings, 0x5A, sizeof tuningSettings);
  std::memset(&steeringState, 0x5A, sizeof steeringState);
  ResetToDefaults();
  EXPECT_FLOAT_EQ(tuningSettings.sensitivity, 45.0f);
  EXPECT_FLOAT_EQ(tuningSettings.responseCurve, 1.5f);
  EXPECT_EQ(tuningSettings.smoothing, 2);
  EXPECT_FLOAT_EQ(tuningSettings.autoCenterForce, 5.0f);
  EXPECT_FLOAT_EQ(tuningSettings.steeringLimit, 100.0f);
  EXPECT_EQ(tuningSettings.curveOnSteering, 1);
  EXPECT_EQ(tuningSettings.startMin, 1);
  EXPECT_EQ(tuningSettings.startWithWindows, 0);
  EXPECT_EQ(tuningSettings.accelBrakeMode, 1);
  EXPECT_STREQ(tuningSettings.hotkeyLock, "F4");
  EXPECT_STREQ(tuningSettings.hotkeyRecenter, "^R");
  EXPECT_STREQ(tuningSettings.profile, "Default");

  EXPECT_EQ(steeringState.steering, 16384.0f);
  EXPECT_EQ(steeringState.throttle, 0.0f);
  EXPECT_EQ(steeringState.brake, 0.0f);
  for (int slot : steeringState.smoothingRing) EXPECT_EQ(slot, 0);
  EXPECT_EQ(steeringState.ringIndex, 0);
  EXPECT_EQ(steeringState.ringCount, 0);
  EXPECT_EQ(steeringState.pedalLatch, 0);
  EXPECT_EQ(steeringState.lastRawInputTick, 0u);
  EXPECT_EQ(steeringState.rawInputWindow, nullptr);
  EXPECT_EQ(steeringState.mouseLocked, 0);
  EXPECT_EQ(steeringState.leftButtonHeld, 0);
  EXPECT_EQ(steeringState.profileModified, 0);
  EXPECT_EQ(steeringState.currentTab, 0);
}
