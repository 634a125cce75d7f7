// The link to the vJoy driver's interface library, loaded at run time: device 1
// is acquired at start-up, axes and buttons are sent, the device is released at exit.
#pragma once

#include <cstdint>

constexpr uint32_t VJOY_AXIS_X = 0x30;
constexpr uint32_t VJOY_AXIS_Y = 0x31;
constexpr uint32_t VJOY_AXIS_Z = 0x32;

struct VirtualJoystickLink {
  void* library;  // HMODULE; never unloaded
  void* vJoyEnabled;
  void* AcquireVJD;
  void* RelinquishVJD;
  void* GetVJDStatus;
  void* SetAxis;
  void* SetBtn;
  void* ResetVJD;
  int32_t vjoyAcquired;  // 1 while device 1 is owned
};

extern VirtualJoystickLink virtualJoystickLink;

int32_t VJoyBind();
void VJoySetAxis(uint32_t axis, int32_t value);
void VJoySetButton(uint8_t button, int32_t pressed);
void VJoyRelease();
