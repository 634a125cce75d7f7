#include "tests/support/standin_log_win32.h"

#include <windows.h>

#include <fstream>

std::vector<std::string> StandinTakeLog(std::vector<double>* seconds) {
  const char path[] = "tarvix-standin.log";  // in the working folder
  std::vector<std::string> calls;
  std::ifstream log(path);
  long long counter, frequency;
  for (std::string call, result; log >> counter >> frequency >> call >> result; calls.push_back(call + "=" + result))
    if (seconds) seconds->push_back(static_cast<double>(counter) / static_cast<double>(frequency));
  log.close(); DeleteFileA(path);
  SetEnvironmentVariableA("TARVIX_STANDIN_LOG", path);
  return calls;
}
