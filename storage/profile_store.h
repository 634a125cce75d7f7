// Named profiles: one six-line file per profile in the profile folder.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int PROFILE_LIST_SIZE = 32;
constexpr int PROFILE_NAME_SIZE = 128;

extern char profileNames[PROFILE_LIST_SIZE][PROFILE_NAME_SIZE];
extern int32_t profileCount;
// Each listed profile's game line, read by the scan (empty without one).
extern char profileGames[PROFILE_LIST_SIZE][PROFILE_NAME_SIZE];

// Names that would leave the profile folder, that Windows refuses as file
// names, or that are not well-formed UTF-8 are rejected by save, load and delete, which then do nothing.
int IsValidProfileName(const char* name);

// Refused, too, while tuningSettings.game holds a name that is not a plain
// file name.
void SaveProfile(const char* name);
void LoadProfile(const char* name);
void ScanProfiles();
void DeleteProfile(const char* name);

void WriteProfileStream(FILE* file);
void ReadProfileStream(FILE* file);  // curveOnSteering is set to 0 and game emptied first

// Used by the per-platform ScanProfiles (profile_scan_win32.cpp and
// profile_scan_posix.cpp) ------------------------------------------------

// Empties the list.
void ClearProfileList();
// Adds a listed file name ("<name>.txt", the extension in any case) as an
// entry, with the game line of its file; other names and names over 127
// characters are passed over. 1 when the list is full and the listing should
// stop.
int AddListedProfile(const char* fileName);
