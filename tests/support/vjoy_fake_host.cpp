#include "tests/support/vjoy_fake_host.h"

#include "vjoy/vjoy_link.h"

VirtualJoystickLink virtualJoystickLink;
std::string vjoyFakeCalls;

void VJoyPublish(int32_t x, int32_t y, int32_t z, int32_t left, int32_t right) {
  if (!virtualJoystickLink.vjoyAcquired) return;
  for (auto [name, value] : {std::pair{"48=", x}, {"49=", y}, {"50=", z}, {"b7=", left}, {"b8=", right}})
    vjoyFakeCalls += name + std::to_string(value) + " ";
}
void VJoyFakeReset() { vjoyFakeCalls.clear(), virtualJoystickLink = VirtualJoystickLink{}, virtualJoystickLink.vjoyAcquired = 1; }
