#include <windows.h>

#include <cstdio>

#include "storage/profile_store.h"
#include "storage/settings_file.h"

void ScanProfiles() {
  ClearProfileList();
  if (!profileFolderPath[0]) return;
  char pattern[STORAGE_PATH_SIZE];
  int length = std::snprintf(pattern, sizeof pattern, "%s\\*.txt", profileFolderPath);
  if (length < 0 || length >= STORAGE_PATH_SIZE) return;

  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA(pattern, &entry);
  if (listing == INVALID_HANDLE_VALUE) return;
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (AddListedProfile(entry.cFileName)) break;
  } while (FindNextFileA(listing, &entry));
  FindClose(listing);
}
