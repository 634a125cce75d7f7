// The tests' side of the system seam: on Windows the real answers unless overridden; on the host the fields.
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

// Waits for the file writer and takes its results (storage/saving.h), until a
// result leads to no further write.
void SettleFileWrites();
