// When the settings file is written: at once for a single change, at most
// every 250 ms while a slider is dragged, and a held-up replace tried again on
// later passes of the loop. The loop's thread also reads the mouse and runs the
// lock's hook, so nothing here ever waits.
#include <cstdio>

#include "storage/file_replace.h"
#include "storage/settings_file.h"

char settingsSaveError[SETTINGS_ERROR_SIZE];

namespace {

struct SettingsSaveState {
  int requested;       // a change not yet written
  int saved;           // lastSaveMs holds a save's time
  uint32_t lastSaveMs;
  uint32_t clockMs;    // the loop's clock at its last pass
  int pending;         // the temporary file waits for its replace
  int retriesLeft;
  uint32_t lastTryMs;
  char tempPath[STORAGE_PATH_SIZE];
};
SettingsSaveState settingsSave;

void SettingsSaveFailed(const char* reason) {
  std::snprintf(settingsSaveError, sizeof settingsSaveError, "Settings not saved: %s", reason);
}

// Replaces the file with its written temporary file; on a busy file leaves
// the temporary file for a later try while tries are left.
void TrySettingsReplace() {
  const char* tempPath = settingsSave.tempPath;
  const int result = ReplaceFileInOneStep(tempPath, settingsFilePath);
  settingsSave.pending = 0;
  if (result == 1) {
    settingsSaveError[0] = 0;
    return;
  }
  if (result == FILE_REPLACE_BUSY && settingsSave.retriesLeft > 0) {
    --settingsSave.retriesLeft;
    settingsSave.pending = 1;
    settingsSave.lastTryMs = settingsSave.clockMs;
    return;
  }
  DeleteOneFile(tempPath);
  SettingsSaveFailed(result == FILE_REPLACE_BUSY ? "the file is in use by another program"
                                                 : "the file cannot be replaced");
}

}  // namespace

void SaveSettings() {
  if (!settingsFilePath[0]) return;
  settingsSave.requested = 0;
  settingsSave.saved = 1;
  settingsSave.lastSaveMs = settingsSave.clockMs;
  if (!WriteTempFile(settingsFilePath, WriteSettingsStream, settingsSave.tempPath)) {
    settingsSave.pending = 0;
    SettingsSaveFailed("the file cannot be written");
    return;
  }
  settingsSave.retriesLeft = SETTINGS_RETRY_COUNT;
  TrySettingsReplace();
}

void RequestSettingsSave() { settingsSave.requested = 1; }

int SettingsReplacePending() { return settingsSave.pending; }

void RunSettingsSave(uint32_t nowMs) {
  settingsSave.clockMs = nowMs;
  if (settingsSave.pending) {
    if (nowMs - settingsSave.lastTryMs < SETTINGS_RETRY_INTERVAL_MS) return;
    TrySettingsReplace();
    // A new save would overwrite the file still waiting; it follows the replace.
    if (settingsSave.pending) return;
  }
  if (settingsSave.requested &&
      (!settingsSave.saved || nowMs - settingsSave.lastSaveMs >= SETTINGS_SAVE_INTERVAL_MS)) {
    SaveSettings();
  }
}
