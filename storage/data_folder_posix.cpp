// The native build's data folder: $HOME/Documents/Tarvix, the place Wine maps
// the Windows Documents folder to, so the host tests can point HOME elsewhere.
#include <cstdio>
#include <cstdlib>

#include "storage/settings_file.h"

void GetDataFolderPath(char* buffer) {
  buffer[0] = 0;
  const char* home = std::getenv("HOME");
  if (!home || !home[0]) return;
  int length = std::snprintf(buffer, STORAGE_PATH_SIZE, "%s/Documents/Tarvix", home);
  if (length < 0 || length >= STORAGE_PATH_SIZE) buffer[0] = 0;
}
