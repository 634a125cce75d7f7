// The two global hotkeys, registered on the main window.
#pragma once

#include <windows.h>

constexpr int HOTKEY_ID_LOCK = 1000;
constexpr int HOTKEY_ID_RECENTER = 1001;

// The window the hotkeys are registered on: the main window, set by start-up.
extern HWND hotkeyWindow;

void RegisterHotkeys();
