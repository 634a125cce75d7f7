#include "storage/profile_store.h"

#include <cstring>

#include "engine/steering.h"
#include "engine/tuning.h"
#include "storage/file_replace.h"
#include "storage/game_profiles.h"
#include "storage/settings_file.h"

char profileNames[PROFILE_LIST_SIZE][PROFILE_NAME_SIZE];
int32_t profileCount;
char profileGames[PROFILE_LIST_SIZE][PROFILE_NAME_SIZE];

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Windows opens a device instead of a file for these names, whatever follows
// the first point and however many blanks trail the name.
int IsDeviceName(const char* name) {
  size_t length = 0;
  while (name[length] && name[length] != '.') ++length;
  while (length > 0 && name[length - 1] == ' ') --length;

  static const char* const plain[] = {"con", "prn", "aux", "nul", "conin$", "conout$"};
  for (const char* device : plain) {
    size_t deviceLength = std::strlen(device);
    if (length != deviceLength) continue;
    size_t i = 0;
    while (i < length && LowerAscii(name[i]) == device[i]) ++i;
    if (i == length) return 1;
  }
  if (length == 4) {
    char a = LowerAscii(name[0]), b = LowerAscii(name[1]), c = LowerAscii(name[2]);
    int port = (a == 'c' && b == 'o' && c == 'm') || (a == 'l' && b == 'p' && c == 't');
    unsigned char digit = static_cast<unsigned char>(name[3]);
    if (port && digit >= '1' && digit <= '9') return 1;
  }
  if (length == 5) {
    char a = LowerAscii(name[0]), b = LowerAscii(name[1]), c = LowerAscii(name[2]);
    int port = (a == 'c' && b == 'o' && c == 'm') || (a == 'l' && b == 'p' && c == 't');
    unsigned char lead = static_cast<unsigned char>(name[3]);
    unsigned char digit = static_cast<unsigned char>(name[4]);
    // Superscript 1, 2 and 3 in UTF-8: C2 B9, C2 B2, C2 B3.
    if (port && lead == 0xC2 && (digit == 0xB9 || digit == 0xB2 || digit == 0xB3)) return 1;
  }
  return 0;
}

// Well-formed UTF-8 only: no stray continuation bytes, overlong forms,
// surrogates or code points past U+10FFFF. The file system would turn the
// rest into other names.
int IsValidUtf8(const unsigned char* text, size_t length) {
  for (size_t i = 0; i < length;) {
    unsigned char c = text[i];
    size_t extra;
    unsigned int low = 0x80, high = 0xBF;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return 0;
    }
    if (length - i <= extra) return 0;
    for (size_t k = 1; k <= extra; ++k) {
      unsigned int next = text[i + k];
      if (next < (k == 1 ? low : 0x80u) || next > (k == 1 ? high : 0xBFu)) return 0;
    }
    i += extra + 1;
  }
  return 1;
}

// "<profile folder>\<name>.txt"; 0 when refused or when it does not fit.
int BuildProfilePath(const char* name, char* path) {
  if (!profileFolderPath[0] || !IsValidProfileName(name)) return 0;
  int length = std::snprintf(path, STORAGE_PATH_SIZE, "%s%c%s.txt", profileFolderPath,
                             STORAGE_PATH_SEPARATOR, name);
  return length > 0 && length < STORAGE_PATH_SIZE;
}

// name may be the active profile's own buffer or a list entry.
void MakeActiveProfile(const char* name) {
  size_t length = std::strlen(name);
  std::memmove(tuningSettings.profile, name, length + 1);
  steeringState.profileModified = 0;
  SaveSettings();
}

constexpr int LINE_PIECE_MAX = 255;
constexpr int KEY_MAX = 63;

// The game line takes its whole value, blanks included: file names may hold them.
int ReadGameValue(const char* key, const char* rest, char* game) {
  if (std::strcmp(key, "game") != 0) return 0;
  CopyTextValue(game, PROFILE_NAME_SIZE, rest);
  return 1;
}

// Only the game line of a listed profile's file, so switching never opens files.
void ReadListedGames(const char* name, char* game) {
  char path[STORAGE_PATH_SIZE];
  if (!BuildProfilePath(name, path)) return;
  FILE* file = std::fopen(path, "rb");
  if (!file) return;
  char piece[LINE_PIECE_MAX + 1];
  char key[KEY_MAX + 1];
  const char* rest;
  while (ReadLinePiece(file, piece)) {
    if (SplitKeyValue(piece, key, KEY_MAX, &rest)) ReadGameValue(key, rest, game);
  }
  std::fclose(file);
}

}  // namespace

int IsValidProfileName(const char* name) {
  if (!name) return 0;
  size_t length = 0;
  while (length < PROFILE_NAME_SIZE && name[length]) ++length;
  if (length == 0 || length >= PROFILE_NAME_SIZE) return 0;
  if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return 0;
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 32 || std::strchr("<>:\"/\\|?*", c)) return 0;
  }
  if (!IsValidUtf8(reinterpret_cast<const unsigned char*>(name), length)) return 0;
  return IsDeviceName(name) ? 0 : 1;
}

// ---- Profile files ---------------------------------------------------------

void SaveProfile(const char* name) {
  char path[STORAGE_PATH_SIZE];
  if (!BuildProfilePath(name, path) || !IsValidGameList(tuningSettings.game)) return;
  // Only a profile that is really on disk becomes the active one.
  if (!WriteFileReplacing(path, WriteProfileStream)) return;
  MakeActiveProfile(name);
}

void LoadProfile(const char* name) {
  char path[STORAGE_PATH_SIZE];
  if (!BuildProfilePath(name, path)) return;
  FILE* file = std::fopen(path, "rb");
  if (!file) return;
  ReadProfileStream(file);
  std::fclose(file);
  MakeActiveProfile(name);
}

void DeleteProfile(const char* name) {
  char path[STORAGE_PATH_SIZE];
  if (!BuildProfilePath(name, path)) return;
  DeleteOneFile(path);
  ScanProfiles();
}

// ---- Profile list ----------------------------------------------------------

void ClearProfileList() {
  std::memset(profileNames, 0, sizeof profileNames);
  std::memset(profileGames, 0, sizeof profileGames);
  profileCount = 0;
}

int AddListedProfile(const char* fileName) {
  if (profileCount >= PROFILE_LIST_SIZE) return 1;
  size_t length = std::strlen(fileName);
  // Windows also matches "*.txt" against short 8.3 names, which lets names
  // such as "a.txtx" through; only a real ".txt" ending counts.
  if (length < 4) return 0;
  const char* extension = fileName + length - 4;
  if (extension[0] != '.' || LowerAscii(extension[1]) != 't' || LowerAscii(extension[2]) != 'x' ||
      LowerAscii(extension[3]) != 't') {
    return 0;
  }
  size_t nameLength = length - 4;
  if (nameLength >= PROFILE_NAME_SIZE) return 0;
  std::memcpy(profileNames[profileCount], fileName, nameLength);
  profileNames[profileCount][nameLength] = 0;
  ReadListedGames(profileNames[profileCount], profileGames[profileCount]);
  ++profileCount;
  return profileCount >= PROFILE_LIST_SIZE;
}
