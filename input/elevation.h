// A game that runs as administrator: Windows keeps its mouse and keys from a
// program of lower integrity (raw input, hotkeys and the lock's hook all stop),
// so the wheel would be dead while everything looks connected.
#pragma once

#include <cstdint>

// Integrity levels as Windows numbers them (0x2000 medium, 0x3000 high);
// unknown when a token could not be read (another account, a protected process).
constexpr int32_t INTEGRITY_UNKNOWN = -1;

#define ELEVATED_GAME_TEXT "Game runs as administrator: no mouse input"
// The marker of a copy started by "Restart as Administrator": it waits for the
// old copy's single-instance mutex instead of reporting "Already Running".
#define RESTART_MARKER "--restarted"
constexpr uint32_t RESTART_MUTEX_WAIT_MS = 5000;

struct ElevationState {
  int32_t ownLevel;       // ours, read once at start-up
  int gameAbove;          // the program in front runs above us
  int restartRequested;   // the Controls tab's button was clicked
};
extern ElevationState elevationState;

// 1 when front is known to run above own; an unknown level shows nothing.
int RunsAboveLevel(int32_t own, int32_t front);
// Another program came to the front (exe its file name, level its integrity
// level): sets gameAbove and the status notice. The shell (taskbar, tray) is
// no change: the user passes it on the way to our window's button.
void NoteForegroundLevel(const char* exe, int32_t level);
