// The native build's vJoyInterface.dll: entry points answering as vjoyFake says. Each publish while
// bound is recorded in order, "48=16384 " for axis usage 48, "b7=1 " for button 7.
#pragma once

#include <cstdint>
#include <string>

struct VJoyFakeAnswers {
  int enabled = 1, status = 1, acquire = 1;
  int driverMatch = -1;  // -1: not exported; else DriverMatch's answer, with versions 0x222 and 0x221
  int ownerPid = -1;     // -1: GetOwnerPid not exported
  int ownerMatches = 1;  // processes whose id has those low 16 bits; one is "game.exe"
  int axes = 7;          // X, Y, Z as bits 0..2; -1: GetVJDAxisExist not exported
  int buttons = 8;       // -1: GetVJDButtonNumber not exported
  int updatesLeft = -1;  // publishes accepted before the device is lost; -1: never lost
};
extern VJoyFakeAnswers vjoyFake;
extern std::string vjoyFakeCalls;
void VJoyFakeInstall();  // the fake library with these answers, nothing bound yet, no calls recorded
void VJoyFakeReset();    // default answers, installed and bound as the output of the settings
