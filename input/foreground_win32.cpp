// The window in front, from the system's foreground event. The callback only
// records the window: it also runs inside modal loops (menus, message boxes),
// where loading a profile must not happen. Wine does not deliver the event
// for other processes' windows, so each output tick also asks for the window
// in front, which costs one call.
#include <windows.h>

#include "input/foreground.h"
#include "storage/game_profiles.h"

namespace {

struct ForegroundWatch {
  HWINEVENTHOOK hook;
  HWND noted;    // the window the last event named
  HWND handled;  // the window last handed on
};
ForegroundWatch foregroundWatch;

// Long paths reach 32767 characters; kept out of the stack.
constexpr DWORD IMAGE_PATH_CHARS = 32768;
wchar_t imagePath[IMAGE_PATH_CHARS];

void CALLBACK OnForegroundEvent(HWINEVENTHOOK, DWORD, HWND window, LONG, LONG, DWORD, DWORD) {
  foregroundWatch.noted = window;
}

// The executable's file name in UTF-8; "" when the process cannot be opened
// (it is gone) or its image not read. The limited right is granted even for
// elevated processes.
void ReadProgramName(DWORD processId, char* name) {
  name[0] = 0;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!process) return;
  DWORD length = IMAGE_PATH_CHARS;
  const BOOL read = QueryFullProcessImageNameW(process, 0, imagePath, &length);
  CloseHandle(process);
  if (!read) return;
  const wchar_t* file = imagePath;
  for (DWORD i = 0; i < length; ++i) {
    if (imagePath[i] == L'\\' || imagePath[i] == L'/') file = imagePath + i + 1;
  }
  // A name that does not fit matches no game.
  if (!WideCharToMultiByte(CP_UTF8, 0, file, -1, name, GAME_NAME_SIZE, nullptr, nullptr)) name[0] = 0;
}

}  // namespace

void StartForegroundWatch() {
  foregroundWatch.hook = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                         OnForegroundEvent, 0, 0, WINEVENT_OUTOFCONTEXT);
  // No event comes for the window that is already in front.
  foregroundWatch.noted = GetForegroundWindow();
}

void StopForegroundWatch() {
  if (foregroundWatch.hook) UnhookWinEvent(foregroundWatch.hook);
  foregroundWatch.hook = nullptr;
}

void RunForegroundWatch(int tickDue) {
  if (tickDue) foregroundWatch.noted = GetForegroundWindow();
  HWND window = foregroundWatch.noted;
  if (window && window != foregroundWatch.handled) {
    foregroundWatch.handled = window;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    // Our own windows are not a change of game: tuning keeps the profile.
    if (processId && processId != GetCurrentProcessId()) {
      char name[GAME_NAME_SIZE];
      ReadProgramName(processId, name);
      NoteForegroundProgram(name);
    }
  }
  RunAutoProfile();
}
