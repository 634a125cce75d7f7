// The fake bus. Built natively for the host tests and cross for Windows, where
// it also reads its answers from the environment and appends every request to
// a log file, as the vJoy stand-in does:
//   TARVIX_FAKEBUS_MODE   present (default), missing, refuse (another version),
//                         old (no wait-ready request)
//   TARVIX_FAKEBUS_LOG    "<counter> <frequency> <Request>(<fields>) <result>" per
//                         request, counter and frequency those of QueryPerformanceCounter;
//                         Report's fields: size, serial, buttons, left and right
//                         trigger, LX, LY, RX, RY
#include "tools/fakebus/fake_bus.h"

#include <cstdio>
#include <cstring>

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
  fakeBus.answers = FakeBusAnswers{};
  fakeBus.answers.present = lstrcmpiA(mode, "missing") != 0;
  if (lstrcmpiA(mode, "refuse") == 0) fakeBus.answers.version = 2;
  if (lstrcmpiA(mode, "old") == 0) fakeBus.answers.knowsWaitReady = 0;
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
  if (fakeBus.calls.size() < (1u << 20)) fakeBus.calls += std::string(line) + ")=" + result + " ";
}

PadBusAnswer Fault(const char* name, const unsigned char* record, uint32_t size) {
  ++fakeBus.faults;
  Note(name, record, size, "fault");
  return PAD_BUS_FAILED;
}

}  // namespace

void FakeBusReset(const FakeBusAnswers& answers) {
  fakeBus = FakeBus{};
  fakeBus.answers = answers;
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
  fakeBus.open = 1, fakeBus.versionChecked = 0, fakeBus.plugged = 0, fakeBus.ready = 0;
  fakeBus.calls += "Open ";
  return const_cast<int*>(&FAKE_BUS_HANDLE);
}

PadBusAnswer PadBusRequest(void* bus, uint32_t code, const void* record, uint32_t size) {
  const unsigned char* r = static_cast<const unsigned char*>(record);
  FakeBus& b = fakeBus;
  const int sizeRight = size >= 8 && U32(r, 0) == size;
  if (bus != &FAKE_BUS_HANDLE || !b.open || !sizeRight) return Fault("Malformed", r, size);
  const uint32_t serial = U32(r, 4);
  switch (code) {
    case FAKE_CHECK_VERSION:
      if (size != 8 || b.versionChecked) return Fault("CheckVersion", r, size);
      b.versionChecked = serial == b.answers.version;
      Note("CheckVersion", r, size, b.versionChecked ? "1" : "0");
      return b.versionChecked ? PAD_BUS_DONE : PAD_BUS_FAILED;
    case FAKE_PLUGIN: {
      if (size != 16 || !b.versionChecked || b.plugged || U32(r, 8) != 0) return Fault("PlugIn", r, size);
      const int refused = serial == 0 || (serial == 1 && b.answers.refuseSerialOne && !b.refusedSerialOne);
      if (serial == 1 && refused) b.refusedSerialOne = 1;
      Note("PlugIn", r, size, refused ? "0" : "1");
      if (refused) return PAD_BUS_FAILED;
      b.plugged = serial;
      b.ready = !b.answers.knowsWaitReady;
      return PAD_BUS_DONE;
    }
    case FAKE_WAIT_READY:
      if (!b.answers.knowsWaitReady) return Note("WaitReady", r, size, "unknown"), PAD_BUS_UNKNOWN_REQUEST;
      if (size != 8 || !b.plugged || serial != b.plugged || b.ready) return Fault("WaitReady", r, size);
      b.ready = 1;
      Note("WaitReady", r, size, "1");
      return PAD_BUS_DONE;
    case FAKE_SUBMIT_REPORT:
      if (size != 20 || !b.ready || serial != b.plugged) return Fault("Report", r, size);
      if (b.answers.reportsLeft == 0) return Note("Report", r, size, "0"), PAD_BUS_FAILED;
      if (b.answers.reportsLeft > 0) --b.answers.reportsLeft;
      ++b.reports;
      b.buttons = static_cast<uint16_t>(U16(r, 8));
      b.leftTrigger = r[10], b.rightTrigger = r[11];
      b.thumbLX = static_cast<int16_t>(I16(r, 12)), b.thumbLY = static_cast<int16_t>(I16(r, 14));
      b.thumbRX = static_cast<int16_t>(I16(r, 16)), b.thumbRY = static_cast<int16_t>(I16(r, 18));
      Note("Report", r, size, "1");
      return PAD_BUS_DONE;
    case FAKE_UNPLUG:
      if (size != 8 || !b.plugged || serial != b.plugged) return Fault("Unplug", r, size);
      // A bus that has gone takes no request.
      if (b.answers.reportsLeft == 0) return Note("Unplug", r, size, "0"), PAD_BUS_FAILED;
      b.plugged = 0, b.ready = 0;
      Note("Unplug", r, size, "1");
      return PAD_BUS_DONE;
    default:
      return Fault("Unknown", r, size);
  }
}

void PadBusClose(void* bus) {
  // Closing with a pad still plugged into a working bus skips the unplug.
  if (bus != &FAKE_BUS_HANDLE || !fakeBus.open || (fakeBus.plugged && fakeBus.answers.reportsLeft != 0)) {
    ++fakeBus.faults;
  }
  fakeBus.open = 0, fakeBus.plugged = 0, fakeBus.ready = 0;
  fakeBus.calls += "Close ";
}
