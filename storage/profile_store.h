// Named profiles: one six-line file per profile in the profile folder.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int PROFILE_LIST_SIZE = 32;
constexpr int PROFILE_NAME_SIZE = 128;

extern char profileNames[PROFILE_LIST_SIZE][PROFILE_NAME_SIZE];
extern int32_t profileCount;

// Names that would leave the profile folder or that Windows refuses as file
// names are rejected by save, load and delete, which then do nothing.
int IsValidProfileName(const char* name);

void SaveProfile(const char* name);
void LoadProfile(const char* name);
void ScanProfiles();
void DeleteProfile(const char* name);

void WriteProfileStream(FILE* file);
void ReadProfileStream(FILE* file);  // curveOnSteering is set to 0 first
