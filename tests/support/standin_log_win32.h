#pragma once

#include <string>
#include <vector>

// The vJoy stand-in's calls since the last take (the first starts the log), as "SetAxis(16383,1,48)=1".
std::vector<std::string> StandinTakeLog(std::vector<double>* seconds = nullptr);  // on QueryPerformanceCounter
