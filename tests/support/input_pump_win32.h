// Message pumping for the Windows input tests. A thread's low-level hooks,
// raw input and hotkeys are served only while that thread retrieves messages,
// so every wait in these tests pumps, with a timeout, instead of sleeping.
#pragma once

#include <windows.h>

struct InputPump {
  // Called with each message just before it is dispatched; may be null.
  void (*observe)(const MSG& message);
};

extern InputPump inputPump;

// Dispatches what is queued now.
void PumpPendingMessages();

// Pumps until done() answers true or timeoutMs has passed; returns done()'s last answer.
bool PumpMessagesUntil(bool (*done)(), DWORD timeoutMs);

// Runs the program at path with the arguments and pumps until it ends. Returns
// its exit code, or -1 when it could not be run or did not end within 20 s.
int RunProgramPumping(const char* path, const char* arguments);

// The same for tarvix_input_helper.exe, beside the test program.
int RunInputHelper(const char* arguments);

// The helper's full path, for tests that copy it elsewhere.
void InputHelperPath(char (&path)[MAX_PATH]);

// Wine applies pointer acceleration to injected relative moves, raw reports
// included, where Windows reports the counts as they came. Tests that compare
// exact motion switch it off for their run (session-wide, not saved) and
// restore the earlier setting after.
void MouseAccelerationOff();
void MouseAccelerationRestore();

// Wine hands injected input out only while one of its windows has the keyboard
// focus (a game window would have it). This makes a plain visible window of
// this process for that; FocusTestWindow brings it to the front and waits until
// it has the focus, false when it did not get it within 5 s.
HWND CreateTestWindow(const char* title);
bool FocusTestWindow(HWND window);
