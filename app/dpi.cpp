// The DPI calls, each through the one record looked up at first use.
#include "app/dpi.h"

DpiFunctions dpiFunctions;

static constexpr unsigned int DPI_DEFAULT = 96;

// GetProcAddress hands back a generic FARPROC; going through void(*)(void)
// keeps the compiler's function-cast check quiet.
template <typename Proc>
static void DpiLookUp(HMODULE user32, const char* name, Proc* entry) {
  *entry = reinterpret_cast<Proc>(reinterpret_cast<void (*)(void)>(GetProcAddress(user32, name)));
}

static const DpiFunctions& DpiCalls() {
  if (!dpiFunctions.lookedUp) {
    // user32 is among the exe's own imports, so it is loaded for the whole run.
    HMODULE user32 = GetModuleHandleA("user32.dll");
    if (user32) {
      DpiLookUp(user32, "GetDpiForWindow", &dpiFunctions.getDpiForWindow);
      DpiLookUp(user32, "GetDpiForSystem", &dpiFunctions.getDpiForSystem);
      DpiLookUp(user32, "AdjustWindowRectExForDpi", &dpiFunctions.adjustWindowRectExForDpi);
      DpiLookUp(user32, "GetSystemMetricsForDpi", &dpiFunctions.getSystemMetricsForDpi);
    }
    dpiFunctions.lookedUp = 1;
  }
  return dpiFunctions;
}

unsigned int DpiOfSystem() {
  const DpiFunctions& calls = DpiCalls();
  if (calls.getDpiForSystem) return calls.getDpiForSystem();
  int dpi = 0;
  if (HDC screen = GetDC(nullptr)) {
    dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? static_cast<unsigned int>(dpi) : DPI_DEFAULT;
}

unsigned int DpiOfWindow(HWND window) {
  const DpiFunctions& calls = DpiCalls();
  const unsigned int dpi = calls.getDpiForWindow ? calls.getDpiForWindow(window) : 0;
  return dpi ? dpi : DpiOfSystem();
}

void DpiAdjustFrame(RECT* frame, DWORD style, unsigned int dpi) {
  const DpiFunctions& calls = DpiCalls();
  if (calls.adjustWindowRectExForDpi) {
    calls.adjustWindowRectExForDpi(frame, style, FALSE, 0, dpi);
  } else {
    AdjustWindowRectEx(frame, style, FALSE, 0);
  }
}

int DpiSystemMetric(int index, unsigned int dpi) {
  const DpiFunctions& calls = DpiCalls();
  if (calls.getSystemMetricsForDpi) return calls.getSystemMetricsForDpi(index, dpi);
  // Scaled from the system DPI, not from 96: an aware process gets the plain
  // metric at the system DPI already.
  return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(DpiOfSystem()));
}
