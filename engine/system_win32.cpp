#include "engine/system_seam.h"

#include <windows.h>

int SystemLeftButtonDown() { return (GetAsyncKeyState(VK_LBUTTON) & 0x8000) ? 1 : 0; }

int SystemRightButtonDown() { return (GetAsyncKeyState(VK_RBUTTON) & 0x8000) ? 1 : 0; }

uint32_t SystemTickCount() { return GetTickCount(); }
