// The tests' side of the system seam. By default it answers like the real
// system where there is one (Windows) and with zeros on the host; a test sets
// an override to take control of one answer.
#pragma once

#include <cstdint>

struct FakeSystem {
  int overrideButtons;  // 1: answer leftDown/rightDown instead of the real buttons
  int leftDown;
  int rightDown;
  int overrideTick;     // 1: answer tick instead of the real tick count
  uint32_t tick;
};

extern FakeSystem fakeSystem;

void FakeSystemReset();  // back to the real answers
