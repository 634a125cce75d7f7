// The hidden "TXInputWnd" window that receives raw mouse reports system-wide.
#pragma once

#include <windows.h>

// Registers "TXInputWnd", creates it message-only and registers the mouse for
// raw input with the input-sink flag. Failures leave the program without steering.
void CreateRawInputWindow();
LRESULT CALLBACK RawInputWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
