#include "input/elevation.h"

#include <cstring>

#include "engine/status_notice.h"
#include "storage/name_rules.h"

ElevationState elevationState = {INTEGRITY_UNKNOWN, 0, 0};

int RunsAboveLevel(int32_t own, int32_t front) {
  return own != INTEGRITY_UNKNOWN && front != INTEGRITY_UNKNOWN && front > own;
}

void NoteForegroundLevel(const char* exe, int32_t level) {
  if (SameNoCase(exe, std::strlen(exe), "explorer.exe")) return;
  elevationState.gameAbove = RunsAboveLevel(elevationState.ownLevel, level);
  SetStatusNotice(NOTICE_ELEVATED, elevationState.gameAbove ? ELEVATED_GAME_TEXT : nullptr);
}
