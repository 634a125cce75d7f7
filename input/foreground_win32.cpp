// The window in front, from the system's foreground event. The callback only
// records the window: it also runs inside modal loops (menus, message boxes),
// where loading a profile must not happen. Wine does not deliver the event
// for other processes' windows, so each output tick, and twice a second a
// resting loop, also asks for the window in front, which costs one call.
#include <windows.h>

#include "input/elevation.h"
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
constexpr size_t TOKEN_LABEL_BYTES = sizeof(TOKEN_MANDATORY_LABEL) + SECURITY_MAX_SID_SIZE;
wchar_t imagePath[IMAGE_PATH_CHARS];

void CALLBACK OnForegroundEvent(HWINEVENTHOOK, DWORD, HWND window, LONG, LONG, DWORD, DWORD) {
  foregroundWatch.noted = window;
}

// The integrity level of a process's token; INTEGRITY_UNKNOWN when it cannot
// be read. The query right reaches an elevated process of the same user.
int32_t ReadIntegrityLevel(HANDLE process) {
  HANDLE token;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return INTEGRITY_UNKNOWN;
  // The label and its SID, aligned for the record.
  union {
    TOKEN_MANDATORY_LABEL label;
    BYTE bytes[TOKEN_LABEL_BYTES];
  } buffer;
  DWORD size = 0;
  int32_t level = INTEGRITY_UNKNOWN;
  if (GetTokenInformation(token, TokenIntegrityLevel, &buffer, sizeof buffer, &size) &&
      IsValidSid(buffer.label.Label.Sid)) {
    const UCHAR count = *GetSidSubAuthorityCount(buffer.label.Label.Sid);
    if (count > 0) level = static_cast<int32_t>(*GetSidSubAuthority(buffer.label.Label.Sid, count - 1u));
  }
  CloseHandle(token);
  return level;
}

// The executable's file name in UTF-8 ("" when the process cannot be opened,
// it is gone, or its image not read) and its integrity level. The limited
// right is granted even for elevated processes.
void ReadProgram(DWORD processId, char* name, int32_t* level) {
  name[0] = 0;
  *level = INTEGRITY_UNKNOWN;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!process) return;
  *level = ReadIntegrityLevel(process);
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
  elevationState.ownLevel = ReadIntegrityLevel(GetCurrentProcess());
  foregroundWatch.hook = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                         OnForegroundEvent, 0, 0, WINEVENT_OUTOFCONTEXT);
  // No event comes for the window that is already in front.
  foregroundWatch.noted = GetForegroundWindow();
}

void StopForegroundWatch() {
  if (foregroundWatch.hook) UnhookWinEvent(foregroundWatch.hook);
  foregroundWatch.hook = nullptr;
}

void RunForegroundWatch(int poll) {
  if (poll) foregroundWatch.noted = GetForegroundWindow();
  HWND window = foregroundWatch.noted;
  if (window && window != foregroundWatch.handled) {
    foregroundWatch.handled = window;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    // Our own windows are not a change of game: tuning keeps the profile.
    if (processId && processId != GetCurrentProcessId()) {
      char name[GAME_NAME_SIZE];
      int32_t level;
      ReadProgram(processId, name, &level);
      NoteForegroundLevel(name, level);
      NoteForegroundProgram(name);
    }
  }
  RunAutoProfile();
}
