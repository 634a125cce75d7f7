// The two process-wide records the whole program works on: the persisted tuning
// and the live steering values. Plain data, read and written directly, always on
// the one thread that owns the windows.
#pragma once

#include <cstdint>

// Field names double as the keys of the settings and profile files.
struct TuningSettings {
  float sensitivity;      // axis units per (smoothed) mouse count
  float responseCurve;    // non-linearity exponent, 1.0 = linear
  int32_t smoothing;      // moving-average window over horizontal deltas, 0 = raw
  float autoCenterForce;  // pull toward centre per output tick, 0 = none
  float steeringLimit;    // wheel range, percent of full travel each side
  int32_t curveOnSteering;
  int32_t startMin;
  int32_t startWithWindows;
  int32_t accelBrakeMode;  // 0: vertical motion always drives the pedals; 1: only with right button
  char hotkeyLock[32];
  char hotkeyRecenter[32];
  char profile[128];
  int32_t directMode;  // 1: every report counts and the axes go out as it arrives
  int32_t autoProfile;  // profiles that name a game load when it comes to the front
  int32_t outputDevice;     // OutputDevice: 0 vJoy, 1 the Xbox 360 pad
  int32_t padAntiDeadzone;  // percent of the pad's stick a non-zero value starts past
  int32_t gameForces;          // 1: the game's force-feedback effects move the wheel (vJoy only)
  int32_t gameForceStrength;   // percent, 0..200
  int32_t gameForcesReversed;  // 1: the game's directed forces taken the other way round
  char game[128];       // the active profile's games: file names separated by ';'
  int32_t autoCenterDelay;  // ms without horizontal motion before centring pulls, 0 = at once
  int32_t scrollThrottle;   // percent of full throttle per wheel notch, 0 = off
  char steeringMouse[242];  // the one mouse that steers (input/mouse_choice.h), "" = any
};

constexpr int32_t AUTO_CENTER_DELAY_MAX_MS = 2000;
constexpr int32_t SCROLL_THROTTLE_MAX = 25;

constexpr int STEERING_RING_SLOTS = 32;

struct SteeringState {
  float steering;  // wheel position, 0..32767, centre 16384
  float throttle;  // 0..32767
  float brake;     // 0..32767
  int32_t smoothingRing[STEERING_RING_SLOTS];
  int32_t ringIndex;
  int32_t ringCount;
  int32_t smoothingCarry;    // direct mode: what the last average left over
  int32_t pedalLatch;        // +1 throttle, -1 brake, 0 none (right-click pedal mode)
  uint64_t lastRawInputMicros; // clock time of the last accepted raw-input report
  void* rawInputWindow;      // HWND of the hidden input window
  int32_t mouseLocked;
  int32_t leftButtonHeld;    // left button was down at the last output tick
  int32_t profileModified;
  int32_t currentTab;        // 0 Controls, 1 Profiles, 2 Settings
  uint64_t lastSteerMicros;  // clock time of the last horizontal motion (centring delay)
  float cruiseThrottle;      // the scroll wheel's throttle, 0..32767
  uint32_t mouseButtons;     // MOUSE_HELD_* bits, as the raw reports left them
  int32_t buttonsFromReports;  // 1: left and right come from mouseButtons (one mouse chosen)
};

extern TuningSettings tuningSettings;
extern SteeringState steeringState;

// Every field of both records back to its start value; startWithWindows is left
// 0 for start-up to fill from the launch-at-startup entry.
void ResetToDefaults();
