#include "tests/support/input_pump_win32.h"

#include <cstdio>
#include <cstring>

InputPump inputPump;

namespace {

constexpr DWORD INPUT_HELPER_TIMEOUT_MS = 20000;

DWORD PumpElapsedSince(DWORD start) { return GetTickCount() - start; }

}  // namespace

void PumpPendingMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (inputPump.observe) inputPump.observe(message);
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

bool PumpMessagesUntil(bool (*done)(), DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    PumpPendingMessages();
    if (done()) return true;
    DWORD elapsed = PumpElapsedSince(start);
    if (elapsed >= timeoutMs) return done();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
  }
}

void InputHelperPath(char (&path)[MAX_PATH]) {
  path[0] = '\0';
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    path[0] = '\0';
    return;
  }
  char* slash = std::strrchr(path, '\\');
  char* name = slash ? slash + 1 : path;
  const char helper[] = "tarvix_input_helper.exe";
  if (static_cast<size_t>(name - path) + sizeof helper > MAX_PATH) {
    path[0] = '\0';
    return;
  }
  std::memcpy(name, helper, sizeof helper);
}

int RunInputHelper(const char* arguments) {
  char path[MAX_PATH];
  InputHelperPath(path);
  if (!path[0]) return -1;
  return RunProgramPumping(path, arguments);
}

int RunProgramPumping(const char* path, const char* arguments) {
  char commandLine[1024];
  int length = std::snprintf(commandLine, sizeof commandLine, "\"%s\" %s", path, arguments);
  if (length < 0 || static_cast<size_t>(length) >= sizeof commandLine) return -1;

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(path, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return -1;
  }
  CloseHandle(process.hThread);

  // The helper's SendInput waits for this thread's hooks: keep pumping.
  DWORD start = GetTickCount();
  int result = -1;
  for (;;) {
    DWORD elapsed = PumpElapsedSince(start);
    if (elapsed >= INPUT_HELPER_TIMEOUT_MS) {
      TerminateProcess(process.hProcess, 1);
      break;
    }
    DWORD wait = MsgWaitForMultipleObjects(1, &process.hProcess, FALSE,
                                           INPUT_HELPER_TIMEOUT_MS - elapsed, QS_ALLINPUT);
    if (wait == WAIT_OBJECT_0) {
      DWORD code = 1;
      GetExitCodeProcess(process.hProcess, &code);
      result = static_cast<int>(code);
      break;
    }
    PumpPendingMessages();
  }
  CloseHandle(process.hProcess);
  // Whatever the helper's input caused may still be queued here.
  PumpPendingMessages();
  return result;
}

namespace {
int savedMouseAcceleration[3];
bool mouseAccelerationSaved;
}  // namespace

void MouseAccelerationOff() {
  if (!mouseAccelerationSaved &&
      SystemParametersInfoA(SPI_GETMOUSE, 0, savedMouseAcceleration, 0)) {
    mouseAccelerationSaved = true;
  }
  int off[3] = {0, 0, 0};
  SystemParametersInfoA(SPI_SETMOUSE, 0, off, 0);
}

void MouseAccelerationRestore() {
  if (!mouseAccelerationSaved) return;
  SystemParametersInfoA(SPI_SETMOUSE, 0, savedMouseAcceleration, 0);
  mouseAccelerationSaved = false;
}

namespace {

HWND windowWaitingForFocus;

bool WaitingWindowHasFocus() { return GetFocus() == windowWaitingForFocus; }

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

HWND CreateTestWindow(const char* title) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = TestWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "InputTestWindow";
  RegisterClassA(&windowClass);  // fails harmlessly the second time
  HWND window = CreateWindowExA(0, "InputTestWindow", title, WS_OVERLAPPEDWINDOW, 100, 100, 320,
                                200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (window) ShowWindow(window, SW_SHOW);
  return window;
}

bool FocusTestWindow(HWND window) {
  SetForegroundWindow(window);
  SetFocus(window);
  windowWaitingForFocus = window;
  return PumpMessagesUntil(WaitingWindowHasFocus, 5000);
}
