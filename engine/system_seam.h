// What the portable engine asks of the operating system.
// Defined once for Win32 (engine/system_win32.cpp, linked into the program) and
// once for the tests (tests/support/system_fake.cpp, controllable).
#pragma once

#include <cstdint>

// Asynchronous state of the mouse buttons: 1 while down, else 0.
int SystemLeftButtonDown();
int SystemRightButtonDown();

// The 32-bit millisecond tick count (wraps after about 49.7 days).
uint32_t SystemTickCount();
