// The mouse lock: cursor hidden and parked, cursor motion swallowed by a
// low-level hook, while raw input keeps steering.
#pragma once

#include <windows.h>

void ToggleMouseLock();
LRESULT CALLBACK MouseLockHookProc(int nCode, WPARAM wParam, LPARAM lParam);
// Removes the hook and shows the cursor if the lock is on; the lock is then
// off, so a second call (Exit, then WM_DESTROY) does nothing.
void EndMouseLockAtExit();
// The main window's WM_SETCURSOR while locked: 1 when answered (no cursor shape),
// 0 when the message should take its normal route.
int MouseLockHandleSetCursor();
