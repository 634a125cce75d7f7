#include "tests/support/vjoy_fake_host.h"

#include <cstdio>

#include "engine/output_link.h"
#include "vjoy/vjoy_link.h"

VJoyFakeAnswers vjoyFake;
std::string vjoyFakeCalls;

namespace {
int32_t Enabled() { return vjoyFake.enabled; }
int32_t Status(uint32_t) { return vjoyFake.status; }
int32_t Acquire(uint32_t) { return vjoyFake.acquire; }
void Relinquish(uint32_t) { vjoyFakeCalls += "relinquish "; }
int32_t Reset(uint32_t) { return 1; }
int32_t Accept(const char* name, int32_t value) {
  if (vjoyFake.updatesLeft == 0) return 0;
  if (name[0] == 'b' && name[1] == '8' && vjoyFake.updatesLeft > 0) --vjoyFake.updatesLeft;  // one publish ends at button 8
  return vjoyFakeCalls += name + std::to_string(value) + " ", 1;
}
int32_t Axis(int32_t value, uint32_t, uint32_t axis) { return Accept(axis == 0x30 ? "48=" : axis == 0x31 ? "49=" : "50=", value); }
int32_t Button(int32_t pressed, uint32_t, uint8_t button) { return Accept(("b" + std::to_string(button) + "=").c_str(), pressed); }
int32_t Match(uint16_t* library, uint16_t* driver) { return *library = 0x222, *driver = 0x221, vjoyFake.driverMatch; }
int32_t Owner(uint32_t) { return vjoyFake.ownerPid; }
int32_t AxisExists(uint32_t, uint32_t axis) { return vjoyFake.axes >> (axis - 0x30) & 1; }
int32_t Buttons(uint32_t) { return vjoyFake.buttons; }
}  // namespace

int32_t VJoyBind() { return VJoyBindDevice() == VJOY_BOUND; }
int VJoyOwnerProcessName(uint16_t pidLow, char* name, size_t size) {
  return pidLow == (vjoyFake.ownerPid & 0xFFFF) && vjoyFake.ownerMatches == 1 && std::snprintf(name, size, "game.exe") > 0;
}
void VJoyPause(uint32_t) {}

void VJoyFakeInstall() {
  VirtualJoystickLink& l = virtualJoystickLink;
  l = VirtualJoystickLink{};
  l.library = &vjoyFake, l.vJoyEnabled = Enabled, l.GetVJDStatus = Status, l.AcquireVJD = Acquire;
  l.RelinquishVJD = Relinquish, l.ResetVJD = Reset, l.SetAxis = Axis, l.SetBtn = Button;
  if (vjoyFake.driverMatch >= 0) l.DriverMatch = Match;
  if (vjoyFake.ownerPid >= 0) l.GetOwnerPid = Owner;
  if (vjoyFake.axes >= 0) l.GetVJDAxisExist = AxisExists;
  if (vjoyFake.buttons >= 0) l.GetVJDButtonNumber = Buttons;
  vjoyFakeCalls.clear();
}
void VJoyFakeReset() { vjoyFake = VJoyFakeAnswers{}, VJoyFakeInstall(), OutputStart(), vjoyFakeCalls.clear(); }
