// The two global hotkeys, registered on the main window.
#pragma once

#include <windows.h>

constexpr int HOTKEY_ID_LOCK = 1000;
constexpr int HOTKEY_ID_RECENTER = 1001;

// The window the hotkeys are registered on: the main window, set by start-up.
extern HWND hotkeyWindow;

// What became of each hotkey at its last registration.
constexpr int HOTKEY_REGISTERED = 0;  // also: no key named, so none asked for
constexpr int HOTKEY_TAKEN = 1;       // another program holds the combination
constexpr int HOTKEY_REFUSED = 2;     // refused for any other reason
extern int hotkeyLockState;
extern int hotkeyRecenterState;

void RegisterHotkeys();
