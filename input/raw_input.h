// The hidden "TXInputWnd" window that receives raw mouse reports system-wide.
#pragma once

#include <windows.h>

#include <cstdint>

#include "input/mouse_choice.h"

// Registers "TXInputWnd", creates it message-only and registers the mouse for
// raw input with the input-sink flag and device notices; then finds the chosen
// steering mouse. Failures leave the program without steering.
void CreateRawInputWindow();
LRESULT CALLBACK RawInputWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The mice connected now, at most most of them (input/mouse_devices_win32.cpp):
// each one's path, identity and product name. The count found.
int MouseDevicesList(MouseDevice* devices, int most);
// One device by its raw-input handle; 0 when the system does not know it.
int MouseDeviceDescribe(uintptr_t handle, MouseDevice* device);
