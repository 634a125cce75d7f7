#include "input/raw_input.h"

// QWORD, which NEXTRAWINPUTBLOCK needs on x64 and MinGW-w64's winuser.h lacks.
#include <windns.h>

#include <cstddef>
#include <cstring>

#include "engine/loop_timing.h"
#include "engine/output_tick.h"
#include "engine/pedals.h"
#include "engine/steering.h"
#include "engine/system_seam.h"
#include "engine/tuning.h"
#include "input/mouse_choice.h"
#include "input/mouse_motion.h"
#include "storage/saving.h"

namespace {

// Reports are read into one fixed buffer: the mouse path runs up to a thousand
// times a second and must not allocate. Sizes outside 1..999 are not read.
constexpr UINT RAW_INPUT_BUFFER_SIZE = 1000;
alignas(RAWINPUT) unsigned char rawInputBuffer[RAW_INPUT_BUFFER_SIZE];

// A mouse report must at least reach the end of lLastY before its motion is
// trusted; a shorter read would leave stale bytes of an earlier report there.
constexpr UINT RAW_INPUT_MOUSE_MIN_SIZE =
    offsetof(RAWINPUT, data.mouse.lLastY) + sizeof(LONG);

// Physical pixels: the process is per-monitor DPI aware, so the system does not
// scale these, and an absolute report's motion comes out in the same pixels the
// cursor moves by, at any monitor's scaling.
ScreenRect VirtualDesktopRect() {
  const int32_t left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// Looked at on a device change only; static, so nothing is taken per change.
MouseDevice rawInputMice[MOUSE_DEVICES_MAX];

void RawInputFindSteeringMouse() {
  if (!mouseChoice.chosen) return;
  MouseChoiceFollow(rawInputMice, MouseDevicesList(rawInputMice, MOUSE_DEVICES_MAX));
}

// A mouse report's motion as it stands in the record.
struct RawMouseMotion {
  LONG lastX, lastY;
  USHORT flags;
};

RawMouseMotion RawInputMotion(const unsigned char* report) {
  RawMouseMotion m;
  std::memcpy(&m.lastX, report + offsetof(RAWINPUT, data.mouse.lLastX), sizeof m.lastX);
  std::memcpy(&m.lastY, report + offsetof(RAWINPUT, data.mouse.lLastY), sizeof m.lastY);
  std::memcpy(&m.flags, report + offsetof(RAWINPUT, data.mouse.usFlags), sizeof m.flags);
  return m;
}

// "Use the Next Mouse I Move": every report's relative motion counts, also a
// dropped one's; the device is looked up once, when it has moved enough.
void RawInputSelectMouse(const unsigned char* report, uintptr_t device) {
  const RawMouseMotion m = RawInputMotion(report);
  if (m.flags & MOUSE_MOVE_ABSOLUTE) return;  // positions, not motion
  if (!MouseSelectionFeed(device, m.lastX, m.lastY, SystemClockMicros())) return;
  if (MouseDeviceDescribe(device, &rawInputMice[0]) && MouseChoiceTake(rawInputMice[0])) SaveSettings();
}

// Applies one report of read bytes: its buttons and wheel always, its motion
// when not gated (Direct Mode) or the gate lets it through. With one mouse
// chosen, only its reports, so another device's cannot take the gate.
void RawInputApplyReport(const unsigned char* report, UINT read, int gated) {
  if (read == static_cast<UINT>(-1) || read < RAW_INPUT_MOUSE_MIN_SIZE) return;

  RAWINPUTHEADER header;
  std::memcpy(&header, report, sizeof header);
  if (header.dwType != RIM_TYPEMOUSE) return;
  const uintptr_t device = reinterpret_cast<uintptr_t>(header.hDevice);
  if (mouseChoice.selecting) RawInputSelectMouse(report, device);

  USHORT buttonFlags;
  USHORT buttonData;
  std::memcpy(&buttonFlags, report + offsetof(RAWINPUT, data.mouse.ulButtons), sizeof buttonFlags);
  std::memcpy(&buttonData, report + offsetof(RAWINPUT, data.mouse.ulButtons) + sizeof buttonFlags,
              sizeof buttonData);
  // A dropped report's motion is lost, but never a press, a release or a notch.
  if (!MouseReportTake(device, buttonFlags, buttonData)) return;

  const RawMouseMotion m = RawInputMotion(report);
  const int moved = (m.flags & MOUSE_MOVE_ABSOLUTE) || m.lastX != 0 || m.lastY != 0;
  if (gated && !InputGateAdmit(&steeringState.lastRawInputMicros, SystemClockMicros(), moved)) return;
  // Absolute reports carry positions: only their differences are motion.
  int32_t dx = m.lastX;
  int32_t dy = m.lastY;
  if (m.flags & MOUSE_MOVE_ABSOLUTE) {
    const ScreenRect primary = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    MouseReportMotion(m.flags, device, m.lastX, m.lastY,
                      static_cast<uint32_t>(SystemClockMicros() / 1000),
                      VirtualDesktopRect(), primary, &dx, &dy);
  }
  // Vertical motion goes on even when it is 0: a button-only report is how the
  // right-click pedals drop.
  if (dx != 0) ApplySteeringDelta(dx);
  ApplyPedalDelta(dy);
}

void RawInputHandleReport(HRAWINPUT handle, int gated) {
  UINT size = 0;
  if (GetRawInputData(handle, RID_INPUT, nullptr, &size, sizeof(RAWINPUTHEADER)) != 0) return;
  if (size == 0 || size >= RAW_INPUT_BUFFER_SIZE) return;

  UINT read = GetRawInputData(handle, RID_INPUT, rawInputBuffer, &size, sizeof(RAWINPUTHEADER));
  RawInputApplyReport(rawInputBuffer, read, gated);
}

// Direct mode reads the reports queued behind the one dispatched in batches.
// The size query would give only the first report's size, so the buffer is
// fixed: room for a few hundred mouse reports, 8-byte aligned as x64 needs.
constexpr UINT RAW_INPUT_BATCH_SIZE = 16384;
constexpr int RAW_INPUT_BATCHES_MAX = 8;  // a bound, should reports never stop
alignas(8) unsigned char rawInputBatch[RAW_INPUT_BATCH_SIZE];

// Takes the queued reports; their WM_INPUT messages go with them.
void RawInputDrainQueued() {
  for (int batch = 0; batch < RAW_INPUT_BATCHES_MAX; ++batch) {
    UINT size = RAW_INPUT_BATCH_SIZE;
    PRAWINPUT block = reinterpret_cast<PRAWINPUT>(rawInputBatch);
    const UINT count = GetRawInputBuffer(block, &size, sizeof(RAWINPUTHEADER));
    if (count == 0 || count == static_cast<UINT>(-1)) return;
    for (UINT i = 0; i < count; ++i) {
      const size_t offset = reinterpret_cast<unsigned char*>(block) - rawInputBatch;
      if (offset + sizeof(RAWINPUTHEADER) > RAW_INPUT_BATCH_SIZE) return;
      const UINT blockSize = block->header.dwSize;
      if (blockSize > RAW_INPUT_BATCH_SIZE - offset) return;
      RawInputApplyReport(rawInputBatch + offset, blockSize, 0);
      block = NEXTRAWINPUTBLOCK(block);
    }
  }
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
  // Device notices: the steering mouse is found again when mice come and go.
  // Refused, steering goes on without them.
  device.dwFlags = RIDEV_INPUTSINK | RIDEV_DEVNOTIFY;
  device.hwndTarget = window;
  if (!RegisterRawInputDevices(&device, 1, sizeof device)) {
    device.dwFlags = RIDEV_INPUTSINK;
    RegisterRawInputDevices(&device, 1, sizeof device);
  }

  MouseChoiceLoad();
  RawInputFindSteeringMouse();
}

LRESULT CALLBACK RawInputWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INPUT_DEVICE_CHANGE) {
    if (MouseChoiceDeviceChange(wParam == GIDC_ARRIVAL, static_cast<uintptr_t>(lParam))) {
      RawInputFindSteeringMouse();
    }
    return 0;
  }
  if (message != WM_INPUT) return DefWindowProcA(window, message, wParam, lParam);

  // Direct mode: every report, and what they changed goes out at once.
  if (tuningSettings.directMode) {
    RawInputHandleReport(reinterpret_cast<HRAWINPUT>(lParam), 0);
    RawInputDrainQueued();
    PublishIfChanged();
    return DefWindowProcA(window, message, wParam, lParam);
  }

  // The motion of at most one report per gate period; the others' is dropped,
  // not summed, while their buttons and wheel still count. Every report goes
  // to DefWindowProc, which frees it.
  RawInputHandleReport(reinterpret_cast<HRAWINPUT>(lParam), 1);
  return DefWindowProcA(window, message, wParam, lParam);
}
