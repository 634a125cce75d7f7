#include "input/mouse_motion.h"

#include "engine/pedals.h"
#include "engine/tuning.h"

AbsoluteMouseTrack absoluteMouseTrack;

namespace {

// The pixel column (or row) of an absolute position over a span of pixels.
int32_t AbsoluteToPixel(int32_t position, int32_t origin, int32_t span) {
  if (position < 0) position = 0;
  if (position > MOUSE_ABSOLUTE_RANGE) position = MOUSE_ABSOLUTE_RANGE;
  return origin + static_cast<int32_t>(static_cast<int64_t>(position) * span / (MOUSE_ABSOLUTE_RANGE + 1));
}

int64_t Overlap(int32_t a0, int32_t a1, int32_t b0, int32_t b1) {
  int32_t low = a0 > b0 ? a0 : b0, high = a1 < b1 ? a1 : b1;
  return high > low ? static_cast<int64_t>(high) - low : 0;
}

// How far outside a rectangle a point of the window's rectangle lies, squared.
int64_t GapSquared(const ScreenRect& r, const ScreenRect& w) {
  int64_t gx = w.right <= r.left ? int64_t{r.left} - w.right + 1 : w.left >= r.right ? int64_t{w.left} - r.right + 1 : 0;
  int64_t gy = w.bottom <= r.top ? int64_t{r.top} - w.bottom + 1 : w.top >= r.bottom ? int64_t{w.top} - r.bottom + 1 : 0;
  return gx * gx + gy * gy;
}

}  // namespace

void MouseReportMotion(uint16_t flags, uintptr_t device, int32_t lastX, int32_t lastY, uint32_t nowMs,
                       ScreenRect virtualDesktop, ScreenRect primary, int32_t* dx, int32_t* dy) {
  if (!(flags & MOUSE_REPORT_ABSOLUTE)) {
    *dx = lastX;
    *dy = lastY;
    return;
  }
  const ScreenRect& area = (flags & MOUSE_REPORT_VIRTUAL_DESKTOP) ? virtualDesktop : primary;
  const int32_t x = AbsoluteToPixel(lastX, area.left, area.right - area.left);
  const int32_t y = AbsoluteToPixel(lastY, area.top, area.bottom - area.top);
  AbsoluteMouseTrack& track = absoluteMouseTrack;
  // Unsigned difference: right across the tick's wrap.
  const int fresh = !track.valid || track.device != device || nowMs - track.ms > MOUSE_ABSOLUTE_PAUSE_MS;
  *dx = fresh ? 0 : x - track.x;
  *dy = fresh ? 0 : y - track.y;
  track = AbsoluteMouseTrack{device, x, y, nowMs, 1};
}

uint32_t MouseButtonsAfter(uint32_t held, uint16_t buttonFlags) {
  for (int i = 0; i < MOUSE_BUTTONS; ++i) {
    if (buttonFlags & (1u << (2 * i))) held |= 1u << i;
    if (buttonFlags & (2u << (2 * i))) held &= ~(1u << i);
  }
  return held;
}

void MouseReportButtons(uint16_t buttonFlags, uint16_t buttonData) {
  steeringState.mouseButtons = MouseButtonsAfter(steeringState.mouseButtons, buttonFlags);
  if (buttonFlags & MOUSE_REPORT_WHEEL) ApplyWheelDelta(static_cast<int16_t>(buttonData));
}

int MouseLockParkPoint(const ScreenRect* monitors, int count, const ScreenRect* window, int32_t* x,
                       int32_t* y) {
  if (count <= 0) return 0;
  int best = 0;
  if (window) {
    int64_t bestArea = -1, bestGap = INT64_MAX;
    for (int i = 0; i < count; ++i) {
      const ScreenRect& m = monitors[i];
      int64_t area = Overlap(m.left, m.right, window->left, window->right) *
                     Overlap(m.top, m.bottom, window->top, window->bottom);
      int64_t gap = area > 0 ? 0 : GapSquared(m, *window);
      if (area > bestArea || (area == 0 && bestArea == 0 && gap < bestGap)) {
        best = i, bestArea = area, bestGap = gap;
      }
    }
  } else {
    for (int i = 0; i < count; ++i) {
      const ScreenRect& m = monitors[i];
      if (m.left <= 0 && 0 < m.right && m.top <= 0 && 0 < m.bottom) best = i;
    }
  }
  const ScreenRect& m = monitors[best];
  *x = m.right - 1;
  *y = m.top + (m.bottom - m.top) / 2;
  return 1;
}
