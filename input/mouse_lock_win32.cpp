#include "input/mouse_lock.h"

#include "engine/tuning.h"
#include "input/mouse_motion.h"

namespace {

// ShowCursor keeps a count; several calls each way make sure the cursor really
// goes away even if something else showed it once more.
constexpr int MOUSE_LOCK_CURSOR_CALLS = 10;
constexpr int MOUSE_LOCK_MAX_MONITORS = 16;

HHOOK mouseHook;

struct MonitorList {
  ScreenRect rects[MOUSE_LOCK_MAX_MONITORS];
  int count;
};

BOOL CALLBACK CollectMonitor(HMONITOR, HDC, LPRECT rect, LPARAM data) {
  MonitorList* list = reinterpret_cast<MonitorList*>(data);
  if (list->count < MOUSE_LOCK_MAX_MONITORS) {
    list->rects[list->count++] = {rect->left, rect->top, rect->right, rect->bottom};
  }
  return TRUE;
}

// At the right edge of the game's own monitor: parked on another one, a click
// could hand the focus to whatever lies there.
void ParkCursor() {
  MonitorList list = {};
  EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&list));
  RECT foreground;
  HWND window = GetForegroundWindow();
  ScreenRect windowRect = {};
  const int haveWindow = window && GetWindowRect(window, &foreground);
  if (haveWindow) windowRect = {foreground.left, foreground.top, foreground.right, foreground.bottom};
  int32_t x, y;
  if (MouseLockParkPoint(list.rects, list.count, haveWindow ? &windowRect : nullptr, &x, &y)) {
    SetCursorPos(x, y);
  }
}

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
    ParkCursor();
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
