// The tests' side of the system seam. By default it answers like the real
// system where there is one (Windows) and with zeros on the host; a test sets
// an override to take control of one answer.
#pragma once

#include <cstdint>

struct FakeSystem {
  int overrideButtons;  // 1: answer leftDown/rightDown instead of the real buttons
  int leftDown;
  int rightDown;
  int overrideClock;    // 1: answer clockMicros instead of the real clock
  uint64_t clockMicros;
};

extern FakeSystem fakeSystem;

void FakeSystemReset();  // back to the real answers
