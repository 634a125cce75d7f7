// The native build's vJoy link: each publish while acquired, in order, "48=16384 " for axis usage 48, "b7=1 " for button 7.
#pragma once

#include <string>

extern std::string vjoyFakeCalls;
void VJoyFakeReset();  // forgets the calls, marks the device acquired
