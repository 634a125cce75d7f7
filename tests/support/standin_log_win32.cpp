#include "tests/support/standin_log_win32.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "vjoy/vjoy_link.h"

static std::string standinLogPath;

std::string StandinFolder(const char* folder) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return std::string();
  char* slash = std::strrchr(path, '\\');
  if (slash) *slash = '\0';
  return std::string(path) + "\\" + folder;
}

void StandinUseFolder(const char* folder) {
  if (folder) {
    SetDllDirectoryA(StandinFolder(folder).c_str());
  } else {
    SetDllDirectoryA(nullptr);
  }
}

void StandinSetMode(const char* mode) { SetEnvironmentVariableA("TARVIX_STANDIN_MODE", mode); }

std::string StandinStartLog() {
  char folder[MAX_PATH];
  DWORD n = GetTempPathA(sizeof folder, folder);
  if (n == 0 || n >= sizeof folder) return std::string();
  char name[64];
  std::snprintf(name, sizeof name, "tarvix-standin-%lu.log", GetCurrentProcessId());
  standinLogPath = std::string(folder) + name;
  DeleteFileA(standinLogPath.c_str());
  SetEnvironmentVariableA("TARVIX_STANDIN_LOG", standinLogPath.c_str());
  return standinLogPath;
}

void StandinClearLog() {
  if (!standinLogPath.empty()) DeleteFileA(standinLogPath.c_str());
}

std::vector<StandinCall> StandinReadLog() {
  std::vector<StandinCall> calls;
  if (standinLogPath.empty()) return calls;
  FILE* file = std::fopen(standinLogPath.c_str(), "r");
  if (!file) return calls;
  char line[512];
  while (std::fgets(line, sizeof line, file)) {
    long long counter = 0, frequency = 0;
    char call[256], result[64];
    if (std::sscanf(line, "%lld %lld %255s %63s", &counter, &frequency, call, result) != 4) {
      // A line the tests cannot read is itself a fault worth seeing.
      calls.push_back(StandinCall{0, 0, std::string("unreadable: ") + line, ""});
      continue;
    }
    calls.push_back(StandinCall{counter, frequency, call, result});
  }
  std::fclose(file);
  return calls;
}

std::vector<std::string> StandinCallTexts(const std::vector<StandinCall>& calls) {
  std::vector<std::string> texts;
  for (const StandinCall& c : calls) texts.push_back(c.call + "=" + c.result);
  return texts;
}

double StandinSecondsBetween(const StandinCall& earlier, const StandinCall& later) {
  if (earlier.frequency <= 0) return 0.0;
  return static_cast<double>(later.counter - earlier.counter) /
         static_cast<double>(earlier.frequency);
}

void StandinUnloadLink() {
  HMODULE library = static_cast<HMODULE>(virtualJoystickLink.library);
  if (library) {
    // Drop every reference so the next load reads the file afresh, with the
    // stand-in's own state back at its start.
    for (int i = 0; i < 64 && GetModuleHandleA("vJoyInterface.dll") == library; ++i)
      if (!FreeLibrary(library)) break;
  }
  virtualJoystickLink = VirtualJoystickLink{};
}

std::string StandinLinkLibraryPath() {
  if (!virtualJoystickLink.library) return std::string();
  char path[MAX_PATH];
  DWORD n =
      GetModuleFileNameA(static_cast<HMODULE>(virtualJoystickLink.library), path, sizeof path);
  if (n == 0 || n >= sizeof path) return std::string();
  return std::string(path);
}
