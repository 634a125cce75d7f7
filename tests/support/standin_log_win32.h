// Driving the vJoy stand-in (tests/standin) from a Windows test: which build of
// it the process finds, how it behaves, and what it was called with.
#pragma once

#include <string>
#include <vector>

// One line of the stand-in's log.
struct StandinCall {
  long long counter;    // QueryPerformanceCounter at the call
  long long frequency;  // its ticks per second
  std::string call;     // e.g. "SetAxis(16383,1,48)"
  std::string result;   // e.g. "1"; "-" for RelinquishVJD
};

// Absolute path of bin/<folder> beside this test program, e.g. "standin" or
// "standin-without-ResetVJD".
std::string StandinFolder(const char* folder);
// Makes LoadLibraryA("vJoyInterface.dll") find the build in bin/<folder>;
// nullptr goes back to the normal search order, where none is found.
void StandinUseFolder(const char* folder);
// TARVIX_STANDIN_MODE for this process: "free", "owned", "busy", ...; nullptr unsets.
void StandinSetMode(const char* mode);

// Points TARVIX_STANDIN_LOG at a fresh, empty file of this process and
// returns its path.
std::string StandinStartLog();
// Empties the log started above.
void StandinClearLog();
// Every call logged so far, oldest first (none when the file does not exist).
std::vector<StandinCall> StandinReadLog();
// "call=result" for each call, the form the tests compare sequences in.
std::vector<std::string> StandinCallTexts(const std::vector<StandinCall>& calls);
double StandinSecondsBetween(const StandinCall& earlier, const StandinCall& later);

// The link keeps its library for the whole process; tests unload it and clear
// the link's record so that the next VJoyBind() starts from nothing.
void StandinUnloadLink();
// Full path of the library the link holds ("" when none).
std::string StandinLinkLibraryPath();
