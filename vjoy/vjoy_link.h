// The link to the vJoy driver's interface library, loaded at run time: device 1
// is acquired at start-up, axes and buttons are sent, the device is released at exit.
#pragma once

#include <cstdint>

constexpr uint32_t VJOY_AXIS_X = 0x30;
constexpr uint32_t VJOY_AXIS_Y = 0x31;
constexpr uint32_t VJOY_AXIS_Z = 0x32;

// vJoyInterface.dll's entry points as this program calls them. BOOL is a 32-bit
// int, UINT and LONG are 32 bits on Windows, UCHAR 8 bits; x64 has one calling
// convention, which the library's headers spell __cdecl.
#if defined(_WIN32)
#define VJOY_CALL __cdecl
#else
#define VJOY_CALL
#endif
typedef int32_t(VJOY_CALL* VJoyEnabledProc)(void);
typedef int32_t(VJOY_CALL* AcquireVJDProc)(uint32_t device);
typedef void(VJOY_CALL* RelinquishVJDProc)(uint32_t device);
typedef int32_t(VJOY_CALL* GetVJDStatusProc)(uint32_t device);  // 0 owned here, 1 free
typedef int32_t(VJOY_CALL* SetAxisProc)(int32_t value, uint32_t device, uint32_t axis);
typedef int32_t(VJOY_CALL* SetBtnProc)(int32_t pressed, uint32_t device, uint8_t button);
typedef int32_t(VJOY_CALL* ResetVJDProc)(uint32_t device);

struct VirtualJoystickLink {
  void* library;  // HMODULE; never unloaded
  VJoyEnabledProc vJoyEnabled;
  AcquireVJDProc AcquireVJD;
  RelinquishVJDProc RelinquishVJD;
  GetVJDStatusProc GetVJDStatus;
  SetAxisProc SetAxis;
  SetBtnProc SetBtn;
  ResetVJDProc ResetVJD;
  int32_t vjoyAcquired;  // 1 while device 1 is owned
};

extern VirtualJoystickLink virtualJoystickLink;

// 1 when device 1 is acquired, 0 on any failure. A library lacking any of the
// seven entry points is refused before anything is called through it.
int32_t VJoyBind();
// Both send only while the device is acquired; otherwise they do nothing.
void VJoySetAxis(uint32_t axis, int32_t value);
void VJoySetButton(uint8_t button, int32_t pressed);
// Resets and gives up the device if held; a second call does nothing.
void VJoyRelease();
