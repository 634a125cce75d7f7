#include "engine/tuning.h"

#include <cstring>

TuningSettings tuningSettings;
SteeringState steeringState;

void ResetToDefaults() {
  TuningSettings& t = tuningSettings;
  t.sensitivity = 45.0f;
  t.responseCurve = 1.5f;
  t.smoothing = 2;
  t.autoCenterForce = 5.0f;
  t.steeringLimit = 100.0f;
  t.curveOnSteering = 1;
  t.startMin = 1;
  t.startWithWindows = 0;
  t.accelBrakeMode = 1;
  std::memset(t.hotkeyLock, 0, sizeof t.hotkeyLock);
  std::memset(t.hotkeyRecenter, 0, sizeof t.hotkeyRecenter);
  std::memset(t.profile, 0, sizeof t.profile);
  std::memset(t.game, 0, sizeof t.game);
  std::memset(t.steeringMouse, 0, sizeof t.steeringMouse);
  std::strcpy(t.hotkeyLock, "F4");
  std::strcpy(t.hotkeyRecenter, "^R");
  std::strcpy(t.profile, "Default");
  t.directMode = 0;
  t.autoProfile = 1;
  t.outputDevice = 0;
  t.padAntiDeadzone = 0;
  t.autoCenterDelay = 0;
  t.scrollThrottle = 0;
  t.gameForces = 0;
  t.gameForceStrength = 100;
  t.gameForcesReversed = 0;

  steeringState = SteeringState{};
  steeringState.steering = 16384.0f;
}
