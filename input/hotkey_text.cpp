#include "input/hotkey_text.h"

#include <cstring>

namespace {

struct FunctionKeyName {
  const char* name;
  uint32_t key;
};

// Three-character names come first so that "F10" is not read as "F1".
constexpr FunctionKeyName FUNCTION_KEYS[] = {
    {"F10", 0x79}, {"F11", 0x7A}, {"F12", 0x7B}, {"F1", 0x70}, {"F2", 0x71},
    {"F3", 0x72},  {"F4", 0x73},  {"F5", 0x74},  {"F6", 0x75}, {"F7", 0x76},
    {"F8", 0x77},  {"F9", 0x78},
};

}  // namespace

void ParseHotkey(const char* text, uint32_t* modifiers, uint32_t* key) {
  uint32_t mods = 0;
  uint32_t vk = 0;
  const char* p = text;

  if (p != nullptr) {
    for (;; ++p) {
      if (*p == '^') {
        mods |= HOTKEY_MOD_CONTROL;
      } else if (*p == '!') {
        mods |= HOTKEY_MOD_ALT;
      } else if (*p == '+') {
        mods |= HOTKEY_MOD_SHIFT;
      } else {
        break;
      }
    }

    for (const FunctionKeyName& f : FUNCTION_KEYS) {
      // strncmp stops at the text's terminator, so a short rest is never overread.
      if (std::strncmp(p, f.name, std::strlen(f.name)) == 0) {
        vk = f.key;
        break;
      }
    }
    if (vk == 0) {
      const unsigned char c = static_cast<unsigned char>(*p);
      if (c >= 'A' && c <= 'Z') {
        vk = c;
      } else if (c >= 'a' && c <= 'z') {
        vk = c - 32u;
      }
    }
  }

  if (modifiers != nullptr) *modifiers = mods;
  if (key != nullptr) *key = vk;
}

void HotkeyRegistration(const char* text, int toggle, uint32_t* modifiers, uint32_t* key) {
  ParseHotkey(text, modifiers, key);
  if (toggle && modifiers != nullptr) *modifiers |= HOTKEY_MOD_NOREPEAT;
}
