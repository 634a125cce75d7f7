// When the settings file is written while values keep changing (a slider
// drag): at most every 250 ms, and once more after the changes stop.
#include "storage/settings_file.h"

namespace {

struct SettingsSavePace {
  int requested;  // a change not yet written
  int saved;      // lastSaveMs holds a save's time
  uint32_t lastSaveMs;
};
SettingsSavePace settingsSavePace;

}  // namespace

void RequestSettingsSave() { settingsSavePace.requested = 1; }

int SettingsSaveDue(uint32_t nowMs) {
  SettingsSavePace& p = settingsSavePace;
  if (!p.requested || (p.saved && nowMs - p.lastSaveMs < SETTINGS_SAVE_INTERVAL_MS)) return 0;
  p.requested = 0;
  p.saved = 1;
  p.lastSaveMs = nowMs;
  return 1;
}

int SettingsSavePending() { return settingsSavePace.requested; }
