// The pad's bind, mapping and release over the bus seam.
#include "pad/pad_link.h"

#include <cstring>

PadLink padLink;

namespace {

const size_t PAD_PATH_SIZE = 512;
const int32_t PAD_WHEEL_CENTRE = 16384;
const int64_t PAD_STICK_MAX = 32767;

template <typename Record>
PadBusAnswer Request(uint32_t code, const Record& record) {
  return PadBusRequest(padLink.bus, code, &record, static_cast<uint32_t>(sizeof record));
}

PadSerialRecord SerialRecord(uint32_t serial) { return {sizeof(PadSerialRecord), serial}; }

void CloseBus() {
  if (padLink.bus) PadBusClose(padLink.bus);
  padLink.bus = nullptr;
  padLink.serial = 0;
}

// Serials another program's pad holds are refused: try the next, up to the bound.
int PlugInPad() {
  for (uint32_t serial = 1; serial <= PAD_SERIAL_LIMIT; ++serial) {
    PadPluginRecord plugin = {};
    plugin.size = sizeof plugin;
    plugin.serial = serial;
    plugin.targetType = PAD_TARGET_XBOX360_WIRED;
    if (Request(PAD_REQUEST_PLUGIN_TARGET, plugin) == PAD_BUS_DONE) return padLink.serial = serial, 1;
  }
  return 0;
}

PadBindOutcome BindBus() {
  char path[PAD_PATH_SIZE];
  if (!PadBusFindPath(path, sizeof path)) return PAD_NO_BUS;
  padLink.bus = PadBusOpen(path);
  if (!padLink.bus) return PAD_BUS_REFUSED;
  const PadVersionRecord version = {sizeof(PadVersionRecord), PAD_BUS_VERSION};
  if (Request(PAD_REQUEST_CHECK_VERSION, version) != PAD_BUS_DONE || !PlugInPad()) {
    CloseBus();
    return PAD_BUS_REFUSED;
  }
  // Buses before 1.17 do not know the request; their pad is ready at once.
  if (Request(PAD_REQUEST_WAIT_DEVICE_READY, SerialRecord(padLink.serial)) == PAD_BUS_FAILED) {
    PadRelease();
    return PAD_BUS_REFUSED;
  }
  padLink.record = PadReportRecord{};
  padLink.record.size = sizeof padLink.record;
  padLink.record.serial = padLink.serial;
  return PAD_BOUND;
}

}  // namespace

int PadBind() {
  PadRelease();
  padLink.outcome = BindBus();
  return padLink.outcome == PAD_BOUND;
}

PadReport PadReportFor(int32_t wheel, int32_t throttle, int32_t brake, int32_t antiDeadzonePercent) {
  PadReport report = {};
  int64_t stick = (static_cast<int64_t>(wheel) - PAD_WHEEL_CENTRE) * 2;
  if (antiDeadzonePercent < 0) antiDeadzonePercent = 0;
  if (antiDeadzonePercent > PAD_ANTI_DEADZONE_MAX) antiDeadzonePercent = PAD_ANTI_DEADZONE_MAX;
  if (stick != 0) {
    // Games swallow the stick's first share (XInput suggests about 24%): a
    // value that is not zero starts past it.
    const int64_t d = antiDeadzonePercent * PAD_STICK_MAX / 100;
    const int64_t magnitude = d + (stick < 0 ? -stick : stick) * (PAD_STICK_MAX - d) / PAD_STICK_MAX;
    stick = stick < 0 ? -magnitude : magnitude;
  }
  if (stick < -PAD_STICK_MAX - 1) stick = -PAD_STICK_MAX - 1;
  if (stick > PAD_STICK_MAX) stick = PAD_STICK_MAX;
  report.thumbLX = static_cast<int16_t>(stick);
  report.rightTrigger = static_cast<uint8_t>(static_cast<int64_t>(throttle) * 255 / PAD_STICK_MAX);
  report.leftTrigger = static_cast<uint8_t>(static_cast<int64_t>(brake) * 255 / PAD_STICK_MAX);
  return report;
}

int PadPublish(const PadReport& report) {
  if (!padLink.bus) return 0;
  padLink.record.report = report;
  return Request(PAD_REQUEST_SUBMIT_REPORT, padLink.record) == PAD_BUS_DONE;
}

void PadRelease() {
  if (!padLink.bus) return;
  // A bus that went away takes no request; closing is all that is left.
  if (padLink.serial) Request(PAD_REQUEST_UNPLUG_TARGET, SerialRecord(padLink.serial));
  CloseBus();
}
