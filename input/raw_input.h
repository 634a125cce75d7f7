// The hidden "TXInputWnd" window that receives raw mouse reports system-wide.
#pragma once

#include <windows.h>

#include <cstdint>

// Reports closer than this to the last accepted one are dropped.
constexpr uint32_t RAW_INPUT_GATE_MS = 8;

// Registers "TXInputWnd", creates it message-only and registers the mouse for
// raw input with the input-sink flag. Failures leave the program without steering.
void CreateRawInputWindow();
LRESULT CALLBACK RawInputWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
