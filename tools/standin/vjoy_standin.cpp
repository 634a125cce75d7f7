// A stand-in for the vJoy driver's interface library, vJoyInterface.dll, for
// tests and for running Tarvix where no vJoy is installed. It offers device 1
// only, behaves as the test asks, and records every call.
//
// Environment (read at every call, so a test may change it between calls):
//   TARVIX_STANDIN_MODE   free (default) | disabled | owned | busy | missing | refuse
//       free      driver enabled, device 1 free, AcquireVJD succeeds
//       disabled  vJoyEnabled() answers 0 (GetVJDStatus answers 3, missing)
//       owned     GetVJDStatus answers 0 (held by the caller) until the caller
//                 relinquishes it; then it behaves as free
//       busy      GetVJDStatus answers 2 (another feeder); AcquireVJD fails
//       missing   GetVJDStatus answers 3 (no such device); AcquireVJD fails
//       refuse    status as free, but AcquireVJD fails
//   TARVIX_STANDIN_DRIVER  the driver's version in hex for DriverMatch (default:
//                          the library's own, 219, or 222 for the 2.2 build)
//   TARVIX_STANDIN_AXES    device 1's axes among X, Y, Z (default XYZ)
//   TARVIX_STANDIN_BUTTONS its number of buttons (default 8)
//   TARVIX_STANDIN_OWNER   the busy device's owner pid; GetOwnerPid answers its
//                          low 16 bits, as vJoy does
//   TARVIX_STANDIN_LOSE_AFTER  N: after N accepted updates the device is lost,
//                          once: updates fail, and AcquireVJD answers yes on
//                          the stale handle without taking the device, until
//                          RelinquishVJD
//   TARVIX_STANDIN_FFB    device 1's force feedback: on (default) | off (IsDeviceFfb
//                          answers 0) | constant: once AcquireVJD has taken the
//                          device, a thread of the stand-in plays a script through
//                          the callback of FfbRegisterGenCB, one packet at a time,
//                          as the driver delivers them to the library: after
//                          100 ms a constant force of -5000 at 270 degrees starts
//                          (on 2.2 after a Create New Effect that gets block 1),
//                          and 500 ms later it stops
//   TARVIX_STANDIN_LOG    file that every call is appended to (none: no log)
//   TARVIX_STANDIN_STATE  file rewritten with the device's current values after
//                         every call that changes them (none: not written)
// A value starting with '/' is taken as a Unix path and reached through Wine's
// drive Z:, so a Linux-side script can name its files directly.
//
// Log format, one line per call, fields separated by single spaces:
//   <counter> <frequency> <Function>(<arg>,<arg>,...) <result>
// counter is QueryPerformanceCounter at the call, frequency its ticks per
// second (so lines of different processes still convert to seconds); the
// arguments are decimal, in the library's own order; result is decimal, or '-'
// for RelinquishVJD, which returns nothing. Example:
//   918273645 10000000 SetAxis(16383,1,48) 1
// UpdateVJD logs the device number, then every field of the position record
// it was given, in record order (27 values: the device byte, 18 axes from
// throttle to VBRZ with X, Y, Z 5th to 7th, buttons 1-32, 4 hats as signed
// numbers, buttons 33-128 as three numbers), or only the device number when
// the record pointer is null:
//   918273645 10000000 UpdateVJD(1,1,16384,16384,16384,20000,0,0,...,64,-1,-1,-1,-1,0,0,0) 1
//
// State file, one line: acquired=<0|1> X=<v> Y=<v> Z=<v> RX=<v> RY=<v> RZ=<v>
// SL0=<v> SL1=<v> buttons=<numbers of the pressed buttons, comma separated, or ->
//
// Defining STANDIN_WITHOUT_<Name> leaves that entry point out of the build, for
// the tests of a library that lacks one. Defining STANDIN_V22 builds vJoy
// 2.2's library: version 0x222, and UpdateVJD reads the third, 124-byte record
// (its log line then has four more values, the record's tail). The queries
// (DriverMatch, GetOwnerPid, GetvJoyVersion, GetVJDAxisExist,
// GetVJDButtonNumber), FfbRegisterGenCB, IsDeviceFfb and the Ffb_h_* helpers
// are not logged; each scripted packet is, as FfbPacket(<1 for a feature>,<id>) -.

#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define STANDIN_EXPORT extern "C" __declspec(dllexport)

namespace {

const UINT STANDIN_DEVICE = 1;
const UINT AXIS_FIRST = 0x30;  // HID usages X .. slider 1
const int AXIS_COUNT = 8;
const int BUTTON_COUNT = 128;
const char* const AXIS_NAMES[AXIS_COUNT] = {"X", "Y", "Z", "RX", "RY", "RZ", "SL0", "SL1"};

// The position record UpdateVJD takes, decoded by offset. Read from vJoy's
// public header: a byte, then 32-bit fields, default packing. Kept apart from
// the program's own record, so a test against this stand-in checks that one.
const size_t RECORD_FIRST_AXIS = 4;   // 18 axes: throttle, rudder, aileron, X ...
const size_t RECORD_X = 16;           // X, Y, Z, RX, RY, RZ, slider, dial in a row
const size_t RECORD_BUTTONS = 76;     // buttons 1-32, one bit each
const size_t RECORD_HATS = 80;        // four hats
const size_t RECORD_MORE_BUTTONS = 96;  // buttons 33-128
const size_t RECORD_SIZE = 108;
const int RECORD_AXES = 18;
const int RECORD_VALUES = 26;  // every 32-bit field after the device byte
#ifdef STANDIN_V22
const WORD STANDIN_VERSION = 0x222;
const int RECORD_READ_VALUES = RECORD_VALUES + 4;  // VZ, VBRX, VBRY, VBRZ moved to the tail
#else
const WORD STANDIN_VERSION = 0x219;
const int RECORD_READ_VALUES = RECORD_VALUES;
#endif

// The header's field list, to check the offsets above against its layout.
struct DocumentedPosition {
  BYTE bDevice;
  LONG wThrottle, wRudder, wAileron, wAxisX, wAxisY, wAxisZ, wAxisXRot, wAxisYRot, wAxisZRot;
  LONG wSlider, wDial, wWheel, wAxisVX, wAxisVY, wAxisVZ, wAxisVBRX, wAxisVBRY, wAxisVBRZ;
  LONG lButtons;
  DWORD bHats, bHatsEx1, bHatsEx2, bHatsEx3;
  LONG lButtonsEx1, lButtonsEx2, lButtonsEx3;
};
static_assert(offsetof(DocumentedPosition, wThrottle) == RECORD_FIRST_AXIS, "first axis");
static_assert(offsetof(DocumentedPosition, wAxisX) == RECORD_X, "X");
static_assert(offsetof(DocumentedPosition, wDial) == RECORD_X + 4 * (AXIS_COUNT - 1), "the eighth axis");
static_assert(offsetof(DocumentedPosition, wAxisVBRZ) == RECORD_FIRST_AXIS + 4 * (RECORD_AXES - 1), "last axis");
static_assert(offsetof(DocumentedPosition, lButtons) == RECORD_BUTTONS, "buttons");
static_assert(offsetof(DocumentedPosition, bHats) == RECORD_HATS, "hats");
static_assert(offsetof(DocumentedPosition, lButtonsEx1) == RECORD_MORE_BUTTONS, "more buttons");
static_assert(sizeof(DocumentedPosition) == RECORD_SIZE, "size");
static_assert(RECORD_FIRST_AXIS + 4 * RECORD_VALUES == RECORD_SIZE, "26 fields after the byte");

enum StandinMode { MODE_FREE, MODE_DISABLED, MODE_OWNED, MODE_BUSY, MODE_MISSING, MODE_REFUSE };

// The device as this process sees it. In "owned" mode the device starts held by
// the caller; relinquishedOnce records that the caller has let go since.
struct StandinDevice {
  int acquired;
  int relinquishedOnce;
  int updates;   // accepted since the start
  int lostOnce;  // the loss has happened
  int stale;     // lost and not yet relinquished
  LONG axes[AXIS_COUNT];
  unsigned char buttons[BUTTON_COUNT];
};
StandinDevice standinDevice;

// Reads an environment variable holding a file path into path (size bytes).
// Returns 0 when unset or too long.
int StandinPathFromEnvironment(const char* name, char* path, DWORD size) {
  char value[MAX_PATH];
  DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  if (n == 0 || n >= sizeof value) return 0;
  int written = value[0] == '/' ? std::snprintf(path, size, "Z:%s", value)
                                : std::snprintf(path, size, "%s", value);
  return written > 0 && static_cast<DWORD>(written) < size;
}

long StandinNumber(const char* name, long otherwise, int base = 10) {
  char value[32];
  DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  if (n == 0 || n >= sizeof value) return otherwise;
  return std::strtol(value, nullptr, base);
}

// Counts an accepted update; the one that reaches TARVIX_STANDIN_LOSE_AFTER
// is the last before the loss.
void StandinCountUpdate() {
  const long loseAfter = StandinNumber("TARVIX_STANDIN_LOSE_AFTER", -1);
  if (++standinDevice.updates == loseAfter && !standinDevice.lostOnce) {
    standinDevice.lostOnce = standinDevice.stale = 1;
  }
}

StandinMode StandinCurrentMode() {
  char value[32];
  DWORD n = GetEnvironmentVariableA("TARVIX_STANDIN_MODE", value, sizeof value);
  if (n == 0 || n >= sizeof value) return MODE_FREE;
  if (lstrcmpiA(value, "disabled") == 0) return MODE_DISABLED;
  if (lstrcmpiA(value, "owned") == 0) return MODE_OWNED;
  if (lstrcmpiA(value, "busy") == 0) return MODE_BUSY;
  if (lstrcmpiA(value, "missing") == 0) return MODE_MISSING;
  if (lstrcmpiA(value, "refuse") == 0) return MODE_REFUSE;
  return MODE_FREE;
}

void StandinWriteFile(const char* path, DWORD disposition, DWORD access, const char* text,
                      int length) {
  HANDLE file = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr);
  CloseHandle(file);
}

// Appends one call to the log: "<counter> <frequency> <call> <result>".
void StandinLog(const char* call, const char* result) {
  char path[MAX_PATH + 4];
  if (!StandinPathFromEnvironment("TARVIX_STANDIN_LOG", path, sizeof path)) return;
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  char line[512];
  int length = std::snprintf(line, sizeof line, "%lld %lld %s %s\n",
                             static_cast<long long>(counter.QuadPart),
                             static_cast<long long>(frequency.QuadPart), call, result);
  if (length <= 0 || length >= static_cast<int>(sizeof line)) return;
  StandinWriteFile(path, OPEN_ALWAYS, FILE_APPEND_DATA, line, length);
}

void StandinLogInt(const char* call, long long result) {
  char text[24];
  std::snprintf(text, sizeof text, "%lld", result);
  StandinLog(call, text);
}

// Appends to a fixed buffer, never past its end.
void StandinAppend(char* line, size_t size, size_t* length, const char* text) {
  while (*text && *length + 1 < size) line[(*length)++] = *text++;
  line[*length] = '\0';
}

void StandinAppendNumber(char* line, size_t size, size_t* length, long value) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%ld", value);
  StandinAppend(line, size, length, digits);
}

void StandinWriteState() {
  char path[MAX_PATH + 4];
  if (!StandinPathFromEnvironment("TARVIX_STANDIN_STATE", path, sizeof path)) return;
  char line[1024];
  size_t length = 0;
  StandinAppend(line, sizeof line, &length, "acquired=");
  StandinAppendNumber(line, sizeof line, &length, standinDevice.acquired);
  for (int i = 0; i < AXIS_COUNT; ++i) {
    StandinAppend(line, sizeof line, &length, " ");
    StandinAppend(line, sizeof line, &length, AXIS_NAMES[i]);
    StandinAppend(line, sizeof line, &length, "=");
    StandinAppendNumber(line, sizeof line, &length, standinDevice.axes[i]);
  }
  StandinAppend(line, sizeof line, &length, " buttons=");
  int any = 0;
  for (int b = 0; b < BUTTON_COUNT; ++b) {
    if (!standinDevice.buttons[b]) continue;
    if (any) StandinAppend(line, sizeof line, &length, ",");
    StandinAppendNumber(line, sizeof line, &length, b + 1);
    any = 1;
  }
  if (!any) StandinAppend(line, sizeof line, &length, "-");
  StandinAppend(line, sizeof line, &length, "\n");
  StandinWriteFile(path, CREATE_ALWAYS, GENERIC_WRITE, line, static_cast<int>(length));
}

}  // namespace

// Defined with the force feedback below; the acquire starts it.
void StandinFfbStartScript();

#ifndef STANDIN_WITHOUT_vJoyEnabled
STANDIN_EXPORT BOOL __cdecl vJoyEnabled(void) {
  BOOL enabled = StandinCurrentMode() != MODE_DISABLED;
  StandinLogInt("vJoyEnabled()", enabled);
  return enabled;
}
#endif

#ifndef STANDIN_WITHOUT_GetVJDStatus
STANDIN_EXPORT int __cdecl GetVJDStatus(UINT rID) {
  StandinMode mode = StandinCurrentMode();
  int status;
  if (rID != STANDIN_DEVICE || mode == MODE_DISABLED || mode == MODE_MISSING)
    status = 3;
  else if (mode == MODE_BUSY)
    status = 2;
  else
    status = standinDevice.acquired || (mode == MODE_OWNED && !standinDevice.relinquishedOnce)
                 ? 0
                 : 1;
  char call[48];
  std::snprintf(call, sizeof call, "GetVJDStatus(%u)", rID);
  StandinLogInt(call, status);
  return status;
}
#endif

#ifndef STANDIN_WITHOUT_AcquireVJD
STANDIN_EXPORT BOOL __cdecl AcquireVJD(UINT rID) {
  StandinMode mode = StandinCurrentMode();
  BOOL ok = rID == STANDIN_DEVICE && (mode == MODE_FREE || mode == MODE_OWNED);
  if (ok && !standinDevice.stale) standinDevice.acquired = 1;
  char call[48];
  std::snprintf(call, sizeof call, "AcquireVJD(%u)", rID);
  StandinLogInt(call, ok);
  StandinWriteState();
  // The library starts its FFB thread with the device.
  if (ok && !standinDevice.stale) StandinFfbStartScript();
  return ok;
}
#endif

#ifndef STANDIN_WITHOUT_RelinquishVJD
STANDIN_EXPORT VOID __cdecl RelinquishVJD(UINT rID) {
  if (rID == STANDIN_DEVICE) {
    standinDevice.acquired = 0;
    standinDevice.relinquishedOnce = 1;
    standinDevice.stale = 0;
  }
  char call[48];
  std::snprintf(call, sizeof call, "RelinquishVJD(%u)", rID);
  StandinLog(call, "-");
  StandinWriteState();
}
#endif

#ifndef STANDIN_WITHOUT_ResetVJD
// Axes back to 0 and every button up.
STANDIN_EXPORT BOOL __cdecl ResetVJD(UINT rID) {
  BOOL ok = rID == STANDIN_DEVICE && standinDevice.acquired;
  if (ok) {
    std::memset(standinDevice.axes, 0, sizeof standinDevice.axes);
    std::memset(standinDevice.buttons, 0, sizeof standinDevice.buttons);
  }
  char call[48];
  std::snprintf(call, sizeof call, "ResetVJD(%u)", rID);
  StandinLogInt(call, ok);
  StandinWriteState();
  return ok;
}
#endif

#ifndef STANDIN_WITHOUT_SetAxis
STANDIN_EXPORT BOOL __cdecl SetAxis(LONG Value, UINT rID, UINT Axis) {
  BOOL ok = rID == STANDIN_DEVICE && standinDevice.acquired && !standinDevice.stale &&
            Axis >= AXIS_FIRST && Axis < AXIS_FIRST + AXIS_COUNT;
  if (ok) standinDevice.axes[Axis - AXIS_FIRST] = Value;
  if (ok) StandinCountUpdate();
  char call[64];
  std::snprintf(call, sizeof call, "SetAxis(%ld,%u,%u)", static_cast<long>(Value), rID, Axis);
  StandinLogInt(call, ok);
  if (ok) StandinWriteState();
  return ok;
}
#endif

#ifndef STANDIN_WITHOUT_SetBtn
STANDIN_EXPORT BOOL __cdecl SetBtn(BOOL Value, UINT rID, UCHAR nBtn) {
  BOOL ok = rID == STANDIN_DEVICE && standinDevice.acquired && !standinDevice.stale && nBtn >= 1 &&
            nBtn <= BUTTON_COUNT;
  if (ok) standinDevice.buttons[nBtn - 1] = Value ? 1 : 0;
  char call[64];
  std::snprintf(call, sizeof call, "SetBtn(%d,%u,%u)", static_cast<int>(Value), rID,
                static_cast<unsigned>(nBtn));
  StandinLogInt(call, ok);
  if (ok) StandinWriteState();
  return ok;
}
#endif

#ifndef STANDIN_WITHOUT_UpdateVJD
static LONG RecordValue(const unsigned char* record, size_t offset) {
  LONG value;
  std::memcpy(&value, record + offset, sizeof value);
  return value;
}

// The whole device at once: its axes and buttons as the state file shows them.
STANDIN_EXPORT BOOL __cdecl UpdateVJD(UINT rID, PVOID pData) {
  BOOL ok = rID == STANDIN_DEVICE && standinDevice.acquired && !standinDevice.stale && pData != nullptr;
  const unsigned char* record = static_cast<const unsigned char*>(pData);
  char call[480];
  size_t length = 0;
  StandinAppend(call, sizeof call, &length, "UpdateVJD(");
  StandinAppendNumber(call, sizeof call, &length, static_cast<long>(rID));
  if (record) {
    StandinAppend(call, sizeof call, &length, ",");
    StandinAppendNumber(call, sizeof call, &length, record[0]);
    for (int i = 0; i < RECORD_READ_VALUES; ++i) {
      StandinAppend(call, sizeof call, &length, ",");
      StandinAppendNumber(call, sizeof call, &length, RecordValue(record, RECORD_FIRST_AXIS + 4 * i));
    }
  }
  StandinAppend(call, sizeof call, &length, ")");
  if (ok) {
    for (int i = 0; i < AXIS_COUNT; ++i) standinDevice.axes[i] = RecordValue(record, RECORD_X + 4 * i);
    for (int b = 0; b < BUTTON_COUNT; ++b) {
      const size_t word = b < 32 ? RECORD_BUTTONS : RECORD_MORE_BUTTONS + 4 * (b / 32 - 1);
      standinDevice.buttons[b] = (static_cast<unsigned long>(RecordValue(record, word)) >> (b % 32)) & 1;
    }
    StandinCountUpdate();
  }
  StandinLogInt(call, ok);
  if (ok) StandinWriteState();
  return ok;
}
#endif


// ---- Force feedback: the callback, a script of packets, the library's helpers ----

namespace {

// The library's FFB_DATA: size counts the 8 bytes of size and cmd before the data.
struct StandinFfbData {
  ULONG size;
  ULONG cmd;
  UCHAR* data;
};
typedef void(CALLBACK* StandinFfbCallback)(PVOID packet, PVOID user);
const ULONG STANDIN_WRITE_REPORT = 0xB000F;  // IOCTL_HID_WRITE_REPORT
const ULONG STANDIN_SET_FEATURE = 0xB0191;   // IOCTL_HID_SET_FEATURE
const DWORD STANDIN_ERROR_SUCCESS = 0, STANDIN_INVALID_PARAMETER = 87, STANDIN_INVALID_DATA = 13;

StandinFfbCallback standinFfbCallback;
PVOID standinFfbUser;

int StandinFfbScripted() {
  char value[16];
  DWORD n = GetEnvironmentVariableA("TARVIX_STANDIN_FFB", value, sizeof value);
  return n && n < sizeof value && lstrcmpiA(value, "constant") == 0;
}

// One report as the driver hands it over: device 1 in the high nibble of the id byte.
void StandinFfbSend(ULONG cmd, const UCHAR* report, ULONG length) {
  UCHAR data[32] = {};
  std::memcpy(data, report, length);
  data[0] = static_cast<UCHAR>(0x10 | (report[0] & 0x0F));
  StandinFfbData packet = {length + 8, cmd, data};
  char call[48];
  std::snprintf(call, sizeof call, "FfbPacket(%u,%u)", static_cast<unsigned>(cmd == STANDIN_SET_FEATURE),
                static_cast<unsigned>(report[0]));
  StandinLog(call, "-");
  if (standinFfbCallback) standinFfbCallback(&packet, standinFfbUser);
}

DWORD WINAPI StandinFfbScript(LPVOID) {
  Sleep(100);
#ifdef STANDIN_V22
  const UCHAR create[] = {0x01, 0x01, 0x01};  // Create New Effect: constant, block 1 assigned
  StandinFfbSend(STANDIN_SET_FEATURE, create, sizeof create);
  // Set Effect: infinite, no start delay, gain 255, direction enabled, 270 degrees as a word.
  const UCHAR effect[] = {0x01, 1, 0x01, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0x04, 0x00, 0x60};
#else
  // Set Effect: infinite, gain 255, direction enabled, 270 degrees as a byte (191 of 255).
  const UCHAR effect[] = {0x01, 1, 0x01, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0x04, 191, 0};
#endif
  StandinFfbSend(STANDIN_WRITE_REPORT, effect, sizeof effect);
  const UCHAR constant[] = {0x05, 1, 0x78, 0xEC};  // -5000
  StandinFfbSend(STANDIN_WRITE_REPORT, constant, sizeof constant);
  const UCHAR start[] = {0x0A, 1, 1, 1}, stop[] = {0x0A, 1, 3, 0};
  StandinFfbSend(STANDIN_WRITE_REPORT, start, sizeof start);
  Sleep(500);
  StandinFfbSend(STANDIN_WRITE_REPORT, stop, sizeof stop);
  return 0;
}

// The helpers' common checks, as the library makes them.
DWORD StandinFfbCheck(const StandinFfbData* packet, ULONG shortest, int type) {
  if (!packet) return STANDIN_INVALID_PARAMETER;
  if (packet->size < shortest) return STANDIN_INVALID_DATA;
  int found = packet->data[0] & 0x0F;
  if (packet->cmd == STANDIN_SET_FEATURE) found += 0x10;
  return type < 0 || found == type ? STANDIN_ERROR_SUCCESS : STANDIN_INVALID_DATA;
}

// The library reads words without sign extension: -5000 comes out as 60536.
LONG StandinFfbWord(const UCHAR* d, int at) { return static_cast<LONG>((d[at + 1] << 8) + d[at]); }

}  // namespace

void StandinFfbStartScript() {
  if (StandinFfbScripted()) CloseHandle(CreateThread(nullptr, 0, StandinFfbScript, nullptr, 0, nullptr));
}

STANDIN_EXPORT VOID __cdecl FfbRegisterGenCB(StandinFfbCallback callback, PVOID user) {
  standinFfbCallback = callback;
  standinFfbUser = user;
}

STANDIN_EXPORT BOOL __cdecl IsDeviceFfb(UINT rID) {
  char value[16];
  DWORD n = GetEnvironmentVariableA("TARVIX_STANDIN_FFB", value, sizeof value);
  return rID == STANDIN_DEVICE && !(n && n < sizeof value && lstrcmpiA(value, "off") == 0);
}

STANDIN_EXPORT DWORD __cdecl Ffb_h_Type(const StandinFfbData* packet, int* type) {
  const DWORD result = StandinFfbCheck(packet, 10, -1);
  if (result == STANDIN_ERROR_SUCCESS) *type = (packet->data[0] & 0x0F) + (packet->cmd == STANDIN_SET_FEATURE ? 0x10 : 0);
  return result;
}

STANDIN_EXPORT DWORD __cdecl Ffb_h_EBI(const StandinFfbData* packet, UINT* index) {
  const DWORD result = StandinFfbCheck(packet, 10, -1);
  if (result == STANDIN_ERROR_SUCCESS) *index = packet->data[1];
  return result;
}

struct StandinConstant {
  BYTE EffectBlockIndex;
  LONG Magnitude;
};
STANDIN_EXPORT DWORD __cdecl Ffb_h_Eff_Constant(const StandinFfbData* packet, StandinConstant* effect) {
  const DWORD result = StandinFfbCheck(packet, 12, 0x05);
  if (result == STANDIN_ERROR_SUCCESS) {
    effect->EffectBlockIndex = packet->data[1];
    effect->Magnitude = StandinFfbWord(packet->data, 2);
  }
  return result;
}

#ifdef STANDIN_V22
// 2.2: the block index the driver assigned is the third byte of the Create New Effect report.
STANDIN_EXPORT DWORD __cdecl Ffb_h_CreateNewEffect(const StandinFfbData* packet, int* type, UINT* index) {
  const DWORD result = StandinFfbCheck(packet, 12, 0x11);
  if (result != STANDIN_ERROR_SUCCESS) return result;
  if (type) *type = packet->data[1];
  if (index) *index = packet->data[2];
  return result;
}
#endif

// ---- The queries of a newer library, each left out like the rest ----

#ifndef STANDIN_WITHOUT_GetvJoyVersion
STANDIN_EXPORT SHORT __cdecl GetvJoyVersion(void) { return static_cast<SHORT>(STANDIN_VERSION); }
#endif

#ifndef STANDIN_WITHOUT_DriverMatch
STANDIN_EXPORT BOOL __cdecl DriverMatch(WORD* DllVer, WORD* DrvVer) {
  const WORD driver = static_cast<WORD>(StandinNumber("TARVIX_STANDIN_DRIVER", STANDIN_VERSION, 16));
  if (DllVer) *DllVer = STANDIN_VERSION;
  if (DrvVer) *DrvVer = driver;
  return driver == STANDIN_VERSION;
}
#endif

#ifndef STANDIN_WITHOUT_GetOwnerPid
STANDIN_EXPORT int __cdecl GetOwnerPid(UINT rID) {
  if (rID != STANDIN_DEVICE || StandinCurrentMode() != MODE_BUSY) return 0;
  return static_cast<int>(StandinNumber("TARVIX_STANDIN_OWNER", 0) & 0xFFFF);
}
#endif

#ifndef STANDIN_WITHOUT_GetVJDAxisExist
STANDIN_EXPORT BOOL __cdecl GetVJDAxisExist(UINT rID, UINT Axis) {
  char axes[16] = "XYZ";
  DWORD n = GetEnvironmentVariableA("TARVIX_STANDIN_AXES", axes, sizeof axes);
  if (n >= sizeof axes) return FALSE;
  if (Axis < AXIS_FIRST || Axis > AXIS_FIRST + 2) return rID == STANDIN_DEVICE;
  return rID == STANDIN_DEVICE && std::strchr(axes, static_cast<int>('X' + (Axis - AXIS_FIRST))) != nullptr;
}
#endif

#ifndef STANDIN_WITHOUT_GetVJDButtonNumber
STANDIN_EXPORT int __cdecl GetVJDButtonNumber(UINT rID) {
  return rID == STANDIN_DEVICE ? static_cast<int>(StandinNumber("TARVIX_STANDIN_BUTTONS", 8)) : 0;
}
#endif
