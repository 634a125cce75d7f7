#include "input/mouse_choice.h"

#include <cstdio>
#include <cstring>

#include "engine/pedals.h"
#include "engine/status_notice.h"
#include "engine/tuning.h"
#include "input/mouse_motion.h"

MouseChoice mouseChoice;

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int SameNoCase(const char* a, const char* b) {
  for (; *a && Lower(*a) == Lower(*b); ++a, ++b) {
  }
  return *a == *b;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = Lower(c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The hex number after a word of the path's hardware part (between its first
// two '#'), at the part's start or after '&' or '_': "VID_046D" and
// Bluetooth's "VID&0002046d" alike. The low 16 bits; -1 when absent.
int32_t PathNumber(const char* path, const char* word) {
  const char* part = std::strchr(path, '#');
  if (!part) return -1;
  const size_t length = std::strlen(word);
  for (const char* at = part + 1; *at && *at != '#'; ++at) {
    if (at[-1] != '#' && at[-1] != '&' && at[-1] != '_') continue;
    size_t i = 0;
    while (i < length && Lower(at[i]) == Lower(word[i])) ++i;
    if (i < length) continue;
    const char* digits = at + length;
    if (*digits == '_' || *digits == '&') ++digits;
    uint32_t value = 0;
    int count = 0;
    for (; HexValue(digits[count]) >= 0 && count < 8; ++count) {
      value = value << 4 | static_cast<uint32_t>(HexValue(digits[count]));
    }
    if (count > 0) return static_cast<int32_t>(value & 0xFFFF);
  }
  return -1;
}

int SerialByteIsPlain(unsigned char c) { return c >= '!' && c <= '~' && c != ':' && c != '%'; }

// Exactly digits hex digits, or none (-1), up to the next ':'.
const char* DecodeNumber(const char* text, int digits, int32_t* value) {
  *value = -1;
  if (*text == ':') return text + 1;
  int32_t v = 0;
  for (int i = 0; i < digits; ++i) {
    if (HexValue(text[i]) < 0) return nullptr;
    v = v << 4 | HexValue(text[i]);
  }
  if (text[digits] != ':') return nullptr;
  *value = v;
  return text + digits + 1;
}

int SameIdentity(const MouseIdentity& a, const MouseIdentity& b) {
  return a.vid == b.vid && a.pid == b.pid && a.interfaceNumber == b.interfaceNumber &&
         a.collection == b.collection && std::strcmp(a.serial, b.serial) == 0;
}

// Buttons held on a mouse that no longer steers are let go, and the
// right-click pedals follow, as after a button-only report.
void ReleaseChoiceButtons() {
  steeringState.mouseButtons = 0;
  ApplyPedalDelta(0);
}

void NoteChoiceAbsence() {
  SetStatusNotice(NOTICE_MOUSE, mouseChoice.chosen && !mouseChoice.handle ? STEERING_MOUSE_ABSENT_TEXT : nullptr);
}

}  // namespace

void MouseIdentityFromPath(const char* path, MouseIdentity* identity) {
  MouseIdentity& id = *identity;
  id = MouseIdentity{};
  if (std::strlen(path) < sizeof id.path) std::strcpy(id.path, path);
  id.vid = PathNumber(path, "VID");
  id.pid = PathNumber(path, "PID");
  id.interfaceNumber = PathNumber(path, "MI");
  id.collection = PathNumber(path, "Col");
}

int MouseIdentityEncode(const MouseIdentity& identity, char* text, size_t size) {
  char numbers[4][8];
  const int32_t values[4] = {identity.vid, identity.pid, identity.interfaceNumber, identity.collection};
  for (int i = 0; i < 4; ++i) {
    numbers[i][0] = 0;
    if (values[i] >= 0) std::snprintf(numbers[i], sizeof numbers[i], i < 2 ? "%04X" : "%02X", values[i] & 0xFFFF);
  }
  char serial[3 * MOUSE_SERIAL_SIZE];
  size_t used = 0;
  for (const char* s = identity.serial; *s && used + 4 <= sizeof serial; ++s) {
    const unsigned char c = static_cast<unsigned char>(*s);
    used += static_cast<size_t>(SerialByteIsPlain(c) ? std::snprintf(serial + used, 2, "%c", c)
                                                     : std::snprintf(serial + used, 4, "%%%02X", c));
  }
  serial[used] = 0;
  for (int withPath = 1; withPath >= 0; --withPath) {
    if (!withPath && identity.vid < 0) return 0;  // the path alone finds it
    const int length = std::snprintf(text, size, "%s:%s:%s:%s:%s:%s", numbers[0], numbers[1], numbers[2],
                                     numbers[3], serial, withPath ? identity.path : "");
    if (length > 0 && static_cast<size_t>(length) < size) return 1;
  }
  return 0;
}

int MouseIdentityDecode(const char* text, MouseIdentity* identity) {
  MouseIdentity id{};
  const int digits[4] = {4, 4, 2, 2};
  int32_t* fields[4] = {&id.vid, &id.pid, &id.interfaceNumber, &id.collection};
  for (int i = 0; i < 4 && text; ++i) text = DecodeNumber(text, digits[i], fields[i]);
  if (!text) return 0;
  size_t length = 0;
  for (; *text != ':'; ++length) {
    if (!*text || length + 1 >= sizeof id.serial) return 0;
    if (*text == '%') {
      if (HexValue(text[1]) < 0 || HexValue(text[2]) < 0) return 0;
      id.serial[length] = static_cast<char>(HexValue(text[1]) << 4 | HexValue(text[2]));
      if (!id.serial[length]) return 0;
      text += 3;
    } else {
      if (!SerialByteIsPlain(static_cast<unsigned char>(*text))) return 0;
      id.serial[length] = *text++;
    }
  }
  ++text;
  if (std::strlen(text) >= sizeof id.path) return 0;
  std::strcpy(id.path, text);
  if (!id.path[0] && id.vid < 0) return 0;
  *identity = id;
  return 1;
}

int MouseDeviceFind(const MouseIdentity& wanted, const MouseDevice* devices, int count) {
  if (wanted.path[0]) {
    for (int i = 0; i < count; ++i) {
      if (SameNoCase(devices[i].identity.path, wanted.path)) return i;
    }
  }
  if (wanted.vid < 0) return MOUSE_FIND_NONE;
  int found = MOUSE_FIND_NONE;
  for (int i = 0; i < count; ++i) {
    if (!SameIdentity(devices[i].identity, wanted)) continue;
    if (found != MOUSE_FIND_NONE) return MOUSE_FIND_AMBIGUOUS;  // two alike: neither is surely ours
    found = i;
  }
  return found;
}

int MouseReportTake(uintptr_t device, uint16_t buttonFlags, uint16_t buttonData) {
  if (!MouseReportAccepted(device)) return 0;
  MouseReportButtons(buttonFlags, buttonData);
  return 1;
}

void MouseChoiceLoad() {
  MouseChoice& c = mouseChoice;
  c = MouseChoice{};
  if (tuningSettings.steeringMouse[0] && !MouseIdentityDecode(tuningSettings.steeringMouse, &c.wanted)) {
    std::memset(tuningSettings.steeringMouse, 0, sizeof tuningSettings.steeringMouse);
  }
  c.chosen = tuningSettings.steeringMouse[0] != 0;
  steeringState.buttonsFromReports = c.chosen;
  NoteChoiceAbsence();
}

void MouseChoiceFollow(const MouseDevice* devices, int count) {
  MouseChoice& c = mouseChoice;
  if (!c.chosen) return;
  const int index = MouseDeviceFind(c.wanted, devices, count);
  const uintptr_t handle = index >= 0 ? devices[index].handle : 0;
  if (handle != c.handle) ReleaseChoiceButtons();
  c.handle = handle;
  if (index >= 0) {
    const MouseDevice& device = devices[index];
    std::snprintf(c.name, sizeof c.name, "%.*s", static_cast<int>(sizeof c.name - 1), device.name);
    // Moved to another port: the new path finds it first from now on.
    char text[sizeof tuningSettings.steeringMouse];
    if (std::strcmp(device.identity.path, c.wanted.path) != 0 && device.identity.path[0] &&
        MouseIdentityEncode(device.identity, text, sizeof text)) {
      std::memcpy(c.wanted.path, device.identity.path, sizeof c.wanted.path);
      std::memcpy(tuningSettings.steeringMouse, text, sizeof text);
    }
  }
  NoteChoiceAbsence();
}

int MouseChoiceDeviceChange(int arrived, uintptr_t device) {
  MouseChoice& c = mouseChoice;
  if (!c.chosen) return 0;
  if (!arrived && device != 0 && device == c.handle) {
    c.handle = 0;
    ReleaseChoiceButtons();
    NoteChoiceAbsence();
  }
  return arrived && !c.handle;
}

int MouseChoiceTake(const MouseDevice& device) {
  char text[sizeof tuningSettings.steeringMouse];
  if (device.handle == 0 || !MouseIdentityEncode(device.identity, text, sizeof text)) return 0;
  MouseChoice& c = mouseChoice;
  std::memcpy(tuningSettings.steeringMouse, text, sizeof text);
  c.chosen = 1;
  c.wanted = device.identity;
  c.handle = device.handle;
  std::snprintf(c.name, sizeof c.name, "%.*s", static_cast<int>(sizeof c.name - 1), device.name);
  c.selecting = 0;
  steeringState.buttonsFromReports = 1;
  ReleaseChoiceButtons();
  NoteChoiceAbsence();
  return 1;
}

void MouseChoiceClear() {
  mouseChoice = MouseChoice{};
  std::memset(tuningSettings.steeringMouse, 0, sizeof tuningSettings.steeringMouse);
  steeringState.buttonsFromReports = 0;
  ReleaseChoiceButtons();
  NoteChoiceAbsence();
}

void MouseChoiceLabel(char* text, size_t size) {
  const MouseChoice& c = mouseChoice;
  char number[24];
  std::snprintf(number, sizeof number, "Mouse %04X:%04X", static_cast<unsigned>(c.wanted.vid & 0xFFFF),
                static_cast<unsigned>(c.wanted.pid & 0xFFFF));
  const char* name = !c.chosen ? "Any mouse" : c.name[0] ? c.name : c.wanted.vid >= 0 ? number : "One mouse";
  std::snprintf(text, size, "%.*s%s", static_cast<int>(MOUSE_NAME_SIZE - 1), name,
                c.chosen && !c.handle ? " (not connected)" : "");
}

void MouseSelectionStart(uint64_t nowMicros) {
  MouseChoice& c = mouseChoice;
  c.selecting = 1;
  c.selectStartMicros = nowMicros;
  c.tallyCount = 0;
}

int MouseSelectionActive(uint64_t nowMicros) {
  MouseChoice& c = mouseChoice;
  if (c.selecting && nowMicros - c.selectStartMicros > MOUSE_SELECT_WINDOW_US) c.selecting = 0;
  return c.selecting;
}

int MouseSelectionFeed(uintptr_t device, int32_t dx, int32_t dy, uint64_t nowMicros) {
  MouseChoice& c = mouseChoice;
  if (!MouseSelectionActive(nowMicros) || device == 0) return 0;
  int i = 0;
  while (i < c.tallyCount && c.tally[i].handle != device) ++i;
  if (i == c.tallyCount) {
    if (i == MOUSE_DEVICES_MAX) return 0;
    c.tally[c.tallyCount++] = {device, 0};
  }
  MouseSelectionTally& t = c.tally[i];
  if (t.counts < 0) return 0;
  // In 64 bits: a report's motion may be any 32-bit number.
  const int64_t moved = t.counts + (dx < 0 ? -int64_t{dx} : dx) + (dy < 0 ? -int64_t{dy} : dy);
  t.counts = moved < MOUSE_SELECT_COUNTS ? static_cast<int32_t>(moved) : -1;
  return t.counts < 0;
}
