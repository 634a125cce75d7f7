// The per-user Run key entry "Tarvix" that starts the program at log-on.
#pragma once

#include <cstdint>

void SetLaunchAtStartup(int32_t enable);
int32_t IsLaunchAtStartupSet();
