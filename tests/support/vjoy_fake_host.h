// The vJoy link of the native build, where the real one (Win32) does not exist:
// records the sends in order, "a48=16384 " for axis usage 48, "b7=1 " for button 7.
#pragma once

#include <string>

extern std::string vjoyFakeCalls;
void VJoyFakeReset();  // forgets the calls, marks the device acquired
