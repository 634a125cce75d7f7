// What the engine reaches outside itself, for the native benchmarks: no vJoy
// library and no pad bus (the output stays unbound, so a publish returns at
// once), and a system
// seam with both buttons up. Defined apart from the benchmarks so that the
// calls stay real calls, as they are into the real link.
#include "engine/system_seam.h"
#include "pad/pad_link.h"
#include "vjoy/vjoy_link.h"

int32_t VJoyBind() { return 0; }
int VJoyOwnerProcessName(uint16_t, char*, size_t) { return 0; }
void VJoyPause(uint32_t) {}
int PadBusFindPath(char*, size_t) { return 0; }
void* PadBusOpen(const char*) { return nullptr; }
uint32_t PadBusRequest(void*, uint32_t, const void*, uint32_t) { return PAD_ERROR_INVALID_HANDLE; }
void PadBusCancel(void*) {}
void PadBusClose(void*) {}

int SystemLeftButtonDown() { return 0; }
int SystemRightButtonDown() { return 0; }
uint64_t SystemClockMicros() { return 0; }
