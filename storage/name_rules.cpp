// The rules for names the user gives: profile names (file names in the
// profile folder) and the game lists of profiles. A leaf: it calls nothing
// else of the program.
#include "storage/name_rules.h"

#include <cstring>

namespace {

// A name in a game list is held as a profile name is.
constexpr size_t NAME_RULES_SIZE = 128;

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

// The next name of a ';' list without its surrounding blanks; *next moves past
// it. 0 at the end of the list.
int NextGameName(const char** next, const char** name, size_t* length) {
  const char* at = *next;
  if (!*at) return 0;
  const char* end = std::strchr(at, ';');
  if (!end) end = at + std::strlen(at);
  *next = *end ? end + 1 : end;
  while (at < end && (*at == ' ' || *at == '\t')) ++at;
  while (end > at && (end[-1] == ' ' || end[-1] == '\t')) --end;
  *name = at;
  *length = static_cast<size_t>(end - at);
  return 1;
}

}  // namespace

int SameNoCase(const char* a, size_t aLength, const char* b) {
  if (std::strlen(b) != aLength) return 0;
  for (size_t i = 0; i < aLength; ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return 0;
  }
  return 1;
}

int IsValidProfileName(const char* name) {
  if (!name) return 0;
  size_t length = 0;
  while (length < NAME_RULES_SIZE && name[length]) ++length;
  if (length == 0 || length >= NAME_RULES_SIZE) return 0;
  if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return 0;
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 32 || std::strchr("<>:\"/\\|?*", c)) return 0;
  }
  if (!IsValidUtf8(reinterpret_cast<const unsigned char*>(name), length)) return 0;
  return IsDeviceName(name) ? 0 : 1;
}

int GameListHolds(const char* list, const char* exe) {
  const char* name;
  size_t length;
  while (NextGameName(&list, &name, &length)) {
    if (length > 0 && SameNoCase(name, length, exe)) return 1;
  }
  return 0;
}

int IsValidGameList(const char* list) {
  const char* name;
  size_t length;
  while (NextGameName(&list, &name, &length)) {
    if (length == 0) continue;
    char single[NAME_RULES_SIZE];
    if (length >= NAME_RULES_SIZE) return 0;
    std::memcpy(single, name, length);
    single[length] = 0;
    if (!IsValidProfileName(single)) return 0;
  }
  return 1;
}

