#include "storage/game_profiles.h"

#include <cstring>

#include "engine/steering.h"
#include "storage/name_rules.h"
#include "storage/settings_file.h"

AutoProfileState autoProfileState;
char lastGameProgram[GAME_NAME_SIZE];

namespace {

const char SHELL_PROGRAM[] = "explorer.exe";
const char FALLBACK_PROFILE[] = "Default";

void CopyName(char* target, const char* source) {
  size_t length = std::strlen(source);
  if (length >= GAME_NAME_SIZE) length = GAME_NAME_SIZE - 1;
  std::memmove(target, source, length);
  target[length] = 0;
}

int IsListedProfile(const char* name) {
  for (int i = 0; i < profileCount && i < PROFILE_LIST_SIZE; ++i) {
    if (std::strcmp(profileNames[i], name) == 0) return 1;
  }
  return 0;
}

// The profile's part of a record (its tuning, name and games) from the user's own.
void CopyUserProfilePart(TuningSettings* to) {
  const TuningSettings& user = autoProfileState.userTuning;
  to->sensitivity = user.sensitivity;
  to->responseCurve = user.responseCurve;
  to->autoCenterForce = user.autoCenterForce;
  to->steeringLimit = user.steeringLimit;
  to->curveOnSteering = user.curveOnSteering;
  to->gameForceStrength = user.gameForceStrength;
  to->gameForcesReversed = user.gameForcesReversed;
  std::memcpy(to->profile, user.profile, sizeof to->profile);
  std::memcpy(to->game, user.game, sizeof to->game);
}

}  // namespace

int FindGameProfile(const char* exe) {
  if (!exe[0]) return -1;
  for (int i = 0; i < profileCount && i < PROFILE_LIST_SIZE; ++i) {
    if (GameListHolds(profileGames[i], exe)) return i;
  }
  return -1;
}

void NoteForegroundProgram(const char* exe) {
  if (SameNoCase(exe, std::strlen(exe), SHELL_PROGRAM)) return;
  if (exe[0]) CopyName(lastGameProgram, exe);
  // Back from our own window or the shell to the same program: no change.
  if (std::strcmp(exe, autoProfileState.program) == 0) return;
  CopyName(autoProfileState.program, exe);
  autoProfileState.changed = 1;
}

void RecheckAutoProfile() { autoProfileState.changed = 1; }

void RunAutoProfile() {
  AutoProfileState& a = autoProfileState;
  if (!a.changed) return;
  const int index = tuningSettings.autoProfile ? FindGameProfile(a.program) : -1;
  char target[GAME_NAME_SIZE];
  if (index >= 0) {
    CopyName(target, profileNames[index]);
  } else if (a.active) {
    CopyName(target, IsListedProfile(a.userTuning.profile) ? a.userTuning.profile : FALLBACK_PROFILE);
  } else {
    a.changed = a.waiting = 0;
    return;
  }

  if (std::strcmp(target, tuningSettings.profile) != 0) {
    // A switch never throws away unsaved tuning: it waits for a save or load.
    if (steeringState.profileModified) {
      a.waiting = 1;
      return;
    }
    const int starting = index >= 0 && !a.active;
    if (starting) a.userTuning = tuningSettings;
    // Set before the settings are saved, which must see it.
    a.active = index >= 0;
    if (index < 0 && std::strcmp(target, a.userTuning.profile) == 0) {
      // Back to the user's own tuning as it was, not as its file has it: it
      // may hold changes kept only in the settings file.
      CopyUserProfilePart(&tuningSettings);
      SetSmoothingWindow(a.userTuning.smoothing);
      steeringState.profileModified = 0;
      WriteSettingsFile(SettingsFileRecord());
    } else if (LoadProfile(target)) {
      WriteSettingsFile(SettingsFileRecord());
    } else {
      // A profile that could not be read leaves the one in force, and with it
      // the automatic state: the user's own record must not be lost.
      a.active = !starting;
    }
  } else if (index < 0) {
    a.active = 0;  // the user's own profile is in force again
  }
  if (a.active) CopyName(a.matched, a.program);
  a.changed = a.waiting = 0;
}

void NoteUserProfileChoice(const char* name) {
  if (autoProfileState.active && std::strcmp(name, tuningSettings.profile) != 0) {
    autoProfileState.active = 0;
  }
}

TuningSettings SettingsFileRecord() {
  TuningSettings record = tuningSettings;
  if (!autoProfileState.active) return record;
  CopyUserProfilePart(&record);
  record.smoothing = autoProfileState.userTuning.smoothing;
  return record;
}
