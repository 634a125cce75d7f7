// Mouse arithmetic that needs no system: the motion of an absolute report and
// the point where the mouse lock parks the cursor. Portable, so the host tests
// reach it; the Win32 code feeds it what the system reports.
#pragma once

#include <cstdint>

// usFlags of a raw mouse report.
constexpr uint16_t MOUSE_REPORT_ABSOLUTE = 0x01;         // MOUSE_MOVE_ABSOLUTE
constexpr uint16_t MOUSE_REPORT_VIRTUAL_DESKTOP = 0x02;  // MOUSE_VIRTUAL_DESKTOP
// Positions of absolute reports run from 0 to this over the screen.
constexpr int32_t MOUSE_ABSOLUTE_RANGE = 65535;
// An absolute report after this long a pause starts afresh.
constexpr uint32_t MOUSE_ABSOLUTE_PAUSE_MS = 500;

struct ScreenRect {
  int32_t left, top, right, bottom;  // right and bottom exclusive
};

// The previous absolute sample: which device, where (in pixels), when.
struct AbsoluteMouseTrack {
  uintptr_t device;
  int32_t x, y;
  uint32_t ms;
  int32_t valid;
};
extern AbsoluteMouseTrack absoluteMouseTrack;

// The motion a report stands for. Relative reports are their own motion. An
// absolute report (remote desktop, a VM's mouse, a pen tablet) holds a position:
// its motion is the difference from the previous absolute sample of the same
// device, in pixels of the virtual desktop (MOUSE_REPORT_VIRTUAL_DESKTOP) or of
// the primary screen. The first sample, one from another device and one after
// the pause give no motion. Hot path: no allocation.
void MouseReportMotion(uint16_t flags, uintptr_t device, int32_t lastX, int32_t lastY, uint32_t nowMs,
                       ScreenRect virtualDesktop, ScreenRect primary, int32_t* dx, int32_t* dy);

// The mouse lock's park point: the right edge (the last column) of the monitor
// that holds the most of the foreground window, at that monitor's mid height.
// A window on no monitor goes by the nearest; no window (null) by the primary
// monitor, the one holding (0, 0). 0 when there are no monitors.
int MouseLockParkPoint(const ScreenRect* monitors, int count, const ScreenRect* window, int32_t* x,
                       int32_t* y);
