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
uint64_t SystemClockMicros() {
  if (fakeSystem.overrideClock) return fakeSystem.clockMicros;
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<uint64_t>(counter.QuadPart / frequency.QuadPart * 1000000 +
                               counter.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart);
}
#else
int SystemLeftButtonDown() { return fakeSystem.leftDown; }
int SystemRightButtonDown() { return fakeSystem.rightDown; }
uint64_t SystemClockMicros() { return fakeSystem.clockMicros; }
#endif
