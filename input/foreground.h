// Which program is in front, for the profiles that follow their game
// (storage/game_profiles.h).
#pragma once

// Installs the watch; the program already in front counts as the first change.
void StartForegroundWatch();
void StopForegroundWatch();
// Once per pass of the main loop, after its drain: hands the program newly in
// front to the profile switch and lets the switch act. With poll set (at an
// output tick, or twice a second at rest) it also asks which window is in
// front, for when no event comes.
void RunForegroundWatch(int poll);
