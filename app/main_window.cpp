// The main window's procedure, the tray icon with its menu, the About box and
// the Exit sequence.
#include "app/shell.h"

#include <cstdio>
#include <cstring>

#include "app/dpi.h"
#include "app/nk_gdi.h"
#include "engine/loop_timing.h"
#include "engine/steering.h"
#include "engine/system_seam.h"
#include "input/hotkeys.h"
#include "input/mouse_lock.h"
#include "storage/file_writer.h"
#include "storage/saving.h"
#include "ui/theme.h"
#include "engine/output_link.h"

HWND mainWindow;
uint32_t loopWakes;
GdiFont* guiFont;
struct nk_context* guiContext;

NOTIFYICONDATAA trayIconData;
HICON trayIcon;
HMENU trayMenu;

static constexpr int APP_PATH_SIZE = 512;
// A tray icon that could not be added is tried again every 2 s for 30 s.
static constexpr UINT_PTR TRAY_RETRY_TIMER_ID = 1;
static constexpr UINT TRAY_RETRY_INTERVAL_MS = 2000;
static constexpr int TRAY_RETRY_COUNT = 15;
static UINT taskbarCreatedMessage;
static int trayRetriesLeft;
static constexpr WORD STANDARD_APP_ICON_ID = 32512;

// The title bar's and Alt+Tab's icons, each drawn at its size for the DPI;
// the ones they replace were ours.
static void SetMainWindowIcons(HWND window, unsigned int dpi) {
  const struct { WPARAM kind; int metric; } icons[] = {{ICON_SMALL, SM_CXSMICON}, {ICON_BIG, SM_CXICON}};
  for (const auto& icon : icons) {
    const LPARAM made = reinterpret_cast<LPARAM>(LoadAppIcon(DpiSystemMetric(icon.metric, dpi)));
    HICON old = reinterpret_cast<HICON>(SendMessageW(window, WM_SETICON, icon.kind, made));
    if (old) DestroyIcon(old);
  }
}

static int ProcessIsElevated() {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return 0;
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  const BOOL read = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
  CloseHandle(token);
  return read && elevation.TokenIsElevated;
}

static void ShowMainWindow(HWND window) {
  ShowWindow(window, IsIconic(window) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(window);
}

static HMENU BuildTrayMenu() {
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  AppendMenuA(menu, MF_STRING, TRAY_CMD_SHOW, "Show Window");
  AppendMenuA(menu, MF_STRING, TRAY_CMD_ABOUT, "About");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, TRAY_CMD_EXIT, "Exit");
  return menu;
}

static void ShowTrayMenu(HWND window) {
  POINT point = {};
  GetCursorPos(&point);
  // Without the foreground the menu would not close when the user clicks
  // elsewhere.
  SetForegroundWindow(window);
  TrackPopupMenu(trayMenu, TPM_BOTTOMALIGN, point.x, point.y, 0, window, nullptr);
  // Lets the menu work again on the next right click (the shell's known quirk).
  PostMessageA(window, WM_NULL, 0, 0);
}

static LRESULT DefaultRoute(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Messages that arrive while the window is being made, or while a start-up
  // failure box is up, must not reach a binding that has no context yet.
  if (guiContext && nk_gdi_handle_event(window, message, wParam, lParam)) return 0;
  return DefWindowProcW(window, message, wParam, lParam);
}

// Adds the icon, or starts the retries when the shell is not there (yet).
static void PlaceTrayIcon(HWND window) {
  if (Shell_NotifyIconA(NIM_ADD, &trayIconData)) return;
  trayRetriesLeft = TRAY_RETRY_COUNT;
  SetTimer(window, TRAY_RETRY_TIMER_ID, TRAY_RETRY_INTERVAL_MS, nullptr);
}

// The shell can add the icon and still report failure: a modify that passes
// means it is there. Without an icon at the end, the window is the only way in.
static void RetryTrayIcon(HWND window) {
  if (Shell_NotifyIconA(NIM_MODIFY, &trayIconData) || Shell_NotifyIconA(NIM_ADD, &trayIconData) ||
      --trayRetriesLeft <= 0) {
    KillTimer(window, TRAY_RETRY_TIMER_ID);
    if (trayRetriesLeft <= 0) ShowMainWindow(window);
  }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Explorer (re)started: its new taskbar knows no icons.
  if (message == taskbarCreatedMessage && message != 0) {
    if (trayIconData.hWnd) PlaceTrayIcon(window);
    return 0;
  }
  switch (message) {
    case LOOP_WAKES_MESSAGE: return loopWakes;

    case WM_TIMER:
      if (wParam == TRAY_RETRY_TIMER_ID) {
        RetryTrayIcon(window);
        return 0;
      }
      return DefaultRoute(window, message, wParam, lParam);

    case WM_SETCURSOR:
      if (MouseLockHandleSetCursor()) return TRUE;
      return DefaultRoute(window, message, wParam, lParam);

    case WM_DESTROY:
      EndMouseLockAtExit();
      PostQuitMessage(0);
      return 0;

    case WM_SIZE:
      // The back buffer follows the client area; the next frame is drawn whole.
      if (guiContext) nk_gdi_handle_event(window, message, wParam, lParam);
      InvalidateRect(window, nullptr, TRUE);
      return DefWindowProcW(window, message, wParam, lParam);

    case WM_DPICHANGED:
      // Moved to a monitor of another scale: the font and every size follow,
      // and the window takes the rectangle Windows suggests for the new DPI.
      if (guiContext) nk_gdi_set_dpi(LOWORD(wParam));
      SetMainWindowIcons(window, LOWORD(wParam));
      if (lParam) PlaceMainWindow(window, reinterpret_cast<const RECT*>(lParam));
      return 0;

    case WM_CLOSE:
      ShowWindow(window, SW_HIDE);
      return 0;

    case WM_SETTINGCHANGE:
      // A Unicode window gets the setting's name in UTF-16.
      if (lParam && lstrcmpW(reinterpret_cast<LPCWSTR>(lParam), L"ImmersiveColorSet") == 0) {
        if (guiContext) ApplyTheme(guiContext, window, QuerySystemDarkTheme());
        InvalidateRect(window, nullptr, TRUE);
        RebuildTrayMenu();
      }
      return 0;

    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case TRAY_CMD_SHOW: ShowMainWindow(window); break;
        case TRAY_CMD_ABOUT: ShowAboutBox(window); break;
        case TRAY_CMD_EXIT: RunExitSequence(); break;
        default: break;
      }
      return 0;

    case WM_HOTKEY:
      if (LOWORD(wParam) == HOTKEY_ID_LOCK) {
        ToggleMouseLock();
      } else if (LOWORD(wParam) == HOTKEY_ID_RECENTER) {
        RecenterSteering();
      }
      return 0;

    case FILE_WRITE_DONE_MESSAGE:
      CollectFileWriteResults();
      return 0;

    case WM_QUERYENDSESSION:
      return TRUE;

    case WM_ENDSESSION:
      if (wParam) RunSessionEndSequence();
      return 0;

    case TRAY_CALLBACK_MESSAGE:
      if (lParam == WM_LBUTTONDBLCLK) {
        ShowMainWindow(window);
      } else if (lParam == WM_RBUTTONUP) {
        ShowTrayMenu(window);
      }
      return 0;

    default:
      return DefaultRoute(window, message, wParam, lParam);
  }
}

// The window's rectangle, kept within the work area of its monitor: never
// taller than it (the panel then scrolls) and moved up or left to fit.
void PlaceMainWindow(HWND window, const RECT* wanted) {
  RECT frame = *wanted;
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  if (GetMonitorInfoW(MonitorFromRect(&frame, MONITOR_DEFAULTTONEAREST), &monitor)) {
    const RECT& work = monitor.rcWork;
    if (frame.bottom - frame.top > work.bottom - work.top) frame.bottom = frame.top + (work.bottom - work.top);
    const LONG height = frame.bottom - frame.top, width = frame.right - frame.left;
    if (frame.bottom > work.bottom) frame.top = work.bottom - height;
    if (frame.top < work.top) frame.top = work.top;
    if (frame.right > work.right && work.right - width >= work.left) frame.left = work.right - width;
    frame.bottom = frame.top + height;
    frame.right = frame.left + width;
  }
  SetWindowPos(window, nullptr, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

// The client is 520 x 640 at 96 DPI and scales with the window's DPI.
void SizeMainWindowForDpi(HWND window, unsigned int dpi) {
  RECT frame = {0, 0, MulDiv(MAIN_CLIENT_WIDTH, static_cast<int>(dpi), 96),
                MulDiv(MAIN_CLIENT_HEIGHT, static_cast<int>(dpi), 96)};
  DpiAdjustFrame(&frame, MAIN_WINDOW_STYLE, dpi);
  RECT now = {};
  GetWindowRect(window, &now);
  OffsetRect(&frame, now.left - frame.left, now.top - frame.top);
  PlaceMainWindow(window, &frame);
}

HWND CreateMainWindow(HINSTANCE instance) {
  // A Unicode window: typed text arrives as UTF-16, whatever the code page.
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  // No class icons: the window's own follow its DPI.
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = TARVIX_MAIN_CLASS_W;
  // A failed registration shows up as the window's failed creation.
  RegisterClassExW(&windowClass);

  // Made at 96-DPI size, then sized for the DPI of the monitor it landed on.
  RECT frame = {0, 0, MAIN_CLIENT_WIDTH, MAIN_CLIENT_HEIGHT};
  DpiAdjustFrame(&frame, MAIN_WINDOW_STYLE, 96);
  HWND window = CreateWindowExW(0, TARVIX_MAIN_CLASS_W, TARVIX_TITLE_W, MAIN_WINDOW_STYLE, CW_USEDEFAULT,
                                CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                nullptr, instance, nullptr);
  if (window) {
    SizeMainWindowForDpi(window, DpiOfWindow(window));
    SetMainWindowIcons(window, DpiOfWindow(window));
  }
  return window;
}

struct nk_context* CreateGui(HWND window) {
  // The class owns its device context, so this one stays valid for the run.
  HDC deviceContext = GetDC(window);
  if (!deviceContext) return nullptr;
  guiFont = nk_gdifont_create("Segoe UI", 13);
  if (!guiFont) return nullptr;
  RECT client = {};
  GetClientRect(window, &client);
  guiContext = nk_gdi_init(guiFont, deviceContext, static_cast<unsigned int>(client.right),
                           static_cast<unsigned int>(client.bottom), DpiOfWindow(window));
  return guiContext;
}

HICON LoadAppIcon(int size) {
  char path[APP_PATH_SIZE];
  HICON icon = nullptr;

  DWORD length = GetModuleFileNameA(nullptr, path, APP_PATH_SIZE);
  // A cut-off module path would name some other file: treat it as no icon file.
  int havePath = length > 0 && length < static_cast<DWORD>(APP_PATH_SIZE);
  if (havePath) {
    char* slash = std::strrchr(path, '\\');
    if (slash) {
      static const char fileName[] = "icon.ico";
      size_t folderLength = static_cast<size_t>(slash + 1 - path);
      if (folderLength + sizeof fileName <= sizeof path) {
        std::memcpy(slash + 1, fileName, sizeof fileName);
      } else {
        havePath = 0;
      }
    }
  }
  if (havePath) {
    icon = static_cast<HICON>(
        LoadImageA(nullptr, path, IMAGE_ICON, size, size, LR_LOADFROMFILE));
  }

  HINSTANCE self = GetModuleHandleA(nullptr);
  if (!icon) {
    icon = static_cast<HICON>(LoadImageA(self, MAKEINTRESOURCEA(STANDARD_APP_ICON_ID), IMAGE_ICON, size, size, 0));
  }
  // Our own icon group, so the tray entry and the title bar are never blank.
  if (!icon) icon = static_cast<HICON>(LoadImageA(self, "ICON", IMAGE_ICON, size, size, 0));
  return icon;
}

void AddTrayIcon(HWND window) {
  // The notification area is drawn at the system DPI.
  trayIcon = LoadAppIcon(DpiSystemMetric(SM_CXSMICON, DpiOfSystem()));

  trayIconData.cbSize = sizeof trayIconData;
  trayIconData.hWnd = window;
  trayIconData.uID = TRAY_ICON_ID;
  trayIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  trayIconData.uCallbackMessage = TRAY_CALLBACK_MESSAGE;
  trayIconData.hIcon = trayIcon;
  std::snprintf(trayIconData.szTip, sizeof trayIconData.szTip, "%s", TARVIX_TITLE);
  taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
  // An elevated program gets no messages from Explorer, which is not: let the
  // shell's restart and the icon's clicks through.
  if (ProcessIsElevated()) {
    ChangeWindowMessageFilterEx(window, taskbarCreatedMessage, MSGFLT_ALLOW, nullptr);
    ChangeWindowMessageFilterEx(window, TRAY_CALLBACK_MESSAGE, MSGFLT_ALLOW, nullptr);
  }
  PlaceTrayIcon(window);

  trayMenu = BuildTrayMenu();
}

void SetTrayTip(const char* text) {
  std::snprintf(trayIconData.szTip, sizeof trayIconData.szTip, "%s", text);
  if (trayIconData.hWnd) Shell_NotifyIconA(NIM_MODIFY, &trayIconData);
}

void RebuildTrayMenu() {
  if (!trayMenu) return;
  DestroyMenu(trayMenu);
  trayMenu = BuildTrayMenu();
}

void RemoveTrayIcon() {
  KillTimer(trayIconData.hWnd, TRAY_RETRY_TIMER_ID);
  Shell_NotifyIconA(NIM_DELETE, &trayIconData);
  if (trayIcon) DestroyIcon(trayIcon);
  if (trayMenu) DestroyMenu(trayMenu);
}

void FormatAboutText(char* buffer, size_t size) {
  if (!buffer || size == 0) return;
  std::snprintf(buffer, size,
                "%s v%s\n\n"
                "A lightweight mouse-to-joystick steering tool\n"
                "for racing games and simulators.\n\n"
                "Features:\n"
                "> Real-time mouse steering via vJoy\n"
                "> Customizable sensitivity and response curves\n"
                "> Profile management\n"
                "> Throttle/Brake control\n\n"
                "Website: %s\n"
                "Profiles: Documents\\Tarvix",
                TARVIX_NAME, TARVIX_VERSION, TARVIX_WEBSITE);
}

void ShowAboutBox(HWND window) {
  char text[ABOUT_TEXT_SIZE];
  FormatAboutText(text, sizeof text);
  MessageBoxA(window, text, "About", MB_OK | MB_ICONINFORMATION);
}

static int IsPressMessage(UINT message) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      return 1;
    default:
      return 0;
  }
}

int DrainMessageQueue(DrainReport* report) {
  DrainReport seen = {};
  int running = 1;
  MSG message;
  // Every raw report is read, so a flood of them could hold the drain for
  // good: after a tick's length the loop takes its tick, then drains on.
  const uint64_t started = SystemClockMicros();
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      running = 0;
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
    if (SystemClockMicros() - started >= OUTPUT_TICK_PERIOD_US) {
      seen.stoppedAtLimit = 1;
      if (message.hwnd == mainWindow) ++seen.mainWindowMessages;
      break;
    }
    if (message.hwnd != mainWindow) continue;
    ++seen.mainWindowMessages;
    if (IsPressMessage(message.message)) {
      seen.stoppedAtPress = 1;
      break;
    }
  }
  if (report) *report = seen;
  return running;
}

void RunExitSequence() {
  EndMouseLockAtExit();
  OutputRelease();
  SaveSettings();
  PostQuitMessage(0);
}

void RunSessionEndSequence() {
  EndMouseLockAtExit();
  SaveSettings();
  // A profile write that ends meanwhile names its profile in the settings
  // (CollectFileWriteResults saves them again): that write is waited for too.
  const ULONGLONG deadline = GetTickCount64() + FILE_WRITE_SESSION_END_WAIT_MS;
  for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
    if (!WaitForFileWrites(static_cast<uint32_t>(deadline - now)) || !CollectFileWriteResults()) break;
  }
  OutputRelease();
  PostQuitMessage(0);
}
