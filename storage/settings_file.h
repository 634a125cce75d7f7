// The data folder under Documents and the settings file in it.
#pragma once

#include <cstdio>

constexpr int STORAGE_PATH_SIZE = 512;

// Filled once by CreateDataFolders(); empty strings when the Documents folder
// could not be found, in which case nothing is read or written.
extern char settingsFilePath[STORAGE_PATH_SIZE];
extern char profileFolderPath[STORAGE_PATH_SIZE];

// Documents + "\Tarvix" into a 512-byte buffer; an empty string when the
// Documents folder is unknown.
void GetDataFolderPath(char* buffer);
void CreateDataFolders();

void SaveSettings();
void LoadSettings();

// The file formats on open streams (binary mode; lines end in CR LF on write,
// CR LF or LF on read). Portable, so the host tests and the fuzzer reach them.
void WriteSettingsStream(FILE* file);
void ReadSettingsStream(FILE* file);  // sets profileModified to 0 at the end
