#include "tests/support/vjoy_fake_host.h"

#include "vjoy/vjoy_link.h"

VirtualJoystickLink virtualJoystickLink;
std::vector<std::string> vjoyFakeCalls;

namespace {

void Record(const char* function, int32_t value, uint32_t id) {
  vjoyFakeCalls.push_back(std::string(function) + "(" + std::to_string(value) + ",1," + std::to_string(id) + ")" +
                          (virtualJoystickLink.vjoyAcquired ? "" : " unacquired"));
}

}  // namespace

void VJoyFakeReset() {
  vjoyFakeCalls.clear();
  virtualJoystickLink = VirtualJoystickLink{};
  virtualJoystickLink.vjoyAcquired = 1;
}

void VJoySetAxis(uint32_t axis, int32_t value) { Record("SetAxis", value, axis); }

void VJoySetButton(uint8_t button, int32_t pressed) { Record("SetBtn", pressed, button); }
