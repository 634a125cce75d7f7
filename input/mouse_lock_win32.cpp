#include "input/mouse_lock.h"

#include "engine/tuning.h"

namespace {

// ShowCursor keeps a count; several calls each way make sure the cursor really
// goes away even if something else showed it once more.
constexpr int MOUSE_LOCK_CURSOR_CALLS = 10;
// Beyond any screen: the system stops the cursor at the desktop's right edge.
constexpr int MOUSE_LOCK_PARK_X = 9999;

HHOOK mouseHook;

void MouseLockShowCursor(BOOL show) {
  for (int i = 0; i < MOUSE_LOCK_CURSOR_CALLS; ++i) ShowCursor(show);
}

}  // namespace

void ToggleMouseLock() {
  steeringState.mouseLocked = steeringState.mouseLocked ? 0 : 1;
  if (steeringState.mouseLocked) {
    // A failed hook still hides and parks the cursor; moves then pass.
    mouseHook = SetWindowsHookExA(WH_MOUSE_LL, MouseLockHookProc, GetModuleHandleA(nullptr), 0);
    MouseLockShowCursor(FALSE);
    SetCursorPos(MOUSE_LOCK_PARK_X, GetSystemMetrics(SM_CYSCREEN) / 2);
  } else {
    if (mouseHook) {
      UnhookWindowsHookEx(mouseHook);
      mouseHook = nullptr;
    }
    MouseLockShowCursor(TRUE);
  }
}

// Sits in the path of every mouse event of the desktop: compare and return.
// Raw input does not pass through here, so steering goes on while moves stop.
LRESULT CALLBACK MouseLockHookProc(int nCode, WPARAM wParam, LPARAM lParam) {
  if (nCode == HC_ACTION && steeringState.mouseLocked == 1 && wParam == WM_MOUSEMOVE) return 1;
  return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

void EndMouseLockAtExit() {
  // Both the tray's Exit and WM_DESTROY come here; the second call must neither
  // unhook a stale handle nor show the cursor ten times more.
  if (mouseHook) {
    UnhookWindowsHookEx(mouseHook);
    mouseHook = nullptr;
  }
  if (steeringState.mouseLocked == 1) {
    MouseLockShowCursor(TRUE);
    steeringState.mouseLocked = 0;
  }
}

int MouseLockHandleSetCursor() {
  if (steeringState.mouseLocked != 1) return 0;
  SetCursor(nullptr);
  return 1;
}
