// The program's entry point: single-instance guard, start-up in a fixed order,
// the main loop, which sleeps until a tick is due or a message comes, and the
// shutdown.
#include <windows.h>
#include <lmcons.h>
#include <sddl.h>
#include <shellapi.h>
#include <timeapi.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "app/nk_gdi.h"
#include "app/shell.h"
#include "engine/loop_timing.h"
#include "engine/output_link.h"
#include "engine/output_tick.h"
#include "engine/system_seam.h"
#include "engine/tuning.h"
#include "input/elevation.h"
#include "input/foreground.h"
#include "input/hotkeys.h"
#include "input/mouse_choice.h"
#include "input/raw_input.h"
#include "storage/file_writer.h"
#include "storage/launch_at_startup.h"
#include "storage/profile_store.h"
#include "storage/saving.h"
#include "storage/settings_file.h"
#include "ui/main_panel.h"
#include "ui/nk.h"
#include "ui/theme.h"
#include "vjoy/vjoy_ffb.h"

// At rest the window in front is still asked for this often (Wine sends no
// foreground event for other programs' windows).
static constexpr DWORD FOREGROUND_POLL_AT_REST_MS = 500;

// Windows 10 1803 and later; older MinGW-w64 headers lack the flag.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

static const char ALREADY_RUNNING_TEXT[] = "Tarvix is already running.\n\nCheck the system tray.";
static const char OLD_WINDOWS_TEXT[] = "Tarvix needs Windows 10 version 1903 or later.";
static constexpr DWORD PROCESS_LIST_POLL_MS = 50;

static void ReleaseInstanceMutex(HANDLE mutex) {
  if (!mutex) return;
  ReleaseMutex(mutex);
  CloseHandle(mutex);
}

// Ends a start-up that cannot go on. The device is given back at once rather
// than left to the end of the process.
static int FailStartup(HANDLE mutex, const char* text, const char* caption) {
  MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONERROR);
  OutputRelease();
  ReleaseInstanceMutex(mutex);
  return 1;
}

static void EnsureDefaultProfile() {
  // Without a data folder there is nowhere to look, and nothing would be saved.
  if (profileFolderPath[0] == '\0') return;
  char path[STORAGE_PATH_SIZE];
  int length = std::snprintf(path, sizeof path, "%s\\Default.txt", profileFolderPath);
  if (length < 0 || length >= static_cast<int>(sizeof path)) return;
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) SaveUserProfile("Default", "");
}

// The loop's one-shot timer, re-armed before every wait.
struct LoopTimer {
  HANDLE timer;          // null: the message wait's own time-out stands in
  int coarse;            // no high-resolution timer: timeBeginPeriod(1) while awake
  int raisedResolution;  // timeBeginPeriod(1) is in force now
};
static LoopTimer loopTimer;

// No resolution request stays in force while the loop rests.
static void RaiseLoopResolution(int raise) {
  if (!loopTimer.coarse || raise == loopTimer.raisedResolution) return;
  if (raise) {
    loopTimer.raisedResolution = timeBeginPeriod(1) == TIMERR_NOERROR;
  } else {
    timeEndPeriod(1);
    loopTimer.raisedResolution = 0;
  }
}

static void CreateLoopTimer() {
  // Without these rights the wait fails at once and the loop would spin.
  const DWORD access = SYNCHRONIZE | TIMER_MODIFY_STATE;
  loopTimer.timer =
      CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, access);
  if (loopTimer.timer) return;
  // Systems before the high-resolution timer refuse the flag (error 87). Their
  // timers keep the system's resolution, 15.6 ms unless raised, so raise it.
  loopTimer.timer = CreateWaitableTimerExW(nullptr, nullptr, 0, access);
  loopTimer.coarse = 1;
  RaiseLoopResolution(1);
}

static void DestroyLoopTimer() {
  RaiseLoopResolution(0);
  if (loopTimer.timer) CloseHandle(loopTimer.timer);
  loopTimer = LoopTimer{};
}

// Sleeps until waitMicros have passed or a message arrives. The due time is
// relative (negative, in 100 ns units): an absolute one is wall-clock time,
// and a clock step would stall the ticks. MWMO_INPUTAVAILABLE returns at once
// for input already queued but left by an earlier drain.
static void WaitForTickOrMessage(uint64_t waitMicros) {
  if (waitMicros == 0) return;
  if (loopTimer.timer) {
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(waitMicros * 10);
    if (SetWaitableTimer(loopTimer.timer, &due, 0, nullptr, nullptr, FALSE)) {
      MsgWaitForMultipleObjectsEx(1, &loopTimer.timer, INFINITE, QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
      ++loopWakes;
      return;
    }
  }
  const DWORD milliseconds = static_cast<DWORD>((waitMicros + 999) / 1000);
  MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  ++loopWakes;
}

// The resting loop: messages only, and the foreground poll's time-out. 1 when
// a message came.
static int WaitForMessageAtRest() {
  const DWORD waited =
      MsgWaitForMultipleObjectsEx(0, nullptr, FOREGROUND_POLL_AT_REST_MS, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  ++loopWakes;
  return waited != WAIT_TIMEOUT;
}

// A game's force packet comes on vJoy's thread: it wakes a resting loop with
// a thread message, once per rest.
static DWORD loopThreadId;
static std::atomic<int> loopAsleep;

static void WakeRestingLoop() {
  if (loopAsleep.exchange(0)) PostThreadMessageW(loopThreadId, WM_NULL, 0, 0);
}

// The output's rule, with the loop's own work: a save waiting for its delay,
// a mouse being chosen (the panel counts down).
static int LoopAtRest(uint64_t now) { return OutputAtRest(SettingsSavePending() || MouseSelectionActive(now)); }

// The ticks start again from now, the first at once, at the full resolution.
static void EndLoopRest(TickSchedule* schedule, uint64_t now) {
  loopAsleep.store(0);
  RaiseLoopResolution(1);
  TickScheduleWake(schedule, now);
}

// A tool in the tray must keep its pace: no efficiency cores, no coarsened
// timers. Two calls, since Windows 10 may refuse the timer bit, which only
// Windows 11 knows. A refusal leaves the system's default.
static void OptOutOfPowerThrottling() {
  PROCESS_POWER_THROTTLING_STATE state = {};
  state.Version = PROCESS_POWER_THROTTLING_CURRENT_VERSION;
  state.ControlMask = PROCESS_POWER_THROTTLING_EXECUTION_SPEED;
  state.StateMask = 0;
  SetProcessInformation(GetCurrentProcess(), ProcessPowerThrottling, &state, sizeof state);
  state.ControlMask = PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION;
  state.StateMask = 0;
  SetProcessInformation(GetCurrentProcess(), ProcessPowerThrottling, &state, sizeof state);
}

static int MainWindowOnScreen() { return IsWindowVisible(mainWindow) && !IsIconic(mainWindow); }

// One copy only. A copy started by "Restart as Administrator" waits for the
// old one's mutex when the old copy ran as the same account.
static InstanceMutexResult TakeInstanceMutex(HANDLE* mutex, int restarted) {
  *mutex = CreateMutexA(nullptr, TRUE, TARVIX_MUTEX_NAME);
  const DWORD error = GetLastError();
  if (!*mutex) return error == ERROR_ACCESS_DENIED ? INSTANCE_MUTEX_DENIED : INSTANCE_MUTEX_FAILED;
  if (error != ERROR_ALREADY_EXISTS) return INSTANCE_MUTEX_OWNED;
  if (restarted) {
    const DWORD waited = WaitForSingleObject(*mutex, RESTART_MUTEX_WAIT_MS);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return INSTANCE_MUTEX_OWNED;
  }
  CloseHandle(*mutex);
  *mutex = nullptr;
  return INSTANCE_MUTEX_HELD;
}

// 1 when the process is in the system's process list, 0 when not, -1 when the
// list cannot be read.
static int ProcessListed(DWORD processId) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  int listed = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !listed; more = Process32NextW(snapshot, &entry)) {
    listed = entry.th32ProcessID == processId;
  }
  CloseHandle(snapshot);
  return listed;
}

// 1 once the old copy's process has ended, 0 when it still runs after
// timeoutMs or cannot be watched. A process of another account need not let
// us wait on it (its default DACL names only its own user): its id is then
// looked for in the process list until it is gone.
static int WaitForOldCopy(DWORD processId, DWORD timeoutMs) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  if (process) {
    const DWORD waited = WaitForSingleObject(process, timeoutMs);
    CloseHandle(process);
    return waited == WAIT_OBJECT_0;
  }
  const DWORD error = GetLastError();
  if (error == ERROR_INVALID_PARAMETER) return 1;  // no such process any more
  if (error != ERROR_ACCESS_DENIED) return 0;
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (int listed; (listed = ProcessListed(processId)) != 0; Sleep(PROCESS_LIST_POLL_MS)) {
    if (listed < 0 || GetTickCount64() >= deadline) return 0;
  }
  return 1;
}

// Our account's SID as text ("S-1-5-21-..."); "" when it cannot be read.
static void ReadOwnUserSid(char* text, size_t size) {
  text[0] = 0;
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
  union {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } buffer;
  DWORD length = 0;
  char* sid = nullptr;
  if (GetTokenInformation(token, TokenUser, &buffer, sizeof buffer, &length) &&
      ConvertSidToStringSidA(buffer.user.User.Sid, &sid)) {
    std::snprintf(text, size, "%s", sid);
    LocalFree(sid);
  }
  CloseHandle(token);
}

// A copy started by the restart says so when it runs as another account: its
// settings and profiles are that account's.
static void NoteRestartedAccount(const RestartHandoff& handoff) {
  if (!handoff.oldUserSid[0]) return;
  char sid[RESTART_SID_SIZE];
  ReadOwnUserSid(sid, sizeof sid);
  wchar_t wide[UNLEN + 1];
  DWORD length = UNLEN + 1;
  char name[ACCOUNT_NAME_SIZE] = "";
  if (GetUserNameW(wide, &length) &&
      !WideCharToMultiByte(CP_UTF8, 0, wide, -1, name, sizeof name, nullptr, nullptr)) {
    name[0] = 0;
  }
  NoteRestartAccount(handoff, sid, name);
}

// Starts this program again, elevated, with the marker, our process id and our
// account's SID. 0 when the user refused the prompt or it could not start:
// then nothing changes.
static int RestartElevated() {
  wchar_t path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  if (length == 0 || length >= MAX_PATH * 4) return 0;
  char sid[RESTART_SID_SIZE];
  ReadOwnUserSid(sid, sizeof sid);
  char marker[sizeof RESTART_MARKER + 16 + RESTART_SID_SIZE];
  std::snprintf(marker, sizeof marker, "%s %lu %s", RESTART_MARKER, GetCurrentProcessId(), sid);
  wchar_t parameters[sizeof marker];
  if (!MultiByteToWideChar(CP_UTF8, 0, marker, -1, parameters, sizeof marker)) return 0;
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOASYNC;
  info.lpVerb = L"runas";
  info.lpFile = path;
  info.lpParameters = parameters;
  info.nShow = SW_SHOWNORMAL;
  return ShellExecuteExW(&info) ? 1 : 0;
}

// The program in front runs above us: the tray's tip says so too.
static void FollowElevatedGame() {
  static int shown;
  if (elevationState.restartRequested) {
    elevationState.restartRequested = 0;
    if (RestartElevated()) RunExitSequence();
  }
  if (shown == elevationState.gameAbove) return;
  shown = elevationState.gameAbove;
  SetTrayTip(shown ? ELEVATED_GAME_TEXT : TARVIX_TITLE);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  // No library, and no dependency of one, is ever taken from the working folder.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  // 0. Before Windows 10 1903 the manifest's UTF-8 code page is ignored, and a
  // path outside the ANSI code page would silently lose every save. Checked
  // before the mutex: nothing at all is made or written, and a second copy on
  // such a system gets the true reason.
  if (GetACP() != CP_UTF8) {
    MessageBoxA(nullptr, OLD_WINDOWS_TEXT, "Fatal Error", MB_OK | MB_ICONERROR);
    return 1;
  }
  // 1. One copy only. A copy started by "Restart as Administrator" first waits
  // for the old one's process to end: the mutex does not tell when it ran as
  // another account.
  RestartHandoff handoff;
  ParseRestartHandoff(commandLine, &handoff);
  const int oldEnded = handoff.oldProcessId && WaitForOldCopy(handoff.oldProcessId, RESTART_OLD_PROCESS_WAIT_MS);
  HANDLE mutex;
  if (!InstanceMayRun(handoff, oldEnded, TakeInstanceMutex(&mutex, handoff.restarted))) {
    MessageBoxA(nullptr, ALREADY_RUNNING_TEXT, "Already Running", MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  NoteRestartedAccount(handoff);

  // 2-4. Defaults, the Run entry, then the settings file over both.
  ResetToDefaults();
  tuningSettings.startWithWindows = IsLaunchAtStartupSet();
  CreateDataFolders();
  LoadSettings();

  // 5. Nothing works without an output: the one chosen, else vJoy. The
  // settings stay untouched.
  if (!OutputStart()) {
    char text[896];
    FormatOutputFailure(text, sizeof text);
    MessageBoxA(nullptr, text, "Fatal Error", MB_OK | MB_ICONERROR);
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
  // The writer's results come to the main window from now on; those of the
  // start-up's own saves are taken here.
  SetFileWriteWindow(mainWindow);
  CollectFileWriteResults();

  // 10. GUI font and context.
  if (!CreateGui(mainWindow)) return FailStartup(mutex, "Failed to initialize Nuklear!", "Error");

  // 11-13. Theme, tray, hotkeys.
  ApplyTheme(guiContext, mainWindow, QuerySystemDarkTheme());
  AddTrayIcon(mainWindow);
  hotkeyWindow = mainWindow;
  RegisterHotkeys();
  StartForegroundWatch();

  // 14. Start in the tray when asked to.
  ShowWindow(mainWindow, tuningSettings.startMin ? SW_HIDE : SW_SHOW);
  UpdateWindow(mainWindow);

  // 15. The loop sleeps until the next tick is due or a message comes; at
  // rest, until a message comes. The theme follows WM_SETTINGCHANGE.
  OptOutOfPowerThrottling();
  CreateLoopTimer();
  loopThreadId = GetCurrentThreadId();
  VJoyFfbSetWake(WakeRestingLoop);
  uint64_t now = SystemClockMicros();
  TickSchedule tickSchedule;
  TickScheduleStart(&tickSchedule, now);
  DrainReport drained = {};
  int running = 1;
  int resting = 0;

  while (running) {
    int pollAtRest = 0;
    // After a drain stopped at a press, or at its length, the rest is still
    // queued: take it now.
    if (!drained.stoppedAtPress && !drained.stoppedAtLimit) {
      if (resting) {
        pollAtRest = !WaitForMessageAtRest();
      } else {
        WaitForTickOrMessage(TickScheduleWaitMicros(&tickSchedule, SystemClockMicros()));
      }
    }

    nk_input_begin(guiContext);
    // Raw input, hotkeys and tray clicks act while they are dispatched.
    running = DrainMessageQueue(&drained);
    nk_input_end(guiContext);

    now = SystemClockMicros();
    int tickDue = !resting && TickScheduleTake(&tickSchedule, now);
    // A profile that follows its game loads here, never inside a modal loop.
    RunForegroundWatch(tickDue || pollAtRest);
    FollowElevatedGame();
    // A frame only where it can be seen: at each tick, for the live values,
    // and at once when the window has had input, so a click acts in its frame;
    // at rest with each poll, for a notice about the program in front. The
    // binding draws it only when it differs from the last one drawn.
    const int drawFrame = (tickDue || pollAtRest || drained.mainWindowMessages) && MainWindowOnScreen();
    if (drawFrame) {
      int width = 0, height = 0;
      nk_gdi_panel_size(&width, &height);
      BuildMainPanel(guiContext, width, height);
    }
    // Whatever the pass took (a report, a hotkey, the panel, a profile, a
    // force packet) ends the rest once it changes something, and the first
    // tick runs at once: a first move is answered as fast as any other.
    if (resting && !LoopAtRest(now)) {
      resting = 0;
      EndLoopRest(&tickSchedule, now);
      tickDue = TickScheduleTake(&tickSchedule, now);
    }
    RunSettingsSave(static_cast<uint32_t>(now / 1000));
    if (tickDue) {
      OutputTick();
      // Armed before the rule's last look at the force packets: a packet
      // after it is posted to the loop.
      loopAsleep.store(1);
      resting = LoopAtRest(now);
      if (resting) {
        RaiseLoopResolution(0);
      } else {
        loopAsleep.store(0);
      }
    }
    if (drawFrame) nk_gdi_render(backgroundColor);
  }

  VJoyFfbSetWake(nullptr);
  StopForegroundWatch();
  DestroyLoopTimer();
  RemoveTrayIcon();
  OutputRelease();  // a no-op after the tray's Exit
  SaveSettings();
  // The writer ends what it was given, for 5 s at most; a file it did not
  // finish keeps its last whole content.
  SetFileWriteWindow(nullptr);
  WaitForFileWrites(FILE_WRITE_EXIT_WAIT_MS);
  ReleaseInstanceMutex(mutex);
  return 0;
}
