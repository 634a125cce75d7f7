#include "tests/support/vjoy_fake_host.h"

#include "vjoy/vjoy_link.h"

VirtualJoystickLink virtualJoystickLink;
std::string vjoyFakeCalls;

void VJoySetAxis(uint32_t axis, int32_t value) { vjoyFakeCalls += std::to_string(axis) + "=" + std::to_string(value) + " "; }
void VJoySetButton(uint8_t button, int32_t pressed) { vjoyFakeCalls += "b" + std::to_string(button) + "=" + std::to_string(pressed) + " "; }
void VJoyFakeReset() { vjoyFakeCalls.clear(), virtualJoystickLink = VirtualJoystickLink{}, virtualJoystickLink.vjoyAcquired = 1; }
