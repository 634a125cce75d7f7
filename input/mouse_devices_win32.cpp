// The mice connected now, for finding the steering mouse again: the device
// paths raw input gives, and the product and serial strings of the HID
// devices behind them. Only on a device change or a selection, never per report.
#include <windows.h>
// After windows.h, which it needs; MinGW-w64's copy declares no C linkage.
extern "C" {
#include <hidsdi.h>
}

#include <cstring>
#include <vector>

#include "input/raw_input.h"

namespace {

// UTF-8, cut to size bytes with its terminator; "" when it cannot be converted.
void TextFromWide(const wchar_t* wide, char* text, size_t size) {
  char whole[512];
  if (!WideCharToMultiByte(CP_UTF8, 0, wide, -1, whole, sizeof whole, nullptr, nullptr)) whole[0] = 0;
  size_t length = std::strlen(whole);
  if (length >= size) length = size - 1;
  std::memcpy(text, whole, length);
  text[length] = 0;
}

}  // namespace

int MouseDeviceDescribe(uintptr_t handle, MouseDevice* device) {
  *device = MouseDevice{};
  // Longer than a path we keep, it still names the identity.
  char path[4 * MOUSE_PATH_SIZE];
  UINT size = sizeof path;  // characters
  const UINT got = GetRawInputDeviceInfoA(reinterpret_cast<HANDLE>(handle), RIDI_DEVICENAME, path, &size);
  if (got == 0 || got == static_cast<UINT>(-1)) return 0;
  path[sizeof path - 1] = 0;
  device->handle = handle;
  MouseIdentityFromPath(path, &device->identity);
  // Windows holds a mouse's collection exclusively; a handle without access
  // rights still answers the strings. USB strings hold at most 126 characters.
  HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  wchar_t text[128] = {};
  if (HidD_GetProductString(file, text, sizeof text - sizeof text[0])) {
    TextFromWide(text, device->name, sizeof device->name);
  }
  std::memset(text, 0, sizeof text);
  if (HidD_GetSerialNumberString(file, text, sizeof text - sizeof text[0])) {
    TextFromWide(text, device->identity.serial, sizeof device->identity.serial);
  }
  CloseHandle(file);
  return 1;
}

int MouseDevicesList(MouseDevice* devices, int most) {
  UINT count = 0;
  if (GetRawInputDeviceList(nullptr, &count, sizeof(RAWINPUTDEVICELIST)) != 0) return 0;
  // Room for a few that arrive between the two calls.
  std::vector<RAWINPUTDEVICELIST> list(count + 8);
  UINT room = static_cast<UINT>(list.size());
  const UINT listed = GetRawInputDeviceList(list.data(), &room, sizeof(RAWINPUTDEVICELIST));
  if (listed == static_cast<UINT>(-1)) return 0;
  int found = 0;
  for (UINT i = 0; i < listed && found < most; ++i) {
    if (list[i].dwType != RIM_TYPEMOUSE) continue;
    if (MouseDeviceDescribe(reinterpret_cast<uintptr_t>(list[i].hDevice), &devices[found])) ++found;
  }
  return found;
}
