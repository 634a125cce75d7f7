#include "tests/support/system_fake.h"

#include "engine/system_seam.h"

FakeSystem fakeSystem;
void FakeSystemReset() { fakeSystem = FakeSystem{}; }

#ifdef _WIN32
#include <windows.h>
static int Button(int vk, int fake) { return fakeSystem.overrideButtons ? fake : (GetAsyncKeyState(vk) & 0x8000) != 0; }
uint32_t SystemTickCount() { return fakeSystem.overrideTick ? fakeSystem.tick : GetTickCount(); }
#else
static int Button(int, int fake) { return fake; }
uint32_t SystemTickCount() { return fakeSystem.tick; }
#endif
int SystemLeftButtonDown() { return Button(0x01, fakeSystem.leftDown); }   // VK_LBUTTON
int SystemRightButtonDown() { return Button(0x02, fakeSystem.rightDown); }  // VK_RBUTTON
