#include "storage/saving.h"

#include <cstdio>
#include <cstring>

#include "engine/status_notice.h"
#include "engine/steering.h"
#include "engine/tuning.h"
#include "storage/file_replace.h"
#include "storage/file_writer.h"
#include "storage/game_profiles.h"
#include "storage/name_rules.h"
#include "storage/profile_store.h"
#include "storage/settings_file.h"

namespace {

const char SETTINGS_FAILED[] = "Settings not saved: ";
const char PROFILE_FAILED[] = "Profile not saved: ";

// The profile save whose result has not come back yet.
struct PendingProfileSave {
  uint32_t ticket;  // 0: none
  char name[PROFILE_NAME_SIZE];
  char games[PROFILE_NAME_SIZE];
  TuningSettings written;  // the tuning the file was made from
};
PendingProfileSave pendingProfileSave;

int StartsWith(const char* text, const char* start) { return std::strncmp(text, start, std::strlen(start)) == 0; }

void ShowFileFailure(const char* prefix, const char* reason) {
  // The unreadable settings file stays the first thing the user reads.
  if (settingsFileUnreadable) return;
  char text[STATUS_NOTICE_SIZE];
  std::snprintf(text, sizeof text, "%s%s", prefix, reason);
  SetStatusNotice(NOTICE_FILE, text);
}

const char* FailureReason(const FileWriteResult& r) {
  if (r.status == FILE_BUSY) return "the file is in use by another program";
  if (r.step == FILE_STEP_TEMP) return "the file cannot be written";
  return "the file cannot be replaced";
}

// A save that worked ends the notice of its own kind of file, and shows the
// folder is open after all.
void ClearFileFailure(const char* prefix) {
  const char* shown = StatusNoticeText(NOTICE_FILE);
  if (StartsWith(shown, prefix) || std::strcmp(shown, DOCUMENTS_BLOCKED_TEXT) == 0) {
    SetStatusNotice(NOTICE_FILE, nullptr);
  }
}

int SameProfileTuning(const TuningSettings& a, const TuningSettings& b) {
  return a.sensitivity == b.sensitivity && a.responseCurve == b.responseCurve && a.smoothing == b.smoothing &&
         a.autoCenterForce == b.autoCenterForce && a.steeringLimit == b.steeringLimit &&
         a.curveOnSteering == b.curveOnSteering && a.gameForceStrength == b.gameForceStrength &&
         a.gameForcesReversed == b.gameForcesReversed;
}

void FinishProfileSave(const FileWriteResult& r) {
  PendingProfileSave& p = pendingProfileSave;
  if (r.ticket != p.ticket) return;  // a newer save of it follows
  p.ticket = 0;
  if (r.status != FILE_DONE) {
    const int blocked = r.status == FILE_DENIED && r.step == FILE_STEP_TEMP;
    ShowFileFailure(blocked ? "" : PROFILE_FAILED, blocked ? DOCUMENTS_BLOCKED_TEXT : FailureReason(r));
    return;
  }
  ClearFileFailure(PROFILE_FAILED);
  NoteUserProfileChoice(p.name);
  std::memcpy(tuningSettings.game, p.games, sizeof tuningSettings.game);
  std::memcpy(tuningSettings.profile, p.name, sizeof tuningSettings.profile);
  // Tuning changed while the file was written is still unsaved.
  steeringState.profileModified = SameProfileTuning(p.written, tuningSettings) ? 0 : 1;
  ScanProfiles();
  SaveSettings();
}

void FinishSettingsSave(const FileWriteResult& r) {
  if (r.status == FILE_DONE) {
    ClearFileFailure(SETTINGS_FAILED);
  } else if (r.status == FILE_DENIED && r.step == FILE_STEP_TEMP) {
    ShowFileFailure("", DOCUMENTS_BLOCKED_TEXT);
  } else {
    ShowFileFailure(SETTINGS_FAILED, FailureReason(r));
  }
}

}  // namespace

void SaveSettings() { WriteSettingsFile(SettingsFileRecord()); }

void RunSettingsSave(uint32_t nowMs) {
  if (SettingsSaveDue(nowMs)) SaveSettings();
}

void SaveUserProfile(const char* name, const char* games) {
  PendingProfileSave& p = pendingProfileSave;
  const uint32_t ticket = SaveProfile(name, games);
  if (!ticket) {
    ShowFileFailure(PROFILE_FAILED, IsValidProfileName(name) ? "too many files are being written"
                                                               : "the name is not a plain file name");
    return;
  }
  p.ticket = ticket;
  std::snprintf(p.name, sizeof p.name, "%s", name);
  std::snprintf(p.games, sizeof p.games, "%s", games);
  p.written = tuningSettings;
}

int LoadUserProfile(const char* name) {
  const int wasActive = autoProfileState.active;
  NoteUserProfileChoice(name);
  if (!LoadProfile(name)) {
    autoProfileState.active = wasActive;
    return 0;
  }
  SaveSettings();
  return 1;
}

int CollectFileWriteResults() {
  int taken = 0;
  FileWriteResult r;
  while (TakeFileWriteResult(&r)) {
    ++taken;
    if (r.kind == FILE_WRITE_PROFILE) {
      FinishProfileSave(r);
    } else {
      FinishSettingsSave(r);
    }
  }
  return taken;
}
