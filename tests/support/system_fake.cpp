#include "tests/support/system_fake.h"

#include "engine/system_seam.h"
#include "storage/file_writer.h"
#include "storage/saving.h"

FakeSystem fakeSystem;
void FakeSystemReset() { fakeSystem = FakeSystem{}; }
void SettleFileWrites() {
  do WaitForFileWrites(10000);
  while (CollectFileWriteResults());
}

#ifdef _WIN32
#include <windows.h>
static int Button(int vk, int fake) { return fakeSystem.overrideButtons ? fake : (GetAsyncKeyState(vk) & 0x8000) != 0; }
uint64_t SystemClockMicros() {
  if (fakeSystem.overrideClock) return fakeSystem.clockMicros;
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<uint64_t>(counter.QuadPart / frequency.QuadPart * 1000000 +
                               counter.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart);
}
#else
static int Button(int, int fake) { return fake; }
uint64_t SystemClockMicros() { return fakeSystem.clockMicros; }
#endif
int SystemLeftButtonDown() { return Button(0x01, fakeSystem.leftDown); }   // VK_LBUTTON
int SystemRightButtonDown() { return Button(0x02, fakeSystem.rightDown); }  // VK_RBUTTON
