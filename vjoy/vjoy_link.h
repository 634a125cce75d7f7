// The link to the vJoy driver's interface library, loaded at run time: device 1
// is acquired at bind, axes and buttons are sent, a device lost on the way is
// let go and taken again, and the device is released at exit. Whether it is
// bound, lost or released, and when to try again, is the output layer's
// (engine/output_link.h).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t VJOY_AXIS_X = 0x30;
constexpr uint32_t VJOY_AXIS_Y = 0x31;
constexpr uint32_t VJOY_AXIS_Z = 0x32;

// vJoyInterface.dll's entry points as this program calls them. BOOL is a 32-bit
// int, UINT and LONG are 32 bits on Windows, UCHAR 8 bits, SHORT and WORD 16;
// x64 has one calling convention, which the library's headers spell __cdecl.
#if defined(_WIN32)
#define VJOY_CALL __cdecl
#else
#define VJOY_CALL
#endif
typedef int32_t(VJOY_CALL* VJoyEnabledProc)(void);
typedef int32_t(VJOY_CALL* AcquireVJDProc)(uint32_t device);
typedef void(VJOY_CALL* RelinquishVJDProc)(uint32_t device);
typedef int32_t(VJOY_CALL* GetVJDStatusProc)(uint32_t device);
typedef int32_t(VJOY_CALL* SetAxisProc)(int32_t value, uint32_t device, uint32_t axis);
typedef int32_t(VJOY_CALL* SetBtnProc)(int32_t pressed, uint32_t device, uint8_t button);
typedef int32_t(VJOY_CALL* ResetVJDProc)(uint32_t device);
typedef int32_t(VJOY_CALL* UpdateVJDProc)(uint32_t device, void* position);
// Optional: used when the library exports them.
typedef int32_t(VJOY_CALL* DriverMatchProc)(uint16_t* libraryVersion, uint16_t* driverVersion);
typedef int32_t(VJOY_CALL* GetOwnerPidProc)(uint32_t device);  // low 16 bits of the pid only
typedef int16_t(VJOY_CALL* GetvJoyVersionProc)(void);
typedef int32_t(VJOY_CALL* GetVJDAxisExistProc)(uint32_t device, uint32_t axis);
typedef int32_t(VJOY_CALL* GetVJDButtonNumberProc)(uint32_t device);
// Optional force feedback: a library without them has none.
typedef void(VJOY_CALL* VJoyFfbCallback)(void* packet, void* user);
typedef void(VJOY_CALL* FfbRegisterGenCBProc)(VJoyFfbCallback callback, void* user);
typedef int32_t(VJOY_CALL* IsDeviceFfbProc)(uint32_t device);

// GetVJDStatus's answers.
constexpr int32_t VJOY_STATUS_OWN = 0;   // held by this process
constexpr int32_t VJOY_STATUS_FREE = 1;
constexpr int32_t VJOY_STATUS_BUSY = 2;  // held by another process
constexpr int32_t VJOY_STATUS_MISS = 3;  // no such device, or the driver is down

// The device's whole state as UpdateVJD takes it. vJoy 2.1 reads the first 108
// bytes (its second position record: one byte, then 32-bit fields from offset
// 4); vJoy 2.2, built for its third record, reads 124 and finds axes VZ to
// VBRZ moved to the tail. Both see our X, Y, Z and buttons in the same place,
// and every other axis at centre whichever record they read.
struct VJoyPositionRecord {
  uint8_t device;  // 1-based
  int32_t throttle, rudder, aileron;
  int32_t x, y, z, rx, ry, rz;
  int32_t slider, dial, wheel;
  int32_t vx, vy, vz, vbrx, vbry, vbrz;  // the third record: accelerator .. VY
  int32_t buttons;        // bit n: button n + 1
  uint32_t hats[4];       // all bits set: neutral (0 would be north)
  int32_t moreButtons[3];  // buttons 33 to 128
  int32_t tailVz, tailVbrx, tailVbry, tailVbrz;  // the third record's tail
};
static_assert(offsetof(VJoyPositionRecord, throttle) == 4, "first axis after the byte's padding");
static_assert(offsetof(VJoyPositionRecord, x) == 16 && offsetof(VJoyPositionRecord, y) == 20 &&
                  offsetof(VJoyPositionRecord, z) == 24, "X, Y, Z");
static_assert(offsetof(VJoyPositionRecord, buttons) == 76, "buttons 1-32");
static_assert(offsetof(VJoyPositionRecord, hats) == 80, "hats");
static_assert(offsetof(VJoyPositionRecord, moreButtons) == 96, "buttons 33-128");
static_assert(offsetof(VJoyPositionRecord, tailVz) == 108 &&
                  offsetof(VJoyPositionRecord, tailVbrz) == 120, "the third record's tail");
static_assert(sizeof(VJoyPositionRecord) == 124, "the larger of the two records");

// Why the start-up bind ended where it did, in the order the bind finds them.
enum VJoyBindOutcome {
  VJOY_BOUND,
  VJOY_NO_LIBRARY,
  VJOY_INCOMPLETE_LIBRARY,
  VJOY_NOT_ENABLED,
  VJOY_NO_DEVICE,
  VJOY_DEVICE_BUSY,
  VJOY_NOT_ACQUIRED,
};

constexpr size_t VJOY_OWNER_NAME_SIZE = 64;
constexpr size_t VJOY_NOTICE_SIZE = 64;

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
  DriverMatchProc DriverMatch;
  GetOwnerPidProc GetOwnerPid;
  GetvJoyVersionProc GetvJoyVersion;
  GetVJDAxisExistProc GetVJDAxisExist;
  GetVJDButtonNumberProc GetVJDButtonNumber;
  FfbRegisterGenCBProc FfbRegisterGenCB;
  IsDeviceFfbProc IsDeviceFfb;

  int32_t vjoyAcquired;  // 1 while device 1 is owned
  int32_t deviceFfb;     // device 1 has force feedback ("Enable Effects" in Configure vJoy)
  VJoyBindOutcome outcome;  // of the start-up bind
  int versionsDiffer;  // DriverMatch said no; the versions below are its answers
  uint16_t libraryVersion, driverVersion;
  char ownerName[VJOY_OWNER_NAME_SIZE];  // the busy device's owner, "" when not known
  char notice[VJOY_NOTICE_SIZE];  // for the status line: incomplete or mismatched
  int32_t buttonCount;  // device 1's buttons; 8 when the library cannot say
  VJoyPositionRecord position;  // neutral after the bind, but for our values
};

extern VirtualJoystickLink virtualJoystickLink;

// ---- Defined once for Win32 (vjoy_link_win32.cpp), once for the host tests ----

// Loads the library and looks up its entry points (once), then binds the
// device. 1 when device 1 is acquired, 0 on any failure; the outcome says why.
int32_t VJoyBind();
// The executable file name of the one running process whose id has these low
// 16 bits; 0 when none or more than one do.
int VJoyOwnerProcessName(uint16_t pidLow, char* name, size_t size);
void VJoyPause(uint32_t milliseconds);

// ---- Portable (vjoy_link.cpp) ----

// The bind once the library is loaded (or not) and its entry points looked up:
// checks the driver and the device, acquires it, notes what it lacks.
VJoyBindOutcome VJoyBindDevice();
// The one reason the bind failed, as the start-up box and the Settings tab say it.
void VJoyFailureReason(char* text, size_t size);
// The start-up failure box's text for the outcome of the bind.
void FormatVJoyFailure(char* text, size_t size);
// The gear buttons: the middle, back and forward mouse buttons, bits 0 to 2 of
// a publish's gears, go to vJoy buttons 9, 10 and 11.
constexpr uint8_t VJOY_BUTTON_FIRST_GEAR = 9;
constexpr int VJOY_GEAR_BUTTONS = 3;
// Axes X, Y, Z, buttons 7 (left) and 8 (right), and each gear button the
// device has: one UpdateVJD where the library has it, else SetAxis and SetBtn
// calls. 0 when the device is not held or the driver refused a call.
int VJoyPublish(int32_t x, int32_t y, int32_t z, int32_t left, int32_t right, uint32_t gears);
// After a refused update: the library keeps its stale handle (and says yes to
// the next acquire) until the device is let go, so let go at once.
void VJoyDrop();
// Takes a dropped device again when its status allows; no pause, so the loop
// can call it. 1 when it is held now.
int VJoyRebind();
// Resets and gives up the device if held; a second call does nothing.
void VJoyRelease();
