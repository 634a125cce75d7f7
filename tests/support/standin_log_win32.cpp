#include "tests/support/standin_log_win32.h"

#include <windows.h>

#include <fstream>

static std::string standinLogPath;

void StandinStartLog() {
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  standinLogPath = folder + std::string("tarvix-standin-") + std::to_string(GetCurrentProcessId());
  DeleteFileA(standinLogPath.c_str());
  SetEnvironmentVariableA("TARVIX_STANDIN_LOG", standinLogPath.c_str());
}

std::vector<std::string> StandinTakeLog(std::vector<double>* seconds) {
  std::vector<std::string> calls;
  std::ifstream log(standinLogPath);
  long long counter, frequency;
  std::string call, result;
  while (log >> counter >> frequency >> call >> result) {
    calls.push_back(call + "=" + result);
    if (seconds) seconds->push_back(static_cast<double>(counter) / static_cast<double>(frequency));
  }
  log.close();
  DeleteFileA(standinLogPath.c_str());
  return calls;
}
