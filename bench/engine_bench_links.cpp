// What the engine reaches outside itself, for the native benchmarks: a vJoy link
// that accepts every send and does nothing with it, and a system seam with both
// buttons up. Defined apart from the benchmarks so that the calls stay real
// calls, as they are into the real link.
#include "engine/system_seam.h"
#include "vjoy/vjoy_link.h"

VirtualJoystickLink virtualJoystickLink;

int32_t VJoyBind() { return 1; }
void VJoyPublish(int32_t, int32_t, int32_t, int32_t, int32_t) {}
void VJoyRelease() {}

int SystemLeftButtonDown() { return 0; }
int SystemRightButtonDown() { return 0; }
uint64_t SystemClockMicros() { return 0; }
