#include <windows.h>
#include <shlobj.h>

#include <cstdio>

#include "storage/settings_file.h"

void GetDataFolderPath(char* buffer) {
  char documents[MAX_PATH];
  buffer[0] = 0;
  // On failure the shell leaves its buffer undefined: no path is built then.
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents))) {
    return;
  }
  documents[MAX_PATH - 1] = 0;
  if (!documents[0]) return;
  int length = std::snprintf(buffer, STORAGE_PATH_SIZE, "%s\\Tarvix", documents);
  if (length < 0 || length >= STORAGE_PATH_SIZE) buffer[0] = 0;
}
