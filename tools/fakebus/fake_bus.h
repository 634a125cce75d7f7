// A fake ViGEmBus behind the pad link's bus seam (pad/pad_link.h), for the host
// tests, the Windows tests and the test build of the program. It decodes every
// record from its own offsets, never from the program's structs, answers with
// the Win32 errors the real bus's statuses read as, and checks the order a
// client must keep: open, check version, plug in (serial 1 is refused once, as
// if another program's pad held it), wait until ready, reports, unplug, close.
// A request out of order is refused and counted. Wait-ready may be held, as
// the real bus holds it, on the bind's own thread; a cancel ends the hold.
#pragma once

#include <cstdint>
#include <string>

struct FakeBusAnswers {
  int present = 1;          // 0: no bus device to find
  int opens = 1;            // 0: the bus will not open
  uint32_t version = 1;     // the one version it accepts
  int refuseSerialOne = 1;  // the first plug-in with serial 1 is refused
  int knowsWaitReady = 1;   // 0: a bus before 1.17, which answers 87 to the request
  int readyHoldMs = 0;      // wait-ready is held that long, then done; -1: until cancelled
  int refuseReports = 0;    // the next reports answer 259, as while the game's driver reads none
  int reportsLeft = -1;     // reports accepted before the bus goes away (then 22); -1: never
};

struct FakeBus {
  FakeBusAnswers answers;
  int open;             // 1 while the handle is open
  uint32_t plugged;     // the plugged-in pad's serial, 0 when none
  int ready;            // the pad was waited for (or the bus does not know how)
  int versionChecked;
  int refusedSerialOne;
  int cancelled;        // the handle's held requests are cancelled
  int holding;          // a wait-ready is held now
  int faults;           // requests out of order or with a malformed record
  int reports;
  // The last report as the pad holds it.
  uint16_t buttons;
  uint8_t leftTrigger, rightTrigger;
  int16_t thumbLX, thumbLY, thumbRX, thumbRY;
  std::string calls;  // "CheckVersion(8,1)=0 PlugIn(16,1,0,0,0)=87 ..." in order, with the Win32 error
};

extern FakeBus fakeBus;
// A present, working bus with nothing open; answers as given.
void FakeBusReset(const FakeBusAnswers& answers = FakeBusAnswers{});
// The calls so far, which are then cleared; a bind's thread may add more.
std::string FakeBusTakeCalls();
// 1 while a wait-ready is held.
int FakeBusHolding();
