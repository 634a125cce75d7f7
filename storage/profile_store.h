// Named profiles: one file per profile in the profile folder.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int PROFILE_LIST_SIZE = 32;
constexpr int PROFILE_NAME_SIZE = 128;

extern char profileNames[PROFILE_LIST_SIZE][PROFILE_NAME_SIZE];
extern int32_t profileCount;
// Each listed profile's game line, read by the scan (empty without one).
extern char profileGames[PROFILE_LIST_SIZE][PROFILE_NAME_SIZE];

// Hands the profile file name, made from the tuning in force and games (its
// game line), to the writer (storage/file_writer.h); changes nothing else. The
// ticket of the write, 0 when the name or games are refused (storage/name_rules.h)
// or the write cannot be handed over.
uint32_t SaveProfile(const char* name, const char* games);
// Reads the profile file over the tuning, makes name the active profile and
// clears profileModified. 0, and nothing changed, when it cannot be opened.
int LoadProfile(const char* name);
void ScanProfiles();
void DeleteProfile(const char* name);

// Used by the per-platform ScanProfiles (profile_scan_win32.cpp and
// profile_scan_posix.cpp) ------------------------------------------------

// Empties the list.
void ClearProfileList();
// Adds a listed file name ("<name>.txt", the extension in any case) as an
// entry, with the game line of its file; other names and names over 127
// characters are passed over. 1 when the list is full and the listing should
// stop.
int AddListedProfile(const char* fileName);
