#include "input/raw_input.h"

#include <cstddef>
#include <cstring>

#include "engine/loop_timing.h"
#include "engine/pedals.h"
#include "engine/steering.h"
#include "engine/system_seam.h"
#include "engine/tuning.h"
#include "input/mouse_motion.h"

namespace {

// Reports are read into one fixed buffer: the mouse path runs up to a thousand
// times a second and must not allocate. Sizes outside 1..999 are not read.
constexpr UINT RAW_INPUT_BUFFER_SIZE = 1000;
alignas(RAWINPUT) unsigned char rawInputBuffer[RAW_INPUT_BUFFER_SIZE];

// A mouse report must at least reach the end of lLastY before its motion is
// trusted; a shorter read would leave stale bytes of an earlier report there.
constexpr UINT RAW_INPUT_MOUSE_MIN_SIZE =
    offsetof(RAWINPUT, data.mouse.lLastY) + sizeof(LONG);

ScreenRect VirtualDesktopRect() {
  const int32_t left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

void RawInputHandleReport(HRAWINPUT handle) {
  UINT size = 0;
  if (GetRawInputData(handle, RID_INPUT, nullptr, &size, sizeof(RAWINPUTHEADER)) != 0) return;
  if (size == 0 || size >= RAW_INPUT_BUFFER_SIZE) return;

  UINT read = GetRawInputData(handle, RID_INPUT, rawInputBuffer, &size, sizeof(RAWINPUTHEADER));
  if (read == static_cast<UINT>(-1) || read < RAW_INPUT_MOUSE_MIN_SIZE) return;

  RAWINPUTHEADER header;
  std::memcpy(&header, rawInputBuffer, sizeof header);
  if (header.dwType != RIM_TYPEMOUSE) return;

  LONG lastX;
  LONG lastY;
  USHORT flags;
  std::memcpy(&lastX, rawInputBuffer + offsetof(RAWINPUT, data.mouse.lLastX), sizeof lastX);
  std::memcpy(&lastY, rawInputBuffer + offsetof(RAWINPUT, data.mouse.lLastY), sizeof lastY);
  std::memcpy(&flags, rawInputBuffer + offsetof(RAWINPUT, data.mouse.usFlags), sizeof flags);
  // Absolute reports carry positions: only their differences are motion.
  int32_t dx = lastX;
  int32_t dy = lastY;
  if (flags & MOUSE_MOVE_ABSOLUTE) {
    const ScreenRect primary = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    MouseReportMotion(flags, reinterpret_cast<uintptr_t>(header.hDevice), lastX, lastY,
                      static_cast<uint32_t>(SystemClockMicros() / 1000),
                      VirtualDesktopRect(), primary, &dx, &dy);
  }
  // Vertical motion goes on even when it is 0: a button-only report is how the
  // right-click pedals drop.
  if (dx != 0) ApplySteeringDelta(dx);
  ApplyPedalDelta(dy);
}

}  // namespace

void CreateRawInputWindow() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = RawInputWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "TXInputWnd";
  RegisterClassA(&windowClass);

  HWND window = CreateWindowExA(0, "TXInputWnd", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                nullptr, nullptr);
  steeringState.rawInputWindow = window;

  // Input sink: reports keep coming while a game has the foreground.
  RAWINPUTDEVICE device{};
  device.usUsagePage = 0x01;
  device.usUsage = 0x02;
  device.dwFlags = RIDEV_INPUTSINK;
  device.hwndTarget = window;
  RegisterRawInputDevices(&device, 1, sizeof device);
}

LRESULT CALLBACK RawInputWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_INPUT) return DefWindowProcA(window, message, wParam, lParam);

  // At most one report per gate period; the rest are dropped unread, not summed.
  if (!InputGateAdmit(&steeringState.lastRawInputMicros, SystemClockMicros())) return 0;

  RawInputHandleReport(reinterpret_cast<HRAWINPUT>(lParam));
  return DefWindowProcA(window, message, wParam, lParam);
}
