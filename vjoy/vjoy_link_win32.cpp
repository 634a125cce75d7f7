#include "vjoy/vjoy_link.h"

#include <windows.h>

#include <cstdio>
#include <initializer_list>

VirtualJoystickLink virtualJoystickLink;

static const uint32_t VJOY_DEVICE = 1;
static const DWORD VJOY_RELINQUISH_PAUSE_MS = 100;
static const int32_t VJOY_AXIS_CENTRE = 16384;
static const uint8_t VJOY_BUTTON_LEFT = 7;
static const uint8_t VJOY_BUTTON_RIGHT = 8;

// Where vJoy's installer puts the library, after the normal search order.
static const char* const VJOY_LIBRARY_PATHS[] = {
    "vJoyInterface.dll",
    "C:\\Windows\\System32\\vJoyInterface.dll",
    "C:\\Windows\\SysWOW64\\vJoyInterface.dll",
    "C:\\Program Files\\vJoy\\x64\\vJoyInterface.dll",
};

// GetProcAddress hands back a generic FARPROC; going through void(*)(void) keeps
// the compiler's function-cast check quiet for the typed pointer we store.
template <typename Proc>
static int LookUpEntry(HMODULE library, const char* name, Proc* entry) {
  *entry = reinterpret_cast<Proc>(reinterpret_cast<void (*)(void)>(GetProcAddress(library, name)));
  return *entry != nullptr;
}

static HMODULE LoadVJoyLibrary() {
  for (const char* candidate : VJOY_LIBRARY_PATHS) {
    char path[512];
    std::snprintf(path, sizeof path, "%s", candidate);
    // Never the working folder or PATH: a vJoyInterface.dll planted where the
    // program was started from would run inside it. The bare name is looked for
    // beside the exe, in System32 and in folders added with AddDllDirectory; a
    // full path's own dependencies come from its folder and System32.
    const DWORD search = candidate == VJOY_LIBRARY_PATHS[0]
                             ? LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
                             : LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;
    HMODULE library = LoadLibraryExA(path, nullptr, search);
    if (library) return library;
  }
  return nullptr;
}

int32_t VJoyBind() {
  VirtualJoystickLink& link = virtualJoystickLink;
  if (!link.library) {
    link.library = LoadVJoyLibrary();
    if (!link.library) return 0;
  }
  HMODULE library = static_cast<HMODULE>(link.library);

  // Every entry point is looked up before any is used: a library missing one of
  // them is refused rather than called through a null pointer later (ResetVJD
  // and RelinquishVJD run at exit, SetBtn every tick).
  int complete = 1;
  complete &= LookUpEntry(library, "vJoyEnabled", &link.vJoyEnabled);
  complete &= LookUpEntry(library, "AcquireVJD", &link.AcquireVJD);
  complete &= LookUpEntry(library, "RelinquishVJD", &link.RelinquishVJD);
  complete &= LookUpEntry(library, "GetVJDStatus", &link.GetVJDStatus);
  complete &= LookUpEntry(library, "SetAxis", &link.SetAxis);
  complete &= LookUpEntry(library, "SetBtn", &link.SetBtn);
  complete &= LookUpEntry(library, "ResetVJD", &link.ResetVJD);
  if (!complete) return 0;
  LookUpEntry(library, "UpdateVJD", &link.UpdateVJD);

  if (!link.vJoyEnabled()) return 0;

  // 0: still ours from an earlier run, 1: free. Anything else belongs to another
  // feeder or does not exist, and is left alone.
  int32_t status = link.GetVJDStatus(VJOY_DEVICE);
  if (status != 0 && status != 1) return 0;

  // Let go first so that a device left owned is taken afresh; the driver needs
  // a moment before it hands the device out again.
  link.RelinquishVJD(VJOY_DEVICE);
  Sleep(VJOY_RELINQUISH_PAUSE_MS);

  link.vjoyAcquired = link.AcquireVJD(VJOY_DEVICE) ? 1 : 0;
  if (link.vjoyAcquired) link.ResetVJD(VJOY_DEVICE);

  // UpdateVJD sets every control of the device: all but ours rest at centre,
  // hats neutral, buttons up.
  VJoyPositionRecord& p = link.position;
  p = VJoyPositionRecord{};
  p.device = static_cast<uint8_t>(VJOY_DEVICE);
  for (int32_t* axis : {&p.throttle, &p.rudder, &p.aileron, &p.x, &p.y, &p.z, &p.rx, &p.ry, &p.rz,
                        &p.slider, &p.dial, &p.wheel, &p.vx, &p.vy, &p.vz, &p.vbrx, &p.vbry, &p.vbrz}) {
    *axis = VJOY_AXIS_CENTRE;
  }
  for (uint32_t& hat : p.hats) hat = 0xFFFFFFFFu;
  return link.vjoyAcquired;
}

void VJoyPublish(int32_t x, int32_t y, int32_t z, int32_t left, int32_t right) {
  VirtualJoystickLink& link = virtualJoystickLink;
  if (!link.vjoyAcquired) return;
  if (link.UpdateVJD) {
    // One driver round trip, and the game never sees a half-updated state.
    VJoyPositionRecord& p = link.position;
    p.x = x;
    p.y = y;
    p.z = z;
    p.buttons = (left ? 1 << (VJOY_BUTTON_LEFT - 1) : 0) | (right ? 1 << (VJOY_BUTTON_RIGHT - 1) : 0);
    link.UpdateVJD(VJOY_DEVICE, &p);
    return;
  }
  if (!link.SetAxis || !link.SetBtn) return;
  link.SetAxis(x, VJOY_DEVICE, VJOY_AXIS_X);
  link.SetAxis(y, VJOY_DEVICE, VJOY_AXIS_Y);
  link.SetAxis(z, VJOY_DEVICE, VJOY_AXIS_Z);
  link.SetBtn(left, VJOY_DEVICE, VJOY_BUTTON_LEFT);
  link.SetBtn(right, VJOY_DEVICE, VJOY_BUTTON_RIGHT);
}

void VJoyRelease() {
  VirtualJoystickLink& link = virtualJoystickLink;
  if (!link.vjoyAcquired) return;
  if (link.ResetVJD) link.ResetVJD(VJOY_DEVICE);
  if (link.RelinquishVJD) link.RelinquishVJD(VJOY_DEVICE);
  link.vjoyAcquired = 0;
}
