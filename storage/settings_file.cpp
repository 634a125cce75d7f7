#include "storage/settings_file.h"

#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "engine/status_notice.h"
#include "engine/steering.h"
#include "engine/tuning.h"
#include "storage/file_replace.h"
#include "storage/file_writer.h"

char settingsFilePath[STORAGE_PATH_SIZE];
char profileFolderPath[STORAGE_PATH_SIZE];
int settingsFileUnreadable;

namespace {

constexpr int LINE_PIECE_MAX = 255;
constexpr int KEY_MAX = 63;
constexpr int WHOLE_VALUE_MAX = 191;
constexpr int FIRST_WORD_MAX = 63;

enum KeyKind : uint8_t {
  KEY_FLOAT,   // f32, atof
  KEY_INT,     // i32, atoi
  KEY_WINDOW,  // i32, atoi, stored through SetSmoothingWindow
  KEY_TEXT,    // copied when it fits the field with its terminator
};

// How a file's reader takes the value after the '='.
enum KeyRead : uint8_t {
  READ_WHOLE,       // every character to the line end, blanks included (1 to 191)
  READ_FIRST_WORD,  // the first run of non-blanks (1 to 63); nothing else: skipped
  READ_LINE,        // as READ_WHOLE, up to what the rest of the line piece holds
};

enum KeyFile : uint8_t { IN_SETTINGS = 1, IN_PROFILE = 2 };

// One row per key of the settings and profile files, in the order the
// writers emit them. Both readers and both writers work from this table.
struct StorageKey {
  const char* name;
  KeyKind kind;
  const char* format;  // the value's printf format; texts get their field's size as precision
  size_t field;        // offset in TuningSettings
  size_t size;         // bytes of a text field, terminator included
  uint8_t files;       // IN_SETTINGS | IN_PROFILE
  KeyRead settingsRead, profileRead;
  uint8_t onlyWhenSet;  // a text written only when not empty
};

#define TUNING_FIELD(name) offsetof(TuningSettings, name), sizeof(TuningSettings::name)
constexpr uint8_t IN_BOTH = IN_SETTINGS | IN_PROFILE;

const StorageKey STORAGE_KEYS[] = {
    {"sensitivity", KEY_FLOAT, "%.1f", TUNING_FIELD(sensitivity), IN_BOTH, READ_WHOLE, READ_FIRST_WORD, 0},
    {"responseCurve", KEY_FLOAT, "%.2f", TUNING_FIELD(responseCurve), IN_BOTH, READ_WHOLE, READ_FIRST_WORD, 0},
    {"smoothing", KEY_WINDOW, "%d", TUNING_FIELD(smoothing), IN_BOTH, READ_WHOLE, READ_FIRST_WORD, 0},
    {"autoCenterForce", KEY_FLOAT, "%.1f", TUNING_FIELD(autoCenterForce), IN_BOTH, READ_WHOLE, READ_FIRST_WORD, 0},
    {"steeringLimit", KEY_FLOAT, "%.1f", TUNING_FIELD(steeringLimit), IN_BOTH, READ_WHOLE, READ_FIRST_WORD, 0},
    {"curveOnSteering", KEY_INT, "%d", TUNING_FIELD(curveOnSteering), IN_PROFILE, READ_WHOLE, READ_FIRST_WORD, 0},
    {"startMin", KEY_INT, "%d", TUNING_FIELD(startMin), IN_SETTINGS, READ_WHOLE, READ_FIRST_WORD, 0},
    {"startWithWindows", KEY_INT, "%d", TUNING_FIELD(startWithWindows), IN_SETTINGS, READ_WHOLE, READ_FIRST_WORD, 0},
    {"accelBrakeMode", KEY_INT, "%d", TUNING_FIELD(accelBrakeMode), IN_SETTINGS, READ_WHOLE, READ_FIRST_WORD, 0},
    {"hotkeyLock", KEY_TEXT, "%.*s", TUNING_FIELD(hotkeyLock), IN_SETTINGS, READ_WHOLE, READ_WHOLE, 0},
    {"hotkeyRecenter", KEY_TEXT, "%.*s", TUNING_FIELD(hotkeyRecenter), IN_SETTINGS, READ_WHOLE, READ_WHOLE, 0},
    {"profile", KEY_TEXT, "%.*s", TUNING_FIELD(profile), IN_SETTINGS, READ_WHOLE, READ_WHOLE, 0},
    {"directMode", KEY_INT, "%d", TUNING_FIELD(directMode), IN_SETTINGS, READ_WHOLE, READ_FIRST_WORD, 0},
    {"autoProfile", KEY_INT, "%d", TUNING_FIELD(autoProfile), IN_SETTINGS, READ_WHOLE, READ_FIRST_WORD, 0},
    {"outputDevice", KEY_INT, "%d", TUNING_FIELD(outputDevice), IN_SETTINGS, READ_WHOLE, READ_FIRST_WORD, 0},
    {"padAntiDeadzone", KEY_INT, "%d", TUNING_FIELD(padAntiDeadzone), IN_SETTINGS, READ_WHOLE, READ_FIRST_WORD, 0},
    // Executable names may hold blanks: the profile reader takes this one whole.
    {"game", KEY_TEXT, "%.*s", TUNING_FIELD(game), IN_PROFILE, READ_WHOLE, READ_WHOLE, 1},
    {"autoCenterDelay", KEY_INT, "%d", TUNING_FIELD(autoCenterDelay), IN_BOTH, READ_WHOLE, READ_FIRST_WORD, 0},
    {"scrollThrottle", KEY_INT, "%d", TUNING_FIELD(scrollThrottle), IN_SETTINGS, READ_WHOLE, READ_FIRST_WORD, 0},
    // A device path with its identity can be longer than other values.
    {"steeringMouse", KEY_TEXT, "%.*s", TUNING_FIELD(steeringMouse), IN_SETTINGS, READ_LINE, READ_LINE, 1},
    {"gameForces", KEY_INT, "%d", TUNING_FIELD(gameForces), IN_SETTINGS, READ_WHOLE, READ_FIRST_WORD, 0},
    {"gameForceStrength", KEY_INT, "%d", TUNING_FIELD(gameForceStrength), IN_BOTH, READ_WHOLE, READ_FIRST_WORD, 0},
    {"gameForcesReversed", KEY_INT, "%d", TUNING_FIELD(gameForcesReversed), IN_BOTH, READ_WHOLE, READ_FIRST_WORD, 0},
};
#undef TUNING_FIELD

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

char* KeyField(const StorageKey& key, TuningSettings* record = &tuningSettings) {
  return reinterpret_cast<char*>(record) + key.field;
}

void ApplyKeyValue(const StorageKey& key, const char* value) {
  char* field = KeyField(key);
  switch (key.kind) {
    case KEY_FLOAT: {
      float parsed;
      if (ParseFloatValue(value, &parsed)) std::memcpy(field, &parsed, sizeof parsed);
      break;
    }
    case KEY_INT: {
      const int32_t parsed = ParseIntValue(value);
      std::memcpy(field, &parsed, sizeof parsed);
      break;
    }
    case KEY_WINDOW: SetSmoothingWindow(ParseIntValue(value)); break;
    case KEY_TEXT: CopyTextValue(field, static_cast<int>(key.size), value); break;
  }
}

// The value after the '=' as the row's rule for this file takes it, into
// value; 0 when the line is to be skipped.
int TakeKeyValue(KeyRead read, const char* rest, char* value) {
  size_t length;
  size_t most = read == READ_LINE ? LINE_PIECE_MAX : WHOLE_VALUE_MAX;
  if (read == READ_FIRST_WORD) {
    while (IsBlank(*rest)) ++rest;
    length = 0;
    while (rest[length] && !IsBlank(rest[length])) ++length;
    most = FIRST_WORD_MAX;
  } else {
    length = std::strlen(rest);
  }
  if (length < 1 || length > most) return 0;
  std::memcpy(value, rest, length);
  value[length] = 0;
  return 1;
}

// Reads every line of a settings (IN_SETTINGS) or profile (IN_PROFILE) file.
// The first row of the file whose name equals the key, exactly, decides.
void ReadKeyedStream(FILE* file, uint8_t inFile) {
  char piece[LINE_PIECE_MAX + 1];
  char key[KEY_MAX + 1];
  char value[LINE_PIECE_MAX + 1];
  const char* rest;
  while (ReadLinePiece(file, piece)) {
    if (!SplitKeyValue(piece, key, KEY_MAX, &rest)) continue;
    for (const StorageKey& row : STORAGE_KEYS) {
      if (!(row.files & inFile) || std::strcmp(row.name, key) != 0) continue;
      const KeyRead read = inFile == IN_SETTINGS ? row.settingsRead : row.profileRead;
      if (TakeKeyValue(read, rest, value)) ApplyKeyValue(row, value);
      break;
    }
  }
}

// Appends to text as snprintf would; *used goes past size once it overflows.
void AppendText(char* text, size_t size, size_t* used, const char* format, ...) {
  if (*used >= size) return;
  va_list values;
  va_start(values, format);
  const int wrote = std::vsnprintf(text + *used, size - *used, format, values);
  va_end(values);
  *used = wrote < 0 ? size : *used + static_cast<size_t>(wrote);
}

size_t FormatKeyedText(char* text, size_t size, uint8_t inFile, const TuningSettings& record) {
  size_t used = 0;
  for (const StorageKey& row : STORAGE_KEYS) {
    if (!(row.files & inFile)) continue;
    const char* field = reinterpret_cast<const char*>(&record) + row.field;
    if (row.onlyWhenSet && row.kind == KEY_TEXT && !field[0]) continue;
    AppendText(text, size, &used, "%s=", row.name);
    switch (row.kind) {
      case KEY_FLOAT: {
        float v;
        std::memcpy(&v, field, sizeof v);
        AppendText(text, size, &used, row.format, static_cast<double>(v));
        break;
      }
      case KEY_INT:
      case KEY_WINDOW: {
        int32_t v;
        std::memcpy(&v, field, sizeof v);
        AppendText(text, size, &used, row.format, static_cast<int>(v));
        break;
      }
      // Precision bounds the text to its field even if a terminator went missing.
      case KEY_TEXT: AppendText(text, size, &used, row.format, static_cast<int>(row.size - 1), field); break;
    }
    AppendText(text, size, &used, "\r\n");
  }
  return used < size ? used : 0;
}

}  // namespace

// ---- Data folder paths -----------------------------------------------------

void CreateDataFolders() {
  char dataFolder[STORAGE_PATH_SIZE];
  GetDataFolderPath(dataFolder);
  SetDataFolder(dataFolder);
  if (!settingsFilePath[0]) return;
  // One level at a time, the data folder first; an existing folder is normal.
  // Controlled folder access refuses an unknown program any new folder under
  // Documents: say so, since nothing can be saved.
  if (MakeOneFolder(dataFolder) == FILE_DENIED || MakeOneFolder(profileFolderPath) == FILE_DENIED) {
    SetStatusNotice(NOTICE_FILE, DOCUMENTS_BLOCKED_TEXT);
  }
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

size_t FormatSettingsText(const TuningSettings& record, char* text, size_t size) {
  return FormatKeyedText(text, size, IN_SETTINGS, record);
}

size_t FormatProfileText(const TuningSettings& record, char* text, size_t size) {
  return FormatKeyedText(text, size, IN_PROFILE, record);
}

void ReadSettingsStream(FILE* file) {
  // Written only when a mouse is chosen: no line is any mouse.
  std::memset(tuningSettings.steeringMouse, 0, sizeof tuningSettings.steeringMouse);
  ReadKeyedStream(file, IN_SETTINGS);
  steeringState.profileModified = 0;
}

void ReadProfileStream(FILE* file) {
  // Older profiles without the line load with the curve on centring only and
  // centring at once, as they were tuned; a profile without games has none.
  tuningSettings.curveOnSteering = 0;
  tuningSettings.autoCenterDelay = 0;
  std::memset(tuningSettings.game, 0, sizeof tuningSettings.game);
  ReadKeyedStream(file, IN_PROFILE);
}

void LoadSettings() {
  if (!settingsFilePath[0]) return;
  // Read over a copy kept aside: a read that breaks off leaves the values as
  // they were.
  const TuningSettings before = tuningSettings;
  for (int attempt = 1;; ++attempt) {
    FILE* file = std::fopen(settingsFilePath, "rb");
    if (file) {
      ReadSettingsStream(file);
      const int failed = std::ferror(file);
      std::fclose(file);
      if (!failed) return;
      tuningSettings = before;
      SetSmoothingWindow(before.smoothing);
    } else if (FileIsMissing(settingsFilePath)) {
      return;  // a first start: the file is made later
    }
    if (attempt == SETTINGS_READ_TRIES) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(SETTINGS_READ_RETRY_MS));
  }
  // Held by another program, or a cloud file that is offline: the user's file
  // is kept as it is, whatever happens in this run.
  settingsFileUnreadable = 1;
  SetStatusNotice(NOTICE_FILE, SETTINGS_UNREADABLE_TEXT);
}

void WriteSettingsFile(const TuningSettings& record) {
  if (!settingsFilePath[0] || settingsFileUnreadable) return;
  char text[FILE_WRITE_TEXT_SIZE];
  const size_t length = FormatSettingsText(record, text, sizeof text);
  if (length) RequestFileWrite(FILE_WRITE_SETTINGS, settingsFilePath, text, length);
}
