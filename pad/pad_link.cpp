// The pad's bind, mapping and release over the bus seam, and what the bus's
// answers mean.
#include "pad/pad_link.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

PadLink padLink;

namespace {

const size_t PAD_PATH_SIZE = 512;
const int32_t PAD_WHEEL_CENTRE = 16384;
const int64_t PAD_STICK_MAX = 32767;
// A pad that Windows is still installing outlasts the bus's own 1 s wait:
// asked again this often, about a second each.
const int PAD_READY_ASKS = 5;

// ---- The answers, from the driver's sources (ViGEmBus 1.22 sys/, 1.16 for
// the old bus); the NTSTATUS each request completes with, as user mode reads it.
// The first row that fits counts; any other failure is a refusal.
const uint32_t PAD_ANY_REQUEST = ~0u;
struct PadBusAnswerRow {
  uint32_t code;
  uint32_t error;
  PadBusOutcome outcome;
};
const PadBusAnswerRow PAD_BUS_ANSWERS[] = {
    {PAD_ANY_REQUEST, PAD_ERROR_NONE, PAD_OUTCOME_DONE},
    // STATUS_NO_MORE_ENTRIES: no read of the Xbox driver above the pad is
    // waiting (SubmitReportImpl), and the report is not kept.
    {PAD_REQUEST_SUBMIT_REPORT, PAD_ERROR_NO_MORE_ITEMS, PAD_OUTCOME_TRANSIENT},
    // STATUS_INVALID_PARAMETER: 1.16's answer to a request it does not know
    // (its dispatch's default), as the bus's client library reads it; later
    // buses give it only for serial 0, which is never sent.
    {PAD_REQUEST_WAIT_DEVICE_READY, PAD_ERROR_INVALID_PARAMETER, PAD_OUTCOME_UNKNOWN_REQUEST},
    // STATUS_DEVICE_HARDWARE_ERROR: the bus's 1 s wait for the pad's start ran
    // out; the pad stays plugged in, and a new wait starts afresh.
    {PAD_REQUEST_WAIT_DEVICE_READY, PAD_ERROR_DEVICE_HARDWARE_ERROR, PAD_OUTCOME_TRANSIENT},
    // STATUS_CANCELLED: the pad's wait queue is purged as the pad is removed
    // (a cancel of the bind's own is told apart by the bind).
    {PAD_REQUEST_WAIT_DEVICE_READY, PAD_ERROR_OPERATION_ABORTED, PAD_OUTCOME_GONE},
    // STATUS_OBJECT_NAME_EXISTS, answered as STATUS_INVALID_PARAMETER: another
    // pad holds the serial; the next one may be free.
    {PAD_REQUEST_PLUGIN_TARGET, PAD_ERROR_INVALID_PARAMETER, PAD_OUTCOME_REFUSED},
    // STATUS_NOT_SUPPORTED: another version.
    {PAD_REQUEST_CHECK_VERSION, PAD_ERROR_NOT_SUPPORTED, PAD_OUTCOME_REFUSED},
    // STATUS_DEVICE_DOES_NOT_EXIST: no pad of ours with that serial (report,
    // wait-ready); 1.16 says STATUS_NO_SUCH_DEVICE, read as 433 (2 on older tables).
    {PAD_ANY_REQUEST, PAD_ERROR_DEV_NOT_EXIST, PAD_OUTCOME_GONE},
    {PAD_ANY_REQUEST, PAD_ERROR_NO_SUCH_DEVICE, PAD_OUTCOME_GONE},
    {PAD_ANY_REQUEST, PAD_ERROR_FILE_NOT_FOUND, PAD_OUTCOME_GONE},
    // STATUS_ACCESS_DENIED: the serial's pad belongs to another process now
    // (IsOwnerProcess); STATUS_DELETE_PENDING reads the same.
    {PAD_ANY_REQUEST, PAD_ERROR_ACCESS_DENIED, PAD_OUTCOME_GONE},
    // STATUS_INVALID_DEVICE_STATE: the framework's answer from a purged queue,
    // as the bus is removed (a restart or an uninstall).
    {PAD_ANY_REQUEST, PAD_ERROR_BAD_COMMAND, PAD_OUTCOME_GONE},
    // Not from the bus: the system's own answers for a handle or a device
    // that is no more.
    {PAD_ANY_REQUEST, PAD_ERROR_INVALID_HANDLE, PAD_OUTCOME_GONE},
    {PAD_ANY_REQUEST, PAD_ERROR_DEVICE_NOT_CONNECTED, PAD_OUTCOME_GONE},
    {PAD_ANY_REQUEST, PAD_ERROR_DEVICE_REMOVED, PAD_OUTCOME_GONE},
};

template <typename Record>
PadBusOutcome Request(void* bus, uint32_t code, const Record& record) {
  return PadBusOutcomeFor(code, PadBusRequest(bus, code, &record, static_cast<uint32_t>(sizeof record)));
}

PadSerialRecord SerialRecord(uint32_t serial) { return {sizeof(PadSerialRecord), serial}; }

// ---- The bind's thread. The loop reaches it only through the record's lock:
// a cancel, and the end taken once the thread is done.
struct PadBindJob {
  std::mutex lock;
  std::condition_variable ended;
  std::thread thread;
  int started;    // a thread was started and its end not yet taken (loop thread)
  int done;       // the thread has left its result
  int cancelled;
  void* openBus;  // the bus the thread has open, for a cancel; null before it is closed
  PadLink result;
};

// Made once and never destroyed: a thread object still running at the exit
// would end the process.
PadBindJob& Job() {
  static PadBindJob* job = new PadBindJob();
  return *job;
}

int BindCancelled() {
  std::lock_guard<std::mutex> held(Job().lock);
  return Job().cancelled;
}

void HoldForCancel(void* bus) {
  std::lock_guard<std::mutex> held(Job().lock);
  Job().openBus = bus;
}

// Unplugs (a bus that went away takes no request; closing is all that is
// left) and closes, after which no cancel reaches the handle.
void LetGo(void* bus, uint32_t serial) {
  if (serial) Request(bus, PAD_REQUEST_UNPLUG_TARGET, SerialRecord(serial));
  HoldForCancel(nullptr);
  PadBusClose(bus);
}

// Serials another program's pad holds are refused: try the next, up to the bound.
uint32_t PlugInPad(void* bus) {
  for (uint32_t serial = 1; serial <= PAD_SERIAL_LIMIT && !BindCancelled(); ++serial) {
    PadPluginRecord plugin = {};
    plugin.size = sizeof plugin;
    plugin.serial = serial;
    plugin.targetType = PAD_TARGET_XBOX360_WIRED;
    const PadBusOutcome o = Request(bus, PAD_REQUEST_PLUGIN_TARGET, plugin);
    if (o == PAD_OUTCOME_DONE) return serial;
    if (o != PAD_OUTCOME_REFUSED) return 0;
  }
  return 0;
}

// Buses before 1.17 do not know the request; their pad is ready at once.
int WaitUntilReady(void* bus, uint32_t serial) {
  for (int ask = 0; ask < PAD_READY_ASKS && !BindCancelled(); ++ask) {
    const PadBusOutcome o = Request(bus, PAD_REQUEST_WAIT_DEVICE_READY, SerialRecord(serial));
    if (o == PAD_OUTCOME_DONE || o == PAD_OUTCOME_UNKNOWN_REQUEST) return 1;
    if (o != PAD_OUTCOME_TRANSIENT) return 0;
  }
  return 0;
}

// On the bind's thread: the bound pad stays open for the loop to take.
PadBindOutcome BindBus(PadLink* bound) {
  char path[PAD_PATH_SIZE];
  if (!PadBusFindPath(path, sizeof path)) return PAD_NO_BUS;
  void* bus = PadBusOpen(path);
  if (!bus) return PAD_BUS_REFUSED;
  HoldForCancel(bus);
  const PadVersionRecord version = {sizeof(PadVersionRecord), PAD_BUS_VERSION};
  const uint32_t serial = !BindCancelled() && Request(bus, PAD_REQUEST_CHECK_VERSION, version) == PAD_OUTCOME_DONE
                              ? PlugInPad(bus)
                              : 0;
  if (!serial || !WaitUntilReady(bus, serial)) {
    LetGo(bus, serial);
    return PAD_BUS_REFUSED;
  }
  bound->bus = bus;
  bound->serial = serial;
  return PAD_BOUND;
}

void RunPadBind() {
  PadBindJob& job = Job();
  PadLink bound = {};
  bound.outcome = BindBus(&bound);
  std::unique_lock<std::mutex> held(job.lock);
  const int cancelled = job.cancelled;
  job.openBus = nullptr;
  held.unlock();
  if (cancelled && bound.bus) {
    // Cancelled after its last request: what it plugged in goes again.
    LetGo(bound.bus, bound.serial);
    bound = PadLink{};
    bound.outcome = PAD_BUS_REFUSED;
  }
  held.lock();
  job.result = bound;
  job.done = 1;
  job.ended.notify_all();
}

}  // namespace

PadBusOutcome PadBusOutcomeFor(uint32_t code, uint32_t error) {
  for (const PadBusAnswerRow& row : PAD_BUS_ANSWERS) {
    if ((row.code == code || row.code == PAD_ANY_REQUEST) && row.error == error) return row.outcome;
  }
  return PAD_OUTCOME_REFUSED;
}

int PadBindStart() {
  PadBindJob& job = Job();
  if (job.started) return 0;
  PadRelease();
  job.started = 1, job.done = 0, job.cancelled = 0, job.openBus = nullptr;
  job.thread = std::thread(RunPadBind);
  return 1;
}

int PadBindEnded(uint32_t waitMs) {
  PadBindJob& job = Job();
  if (!job.started) return 1;
  std::unique_lock<std::mutex> held(job.lock);
  return job.ended.wait_for(held, std::chrono::milliseconds(waitMs), [&job] { return job.done != 0; });
}

void PadBindCancel() {
  PadBindJob& job = Job();
  if (!job.started) return;
  std::lock_guard<std::mutex> held(job.lock);
  job.cancelled = 1;
  if (job.openBus) PadBusCancel(job.openBus);
}

int PadBindTake() {
  PadBindJob& job = Job();
  if (!job.started) return 0;
  if (!PadBindEnded(0)) return -1;
  job.thread.join();
  job.started = 0;
  padLink = job.result;
  padLink.record = PadReportRecord{};
  padLink.record.size = sizeof padLink.record;
  padLink.record.serial = padLink.serial;
  return padLink.outcome == PAD_BOUND;
}

int PadBind() {
  PadBindStart();
  if (!PadBindEnded(PAD_BIND_START_LIMIT_MS)) PadBindCancel();
  // A cancelled wait ends at once; what else the bus holds, it answers within about a second.
  PadBindEnded(PAD_BIND_WAIT_ALWAYS);
  return PadBindTake() == 1;
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

PadBusOutcome PadPublish(const PadReport& report) {
  if (!padLink.bus) return PAD_OUTCOME_GONE;
  padLink.record.report = report;
  return Request(padLink.bus, PAD_REQUEST_SUBMIT_REPORT, padLink.record);
}

void PadRelease() {
  if (!padLink.bus) return;
  if (padLink.serial) Request(padLink.bus, PAD_REQUEST_UNPLUG_TARGET, SerialRecord(padLink.serial));
  PadBusClose(padLink.bus);
  padLink.bus = nullptr;
  padLink.serial = 0;
}
