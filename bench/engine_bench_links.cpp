// What the engine reaches outside itself, for the native benchmarks: no vJoy
// library (the link stays unbound, so a publish returns at once), and a system
// seam with both buttons up. Defined apart from the benchmarks so that the
// calls stay real calls, as they are into the real link.
#include "engine/system_seam.h"
#include "vjoy/vjoy_link.h"

int32_t VJoyBind() { return 0; }
int VJoyOwnerProcessName(uint16_t, char*, size_t) { return 0; }
void VJoyPause(uint32_t) {}

int SystemLeftButtonDown() { return 0; }
int SystemRightButtonDown() { return 0; }
uint64_t SystemClockMicros() { return 0; }
