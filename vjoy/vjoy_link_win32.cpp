// The system half of the vJoy link: finding and loading vJoyInterface.dll, its
// entry points, the owner of a busy device, the pause of the bind.
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cwchar>

#include "vjoy/vjoy_link.h"

// vJoy's installer records the folder of its 64-bit library here.
static const wchar_t VJOY_UNINSTALL_KEY[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    L"{8E31F76F-74C3-47F1-9550-E041EEDC5FBB}_is1";
static const wchar_t VJOY_LIBRARY_NAME[] = L"vJoyInterface.dll";
static const size_t VJOY_PATH_CHARS = 1024;

// GetProcAddress hands back a generic FARPROC; going through void(*)(void) keeps
// the compiler's function-cast check quiet for the typed pointer we store.
template <typename Proc>
static void LookUpEntry(HMODULE library, const char* name, Proc* entry) {
  *entry = reinterpret_cast<Proc>(reinterpret_cast<void (*)(void)>(GetProcAddress(library, name)));
}

// folder + "\" + file, or 0 when it does not fit.
static int JoinPath(wchar_t* path, const wchar_t* folder, const wchar_t* file) {
  size_t length = std::wcslen(folder);
  while (length && folder[length - 1] == L'\\') --length;
  const int written = swprintf(path, VJOY_PATH_CHARS, L"%.*ls\\%ls", static_cast<int>(length),
                               folder, file);
  return written > 0 && static_cast<size_t>(written) < VJOY_PATH_CHARS;
}

// A full path's own dependencies come from its folder and System32.
static HMODULE LoadFromFolder(const wchar_t* folder, const wchar_t* below) {
  wchar_t path[VJOY_PATH_CHARS], file[64];
  swprintf(file, 64, L"%ls%ls", below, VJOY_LIBRARY_NAME);
  if (!JoinPath(path, folder, file)) return nullptr;
  return LoadLibraryExW(path, nullptr,
                        LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
}

static HMODULE LoadFromInstallRecord() {
  wchar_t folder[VJOY_PATH_CHARS];
  DWORD bytes = sizeof folder;
  // RRF_RT_REG_SZ takes a REG_EXPAND_SZ value too, expanded.
  if (RegGetValueW(HKEY_LOCAL_MACHINE, VJOY_UNINSTALL_KEY, L"DllX64Location", RRF_RT_REG_SZ,
                   nullptr, folder, &bytes) != ERROR_SUCCESS ||
      !folder[0]) {
    return nullptr;
  }
  return LoadFromFolder(folder, L"");
}

// Program Files wherever this machine has it; the call fails when the folder
// does not exist.
static HMODULE LoadFromProgramFiles() {
  PWSTR folder = nullptr;
  HMODULE library = nullptr;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramFiles, 0, nullptr, &folder))) {
    library = LoadFromFolder(folder, L"vJoy\\x64\\");
  }
  CoTaskMemFree(folder);
  return library;
}

static HMODULE LoadVJoyLibrary() {
  if (HMODULE library = LoadFromInstallRecord()) return library;
  if (HMODULE library = LoadFromProgramFiles()) return library;
  // Never the working folder or PATH: a vJoyInterface.dll planted where the
  // program was started from would run inside it. The bare name is looked for
  // beside the exe, in System32 and in folders added with AddDllDirectory.
  return LoadLibraryExW(VJOY_LIBRARY_NAME, nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

int32_t VJoyBind() {
  VirtualJoystickLink& link = virtualJoystickLink;
  if (!link.library) {
    link.library = LoadVJoyLibrary();
    if (HMODULE library = static_cast<HMODULE>(link.library)) {
      LookUpEntry(library, "vJoyEnabled", &link.vJoyEnabled);
      LookUpEntry(library, "AcquireVJD", &link.AcquireVJD);
      LookUpEntry(library, "RelinquishVJD", &link.RelinquishVJD);
      LookUpEntry(library, "GetVJDStatus", &link.GetVJDStatus);
      LookUpEntry(library, "SetAxis", &link.SetAxis);
      LookUpEntry(library, "SetBtn", &link.SetBtn);
      LookUpEntry(library, "ResetVJD", &link.ResetVJD);
      LookUpEntry(library, "UpdateVJD", &link.UpdateVJD);
      LookUpEntry(library, "DriverMatch", &link.DriverMatch);
      LookUpEntry(library, "GetOwnerPid", &link.GetOwnerPid);
      LookUpEntry(library, "GetvJoyVersion", &link.GetvJoyVersion);
      LookUpEntry(library, "GetVJDAxisExist", &link.GetVJDAxisExist);
      LookUpEntry(library, "GetVJDButtonNumber", &link.GetVJDButtonNumber);
      LookUpEntry(library, "FfbRegisterGenCB", &link.FfbRegisterGenCB);
      LookUpEntry(library, "IsDeviceFfb", &link.IsDeviceFfb);
    }
  }
  return VJoyBindDevice() == VJOY_BOUND;
}

int VJoyOwnerProcessName(uint16_t pidLow, char* name, size_t size) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  int matches = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if ((entry.th32ProcessID & 0xFFFF) != pidLow) continue;
    if (++matches == 1 &&
        !WideCharToMultiByte(CP_ACP, 0, entry.szExeFile, -1, name, static_cast<int>(size), nullptr,
                             nullptr)) {
      name[0] = 0;
    }
  }
  CloseHandle(snapshot);
  return matches == 1 && name[0];
}

void VJoyPause(uint32_t milliseconds) { Sleep(milliseconds); }
