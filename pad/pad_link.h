// The link to the ViGEmBus driver: one virtual Xbox 360 wired pad, plugged in
// at bind, given one report per publish, unplugged at release. The bus is
// reached through a small seam (find, open, one request, cancel, close), so
// every decision here runs on the host against a fake bus.
#pragma once

#include <cstddef>
#include <cstdint>

// The bus's request codes, built as its header builds them: CTL_CODE(
// FILE_DEVICE_BUS_EXTENDER, base 0x801 + offset, METHOD_BUFFERED, FILE_WRITE_DATA).
// The pad's requests start at offset 0x200 (notifications); its report is 0x201.
constexpr uint32_t PAD_REQUEST_BASE = 0x801;
constexpr uint32_t PadBusRequestCode(uint32_t offset) {
  return (0x2Au << 16) | (0x2u << 14) | ((PAD_REQUEST_BASE + offset) << 2) | 0u;
}
constexpr uint32_t PAD_REQUEST_PLUGIN_TARGET = PadBusRequestCode(0x000);
constexpr uint32_t PAD_REQUEST_UNPLUG_TARGET = PadBusRequestCode(0x001);
constexpr uint32_t PAD_REQUEST_CHECK_VERSION = PadBusRequestCode(0x002);
constexpr uint32_t PAD_REQUEST_WAIT_DEVICE_READY = PadBusRequestCode(0x003);
constexpr uint32_t PAD_REQUEST_SUBMIT_REPORT = PadBusRequestCode(0x201);

constexpr uint32_t PAD_BUS_VERSION = 1;
constexpr uint32_t PAD_TARGET_XBOX360_WIRED = 0;
// Serial numbers taken by other programs' pads are refused; we try the next.
constexpr uint32_t PAD_SERIAL_LIMIT = 16;
constexpr int32_t PAD_ANTI_DEADZONE_MAX = 40;  // percent

// The requests' records, each starting with its own size. 32-bit fields
// unless named otherwise; the report is XInput's gamepad state.
struct PadPluginRecord {
  uint32_t size, serial, targetType;
  uint16_t vendorId, productId;  // 0: the bus's own
};
struct PadSerialRecord {  // unplug and wait-ready
  uint32_t size, serial;
};
struct PadVersionRecord {
  uint32_t size, version;
};
struct PadReport {
  uint16_t buttons;
  uint8_t leftTrigger, rightTrigger;
  int16_t thumbLX, thumbLY, thumbRX, thumbRY;
};
struct PadReportRecord {
  uint32_t size, serial;
  PadReport report;
};
static_assert(sizeof(PadPluginRecord) == 16 && offsetof(PadPluginRecord, targetType) == 8 &&
                  offsetof(PadPluginRecord, vendorId) == 12 && offsetof(PadPluginRecord, productId) == 14,
              "plug-in record");
static_assert(sizeof(PadSerialRecord) == 8 && sizeof(PadVersionRecord) == 8, "two-field records");
static_assert(sizeof(PadReport) == 12 && offsetof(PadReport, leftTrigger) == 2 &&
                  offsetof(PadReport, rightTrigger) == 3 && offsetof(PadReport, thumbLX) == 4 &&
                  offsetof(PadReport, thumbRY) == 10,
              "XInput's gamepad state");
static_assert(sizeof(PadReportRecord) == 20 && offsetof(PadReportRecord, report) == 8, "report record");

// Why the bind ended where it did.
enum PadBindOutcome {
  PAD_BOUND,
  PAD_NO_BUS,       // no ViGEmBus device present
  PAD_BUS_REFUSED,  // it would not open, is another version, took no pad, or did not answer in time
};

struct PadLink {
  void* bus;        // the bus's handle while a pad is plugged in, else null
  uint32_t serial;  // the plugged-in pad's
  PadBindOutcome outcome;
  PadReportRecord record;
};

// The loop thread's: a bind running on its own thread fills it only when taken.
extern PadLink padLink;

// ---- What a request's answer means (portable, pad_link.cpp) ----

// The Win32 errors the bus's requests answer with, as winerror.h numbers them
// (the driver's NTSTATUS as user mode reads it).
constexpr uint32_t PAD_ERROR_NONE = 0;
constexpr uint32_t PAD_ERROR_FILE_NOT_FOUND = 2;
constexpr uint32_t PAD_ERROR_ACCESS_DENIED = 5;
constexpr uint32_t PAD_ERROR_INVALID_HANDLE = 6;
constexpr uint32_t PAD_ERROR_BAD_COMMAND = 22;
constexpr uint32_t PAD_ERROR_NOT_SUPPORTED = 50;
constexpr uint32_t PAD_ERROR_DEV_NOT_EXIST = 55;
constexpr uint32_t PAD_ERROR_INVALID_PARAMETER = 87;
constexpr uint32_t PAD_ERROR_NO_MORE_ITEMS = 259;
constexpr uint32_t PAD_ERROR_NO_SUCH_DEVICE = 433;
constexpr uint32_t PAD_ERROR_DEVICE_HARDWARE_ERROR = 483;
constexpr uint32_t PAD_ERROR_OPERATION_ABORTED = 995;
constexpr uint32_t PAD_ERROR_DEVICE_NOT_CONNECTED = 1167;
constexpr uint32_t PAD_ERROR_DEVICE_REMOVED = 1617;

enum PadBusOutcome {
  PAD_OUTCOME_DONE,
  PAD_OUTCOME_TRANSIENT,        // not now: asked again, the answer may differ
  PAD_OUTCOME_UNKNOWN_REQUEST,  // a bus older than the request
  PAD_OUTCOME_REFUSED,          // this request, as sent, is not taken
  PAD_OUTCOME_GONE,             // the bus or the pad has gone away
};

// The one table from a request's code and its Win32 error to what it means.
PadBusOutcome PadBusOutcomeFor(uint32_t code, uint32_t error);

// ---- The bus seam: defined once for Win32 (pad_bus_win32.cpp), once by the
// fake bus (tools/fakebus), which test builds link in its place ----

// The first present bus's device path; 0 when there is none.
int PadBusFindPath(char* path, size_t size);
// Null when it cannot be opened.
void* PadBusOpen(const char* path);
// One request with its record, waited for until the bus answers or
// PadBusCancel ends the wait. 0 when done, else the Win32 error.
uint32_t PadBusRequest(void* bus, uint32_t code, const void* record, uint32_t size);
// From another thread: a request the bus holds, now or later on this handle,
// is cancelled (ERROR_OPERATION_ABORTED); those it answers at once still go.
void PadBusCancel(void* bus);
void PadBusClose(void* bus);

// ---- Portable (pad_link.cpp) ----

// The bind: finds and opens the bus, checks its version, plugs in a pad and
// waits until it is ready. It runs on a thread of its own, since the bus
// holds the wait up to about a second (longer while Windows installs the
// pad), and the loop's thread also serves the mouse hook and the window.
// Starts a bind; 0 when one is running already (one at a time). A pad still
// plugged in is let go first.
int PadBindStart();
// Waits up to waitMs (PAD_BIND_WAIT_ALWAYS: until it ends) for the running
// bind to end, without taking it; 1 when none runs now.
constexpr uint32_t PAD_BIND_WAIT_ALWAYS = ~0u;
int PadBindEnded(uint32_t waitMs);
// Asks the running bind to stop: the wait the bus holds is cancelled and what
// was plugged in is unplugged. Its end is still to be taken.
void PadBindCancel();
// Takes the end of a bind into padLink: -1 while it runs, else 1 when bound
// (0 with the outcome saying why). With no bind started, 0.
int PadBindTake();
// The start-up's bind: waits for it, at most PAD_BIND_START_LIMIT_MS, then
// cancels it and takes its end. 1 when bound.
constexpr uint32_t PAD_BIND_START_LIMIT_MS = 3000;
int PadBind();

// The report for the engine's axes (0..32767, wheel centre 16384): the wheel
// on the left stick's X, moved past a game's deadzone by antiDeadzonePercent
// (0..40), throttle on the right trigger, brake on the left; all else neutral.
// The mouse buttons are not sent: a game's pad bindings are fixed, and a click
// would press them unasked.
PadReport PadReportFor(int32_t wheel, int32_t throttle, int32_t brake, int32_t antiDeadzonePercent);
// One report to the plugged-in pad: what the bus made of it (gone also when
// no pad is plugged in). A refused report is not kept by the bus: the next
// one carries the newest state.
PadBusOutcome PadPublish(const PadReport& report);
// Unplugs the pad (when the bus still takes the request) and closes the bus; a
// second call does nothing.
void PadRelease();
