// What the panel, the tray and the main loop call to keep the user's work:
// the settings file from the user's own record, profiles saved and loaded by
// hand, and the writer's results, which alone decide what a save changed.
#pragma once

#include <cstdint>

// The settings file from SettingsFileRecord() (storage/game_profiles.h).
void SaveSettings();
// Once per pass of the main loop: saves when a requested save is due.
void RunSettingsSave(uint32_t nowMs);

// The Profiles tab's Save: writes the profile name with the tuning in force
// and games as its game line. Only once the write has succeeded does name
// become the active profile with those games, the user's own choice, listed;
// a write that fails shows "Profile not saved: ..." and changes nothing.
void SaveUserProfile(const char* name, const char* games);
// The Profiles tab's Load: the profile becomes the user's own choice and the
// settings file names it. 0, and nothing changed, when it cannot be read.
int LoadUserProfile(const char* name);

// Takes the writer's results: the status line's file notice, and what a
// profile save changes. The main window calls it on FILE_WRITE_DONE_MESSAGE.
// The number of results taken.
int CollectFileWriteResults();
