// The real bus seam: ViGEmBus found by its device interface, opened
// overlapped, each request waited for on the handle's event or ended by a
// cancel from another thread. Linked into the program only; test builds link
// the fake bus (tools/fakebus) instead.
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
static_assert(PAD_ERROR_FILE_NOT_FOUND == ERROR_FILE_NOT_FOUND && PAD_ERROR_ACCESS_DENIED == ERROR_ACCESS_DENIED &&
                  PAD_ERROR_INVALID_HANDLE == ERROR_INVALID_HANDLE && PAD_ERROR_BAD_COMMAND == ERROR_BAD_COMMAND &&
                  PAD_ERROR_NOT_SUPPORTED == ERROR_NOT_SUPPORTED && PAD_ERROR_DEV_NOT_EXIST == ERROR_DEV_NOT_EXIST &&
                  PAD_ERROR_INVALID_PARAMETER == ERROR_INVALID_PARAMETER &&
                  PAD_ERROR_NO_MORE_ITEMS == ERROR_NO_MORE_ITEMS && PAD_ERROR_OPERATION_ABORTED == ERROR_OPERATION_ABORTED &&
                  PAD_ERROR_DEVICE_NOT_CONNECTED == ERROR_DEVICE_NOT_CONNECTED &&
                  PAD_ERROR_DEVICE_REMOVED == ERROR_DEVICE_REMOVED,
              "winerror.h's numbers (MinGW's lacks 433 and 483)");

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

// An open bus: its handle, the event its requests complete on (made with it,
// so a publish creates nothing), and the event a cancel sets.
struct PadBusHandle {
  HANDLE file;
  HANDLE done;
  HANDLE cancel;
};

void* PadBusOpen(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  PadBusHandle* bus = new PadBusHandle{file, CreateEventA(nullptr, TRUE, FALSE, nullptr),
                                       CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  if (!bus->done || !bus->cancel) {
    PadBusClose(bus);
    return nullptr;
  }
  return bus;
}

uint32_t PadBusRequest(void* handle, uint32_t code, const void* record, uint32_t size) {
  // Requests on one handle go one at a time (the bind's, then the loop's), so
  // one event serves them all.
  PadBusHandle* bus = static_cast<PadBusHandle*>(handle);
  OVERLAPPED overlapped = {};
  overlapped.hEvent = bus->done;
  ResetEvent(bus->done);
  DWORD transferred = 0;
  if (DeviceIoControl(bus->file, code, const_cast<void*>(record), size, nullptr, 0, &transferred, &overlapped)) {
    return ERROR_SUCCESS;
  }
  const DWORD error = GetLastError();
  if (error != ERROR_IO_PENDING) return error;
  // Only the bind's requests are held: wait-ready sits in a queue of the
  // framework's, which completes it at once when cancelled (STATUS_CANCELLED);
  // 1.16 holds a plug-in until its own sweep, within about a second. Reports
  // and unplugs are answered at once. The overlapped record lives until the
  // request has completed either way.
  HANDLE events[2] = {bus->done, bus->cancel};
  if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) CancelIoEx(bus->file, &overlapped);
  return GetOverlappedResult(bus->file, &overlapped, &transferred, TRUE) ? ERROR_SUCCESS : GetLastError();
}

void PadBusCancel(void* handle) { SetEvent(static_cast<PadBusHandle*>(handle)->cancel); }

void PadBusClose(void* handle) {
  PadBusHandle* bus = static_cast<PadBusHandle*>(handle);
  CloseHandle(bus->file);
  if (bus->done) CloseHandle(bus->done);
  if (bus->cancel) CloseHandle(bus->cancel);
  delete bus;
}
