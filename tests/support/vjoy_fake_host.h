// A recording stand-in for the vJoy link in the native build, where the real
// link (Win32 only) does not exist. Each send is recorded in call order in the
// stand-in library's own notation, "SetAxis(value,1,usage)" or
// "SetBtn(pressed,1,button)", marked " unacquired" when the device was not
// acquired at that moment.
#pragma once

#include <string>
#include <vector>

extern std::vector<std::string> vjoyFakeCalls;

// Forgets every call, and sets the link record to "acquired" so sends count.
void VJoyFakeReset();
