// A program in front that runs as administrator: Windows keeps its mouse and
// keys from a program of lower integrity (raw input, hotkeys and the lock's
// hook all stop), so the wheel would be dead while everything looks connected.
// The way out is "Restart as Administrator", which hands over to a new copy.
#pragma once

#include <cstddef>
#include <cstdint>

// Integrity levels as Windows numbers them (0x2000 medium, 0x3000 high);
// unknown when a token could not be read (another account, a protected process).
constexpr int32_t INTEGRITY_UNKNOWN = -1;

#define ELEVATED_GAME_TEXT "The program in front runs as administrator: no mouse input"
// The marker of a copy started by "Restart as Administrator", followed by the
// old copy's process id and its user's SID: "--restarted 4242 S-1-5-21-...".
// The new copy waits for that process to end, then for its mutex.
#define RESTART_MARKER "--restarted"
constexpr uint32_t RESTART_OLD_PROCESS_WAIT_MS = 5000;
constexpr uint32_t RESTART_MUTEX_WAIT_MS = 5000;
// A SID's text is at most 187 characters (SECURITY_MAX_SID_STRING_CHARACTERS).
constexpr size_t RESTART_SID_SIZE = 188;
constexpr size_t ACCOUNT_NAME_SIZE = 128;

struct ElevationState {
  int32_t ownLevel;       // ours, read once at start-up
  int gameAbove;          // the program in front runs above us
  int restartRequested;   // the Controls tab's button was clicked
};
extern ElevationState elevationState;
// The account this copy runs as, when the restart handed over from another
// account's copy; "" otherwise. The status line names it.
extern char restartAccountName[ACCOUNT_NAME_SIZE];

// 1 when front is known to run above own; an unknown level shows nothing.
int RunsAboveLevel(int32_t own, int32_t front);
// Another program came to the front (exe its file name, level its integrity
// level): sets gameAbove and the status notice. The shell (taskbar, tray) is
// no change: the user passes it on the way to our window's button.
void NoteForegroundLevel(const char* exe, int32_t level);

// ---- The restart's handoff, read from the command line ----

struct RestartHandoff {
  int restarted;          // the marker was given
  uint32_t oldProcessId;  // 0: none, or not a process id
  char oldUserSid[RESTART_SID_SIZE];  // "": none, or not a SID's text
};

// The command line is input like any other: a value that is missing or not
// well-formed is left out, and the copy behaves as without it.
void ParseRestartHandoff(const char* commandLine, RestartHandoff* handoff);

// What became of the single-instance mutex.
enum InstanceMutexResult {
  INSTANCE_MUTEX_OWNED,   // made new, or taken over once the old copy let go
  INSTANCE_MUTEX_HELD,    // another copy of this account holds it
  INSTANCE_MUTEX_DENIED,  // a copy of another account (or an elevated one) made it
  INSTANCE_MUTEX_FAILED,  // it could not be made at all: run unguarded
};
// 1 when this copy runs, 0 when it says "Already Running". oldProcessEnded:
// the process named by the handoff is known to have ended. A restarted copy
// refused the mutex while the old copy may still be ending (it ran as another
// account) runs: the restart must leave a Tarvix running.
int InstanceMayRun(const RestartHandoff& handoff, int oldProcessEnded, InstanceMutexResult mutex);

// A restarted copy whose account (ownSid, named ownName) is not the old
// copy's: sets restartAccountName, so the status line says whose settings
// are in use. The SID chooses this text and nothing else.
void NoteRestartAccount(const RestartHandoff& handoff, const char* ownSid, const char* ownName);
