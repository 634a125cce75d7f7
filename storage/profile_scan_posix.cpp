#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>

#include "storage/profile_store.h"
#include "storage/settings_file.h"

void ScanProfiles() {
  ClearProfileList();
  if (!profileFolderPath[0]) return;
  DIR* listing = opendir(profileFolderPath);
  if (!listing) return;
  while (dirent* entry = readdir(listing)) {
    char path[STORAGE_PATH_SIZE];
    int length = std::snprintf(path, sizeof path, "%s/%s", profileFolderPath, entry->d_name);
    if (length < 0 || length >= STORAGE_PATH_SIZE) continue;
    struct stat info;
    if (stat(path, &info) != 0 || S_ISDIR(info.st_mode)) continue;
    if (AddListedProfile(entry->d_name)) break;
  }
  closedir(listing);
}
