#include "input/hotkeys.h"

#include <cstring>

#include "engine/tuning.h"
#include "input/hotkey_text.h"

HWND hotkeyWindow;
int hotkeyLockState;
int hotkeyRecenterState;

namespace {

int RegisterOneHotkey(int id, const char (&text)[32]) {
  // The text lives in a fixed buffer that a hand-edited file fills; never let
  // the parser read past it.
  char terminated[sizeof text];
  std::memcpy(terminated, text, sizeof text);
  terminated[sizeof terminated - 1] = '\0';

  uint32_t modifiers = 0;
  uint32_t key = 0;
  HotkeyRegistration(terminated, id == HOTKEY_ID_LOCK, &modifiers, &key);
  // A text that names no key leaves this hotkey off.
  if (key == 0 || RegisterHotKey(hotkeyWindow, id, modifiers, key)) return HOTKEY_REGISTERED;
  return GetLastError() == ERROR_HOTKEY_ALREADY_REGISTERED ? HOTKEY_TAKEN : HOTKEY_REFUSED;
}

}  // namespace

void RegisterHotkeys() {
  // Unregister first, so a changed text never leaves the old combination live.
  UnregisterHotKey(hotkeyWindow, HOTKEY_ID_LOCK);
  UnregisterHotKey(hotkeyWindow, HOTKEY_ID_RECENTER);
  hotkeyLockState = RegisterOneHotkey(HOTKEY_ID_LOCK, tuningSettings.hotkeyLock);
  hotkeyRecenterState = RegisterOneHotkey(HOTKEY_ID_RECENTER, tuningSettings.hotkeyRecenter);
}
