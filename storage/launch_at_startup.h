// The per-user Run key entry "Tarvix" that starts the program at log-on.
#pragma once

#include <cstdint>

// Non-zero writes the running executable's path, in double quotes, as the value;
// 0 deletes it. Failures are silent.
void SetLaunchAtStartup(int32_t enable);
// 1 when a value of that name exists, whatever it holds.
int32_t IsLaunchAtStartupSet();

// Paths are built in buffers of this size, the terminating NUL included.
constexpr uint32_t LAUNCH_COMMAND_SIZE = 512;

// The Run value's data for an executable path: the path in double quotes, so
// that a path with blanks cannot start another program. Returns the size to
// store, its NUL included, or 0 (command untouched) when it does not fit.
uint32_t BuildLaunchCommand(const char* path, char (&command)[LAUNCH_COMMAND_SIZE]);
