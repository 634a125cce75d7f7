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

// Buttons held, one bit each, as the reports' button flags leave them.
constexpr uint32_t MOUSE_HELD_LEFT = 0x01;
constexpr uint32_t MOUSE_HELD_RIGHT = 0x02;
constexpr uint32_t MOUSE_HELD_MIDDLE = 0x04;
constexpr uint32_t MOUSE_HELD_BACK = 0x08;     // XBUTTON1
constexpr uint32_t MOUSE_HELD_FORWARD = 0x10;  // XBUTTON2
constexpr int MOUSE_BUTTONS = 5;
// usButtonFlags: button i (left, right, middle, 4, 5) goes down with bit 2i and
// up with bit 2i + 1; then the vertical and horizontal wheels.
constexpr uint16_t MOUSE_REPORT_WHEEL = 0x0400;   // RI_MOUSE_WHEEL
constexpr uint16_t MOUSE_REPORT_HWHEEL = 0x0800;  // RI_MOUSE_HWHEEL

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

// The held buttons after a report's button flags: a press and a release of
// one button in the same report leave it up.
uint32_t MouseButtonsAfter(uint32_t held, uint16_t buttonFlags);
// A report's buttons and wheel: steeringState.mouseButtons follows the flags,
// and the vertical wheel's motion (usButtonData as a signed 16-bit number,
// positive away from the user) goes to the cruise throttle. Every report,
// whether or not its motion is used.
void MouseReportButtons(uint16_t buttonFlags, uint16_t buttonData);

// The mouse lock's park point: the right edge (the last column) of the monitor
// that holds the most of the foreground window, at that monitor's mid height.
// A window on no monitor goes by the nearest; no window (null) by the primary
// monitor, the one holding (0, 0). 0 when there are no monitors.
int MouseLockParkPoint(const ScreenRect* monitors, int count, const ScreenRect* window, int32_t* x,
                       int32_t* y);
