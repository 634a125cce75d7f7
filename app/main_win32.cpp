// The program's entry point: single-instance guard, start-up in a fixed order,
// the non-blocking main loop and the shutdown.
#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "app/nk_gdi.h"
#include "app/shell.h"
#include "engine/output_tick.h"
#include "engine/tuning.h"
#include "input/hotkeys.h"
#include "input/raw_input.h"
#include "storage/launch_at_startup.h"
#include "storage/profile_store.h"
#include "storage/settings_file.h"
#include "ui/main_panel.h"
#include "ui/nk.h"
#include "ui/theme.h"
#include "vjoy/vjoy_link.h"

static constexpr uint32_t THEME_POLL_INTERVAL_MS = 2000;
static constexpr uint32_t OUTPUT_TICK_INTERVAL_MS = 16;

static const char ALREADY_RUNNING_TEXT[] = "Tarvix is already running.\n\nCheck the system tray.";
static const char VJOY_FAILED_TEXT[] =
    "vJoy initialization failed!\n\n"
    "Make sure vJoy is installed and configured:\n"
    "- Device 1 enabled\n"
    "- X axis (steering)\n"
    "- Y axis (accel)\n"
    "- Z axis (brake)\n"
    "- Buttons 7-8";

static void ReleaseInstanceMutex(HANDLE mutex) {
  if (!mutex) return;
  ReleaseMutex(mutex);
  CloseHandle(mutex);
}

// Ends a start-up that cannot go on. The device is given back at once rather
// than left to the end of the process.
static int FailStartup(HANDLE mutex, const char* text, const char* caption) {
  MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONERROR);
  VJoyRelease();
  ReleaseInstanceMutex(mutex);
  return 1;
}

// The loop is over and the hook gone: the last save may wait for a file that
// another program holds for a moment.
static void FinishSettingsSave() {
  for (int i = 0; i < SETTINGS_RETRY_COUNT && SettingsReplacePending(); ++i) {
    Sleep(SETTINGS_RETRY_INTERVAL_MS);
    RunSettingsSave(GetTickCount());
  }
}

static void EnsureDefaultProfile() {
  // Without a data folder there is nowhere to look, and nothing would be saved.
  if (profileFolderPath[0] == '\0') return;
  char path[STORAGE_PATH_SIZE];
  int length = std::snprintf(path, sizeof path, "%s\\Default.txt", profileFolderPath);
  if (length < 0 || length >= static_cast<int>(sizeof path)) return;
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) SaveProfile("Default");
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // No library, and no dependency of one, is ever taken from the working folder.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  // 1. One copy only. A mutex that cannot be made at all leaves us unguarded.
  HANDLE mutex = CreateMutexA(nullptr, TRUE, TARVIX_MUTEX_NAME);
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    MessageBoxA(nullptr, ALREADY_RUNNING_TEXT, "Already Running", MB_OK | MB_ICONINFORMATION);
    if (mutex) CloseHandle(mutex);
    return 0;
  }

  // 2-4. Defaults, the Run entry, then the settings file over both.
  ResetToDefaults();
  tuningSettings.startWithWindows = IsLaunchAtStartupSet();
  CreateDataFolders();
  LoadSettings();

  // 5. Nothing works without the virtual joystick; the settings stay untouched.
  if (!VJoyBind()) {
    MessageBoxA(nullptr, VJOY_FAILED_TEXT, "Fatal Error", MB_OK | MB_ICONERROR);
    ReleaseInstanceMutex(mutex);
    return 1;
  }

  // 6-7. Profiles.
  EnsureDefaultProfile();
  ScanProfiles();

  // 8. Raw input; the program runs on without it.
  CreateRawInputWindow();

  // 9. Main window.
  mainWindow = CreateMainWindow(instance);
  if (!mainWindow) return FailStartup(mutex, "Failed to create window!", "Error");

  // 10. GUI font and context.
  if (!CreateGui(mainWindow)) return FailStartup(mutex, "Failed to initialize Nuklear!", "Error");

  // 11-13. Theme, tray, hotkeys.
  ApplyTheme(guiContext, mainWindow, QuerySystemDarkTheme());
  AddTrayIcon(mainWindow);
  hotkeyWindow = mainWindow;
  RegisterHotkeys();

  // 14. Start in the tray when asked to.
  ShowWindow(mainWindow, tuningSettings.startMin ? SW_HIDE : SW_SHOW);
  UpdateWindow(mainWindow);

  // 15. The loop never waits for messages.
  uint32_t lastOutputTick = GetTickCount();
  uint32_t lastThemePoll = GetTickCount();
  int running = 1;

  while (running) {
    nk_input_begin(guiContext);
    // Raw input, hotkeys and tray clicks act while they are dispatched.
    running = DrainMessageQueue();
    nk_input_end(guiContext);

    // Unsigned differences keep both intervals right across the counter's wrap.
    uint32_t now = GetTickCount();
    if (now - lastThemePoll > THEME_POLL_INTERVAL_MS) {
      int dark = QuerySystemDarkTheme();
      if (dark != darkTheme) {
        ApplyTheme(guiContext, mainWindow, dark);
        InvalidateRect(mainWindow, nullptr, TRUE);
        RebuildTrayMenu();
      }
      lastThemePoll = now;
    }

    BuildMainPanel();
    RunSettingsSave(now);

    if (now - lastOutputTick >= OUTPUT_TICK_INTERVAL_MS) {
      OutputTick();
      lastOutputTick = now;
    }

    nk_gdi_render(backgroundColor);
    Sleep(1);
  }

  RemoveTrayIcon();
  VJoyRelease();  // a no-op after the tray's Exit
  SaveSettings();
  FinishSettingsSave();
  ReleaseInstanceMutex(mutex);
  return 0;
}
