#include "storage/launch_at_startup.h"

#include <windows.h>

#include <cstring>

namespace {

const char LAUNCH_RUN_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char LAUNCH_VALUE_NAME[] = "Tarvix";

}  // namespace

uint32_t BuildLaunchCommand(const char* path, char (&command)[LAUNCH_COMMAND_SIZE]) {
  size_t length = std::strlen(path);
  if (length + 3 > LAUNCH_COMMAND_SIZE) return 0;  // two quotes and the NUL
  command[0] = '"';
  std::memcpy(command + 1, path, length);
  command[length + 1] = '"';
  command[length + 2] = '\0';
  return static_cast<uint32_t>(length + 3);
}

void SetLaunchAtStartup(int32_t enable) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, LAUNCH_RUN_KEY, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
    return;
  }
  if (enable != 0) {
    // Written every time, so an entry of a copy elsewhere now points here.
    char path[LAUNCH_COMMAND_SIZE];
    char command[LAUNCH_COMMAND_SIZE];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    // 0 is a failure and a full buffer a path cut short: write nothing then.
    DWORD size = (length > 0 && length < sizeof path) ? BuildLaunchCommand(path, command) : 0;
    if (size != 0) {
      RegSetValueExA(key, LAUNCH_VALUE_NAME, 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                     size);
    }
  } else {
    RegDeleteValueA(key, LAUNCH_VALUE_NAME);
  }
  RegCloseKey(key);
}

int32_t IsLaunchAtStartupSet() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, LAUNCH_RUN_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return 0;
  }
  // Any value under the name counts, whatever it holds: quoted, unquoted, or
  // too long for the buffer (that query answers ERROR_MORE_DATA).
  BYTE data[LAUNCH_COMMAND_SIZE];
  DWORD size = sizeof data;
  LONG result = RegQueryValueExA(key, LAUNCH_VALUE_NAME, nullptr, nullptr, data, &size);
  RegCloseKey(key);
  return (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) ? 1 : 0;
}
