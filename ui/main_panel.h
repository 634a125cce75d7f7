// The whole window content: the Controls, Profiles and Settings tabs.
#pragma once

#include <cstdint>

constexpr int PANEL_PROFILE_ROWS = 10;  // rows listed, though the store holds more
constexpr int PANEL_NAME_SIZE = 128;
constexpr int PANEL_HOTKEY_SIZE = 32;
// The height every tab fits in, in the panel's 96-DPI units.
constexpr int PANEL_HEIGHT = 640;

// Panel state, for the whole run, never persisted. selectedProfile is -1 for
// none; it starts at 0 and is only compared with row indices.
extern int32_t selectedProfile;
extern char profileNameInput[PANEL_NAME_SIZE];
// The "Auto-load for:" field: the games of the profile named in
// profileNameInput, saved with it.
extern char profileGamesInput[PANEL_NAME_SIZE];
// The hotkey texts as last applied from their fields (empty at start).
extern char appliedHotkeyLock[PANEL_HOTKEY_SIZE];
extern char appliedHotkeyRecenter[PANEL_HOTKEY_SIZE];

struct nk_context;

// Describes every widget once on ctx, over a client area of width x height
// pixels; called for each frame, between the end of input and rendering.
void BuildMainPanel(nk_context* ctx, int width, int height);
