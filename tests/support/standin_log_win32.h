#pragma once

#include <string>
#include <vector>

// The vJoy stand-in's calls logged since the last take (the first one starts the log), oldest first, as
// "SetAxis(16383,1,48)=1"; seconds, when given, gets the time of each on QueryPerformanceCounter.
std::vector<std::string> StandinTakeLog(std::vector<double>* seconds = nullptr);
