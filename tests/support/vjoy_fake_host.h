// A recording stand-in for the vJoy link in the native build, where the real
// link (Win32 only) does not exist. Each send is recorded in call order, with
// whether the device was acquired at that moment.
#pragma once

#include <cstdint>

enum VJoyFakeCallKind { VJOY_FAKE_AXIS = 1, VJOY_FAKE_BUTTON = 2 };

struct VJoyFakeCall {
  int kind;        // VJOY_FAKE_AXIS or VJOY_FAKE_BUTTON
  uint32_t id;     // axis usage or button number
  int32_t value;
  int32_t acquired;  // virtualJoystickLink.vjoyAcquired when the call was made
};

constexpr int VJOY_FAKE_MAX_CALLS = 256;

struct VJoyFake {
  VJoyFakeCall calls[VJOY_FAKE_MAX_CALLS];
  int callCount;  // calls past the end of the record are not kept
};

extern VJoyFake vjoyFake;

// Forgets every call, and sets the link record to "acquired" so sends count.
void VJoyFakeReset();
