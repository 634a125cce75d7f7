#include "engine/system_seam.h"

#include <windows.h>

int SystemLeftButtonDown() { return (GetAsyncKeyState(VK_LBUTTON) & 0x8000) ? 1 : 0; }

int SystemRightButtonDown() { return (GetAsyncKeyState(VK_RBUTTON) & 0x8000) ? 1 : 0; }

uint64_t SystemClockMicros() {
  // The frequency is fixed at boot; asked once.
  static LONGLONG frequency = 0;
  if (frequency == 0) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    frequency = f.QuadPart;
  }
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  // Whole seconds and the rest apart, so the product cannot overflow.
  const uint64_t count = static_cast<uint64_t>(counter.QuadPart);
  const uint64_t perSecond = static_cast<uint64_t>(frequency);
  return count / perSecond * 1000000u + count % perSecond * 1000000u / perSecond;
}
