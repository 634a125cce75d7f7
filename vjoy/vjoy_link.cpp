// The bind, the publish and the recovery of a lost device, through the entry
// points the system half looked up, so that every decision runs on the host.
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "vjoy/vjoy_link.h"
#include "vjoy/vjoy_ffb.h"

VirtualJoystickLink virtualJoystickLink;

namespace {

const uint32_t VJOY_DEVICE = 1;
const uint32_t VJOY_RELINQUISH_PAUSE_MS = 100;
const int32_t VJOY_AXIS_CENTRE = 16384;
const uint8_t VJOY_BUTTON_LEFT = 7;
const uint8_t VJOY_BUTTON_RIGHT = 8;
const int32_t VJOY_BUTTONS_NEEDED = 8;

int VJoyEntriesComplete(const VirtualJoystickLink& link) {
  return link.vJoyEnabled && link.AcquireVJD && link.RelinquishVJD && link.GetVJDStatus &&
         link.SetAxis && link.SetBtn && link.ResetVJD;
}

void SetNotice(const char* text) {
  std::snprintf(virtualJoystickLink.notice, sizeof virtualJoystickLink.notice, "%s", text);
}

// UpdateVJD sets every control of the device: all but ours rest at centre,
// hats neutral, buttons up.
void ResetPositionRecord(VJoyPositionRecord& p) {
  p = VJoyPositionRecord{};
  p.device = static_cast<uint8_t>(VJOY_DEVICE);
  for (int32_t* axis : {&p.throttle, &p.rudder, &p.aileron, &p.x, &p.y, &p.z, &p.rx, &p.ry, &p.rz,
                        &p.slider, &p.dial, &p.wheel, &p.vx, &p.vy, &p.vz, &p.vbrx, &p.vbry, &p.vbrz,
                        &p.tailVz, &p.tailVbrx, &p.tailVbry, &p.tailVbrz}) {
    *axis = VJOY_AXIS_CENTRE;
  }
  for (uint32_t& hat : p.hats) hat = 0xFFFFFFFFu;
}

// What an acquired device lacks for a wheel with pedals, or a driver that does
// not match its library: the device still runs, the status line says so.
void NoteDeviceShortcomings() {
  VirtualJoystickLink& link = virtualJoystickLink;
  char text[VJOY_NOTICE_SIZE] = "";
  link.buttonCount = VJOY_BUTTONS_NEEDED;
  if (link.GetVJDAxisExist || link.GetVJDButtonNumber) {
    char missing[16] = "";
    int missingCount = 0;
    for (uint32_t axis = VJOY_AXIS_X; link.GetVJDAxisExist && axis <= VJOY_AXIS_Z; ++axis) {
      if (link.GetVJDAxisExist(VJOY_DEVICE, axis)) continue;
      const char name[2] = {static_cast<char>('X' + (axis - VJOY_AXIS_X)), 0};
      std::snprintf(missing + std::strlen(missing), sizeof missing - std::strlen(missing), "%s%s",
                    missingCount++ ? ", " : "", name);
    }
    const int32_t buttons =
        link.GetVJDButtonNumber ? link.GetVJDButtonNumber(VJOY_DEVICE) : VJOY_BUTTONS_NEEDED;
    link.buttonCount = buttons;
    const int fewButtons = buttons < VJOY_BUTTONS_NEEDED;
    if (missingCount || fewButtons) {
      char axesPart[32] = "", buttonsPart[24] = "";
      if (missingCount) {
        std::snprintf(axesPart, sizeof axesPart, "no %s %s", missing, missingCount > 1 ? "axes" : "axis");
      }
      if (fewButtons) {
        std::snprintf(buttonsPart, sizeof buttonsPart, "%d button%s", static_cast<int>(buttons),
                      buttons == 1 ? "" : "s");
      }
      std::snprintf(text, sizeof text, "vJoy: %s%s%s", axesPart,
                    missingCount && fewButtons ? ", " : "", buttonsPart);
    }
  }
  if (!text[0] && link.versionsDiffer) {
    std::snprintf(text, sizeof text, "vJoy: driver %X, library %X differ",
                  static_cast<unsigned>(link.driverVersion),
                  static_cast<unsigned>(link.libraryVersion));
  }
  SetNotice(text);
}

// Takes device 1 once its status allows; no pause, so the loop can call it.
int AcquireDevice() {
  VirtualJoystickLink& link = virtualJoystickLink;
  // The library starts its FFB thread at the acquire, with the callback it
  // holds then; the packets' layout follows its version.
  VJoyFfbReset();
  if (link.FfbRegisterGenCB) {
    VJoyFfbSetVersion(link.GetvJoyVersion ? static_cast<uint16_t>(link.GetvJoyVersion()) : 0);
    link.FfbRegisterGenCB(VJoyFfbReceive, nullptr);
  }
  if (!link.AcquireVJD(VJOY_DEVICE)) return 0;
  link.deviceFfb = link.FfbRegisterGenCB && link.IsDeviceFfb && link.IsDeviceFfb(VJOY_DEVICE);
  link.ResetVJD(VJOY_DEVICE);
  link.vjoyAcquired = 1;
  NoteDeviceShortcomings();
  return 1;
}

// Why the bind stops, or VJOY_BOUND: the checks in the order they are made.
VJoyBindOutcome BindOutcome() {
  VirtualJoystickLink& link = virtualJoystickLink;
  if (!link.library) return VJOY_NO_LIBRARY;
  // A library missing one of them is refused rather than called through a
  // null pointer later (ResetVJD and RelinquishVJD run at exit, SetBtn every tick).
  if (!VJoyEntriesComplete(link)) return VJOY_INCOMPLETE_LIBRARY;
  if (!link.vJoyEnabled()) return VJOY_NOT_ENABLED;
  if (link.DriverMatch) {
    uint16_t library = 0, driver = 0;
    link.versionsDiffer = !link.DriverMatch(&library, &driver);
    if (!library && link.GetvJoyVersion) library = static_cast<uint16_t>(link.GetvJoyVersion());
    link.libraryVersion = library;
    link.driverVersion = driver;
  }
  // Own (from an earlier run) or free; a busy device belongs to another
  // feeder and is left alone.
  const int32_t status = link.GetVJDStatus(VJOY_DEVICE);
  if (status == VJOY_STATUS_BUSY) {
    const int32_t owner = link.GetOwnerPid ? link.GetOwnerPid(VJOY_DEVICE) : 0;
    if (owner <= 0 || !VJoyOwnerProcessName(static_cast<uint16_t>(owner & 0xFFFF), link.ownerName,
                                             sizeof link.ownerName)) {
      link.ownerName[0] = 0;
    }
    return VJOY_DEVICE_BUSY;
  }
  if (status != VJOY_STATUS_OWN && status != VJOY_STATUS_FREE) return VJOY_NO_DEVICE;
  // Let go first so that a device left owned is taken afresh; the driver
  // needs a moment before it hands the device out again.
  link.RelinquishVJD(VJOY_DEVICE);
  VJoyPause(VJOY_RELINQUISH_PAUSE_MS);
  return AcquireDevice() ? VJOY_BOUND : VJOY_NOT_ACQUIRED;
}

}  // namespace

VJoyBindOutcome VJoyBindDevice() {
  VirtualJoystickLink& link = virtualJoystickLink;
  link.versionsDiffer = 0;
  link.ownerName[0] = 0;
  link.outcome = BindOutcome();
  ResetPositionRecord(link.position);
  return link.outcome;
}

void VJoyFailureReason(char* reason, size_t size) {
  const VirtualJoystickLink& link = virtualJoystickLink;
  switch (link.outcome) {
    case VJOY_NO_LIBRARY:
      std::snprintf(reason, size, "vJoy is not installed: vJoyInterface.dll was not found.");
      break;
    case VJOY_INCOMPLETE_LIBRARY:
      std::snprintf(reason, size, "vJoyInterface.dll lacks functions Tarvix needs. Reinstall vJoy.");
      break;
    case VJOY_NOT_ENABLED:
      std::snprintf(reason, size, "vJoy is installed but not enabled.");
      break;
    case VJOY_NO_DEVICE:
      std::snprintf(reason, size, "vJoy device 1 does not exist. Add it in Configure vJoy.");
      break;
    case VJOY_DEVICE_BUSY:
      // The name's own bound, so the compiler sees the text fit.
      std::snprintf(reason, size, "vJoy device 1 is in use by %.*s.",
                    static_cast<int>(VJOY_OWNER_NAME_SIZE - 1),
                    link.ownerName[0] ? link.ownerName : "another program");
      break;
    default:
      if (link.versionsDiffer) {
        std::snprintf(reason, size,
                      "vJoy device 1 could not be acquired.\nvJoy's driver and library versions "
                      "differ (driver %X, library %X): reinstall vJoy.",
                      static_cast<unsigned>(link.driverVersion),
                      static_cast<unsigned>(link.libraryVersion));
      } else {
        std::snprintf(reason, size, "vJoy device 1 could not be acquired.");
      }
      break;
  }
}

void FormatVJoyFailure(char* text, size_t size) {
  char reason[256];
  VJoyFailureReason(reason, sizeof reason);
  std::snprintf(text, size,
                "vJoy initialization failed!\n\n%s\n\n"
                "Make sure vJoy is installed and configured:\n"
                "- Device 1 enabled\n"
                "- X axis (steering)\n"
                "- Y axis (accel)\n"
                "- Z axis (brake)\n"
                "- Buttons 7-8",
                reason);
}

int VJoyPublish(int32_t x, int32_t y, int32_t z, int32_t left, int32_t right, uint32_t gears) {
  VirtualJoystickLink& link = virtualJoystickLink;
  if (!link.vjoyAcquired) return 0;
  // Only the gear buttons the device has: a game would see the others nowhere.
  int gearCount = link.buttonCount - (VJOY_BUTTON_FIRST_GEAR - 1);
  if (gearCount < 0) gearCount = 0;
  if (gearCount > VJOY_GEAR_BUTTONS) gearCount = VJOY_GEAR_BUTTONS;
  if (link.UpdateVJD) {
    // One driver round trip, and the game never sees a half-updated state.
    VJoyPositionRecord& p = link.position;
    p.x = x;
    p.y = y;
    p.z = z;
    p.buttons = (left ? 1 << (VJOY_BUTTON_LEFT - 1) : 0) | (right ? 1 << (VJOY_BUTTON_RIGHT - 1) : 0) |
                static_cast<int32_t>((gears & ((1u << gearCount) - 1)) << (VJOY_BUTTON_FIRST_GEAR - 1));
    return link.UpdateVJD(VJOY_DEVICE, &p) != 0;
  }
  if (!(link.SetAxis(x, VJOY_DEVICE, VJOY_AXIS_X) && link.SetAxis(y, VJOY_DEVICE, VJOY_AXIS_Y) &&
        link.SetAxis(z, VJOY_DEVICE, VJOY_AXIS_Z) &&
        link.SetBtn(left, VJOY_DEVICE, VJOY_BUTTON_LEFT) &&
        link.SetBtn(right, VJOY_DEVICE, VJOY_BUTTON_RIGHT))) {
    return 0;
  }
  for (int i = 0; i < gearCount; ++i) {
    const uint8_t button = static_cast<uint8_t>(VJOY_BUTTON_FIRST_GEAR + i);
    if (!link.SetBtn(gears >> i & 1, VJOY_DEVICE, button)) return 0;
  }
  return 1;
}

void VJoyDrop() {
  VirtualJoystickLink& link = virtualJoystickLink;
  if (link.vjoyAcquired) link.RelinquishVJD(VJOY_DEVICE);
  link.vjoyAcquired = 0;
}

int VJoyRebind() {
  VirtualJoystickLink& link = virtualJoystickLink;
  if (link.vjoyAcquired) return 1;
  if (!link.library || !VJoyEntriesComplete(link)) return 0;
  const int32_t status = link.GetVJDStatus(VJOY_DEVICE);
  if (status != VJOY_STATUS_OWN && status != VJOY_STATUS_FREE) return 0;
  return AcquireDevice();
}

void VJoyRelease() {
  VirtualJoystickLink& link = virtualJoystickLink;
  if (link.vjoyAcquired) {
    link.ResetVJD(VJOY_DEVICE);
    link.RelinquishVJD(VJOY_DEVICE);
  }
  link.vjoyAcquired = 0;
}
