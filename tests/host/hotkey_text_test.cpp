#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "engine/status_notice.h"
#include "input/elevation.h"
#include "input/hotkey_text.h"

constexpr uint32_t C = 0x0002, A = 0x0001, S = 0x0004;  // Ctrl, Alt, Shift

// Each text is parsed from a heap copy of its exact length, so AddressSanitizer sees a read past its end.
TEST(ParseHotkey, ModifiersThenKeyNameAndTheLockWithoutRepeat) {
  const struct { const char* text; uint32_t modifiers, key; } rows[] = {
      {"F4", 0, 0x73}, {"^R", C, 0x52}, {"!B", A, 0x42}, {"+^x", C | S, 0x58}, {"^^A", C, 0x41}, {"!+^F12", A | S | C, 0x7B},
      {"!!!+", A | S, 0}, {"^", C, 0}, {"^ R", C, 0}, {"A^", 0, 0x41}, {"F1", 0, 0x70}, {"F9", 0, 0x78}, {"F10", 0, 0x79},
      {"F11", 0, 0x7A}, {"F12abc", 0, 0x7B}, {"F13", 0, 0x70}, {"F19", 0, 0x70}, {"F0", 0, 0x46}, {"F", 0, 0x46},
      {"f4", 0, 0x46}, {"AB", 0, 0x41}, {"Z", 0, 0x5A}, {"a", 0, 0x41}, {"z", 0, 0x5A}, {"5", 0, 0}, {" F4", 0, 0}, {"", 0, 0},
      {"#A", 0, 0}, {"@", 0, 0}, {"[", 0, 0}, {"`", 0, 0}, {"{", 0, 0}, {"\xC1", 0, 0}, {"\xE1", 0, 0}, {"\xFF" "F4", 0, 0},
      {"^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^q", C, 0x51},  // a full 31-character field
  };
  for (const auto& r : rows) {
    const size_t size = std::strlen(r.text) + 1;
    std::unique_ptr<char[]> text(new char[size]);
    std::memcpy(text.get(), r.text, size);
    // As parsed, as registered for re-centring, and for the lock: a toggle must not auto-repeat.
    for (uint32_t repeat : {1u, 2u, 0u}) {
      uint32_t modifiers = 0xDEADBEEF, key = 0xDEADBEEF;
      repeat == 1 ? ParseHotkey(text.get(), &modifiers, &key) : HotkeyRegistration(text.get(), !repeat, &modifiers, &key);
      EXPECT_EQ(modifiers, r.modifiers | (repeat ? 0 : 0x4000u)) << '"' << r.text << '"' << repeat;
      EXPECT_EQ(key, r.key) << '"' << r.text << '"';
      EXPECT_EQ(std::memcmp(text.get(), r.text, size), 0) << "text was written";
    }
  }
}

// The game in front above our integrity level: only a known, higher level counts; the shell changes nothing.
TEST(Elevation, OnlyAKnownHigherLevelInFrontIsShown) {
  const int32_t medium = 0x2000, high = 0x3000, unknown = INTEGRITY_UNKNOWN;
  const struct { int32_t own; const char* exe; int32_t level; int above; } steps[] = {
      {medium, "game.exe", high, 1}, {medium, "Explorer.exe", medium, 1}, {medium, "game.exe", medium, 0},
      {medium, "game.exe", 0x4000, 1}, {medium, "other.exe", unknown, 0}, {unknown, "game.exe", high, 0},
      {high, "game.exe", high, 0}, {high, "notepad.exe", medium, 0}};
  for (const auto& s : steps) {
    elevationState.ownLevel = s.own;
    NoteForegroundLevel(s.exe, s.level);
    EXPECT_EQ(elevationState.gameAbove, s.above) << s.exe << " " << s.level;
    EXPECT_STREQ(StatusNoticeText(NOTICE_ELEVATED), s.above ? "Game runs as administrator: no mouse input" : "");
  }
}
