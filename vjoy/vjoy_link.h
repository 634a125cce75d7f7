// The link to the vJoy driver's interface library, loaded at run time: device 1
// is acquired at start-up, axes and buttons are sent, the device is released at exit.
#pragma once

#include <cstddef>
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
typedef int32_t(VJOY_CALL* UpdateVJDProc)(uint32_t device, void* position);

// The device's whole state as UpdateVJD takes it: vJoy's larger (second)
// position record, laid out as its public header declares it with default
// packing: one byte, then 32-bit fields from offset 4.
struct VJoyPositionRecord {
  uint8_t device;  // 1-based
  int32_t throttle, rudder, aileron;
  int32_t x, y, z, rx, ry, rz;
  int32_t slider, dial, wheel;
  int32_t vx, vy, vz, vbrx, vbry, vbrz;
  int32_t buttons;        // bit n: button n + 1
  uint32_t hats[4];       // all bits set: neutral (0 would be north)
  int32_t moreButtons[3];  // buttons 33 to 128
};
static_assert(offsetof(VJoyPositionRecord, throttle) == 4, "first axis after the byte's padding");
static_assert(offsetof(VJoyPositionRecord, x) == 16 && offsetof(VJoyPositionRecord, y) == 20 &&
                  offsetof(VJoyPositionRecord, z) == 24, "X, Y, Z");
static_assert(offsetof(VJoyPositionRecord, buttons) == 76, "buttons 1-32");
static_assert(offsetof(VJoyPositionRecord, hats) == 80, "hats");
static_assert(offsetof(VJoyPositionRecord, moreButtons) == 96, "buttons 33-128");
static_assert(sizeof(VJoyPositionRecord) == 108, "the whole record");

struct VirtualJoystickLink {
  void* library;  // HMODULE; never unloaded
  VJoyEnabledProc vJoyEnabled;
  AcquireVJDProc AcquireVJD;
  RelinquishVJDProc RelinquishVJD;
  GetVJDStatusProc GetVJDStatus;
  SetAxisProc SetAxis;
  SetBtnProc SetBtn;
  ResetVJDProc ResetVJD;
  UpdateVJDProc UpdateVJD;  // optional: without it each value is a call of its own
  int32_t vjoyAcquired;  // 1 while device 1 is owned
  VJoyPositionRecord position;  // neutral after the bind, but for our values
};

extern VirtualJoystickLink virtualJoystickLink;

// 1 when device 1 is acquired, 0 on any failure. A library lacking any of the
// seven entry points is refused before anything is called through it;
// UpdateVJD is used when it is there.
int32_t VJoyBind();
// Axes X, Y, Z and buttons 7 (left) and 8 (right): one UpdateVJD where the
// library has it, else SetAxis three times and SetBtn twice. Only while the
// device is acquired; otherwise nothing.
void VJoyPublish(int32_t x, int32_t y, int32_t z, int32_t left, int32_t right);
// Resets and gives up the device if held; a second call does nothing.
void VJoyRelease();
