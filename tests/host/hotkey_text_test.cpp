#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "input/hotkey_text.h"

namespace {

constexpr uint32_t CTRL = 0x0002;
constexpr uint32_t ALT = 0x0001;
constexpr uint32_t SHIFT = 0x0004;

struct HotkeyCase {
  const char* text;
  uint32_t modifiers;
  uint32_t key;
};

const HotkeyCase HOTKEY_CASES[] = {
    {"F4", 0, 0x73},
    {"^R", CTRL, 0x52},
    {"!B", ALT, 0x42},
    {"+^x", CTRL | SHIFT, 0x58},
    {"^^A", CTRL, 0x41},
    {"F10", 0, 0x79},
    {"F12abc", 0, 0x7B},
    {"F13", 0, 0x70},  // no three-character name matches; F1 does
    {"F0", 0, 0x46},
    {"f4", 0, 0x46},
    {"AB", 0, 0x41},
    {"A^", 0, 0x41},
    {"5", 0, 0},
    {"^", CTRL, 0},
    {" F4", 0, 0},
    {"", 0, 0},
    // beyond the table above
    {"F1", 0, 0x70},
    {"F11", 0, 0x7A},
    {"F19", 0, 0x70},
    {"F", 0, 0x46},
    {"!+^F12", ALT | SHIFT | CTRL, 0x7B},
    {"!!!+", ALT | SHIFT, 0},
    {"z", 0, 0x5A},
    {"^ R", CTRL, 0},
    {"#A", 0, 0},
    // the neighbours of the letter ranges are no keys
    {"@", 0, 0},
    {"[", 0, 0},
    {"`", 0, 0},
    {"{", 0, 0},
    // 8-bit text: a character with the top bit set is not a letter, even where
    // its lower seven bits would be one (0xC1 & 0x7F is 'A')
    {"\xC1", 0, 0},
    {"\xE1", 0, 0},
    {"\xFF" "F4", 0, 0},
};

// Every case is parsed from a heap copy of exactly its own length, so reading
// one byte past the terminator is caught by AddressSanitizer.
TEST(ParseHotkey, ReadsModifiersThenKeyName) {
  for (const HotkeyCase& c : HOTKEY_CASES) {
    const size_t size = std::strlen(c.text) + 1;
    std::unique_ptr<char[]> text(new char[size]);
    std::memcpy(text.get(), c.text, size);
    uint32_t modifiers = 0xDEADBEEF;
    uint32_t key = 0xDEADBEEF;
    ParseHotkey(text.get(), &modifiers, &key);
    EXPECT_EQ(modifiers, c.modifiers) << "text \"" << c.text << "\"";
    EXPECT_EQ(key, c.key) << "text \"" << c.text << "\"";
    EXPECT_EQ(std::memcmp(text.get(), c.text, size), 0) << "text was written";
  }
}

TEST(ParseHotkey, MissingTextNamesNoKey) {
  uint32_t modifiers = 7;
  uint32_t key = 0x73;
  ParseHotkey(nullptr, &modifiers, &key);
  EXPECT_EQ(modifiers, 0u);
  EXPECT_EQ(key, 0u);
}

// A settings buffer holds at most 31 characters; a full one still parses.
TEST(ParseHotkey, FullHotkeyBuffer) {
  char text[32];
  std::memset(text, '^', 30);
  text[30] = 'q';
  text[31] = '\0';
  uint32_t modifiers = 0;
  uint32_t key = 0;
  ParseHotkey(text, &modifiers, &key);
  EXPECT_EQ(modifiers, CTRL);
  EXPECT_EQ(key, 0x51u);
}

}  // namespace
