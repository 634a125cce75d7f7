#include "tests/support/system_fake.h"

#include "engine/system_seam.h"

#ifdef _WIN32
#include <windows.h>
#endif

FakeSystem fakeSystem;

void FakeSystemReset() { fakeSystem = FakeSystem{}; }

#ifdef _WIN32
int SystemLeftButtonDown() {
  if (fakeSystem.overrideButtons) return fakeSystem.leftDown;
  return (GetAsyncKeyState(VK_LBUTTON) & 0x8000) ? 1 : 0;
}
int SystemRightButtonDown() {
  if (fakeSystem.overrideButtons) return fakeSystem.rightDown;
  return (GetAsyncKeyState(VK_RBUTTON) & 0x8000) ? 1 : 0;
}
uint32_t SystemTickCount() { return fakeSystem.overrideTick ? fakeSystem.tick : GetTickCount(); }
#else
int SystemLeftButtonDown() { return fakeSystem.leftDown; }
int SystemRightButtonDown() { return fakeSystem.rightDown; }
uint32_t SystemTickCount() { return fakeSystem.tick; }
#endif
