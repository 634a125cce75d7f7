// Profiles that load themselves when their game comes to the front: the
// matching rules and the decision which profile to load, restore or wait for.
// The window in front is watched by input/foreground_win32.cpp.
#pragma once

#include "engine/tuning.h"
#include "storage/profile_store.h"

constexpr int GAME_NAME_SIZE = PROFILE_NAME_SIZE;

struct AutoProfileState {
  int active;                     // an automatic profile is in force
  int waiting;                    // a switch is held back by unsaved changes
  int changed;                    // the program in front changed and was not acted on yet
  char program[GAME_NAME_SIZE];   // the program in front, "" when its image could not be read
  char matched[GAME_NAME_SIZE];   // the program the automatic profile was loaded for
  TuningSettings userTuning;      // the user's own record from before the first automatic switch
};
extern AutoProfileState autoProfileState;

// The last program in front that was neither ours nor the shell, for "Use Last Game".
extern char lastGameProgram[GAME_NAME_SIZE];

// Index in profileNames of the first profile whose games hold exe; -1 for none.
int FindGameProfile(const char* exe);

// A window of another program came to the front; exe is its file name in
// UTF-8, "" when its image could not be read. The shell (explorer.exe: the
// taskbar, the tray, Alt+Tab) does not count as a change of game.
void NoteForegroundProgram(const char* exe);
// Once per pass of the main loop: loads the profile of the program in front,
// or the user's own again, as a click on Load would; waits while the tuning
// has unsaved changes.
void RunAutoProfile();
// Looks at the program in front again (the option was switched).
void RecheckAutoProfile();
// The user loads or saves name by hand: unless that is the automatic profile
// itself, the active profile is the user's own choice from then on.
void NoteUserProfileChoice(const char* name);

// The record the settings file is written from: while an automatic profile is
// in force, its tuning and name are the user's own from before the switch, so
// a start outside the game begins with the user's profile.
TuningSettings SettingsFileRecord();
