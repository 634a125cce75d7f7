// Hotkey texts such as "F4", "^R" (Ctrl+R), "!B" (Alt+B), "+^x" (Ctrl+Shift+X).
#pragma once

#include <cstdint>

constexpr uint32_t HOTKEY_MOD_ALT = 0x0001;
constexpr uint32_t HOTKEY_MOD_CONTROL = 0x0002;
constexpr uint32_t HOTKEY_MOD_SHIFT = 0x0004;
constexpr uint32_t HOTKEY_MOD_NOREPEAT = 0x4000;

// Both outputs are set to 0 first; key 0 means the text names no key.
void ParseHotkey(const char* text, uint32_t* modifiers, uint32_t* key);

// What RegisterHotKey is given for a text. A toggle (the mouse lock) adds
// HOTKEY_MOD_NOREPEAT: held down, the keyboard's auto-repeat would flip it on
// and off about 30 times a second and leave it wherever the release fell.
// Re-centring may repeat.
void HotkeyRegistration(const char* text, int toggle, uint32_t* modifiers, uint32_t* key);
