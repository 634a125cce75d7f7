// One mouse out of several: which device steers (the settings key
// steeringMouse), found again by its path or its identity, and "Use the Next
// Mouse I Move". Portable, so the host tests reach every decision; the Win32
// side (input/raw_input.h) lists the devices and hands each report's device over.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t MOUSE_PATH_SIZE = 256;
constexpr size_t MOUSE_SERIAL_SIZE = 64;
constexpr size_t MOUSE_NAME_SIZE = 128;
constexpr int MOUSE_DEVICES_MAX = 16;  // mice looked at in one listing or selection
// "Use the Next Mouse I Move": the first mouse to move this many counts within
// the window after the click is chosen.
constexpr int32_t MOUSE_SELECT_COUNTS = 20;
constexpr uint64_t MOUSE_SELECT_WINDOW_US = 10000000;
#define STEERING_MOUSE_ABSENT_TEXT "Steering mouse not connected"

// What finds a mouse again. Only a serial survives a move to another USB port:
// without one, Windows builds the path's instance part from the port.
struct MouseIdentity {
  char path[MOUSE_PATH_SIZE];  // the device path raw input names, "" when unknown
  int32_t vid, pid;            // -1: the path names none (no USB or Bluetooth HID mouse)
  int32_t interfaceNumber;     // MI_xx of the path, -1 for none
  int32_t collection;          // Colxx of the path, -1 for none
  char serial[MOUSE_SERIAL_SIZE];  // "" when the device has none
};

// A mouse connected now, as the system lists it.
struct MouseDevice {
  uintptr_t handle;  // raw input's hDevice
  MouseIdentity identity;
  char name[MOUSE_NAME_SIZE];  // its product string, "" when it has none
};

struct MouseSelectionTally {
  uintptr_t handle;
  int32_t counts;  // -1: looked at, and it cannot be chosen
};

struct MouseChoice {
  int32_t chosen;  // steeringMouse names a mouse
  MouseIdentity wanted;
  uintptr_t handle;            // the chosen mouse's hDevice while connected, else 0
  char name[MOUSE_NAME_SIZE];  // its product string, once seen
  int32_t selecting;           // waiting for the next mouse that moves
  uint64_t selectStartMicros;
  MouseSelectionTally tally[MOUSE_DEVICES_MAX];
  int32_t tallyCount;
};
extern MouseChoice mouseChoice;

// ---- Identity and its one-line encoding --------------------------------------

// Path copied (left "" when it does not fit) and the identity parts it names;
// the serial is emptied.
void MouseIdentityFromPath(const char* path, MouseIdentity* identity);
// "VVVV:PPPP:II:CC:serial:path" in hex, a part empty when absent, the serial
// with bytes outside '!'..'~', ':' and '%' as %XX, the path to the end. Without
// the path when the whole does not fit and the identity alone can find the
// mouse; 0 when even that does not fit.
int MouseIdentityEncode(const MouseIdentity& identity, char* text, size_t size);
// 0 for anything the encoder would not make, or that names no mouse.
int MouseIdentityDecode(const char* text, MouseIdentity* identity);

constexpr int MOUSE_FIND_NONE = -1;
constexpr int MOUSE_FIND_AMBIGUOUS = -2;
// The index of the wanted mouse among devices: by path first (case aside),
// then by identity when exactly one device has it.
int MouseDeviceFind(const MouseIdentity& wanted, const MouseDevice* devices, int count);

// ---- The choice ---------------------------------------------------------------

// Hot path: 1 when a report of this device may steer, press pedals and buttons.
// With a mouse chosen only its own do; device 0 (no handle: some touchpads,
// injected input) is then another mouse.
inline int MouseReportAccepted(uintptr_t device) {
  return !mouseChoice.chosen || (device != 0 && device == mouseChoice.handle);
}

// One report's device, buttons and wheel: 0 when the report is another
// mouse's and counts for nothing; else its buttons and wheel are applied
// (MouseReportButtons) and 1, and its motion may follow.
int MouseReportTake(uintptr_t device, uint16_t buttonFlags, uint16_t buttonData);

// From tuningSettings.steeringMouse at start-up; a malformed value is any mouse
// and is emptied. The chosen mouse counts as absent until MouseChoiceFollow.
void MouseChoiceLoad();
// Finds the chosen mouse among the devices connected now. Found by identity
// alone, its new path replaces the old in steeringMouse.
void MouseChoiceFollow(const MouseDevice* devices, int count);
// A device arrived (1) or left (0): 1 when the devices are to be listed
// again and followed. The chosen mouse leaving is handled here.
int MouseChoiceDeviceChange(int arrived, uintptr_t device);
// The device becomes the steering mouse (steeringMouse written): 0, nothing
// changed, when it cannot be found again.
int MouseChoiceTake(const MouseDevice& device);
void MouseChoiceClear();  // any mouse steers again
// "Any mouse", the product name (or VID:PID), and " (not connected)" when absent.
void MouseChoiceLabel(char* text, size_t size);

// ---- "Use the Next Mouse I Move" ---------------------------------------------

void MouseSelectionStart(uint64_t nowMicros);
// One report's relative motion: 1 once, when its device has now moved
// MOUSE_SELECT_COUNTS within the window; the caller then looks it up and takes
// it. Device 0 cannot be found again and never counts.
int MouseSelectionFeed(uintptr_t device, int32_t dx, int32_t dy, uint64_t nowMicros);
// 1 while waiting; ends the wait once the window has passed.
int MouseSelectionActive(uint64_t nowMicros);
