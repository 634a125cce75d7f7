// The vJoy stand-in's call log (tools/standin), as the Windows tests read it.
#pragma once

#include <string>
#include <vector>

// Points TARVIX_STANDIN_LOG at a fresh file of this process.
void StandinStartLog();
// The calls logged since the last take, oldest first, as "SetAxis(16383,1,48)=1";
// seconds, when given, gets each call's time on QueryPerformanceCounter.
std::vector<std::string> StandinTakeLog(std::vector<double>* seconds = nullptr);
