// The fake bus. Built natively for the host tests and cross for Windows, where
// it also reads its answers from the environment and appends every request to
// a log file, as the vJoy stand-in does:
//   TARVIX_FAKEBUS_MODE   present (default), missing, refuse (another version),
//                         old (no wait-ready request: 87), slow (wait-ready held
//                         1 s), stuck (wait-ready held until cancelled), busy:N
//                         (the first N reports of each bind answer 259)
//   TARVIX_FAKEBUS_LOG    "<counter> <frequency> <Request>(<fields>) <error>" per
//                         request, counter and frequency those of QueryPerformanceCounter,
//                         the error the Win32 one (0: done); Report's fields: size,
//                         serial, buttons, left and right trigger, LX, LY, RX, RY
#include "tools/fakebus/fake_bus.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "pad/pad_link.h"

#ifdef _WIN32
#include <windows.h>
#endif

FakeBus fakeBus;

namespace {

// The bus's request codes, written out: CTL_CODE(0x2A, function, 0, 2).
const uint32_t FAKE_PLUGIN = 0x2AA004, FAKE_UNPLUG = 0x2AA008, FAKE_CHECK_VERSION = 0x2AA00C,
               FAKE_WAIT_READY = 0x2AA010, FAKE_SUBMIT_REPORT = 0x2AA808;
const int FAKE_BUS_HANDLE = 1;
const int FAKE_SLOW_READY_MS = 1000;

// Between the bind's thread and the loop's: the calls, a cancel, a held wait.
std::mutex fakeBusLock;
std::condition_variable fakeBusWake;

uint32_t U32(const unsigned char* bytes, int at) {
  uint32_t v;
  std::memcpy(&v, bytes + at, 4);
  return v;
}
int32_t I16(const unsigned char* bytes, int at) {
  int16_t v;
  std::memcpy(&v, bytes + at, 2);
  return v;
}

#ifdef _WIN32
void FakeBusLog(const char* line) {
  char value[MAX_PATH], path[MAX_PATH + 4];
  const DWORD n = GetEnvironmentVariableA("TARVIX_FAKEBUS_LOG", value, sizeof value);
  if (n == 0 || n >= sizeof value) return;
  std::snprintf(path, sizeof path, "%s%s", value[0] == '/' ? "Z:" : "", value);
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  char text[256];
  const int length = std::snprintf(text, sizeof text, "%lld %lld %s\n", static_cast<long long>(counter.QuadPart),
                                   static_cast<long long>(frequency.QuadPart), line);
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr);
  CloseHandle(file);
}

// A program started with TARVIX_FAKEBUS_MODE set gets a bus of that kind.
void FakeBusReadEnvironment() {
  char mode[32];
  const DWORD n = GetEnvironmentVariableA("TARVIX_FAKEBUS_MODE", mode, sizeof mode);
  if (n == 0 || n >= sizeof mode) return;
  FakeBusAnswers& a = fakeBus.answers;
  a = FakeBusAnswers{};
  a.present = lstrcmpiA(mode, "missing") != 0;
  if (lstrcmpiA(mode, "refuse") == 0) a.version = 2;
  if (lstrcmpiA(mode, "old") == 0) a.knowsWaitReady = 0;
  if (lstrcmpiA(mode, "slow") == 0) a.readyHoldMs = FAKE_SLOW_READY_MS;
  if (lstrcmpiA(mode, "stuck") == 0) a.readyHoldMs = -1;
  if (std::strncmp(mode, "busy:", 5) == 0) a.refuseReports = std::atoi(mode + 5);
}
#else
void FakeBusLog(const char*) {}
void FakeBusReadEnvironment() {}
#endif

uint32_t U16(const unsigned char* bytes, int at) { return bytes[at] | bytes[at + 1] << 8; }

// A record's fields by its own layout: size and serial (or version), then per request the rest.
int Decode(const char* name, const unsigned char* r, uint32_t size, long* fields) {
  if (size < 8) return 0;
  fields[0] = static_cast<long>(U32(r, 0)), fields[1] = static_cast<long>(U32(r, 4));
  if (std::strcmp(name, "PlugIn") == 0 && size >= 16) {
    fields[2] = static_cast<long>(U32(r, 8)), fields[3] = static_cast<long>(U16(r, 12)), fields[4] = static_cast<long>(U16(r, 14));
    return 5;
  }
  if (std::strcmp(name, "Report") == 0 && size >= 20) {
    fields[2] = static_cast<long>(U16(r, 8)), fields[3] = r[10], fields[4] = r[11];
    for (int i = 0; i < 4; ++i) fields[5 + i] = I16(r, 12 + 2 * i);
    return 9;
  }
  return 2;
}

// Records one request as "Name(fields)=result" and logs it.
void Note(const char* name, const unsigned char* record, uint32_t size, const char* result) {
  long fields[9];
  const int count = Decode(name, record, size, fields);
  char line[200];
  int length = std::snprintf(line, sizeof line, "%s(", name);
  for (int i = 0; i < count; ++i) length += std::snprintf(line + length, sizeof line - length, "%s%ld", i ? "," : "", fields[i]);
  std::snprintf(line + length, sizeof line - length, ") %s", result);
  FakeBusLog(line);
  line[length] = 0;
  std::lock_guard<std::mutex> held(fakeBusLock);
  if (fakeBus.calls.size() < (1u << 20)) fakeBus.calls += std::string(line) + ")=" + result + " ";
}

uint32_t Answer(const char* name, const unsigned char* record, uint32_t size, uint32_t error) {
  Note(name, record, size, std::to_string(error).c_str());
  return error;
}

// A request out of order or malformed: the real bus's answer to a record it cannot take.
uint32_t Fault(const char* name, const unsigned char* record, uint32_t size) {
  ++fakeBus.faults;
  Note(name, record, size, "fault");
  return PAD_ERROR_INVALID_PARAMETER;
}

// As the real bus holds wait-ready until the pad has started: done after the
// hold, or cancelled (STATUS_CANCELLED) by a cancel on the handle.
uint32_t HoldWaitReady() {
  const int ms = fakeBus.answers.readyHoldMs;
  if (ms == 0) return PAD_ERROR_NONE;
  std::unique_lock<std::mutex> held(fakeBusLock);
  fakeBus.holding = 1;
  auto cancelled = [] { return fakeBus.cancelled != 0; };
  if (ms < 0) {
    fakeBusWake.wait(held, cancelled);
  } else {
    fakeBusWake.wait_for(held, std::chrono::milliseconds(ms), cancelled);
  }
  fakeBus.holding = 0;
  return fakeBus.cancelled ? PAD_ERROR_OPERATION_ABORTED : PAD_ERROR_NONE;
}

}  // namespace

void FakeBusReset(const FakeBusAnswers& answers) {
  std::lock_guard<std::mutex> held(fakeBusLock);
  fakeBus = FakeBus{};
  fakeBus.answers = answers;
}

std::string FakeBusTakeCalls() {
  std::lock_guard<std::mutex> held(fakeBusLock);
  std::string calls;
  calls.swap(fakeBus.calls);
  return calls;
}

int FakeBusHolding() {
  std::lock_guard<std::mutex> held(fakeBusLock);
  return fakeBus.holding;
}

int PadBusFindPath(char* path, size_t size) {
  FakeBusReadEnvironment();
  if (!fakeBus.answers.present) return 0;
  std::snprintf(path, size, "\\\\?\\root#system#0001#{96e42b22-f5e9-42f8-b043-ed0f932f014f}");
  return 1;
}

void* PadBusOpen(const char* path) {
  if (!fakeBus.answers.opens || std::strstr(path, "{96e42b22-f5e9-42f8-b043-ed0f932f014f}") == nullptr) {
    return nullptr;
  }
  // One client at a time; a second open would be a handle leaked by the first.
  if (fakeBus.open) ++fakeBus.faults;
  std::lock_guard<std::mutex> held(fakeBusLock);
  fakeBus.open = 1, fakeBus.versionChecked = 0, fakeBus.plugged = 0, fakeBus.ready = 0, fakeBus.cancelled = 0;
  fakeBus.calls += "Open ";
  return const_cast<int*>(&FAKE_BUS_HANDLE);
}

uint32_t PadBusRequest(void* bus, uint32_t code, const void* record, uint32_t size) {
  const unsigned char* r = static_cast<const unsigned char*>(record);
  FakeBus& b = fakeBus;
  const int sizeRight = size >= 8 && U32(r, 0) == size;
  if (bus != &FAKE_BUS_HANDLE || !b.open || !sizeRight) return Fault("Malformed", r, size);
  const uint32_t serial = U32(r, 4);
  // A bus gone away answers from its purged queue (STATUS_INVALID_DEVICE_STATE).
  const int gone = b.answers.reportsLeft == 0;
  switch (code) {
    case FAKE_CHECK_VERSION:
      if (size != 8 || b.versionChecked) return Fault("CheckVersion", r, size);
      b.versionChecked = serial == b.answers.version;
      return Answer("CheckVersion", r, size, b.versionChecked ? PAD_ERROR_NONE : PAD_ERROR_NOT_SUPPORTED);
    case FAKE_PLUGIN: {
      if (size != 16 || !b.versionChecked || b.plugged || U32(r, 8) != 0) return Fault("PlugIn", r, size);
      // Serial 0, or one another pad holds: STATUS_INVALID_PARAMETER.
      const int refused = serial == 0 || (serial == 1 && b.answers.refuseSerialOne && !b.refusedSerialOne);
      if (serial == 1 && refused) b.refusedSerialOne = 1;
      if (refused) return Answer("PlugIn", r, size, PAD_ERROR_INVALID_PARAMETER);
      b.plugged = serial;
      b.ready = !b.answers.knowsWaitReady;
      return Answer("PlugIn", r, size, PAD_ERROR_NONE);
    }
    case FAKE_WAIT_READY: {
      // A bus before 1.17 answers a request it does not know so.
      if (!b.answers.knowsWaitReady) return Answer("WaitReady", r, size, PAD_ERROR_INVALID_PARAMETER);
      if (size != 8 || !b.plugged || serial != b.plugged || b.ready) return Fault("WaitReady", r, size);
      const uint32_t error = HoldWaitReady();
      b.ready = error == PAD_ERROR_NONE;
      return Answer("WaitReady", r, size, error);
    }
    case FAKE_SUBMIT_REPORT:
      if (size != 20 || !b.ready || serial != b.plugged) return Fault("Report", r, size);
      if (gone) return Answer("Report", r, size, PAD_ERROR_BAD_COMMAND);
      // No read of the game's driver waits: refused, and not kept.
      if (b.answers.refuseReports > 0) {
        --b.answers.refuseReports;
        return Answer("Report", r, size, PAD_ERROR_NO_MORE_ITEMS);
      }
      if (b.answers.reportsLeft > 0) --b.answers.reportsLeft;
      ++b.reports;
      b.buttons = static_cast<uint16_t>(U16(r, 8));
      b.leftTrigger = r[10], b.rightTrigger = r[11];
      b.thumbLX = static_cast<int16_t>(I16(r, 12)), b.thumbLY = static_cast<int16_t>(I16(r, 14));
      b.thumbRX = static_cast<int16_t>(I16(r, 16)), b.thumbRY = static_cast<int16_t>(I16(r, 18));
      return Answer("Report", r, size, PAD_ERROR_NONE);
    case FAKE_UNPLUG:
      if (size != 8 || !b.plugged || serial != b.plugged) return Fault("Unplug", r, size);
      if (gone) return Answer("Unplug", r, size, PAD_ERROR_BAD_COMMAND);
      b.plugged = 0, b.ready = 0;
      return Answer("Unplug", r, size, PAD_ERROR_NONE);
    default:
      return Fault("Unknown", r, size);
  }
}

void PadBusCancel(void* bus) {
  std::lock_guard<std::mutex> held(fakeBusLock);
  if (bus != &FAKE_BUS_HANDLE || !fakeBus.open) return;
  fakeBus.cancelled = 1;
  fakeBusWake.notify_all();
}

void PadBusClose(void* bus) {
  // Closing with a pad still plugged into a working bus skips the unplug.
  if (bus != &FAKE_BUS_HANDLE || !fakeBus.open || (fakeBus.plugged && fakeBus.answers.reportsLeft != 0)) {
    ++fakeBus.faults;
  }
  std::lock_guard<std::mutex> held(fakeBusLock);
  fakeBus.open = 0, fakeBus.plugged = 0, fakeBus.ready = 0;
  fakeBus.calls += "Close ";
}
