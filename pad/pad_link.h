// The link to the ViGEmBus driver: one virtual Xbox 360 wired pad, plugged in
// at bind, given one report per publish, unplugged at release. The bus is
// reached through a small seam (find, open, one request, close), so every
// decision here runs on the host against a fake bus.
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
  PAD_BUS_REFUSED,  // it would not open, is another version, or took no pad
};

struct PadLink {
  void* bus;        // the bus's handle while a pad is plugged in, else null
  uint32_t serial;  // the plugged-in pad's
  PadBindOutcome outcome;
  PadReportRecord record;
};

extern PadLink padLink;

// ---- The bus seam: defined once for Win32 (pad_bus_win32.cpp), once by the
// fake bus (tools/fakebus), which test builds link in its place ----

enum PadBusAnswer {
  PAD_BUS_DONE,
  PAD_BUS_FAILED,
  PAD_BUS_UNKNOWN_REQUEST,  // a bus older than the request
};

// The first present bus's device path; 0 when there is none.
int PadBusFindPath(char* path, size_t size);
// Null when it cannot be opened.
void* PadBusOpen(const char* path);
// One request with its record, waited for.
PadBusAnswer PadBusRequest(void* bus, uint32_t code, const void* record, uint32_t size);
void PadBusClose(void* bus);

// ---- Portable (pad_link.cpp) ----

// Finds and opens the bus, checks its version, plugs in a pad and waits until
// it is ready. 1 when bound; the outcome says why not.
int PadBind();
// The report for the engine's axes (0..32767, wheel centre 16384): the wheel
// on the left stick's X, moved past a game's deadzone by antiDeadzonePercent
// (0..40), throttle on the right trigger, brake on the left; all else neutral.
// The mouse buttons are not sent: a game's pad bindings are fixed, and a click
// would press them unasked.
PadReport PadReportFor(int32_t wheel, int32_t throttle, int32_t brake, int32_t antiDeadzonePercent);
// One report to the plugged-in pad; 0 when the bus refused it.
int PadPublish(const PadReport& report);
// Unplugs the pad (when the bus still takes the request) and closes the bus; a
// second call does nothing.
void PadRelease();
