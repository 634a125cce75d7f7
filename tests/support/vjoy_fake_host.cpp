#include "tests/support/vjoy_fake_host.h"

#include "vjoy/vjoy_link.h"

VirtualJoystickLink virtualJoystickLink;
VJoyFake vjoyFake;

namespace {

void Record(int kind, uint32_t id, int32_t value) {
  if (vjoyFake.callCount >= VJOY_FAKE_MAX_CALLS) return;
  VJoyFakeCall& c = vjoyFake.calls[vjoyFake.callCount++];
  c.kind = kind;
  c.id = id;
  c.value = value;
  c.acquired = virtualJoystickLink.vjoyAcquired;
}

}  // namespace

void VJoyFakeReset() {
  vjoyFake = VJoyFake{};
  virtualJoystickLink = VirtualJoystickLink{};
  virtualJoystickLink.vjoyAcquired = 1;
}

void VJoySetAxis(uint32_t axis, int32_t value) { Record(VJOY_FAKE_AXIS, axis, value); }

void VJoySetButton(uint8_t button, int32_t pressed) { Record(VJOY_FAKE_BUTTON, button, pressed); }
