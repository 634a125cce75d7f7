// The real bus seam: ViGEmBus found by its device interface, opened
// overlapped, each request waited for on its own event. Linked into the
// program only; test builds link the fake bus (tools/fakebus) instead.
#include <windows.h>
#include <setupapi.h>
#include <winioctl.h>

#include <cstdio>

#include "pad/pad_link.h"

// {96E42B22-F5E9-42F8-B043-ED0F932F014F}: the bus's device interface.
static const GUID PAD_BUS_INTERFACE = {
    0x96E42B22, 0xF5E9, 0x42F8, {0xB0, 0x43, 0xED, 0x0F, 0x93, 0x2F, 0x01, 0x4F}};

static_assert(PAD_REQUEST_PLUGIN_TARGET ==
                  CTL_CODE(FILE_DEVICE_BUS_EXTENDER, 0x801, METHOD_BUFFERED, FILE_WRITE_DATA) &&
              PAD_REQUEST_UNPLUG_TARGET ==
                  CTL_CODE(FILE_DEVICE_BUS_EXTENDER, 0x802, METHOD_BUFFERED, FILE_WRITE_DATA) &&
              PAD_REQUEST_CHECK_VERSION ==
                  CTL_CODE(FILE_DEVICE_BUS_EXTENDER, 0x803, METHOD_BUFFERED, FILE_WRITE_DATA) &&
              PAD_REQUEST_WAIT_DEVICE_READY ==
                  CTL_CODE(FILE_DEVICE_BUS_EXTENDER, 0x804, METHOD_BUFFERED, FILE_WRITE_DATA) &&
              PAD_REQUEST_SUBMIT_REPORT ==
                  CTL_CODE(FILE_DEVICE_BUS_EXTENDER, 0x801 + 0x201, METHOD_BUFFERED, FILE_WRITE_DATA),
              "the bus's request codes");

int PadBusFindPath(char* path, size_t size) {
  HDEVINFO set = SetupDiGetClassDevsA(&PAD_BUS_INTERFACE, nullptr, nullptr,
                                      DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return 0;
  int found = 0;
  SP_DEVICE_INTERFACE_DATA data = {};
  data.cbSize = sizeof data;
  for (DWORD i = 0; !found && SetupDiEnumDeviceInterfaces(set, nullptr, &PAD_BUS_INTERFACE, i, &data);
       ++i) {
    DWORD needed = 0;
    SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &needed, nullptr);
    // The detail record is its size field and the path; a fixed buffer, 8-aligned, holds it.
    alignas(8) char buffer[1024];
    if (needed == 0 || needed > sizeof buffer) continue;
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer);
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, &data, detail, needed, nullptr, nullptr)) continue;
    const int written = std::snprintf(path, size, "%s", detail->DevicePath);
    found = written > 0 && static_cast<size_t>(written) < size;
  }
  SetupDiDestroyDeviceInfoList(set);
  return found;
}

// The one open bus's request event, made with it: a publish creates nothing.
static HANDLE padBusEvent;

void* PadBusOpen(const char* path) {
  if (!padBusEvent) padBusEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!padBusEvent) return nullptr;
  HANDLE bus = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED,
                           nullptr);
  return bus == INVALID_HANDLE_VALUE ? nullptr : bus;
}

PadBusAnswer PadBusRequest(void* bus, uint32_t code, const void* record, uint32_t size) {
  // Requests go one at a time, each waited for, so one event serves them all.
  OVERLAPPED overlapped = {};
  overlapped.hEvent = padBusEvent;
  ResetEvent(padBusEvent);
  DWORD transferred = 0;
  BOOL done = DeviceIoControl(static_cast<HANDLE>(bus), code, const_cast<void*>(record), size,
                              nullptr, 0, &transferred, &overlapped);
  if (!done && GetLastError() == ERROR_IO_PENDING) {
    done = GetOverlappedResult(static_cast<HANDLE>(bus), &overlapped, &transferred, TRUE);
  }
  const DWORD error = done ? ERROR_SUCCESS : GetLastError();
  if (done) return PAD_BUS_DONE;
  return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED ? PAD_BUS_UNKNOWN_REQUEST
                                                                          : PAD_BUS_FAILED;
}

void PadBusClose(void* bus) { CloseHandle(static_cast<HANDLE>(bus)); }
