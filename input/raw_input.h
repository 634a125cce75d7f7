// The hidden "TXInputWnd" window that receives raw mouse reports system-wide.
#pragma once

#include <windows.h>

constexpr uint32_t RAW_INPUT_GATE_MS = 8;

void CreateRawInputWindow();
LRESULT CALLBACK RawInputWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
