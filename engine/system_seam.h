// What the portable engine asks of the operating system.
// Defined once for Win32 (engine/system_win32.cpp, linked into the program) and
// once for the tests (tests/support/system_fake.cpp, controllable).
#pragma once

#include <cstdint>

// Asynchronous state of the mouse buttons: 1 while down, else 0.
int SystemLeftButtonDown();
int SystemRightButtonDown();

// Microseconds on the system's precise, steady clock (the performance counter
// on Windows). The one clock of the program: the output tick, the input gate
// and the theme poll all read it. 64 bits, so it does not wrap.
uint64_t SystemClockMicros();
