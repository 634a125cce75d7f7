// The per-monitor DPI calls of Windows 10 1607 and later, looked up in user32
// once: an exe that imported them would not start on an older Windows. Where
// one is missing, its answer comes from the system DPI and the plain calls.
#pragma once

#include <windows.h>

// The looked-up entries, null where user32 lacks them. Tests may set the
// record (lookedUp 1, entries null) to stand for an older Windows.
struct DpiFunctions {
  int lookedUp;
  UINT(WINAPI* getDpiForWindow)(HWND);
  UINT(WINAPI* getDpiForSystem)(void);
  BOOL(WINAPI* adjustWindowRectExForDpi)(LPRECT, DWORD, BOOL, DWORD, UINT);
  int(WINAPI* getSystemMetricsForDpi)(int, UINT);
};
extern DpiFunctions dpiFunctions;

// The DPI this process sees for the system (96 for a process Windows scales).
unsigned int DpiOfSystem();
// The window's DPI; the system's where the call is missing.
unsigned int DpiOfWindow(HWND window);
// Grows a client rectangle to the window's frame for a style (no menu, no
// extended style) at a DPI; without the call, the frame is the system DPI's.
void DpiAdjustFrame(RECT* frame, DWORD style, unsigned int dpi);
// A system metric (SM_CXSMICON, ...) at a DPI. Without the call, the plain
// metric, which Windows gives at the system DPI, scaled to it.
int DpiSystemMetric(int index, unsigned int dpi);
