#include "storage/profile_store.h"

#include <cstring>

#include "engine/steering.h"
#include "engine/tuning.h"
#include "storage/file_replace.h"
#include "storage/file_writer.h"
#include "storage/name_rules.h"
#include "storage/settings_file.h"

char profileNames[PROFILE_LIST_SIZE][PROFILE_NAME_SIZE];
int32_t profileCount;
char profileGames[PROFILE_LIST_SIZE][PROFILE_NAME_SIZE];

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// "<profile folder>\<name>.txt"; 0 when refused or when it does not fit.
int BuildProfilePath(const char* name, char* path) {
  if (!profileFolderPath[0] || !IsValidProfileName(name)) return 0;
  int length = std::snprintf(path, STORAGE_PATH_SIZE, "%s%c%s.txt", profileFolderPath,
                             STORAGE_PATH_SEPARATOR, name);
  return length > 0 && length < STORAGE_PATH_SIZE;
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

// ---- Profile files ---------------------------------------------------------

uint32_t SaveProfile(const char* name, const char* games) {
  char path[STORAGE_PATH_SIZE];
  if (!BuildProfilePath(name, path) || !IsValidGameList(games)) return 0;
  TuningSettings record = tuningSettings;
  if (!CopyTextValue(record.game, sizeof record.game, games)) return 0;
  char text[FILE_WRITE_TEXT_SIZE];
  const size_t length = FormatProfileText(record, text, sizeof text);
  return length ? RequestFileWrite(FILE_WRITE_PROFILE, path, text, length) : 0;
}

int LoadProfile(const char* name) {
  char path[STORAGE_PATH_SIZE];
  if (!BuildProfilePath(name, path)) return 0;
  FILE* file = std::fopen(path, "rb");
  if (!file) return 0;
  ReadProfileStream(file);
  std::fclose(file);
  // name may be the active profile's own buffer or a list entry.
  std::memmove(tuningSettings.profile, name, std::strlen(name) + 1);
  steeringState.profileModified = 0;
  return 1;
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
