#include "storage/settings_file.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/steering.h"
#include "engine/tuning.h"
#include "storage/file_replace.h"
#include "storage/game_profiles.h"

char settingsFilePath[STORAGE_PATH_SIZE];
char profileFolderPath[STORAGE_PATH_SIZE];

namespace {

constexpr int LINE_PIECE_MAX = 255;
constexpr int KEY_MAX = 63;
constexpr int SETTINGS_VALUE_MAX = 191;

// isspace() of the "C" locale, without its sign and locale pitfalls.
int IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int StartsWithNoCase(const char* text, const char* word) {
  for (; *word; ++text, ++word) {
    char c = *text;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != *word) return 0;
  }
  return 1;
}

void SetFloat(float* field, const char* value) {
  float parsed;
  if (ParseFloatValue(value, &parsed)) *field = parsed;
}

void ApplySettingsValue(const char* key, const char* value) {
  TuningSettings& t = tuningSettings;
  if (ApplyTuningValue(key, value)) return;
  if (std::strcmp(key, "startMin") == 0) {
    t.startMin = ParseIntValue(value);
  } else if (std::strcmp(key, "startWithWindows") == 0) {
    t.startWithWindows = ParseIntValue(value);
  } else if (std::strcmp(key, "accelBrakeMode") == 0) {
    t.accelBrakeMode = ParseIntValue(value);
  } else if (std::strcmp(key, "hotkeyLock") == 0) {
    CopyTextValue(t.hotkeyLock, sizeof t.hotkeyLock, value);
  } else if (std::strcmp(key, "hotkeyRecenter") == 0) {
    CopyTextValue(t.hotkeyRecenter, sizeof t.hotkeyRecenter, value);
  } else if (std::strcmp(key, "profile") == 0) {
    CopyTextValue(t.profile, sizeof t.profile, value);
  } else if (std::strcmp(key, "autoProfile") == 0) {
    t.autoProfile = ParseIntValue(value);
  }
}

}  // namespace

int ApplyTuningValue(const char* key, const char* value) {
  TuningSettings& t = tuningSettings;
  if (std::strcmp(key, "sensitivity") == 0) {
    SetFloat(&t.sensitivity, value);
  } else if (std::strcmp(key, "responseCurve") == 0) {
    SetFloat(&t.responseCurve, value);
  } else if (std::strcmp(key, "smoothing") == 0) {
    SetSmoothingWindow(ParseIntValue(value));
  } else if (std::strcmp(key, "autoCenterForce") == 0) {
    SetFloat(&t.autoCenterForce, value);
  } else if (std::strcmp(key, "steeringLimit") == 0) {
    SetFloat(&t.steeringLimit, value);
  } else {
    return 0;
  }
  return 1;
}

// ---- Data folder paths -----------------------------------------------------

void CreateDataFolders() {
  char dataFolder[STORAGE_PATH_SIZE];
  GetDataFolderPath(dataFolder);
  SetDataFolder(dataFolder);
  if (!settingsFilePath[0]) return;
  // One level at a time, the data folder first; an existing folder is normal.
  MakeOneFolder(dataFolder);
  MakeOneFolder(profileFolderPath);
}

void SetDataFolder(const char* dataFolder) {
  // Built aside first: dataFolder may be one of the two buffers itself.
  char settings[STORAGE_PATH_SIZE];
  char profiles[STORAGE_PATH_SIZE];
  settingsFilePath[0] = 0;
  profileFolderPath[0] = 0;
  if (!dataFolder || !dataFolder[0]) return;
  int settingsLength = std::snprintf(settings, sizeof settings, "%s%csettings.txt", dataFolder,
                                     STORAGE_PATH_SEPARATOR);
  int profilesLength = std::snprintf(profiles, sizeof profiles, "%s%cProfiles", dataFolder,
                                     STORAGE_PATH_SEPARATOR);
  // The settings file also needs room for its ".tmp" sibling.
  if (settingsLength < 0 || settingsLength + 4 >= STORAGE_PATH_SIZE) return;
  if (profilesLength < 0 || profilesLength >= STORAGE_PATH_SIZE) return;
  std::memcpy(settingsFilePath, settings, static_cast<size_t>(settingsLength) + 1);
  std::memcpy(profileFolderPath, profiles, static_cast<size_t>(profilesLength) + 1);
}

// ---- Safe whole-file writes ------------------------------------------------

int WriteTempFile(const char* path, void (*writer)(FILE* file), char* tempPath) {
  if (!path || !path[0]) return 0;
  int length = std::snprintf(tempPath, STORAGE_PATH_SIZE, "%s.tmp", path);
  if (length < 0 || length >= STORAGE_PATH_SIZE) return 0;

  FILE* file = std::fopen(tempPath, "wb");
  if (!file) return 0;
  writer(file);
  int ok = std::fflush(file) == 0 && !std::ferror(file) && FlushFileToDisk(file);
  if (std::fclose(file) != 0) ok = 0;
  if (!ok) DeleteOneFile(tempPath);
  return ok;
}

int WriteFileReplacing(const char* path, void (*writer)(FILE* file)) {
  char tempPath[STORAGE_PATH_SIZE];
  if (!WriteTempFile(path, writer, tempPath)) return 0;
  if (ReplaceFileInOneStep(tempPath, path) == 1) return 1;
  DeleteOneFile(tempPath);
  return 0;
}

// ---- Reading helpers -------------------------------------------------------

int ReadLinePiece(FILE* file, char* piece) {
  // Byte by byte rather than fgets, so that a NUL inside a line cannot hide
  // where the piece really ends.
  int length = 0;
  while (length < LINE_PIECE_MAX) {
    int c = std::getc(file);
    if (c == EOF) break;
    piece[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  if (length == 0) return 0;

  if (piece[length - 1] == '\n') {
    --length;
    if (length > 0 && piece[length - 1] == '\r') --length;
  } else if (piece[length - 1] == '\r') {
    // A CR LF split by the 255 limit is still one line end, as in text mode.
    int next = std::getc(file);
    if (next == '\n') {
      --length;
    } else if (next != EOF) {
      std::ungetc(next, file);
    }
  }
  piece[length] = 0;
  return 1;
}

int SplitKeyValue(const char* piece, char* key, int keyMax, const char** rest) {
  const char* equals = std::strchr(piece, '=');
  if (!equals) return 0;
  long keyLength = static_cast<long>(equals - piece);
  if (keyLength < 1 || keyLength > keyMax) return 0;
  std::memcpy(key, piece, static_cast<size_t>(keyLength));
  key[keyLength] = 0;
  *rest = equals + 1;
  return 1;
}

int ParseFloatValue(const char* text, float* value) {
  // Not every C runtime's atof knows "inf" and "nan", so they are refused by
  // name as well as by result, and both builds agree.
  const char* p = text;
  while (IsBlank(*p)) ++p;
  if (*p == '+' || *p == '-') ++p;
  if (StartsWithNoCase(p, "inf") || StartsWithNoCase(p, "nan")) return 0;

  double parsed = std::strtod(text, nullptr);
  // At or beyond this magnitude the narrowing to f32 gives infinity.
  if (!(std::fabs(parsed) < 0x1.ffffffp+127)) return 0;
  *value = static_cast<float>(parsed);
  return 1;
}

int32_t ParseIntValue(const char* text) {
  const char* p = text;
  while (IsBlank(*p)) ++p;
  int negative = 0;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  // The magnitude stops growing just past the i32 range, so an over-long
  // number saturates at INT32_MIN or INT32_MAX instead of overflowing.
  int64_t magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > 2147483648LL) magnitude = 2147483648LL;
  }
  int64_t result = negative ? -magnitude : magnitude;
  if (result > INT32_MAX) result = INT32_MAX;
  return static_cast<int32_t>(result);
}

int CopyTextValue(char* field, int fieldSize, const char* text) {
  size_t length = std::strlen(text);
  if (length >= static_cast<size_t>(fieldSize)) return 0;
  std::memcpy(field, text, length + 1);
  return 1;
}

// ---- Settings format -------------------------------------------------------

void WriteSettingsStream(FILE* file) {
  const TuningSettings t = SettingsFileRecord();
  std::fprintf(file,
               "sensitivity=%.1f\r\nresponseCurve=%.2f\r\nsmoothing=%d\r\n"
               "autoCenterForce=%.1f\r\nsteeringLimit=%.1f\r\nstartMin=%d\r\n"
               "startWithWindows=%d\r\naccelBrakeMode=%d\r\n",
               static_cast<double>(t.sensitivity), static_cast<double>(t.responseCurve),
               static_cast<int>(t.smoothing), static_cast<double>(t.autoCenterForce),
               static_cast<double>(t.steeringLimit), static_cast<int>(t.startMin),
               static_cast<int>(t.startWithWindows), static_cast<int>(t.accelBrakeMode));
  // Precision bounds the text to its field even if a terminator went missing.
  std::fprintf(file, "hotkeyLock=%.*s\r\nhotkeyRecenter=%.*s\r\n",
               static_cast<int>(sizeof t.hotkeyLock - 1), t.hotkeyLock,
               static_cast<int>(sizeof t.hotkeyRecenter - 1), t.hotkeyRecenter);
  std::fprintf(file, "profile=%.*s\r\n", static_cast<int>(sizeof t.profile - 1), t.profile);
  std::fprintf(file, "autoProfile=%d\r\n", static_cast<int>(t.autoProfile));
}

void ReadSettingsStream(FILE* file) {
  char piece[LINE_PIECE_MAX + 1];
  char key[KEY_MAX + 1];
  const char* value;
  while (ReadLinePiece(file, piece)) {
    if (!SplitKeyValue(piece, key, KEY_MAX, &value)) continue;
    size_t valueLength = std::strlen(value);
    if (valueLength < 1 || valueLength > SETTINGS_VALUE_MAX) continue;
    ApplySettingsValue(key, value);
  }
  steeringState.profileModified = 0;
}


void LoadSettings() {
  if (!settingsFilePath[0]) return;
  FILE* file = std::fopen(settingsFilePath, "rb");
  if (!file) return;
  ReadSettingsStream(file);
  std::fclose(file);
}
