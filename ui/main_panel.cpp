// The main panel: tab bar, then the body of the current tab. Rebuilt for every
// frame the main loop draws; acts on a click in the frame that reports it.
#include "ui/main_panel.h"

#include <cstdio>
#include <cstring>

#include "engine/game_forces.h"
#include "engine/output_link.h"
#include "engine/pedals.h"
#include "engine/status_notice.h"
#include "engine/steering.h"
#include "engine/system_seam.h"
#include "engine/tuning.h"
#include "input/elevation.h"
#include "input/hotkeys.h"
#include "input/mouse_choice.h"
#include "pad/pad_link.h"
#include "storage/game_profiles.h"
#include "storage/launch_at_startup.h"
#include "storage/name_rules.h"
#include "storage/profile_store.h"
#include "storage/saving.h"
#include "storage/settings_file.h"
#include "ui/nk.h"
#include "ui/theme.h"
#include "ui/tuning_slider.h"

int32_t selectedProfile = 0;
char profileNameInput[PANEL_NAME_SIZE];
char profileGamesInput[PANEL_NAME_SIZE];
// The name whose games the field was last filled with.
static char gamesFieldName[PANEL_NAME_SIZE];
// The name just saved, to select when the list shows it.
static char selectWhenListed[PANEL_NAME_SIZE];
char appliedHotkeyLock[PANEL_HOTKEY_SIZE];
char appliedHotkeyRecenter[PANEL_HOTKEY_SIZE];

static constexpr int PANEL_LINE_SIZE = 256;
// Six rows at a time; the list scrolls for more.
static constexpr float PROFILE_LIST_HEIGHT = 224;
// Takes the 16-pixel gap above "Real-Time Status" and the client's last pixels.
static constexpr float RESTART_ROW_HEIGHT = 24;
static const char* const LOCK_KEY_NOTES[3] = {"", " (hotkey taken)", " (hotkey not available)"};
static const char* const RESET_KEY_NOTES[3] = {"", " | Reset key taken", " | Reset key not available"};
static const char DEFAULT_PROFILE_NAME[] = "Default";

// ---- Colours: light and dark pairs, picked by darkTheme at each use ----

struct PanelColour {
  nk_color light;
  nk_color dark;
};

static constexpr PanelColour TAB_CURRENT_NORMAL = {{37, 99, 235, 255}, {37, 99, 235, 255}};
static constexpr PanelColour TAB_CURRENT_HOVER = {{29, 78, 216, 255}, {29, 78, 216, 255}};
static constexpr PanelColour TAB_CURRENT_TEXT = {{255, 255, 255, 255}, {255, 255, 255, 255}};
static constexpr PanelColour TAB_OTHER_NORMAL = {{244, 244, 245, 255}, {39, 39, 42, 255}};
static constexpr PanelColour TAB_OTHER_HOVER = {{228, 228, 231, 255}, {63, 63, 70, 255}};
static constexpr PanelColour TAB_OTHER_TEXT = {{9, 9, 11, 255}, {250, 250, 250, 255}};
static constexpr PanelColour ROW_ACTIVE_NORMAL = {{22, 163, 74, 255}, {34, 197, 94, 255}};
static constexpr PanelColour ROW_SELECTED_NORMAL = {{37, 99, 235, 255}, {59, 130, 246, 255}};
static constexpr PanelColour ROW_MARKED_TEXT = {{255, 255, 255, 255}, {255, 255, 255, 255}};
static constexpr PanelColour UNAVAILABLE_NORMAL = {{228, 228, 231, 255}, {24, 24, 27, 255}};
static constexpr PanelColour UNAVAILABLE_TEXT = {{161, 161, 170, 255}, {113, 113, 122, 255}};
static constexpr PanelColour CURVE_NOTE_TEXT = {{82, 82, 91, 255}, {161, 161, 170, 255}};
static constexpr PanelColour UNSAVED_TEXT = {{245, 158, 11, 255}, {251, 191, 36, 255}};

static nk_color Themed(const PanelColour& colour) { return darkTheme ? colour.dark : colour.light; }

static void SetButtonLook(nk_context* ctx, const PanelColour& normal, const PanelColour& hover,
                          const PanelColour& text) {
  ctx->style.button.normal = nk_style_item_color(Themed(normal));
  ctx->style.button.hover = nk_style_item_color(Themed(hover));
  ctx->style.button.text_normal = Themed(text);
  ctx->style.button.text_hover = Themed(text);
  ctx->style.button.text_active = Themed(text);
}

// Profile rows and unavailable buttons change only the normal look; hover and
// pressed keep the theme's.
static void SetButtonNormalLook(nk_context* ctx, const PanelColour& normal,
                                const PanelColour& text) {
  ctx->style.button.normal = nk_style_item_color(Themed(normal));
  ctx->style.button.text_normal = Themed(text);
}

// ---- Small helpers ----

static void Spacer(nk_context* ctx, float height) { nk_layout_row_dynamic(ctx, height, 1); }

static void CopyText(char* target, size_t size, const char* source) {
  std::snprintf(target, size, "%s", source);
}

static int FindListedProfile(const char* name) {
  int count = profileCount < PROFILE_LIST_SIZE ? profileCount : PROFILE_LIST_SIZE;
  for (int i = 0; i < count; ++i) {
    if (std::strcmp(profileNames[i], name) == 0) return i;
  }
  return -1;
}

// Profile file names are case-insensitive on Windows, so "default" would
// overwrite or delete the Default profile's file just as well.
static int IsDefaultProfileName(const char* name) {
  const char* expected = DEFAULT_PROFILE_NAME;
  for (; *name && *expected; ++name, ++expected) {
    char c = *name;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    char e = *expected;
    if (e >= 'a' && e <= 'z') e = static_cast<char>(e - 'a' + 'A');
    if (c != e) return 0;
  }
  return *name == '\0' && *expected == '\0';
}

static void SelectListedProfile(const char* name) {
  int index = FindListedProfile(name);
  if (index >= 0) selectedProfile = index;
}

// A button drawn in the unavailable look when its condition is false; a click
// then does nothing. Returns 1 for a click while available.
static int ProfileActionButton(nk_context* ctx, const char* label, int available) {
  struct nk_style_button saved = ctx->style.button;
  if (!available) SetButtonNormalLook(ctx, UNAVAILABLE_NORMAL, UNAVAILABLE_TEXT);
  int clicked = nk_button_label(ctx, label);
  ctx->style.button = saved;
  return clicked && available;
}

// ---- Tab bodies ----

static void BuildTabBar(nk_context* ctx) {
  static const char* const TAB_NAMES[3] = {"Controls", "Profiles", "Settings"};
  nk_layout_row_dynamic(ctx, 40, 3);
  struct nk_style_button saved = ctx->style.button;
  for (int i = 0; i < 3; ++i) {
    if (steeringState.currentTab == i) {
      SetButtonLook(ctx, TAB_CURRENT_NORMAL, TAB_CURRENT_HOVER, TAB_CURRENT_TEXT);
    } else {
      SetButtonLook(ctx, TAB_OTHER_NORMAL, TAB_OTHER_HOVER, TAB_OTHER_TEXT);
    }
    if (nk_button_label(ctx, TAB_NAMES[i])) steeringState.currentTab = i;
  }
  ctx->style.button = saved;
}

// The status line's words for a refused hotkey: none, taken, not available.
static const char* HotkeyStateNote(int state, const char* const (&notes)[3]) {
  return notes[state == HOTKEY_TAKEN ? 1 : state == HOTKEY_REFUSED ? 2 : 0];
}

static nk_size SteeringBarValue(float steering) {
  float fill = (steering - STEERING_CENTER) / STEERING_CENTER * 50.0f + 50.0f;
  // Keeps the conversion defined for any wheel value (NaN included).
  if (!(fill > 0.0f)) return 0;
  if (fill > 100.0f) return 100;
  return static_cast<nk_size>(fill);
}

static void BuildControlsTab(nk_context* ctx, char* line) {
  // Six sliders back to back: the slider row's own margin parts them, and the
  // status lines still fit the 640-pixel client.
  TuningSlider(ctx, "Steering Sensitivity",
               "Controls turning speed.\nHigher = Faster response\nLower = More precision",
               &tuningSettings.sensitivity, 1.0f, 120.0f, 1.0f);
  TuningSlider(ctx, "Non-Linearity",
               "Adjusts steering curve.\n1.0 = Linear\nHigher = Precise center, fast edges",
               &tuningSettings.responseCurve, 1.0f, 3.0f, 0.1f);
  float smoothing = static_cast<float>(tuningSettings.smoothing);
  TuningSlider(ctx, "Input Filter",
               "Reduces jitter/shaking.\n0 = Raw input\nHigher = Smoother but more delay",
               &smoothing, 0.0f, 20.0f, 1.0f);
  int32_t window = static_cast<int32_t>(smoothing);
  if (window != tuningSettings.smoothing) {
    SetSmoothingWindow(window);
    RequestSettingsSave();
  }
  TuningSlider(ctx, "Force Feedback",
               "Centering force strength.\nHigher = Stronger return (Drift/Arcade)\nLower = "
               "Loose wheel",
               &tuningSettings.autoCenterForce, 0.0f, 30.0f, 0.1f);
  float delay = static_cast<float>(tuningSettings.autoCenterDelay);
  TuningSlider(ctx, "Centring Delay",
               "Milliseconds without sideways motion before centring pulls.\n0 = Pulls at once\n"
               "Higher = The wheel holds through a long corner",
               &delay, 0.0f, static_cast<float>(AUTO_CENTER_DELAY_MAX_MS), 50.0f);
  tuningSettings.autoCenterDelay = static_cast<int32_t>(delay);
  TuningSlider(ctx, "Wheel Range",
               "Limits max rotation.\n100% = Full Lock\nLower = Faster lock (F1 style)",
               &tuningSettings.steeringLimit, 10.0f, 100.0f, 1.0f);

  // The restart's button needs a row of its own under the status line: this
  // gap gives it the room.
  if (!elevationState.gameAbove) Spacer(ctx, 16);
  nk_layout_row_dynamic(ctx, 20, 1);
  nk_label(ctx, "Real-Time Status", NK_TEXT_LEFT);

  nk_layout_row_dynamic(ctx, 24, 1);
  nk_size bar = SteeringBarValue(steeringState.steering);
  nk_progress(ctx, &bar, 100, nk_false);

  float steeringPercent = (steeringState.steering - STEERING_CENTER) / STEERING_CENTER * 100.0f;
  float throttlePercent = PublishedThrottle() / AXIS_MAX * 100.0f;
  float brakePercent = steeringState.brake / AXIS_MAX * 100.0f;
  nk_layout_row_dynamic(ctx, 18, 1);
  std::snprintf(line, PANEL_LINE_SIZE,
                "Steering: %.0f%% | Throttle: %.0f%% | Brake: %.0f%% | %s: %s",
                static_cast<double>(steeringPercent), static_cast<double>(throttlePercent),
                static_cast<double>(brakePercent), OutputName(outputLink.device),
                outputLink.state == OUTPUT_LINK_BOUND ? "Connected" : "Disconnected");
  nk_label(ctx, line, NK_TEXT_LEFT);
  // No room for another row: the most urgent notice takes the place of the
  // usual text. The hotkey, automatic-profile and account notices are this line's
  // own.
  SetStatusNotice(NOTICE_OUTPUT, OutputNotice());
  const char* lockState = steeringState.mouseLocked ? "Active" : "Inactive";
  const char* lockNote = HotkeyStateNote(hotkeyLockState, LOCK_KEY_NOTES);
  const char* resetNote = HotkeyStateNote(hotkeyRecenterState, RESET_KEY_NOTES);
  const char* pedalMode = tuningSettings.accelBrakeMode ? "Enabled" : "Disabled";
  line[0] = 0;
  if (lockNote[0] || resetNote[0]) {
    std::snprintf(line, PANEL_LINE_SIZE, "Mouse Lock: %s%s | Right-Click Mode: %s%s", lockState,
                  lockNote, pedalMode, resetNote);
  }
  SetStatusNotice(NOTICE_HOTKEY, line);
  line[0] = 0;
  if (autoProfileState.waiting) {
    std::snprintf(line, PANEL_LINE_SIZE, "Mouse Lock: %s | Auto-switch waits: unsaved changes",
                  lockState);
  } else if (autoProfileState.active) {
    std::snprintf(line, PANEL_LINE_SIZE, "Mouse Lock: %s | Auto: %s (%s)", lockState,
                  tuningSettings.profile, autoProfileState.matched);
  }
  SetStatusNotice(NOTICE_AUTO_PROFILE, line);
  line[0] = 0;
  if (restartAccountName[0]) {
    std::snprintf(line, PANEL_LINE_SIZE, "Mouse Lock: %s | Running as %s: that account's settings", lockState,
                  restartAccountName);
  }
  SetStatusNotice(NOTICE_ACCOUNT, line);
  StatusNoticeSlot slot;
  if (const char* notice = CurrentStatusNotice(&slot)) {
    // Faults in the warning colour; the hotkey, profile and account lines are news.
    if (slot < NOTICE_HOTKEY) {
      nk_label_colored(ctx, notice, NK_TEXT_LEFT, Themed(UNSAVED_TEXT));
    } else {
      nk_label(ctx, notice, NK_TEXT_LEFT);
    }
  } else {
    std::snprintf(line, PANEL_LINE_SIZE, "Mouse Lock: %s | Right-Click Mode: %s", lockState, pedalMode);
    nk_label(ctx, line, NK_TEXT_LEFT);
  }
  // Only an elevated copy gets that program's input: the way there, under the
  // notice, which takes the whole line.
  if (elevationState.gameAbove) {
    static const float RESTART_ROW[2] = {0.6f, 0.4f};
    nk_layout_row(ctx, NK_DYNAMIC, RESTART_ROW_HEIGHT, 2, RESTART_ROW);
    nk_spacing(ctx, 1);
    if (nk_button_label(ctx, "Restart as Administrator")) elevationState.restartRequested = 1;
  }
}

static void BuildProfileRows(nk_context* ctx) {
  nk_layout_row_dynamic(ctx, 28, 1);
  for (int i = 0; i < profileCount && i < PANEL_PROFILE_ROWS && i < PROFILE_LIST_SIZE; ++i) {
    struct nk_style_button saved = ctx->style.button;
    if (std::strcmp(profileNames[i], tuningSettings.profile) == 0) {
      SetButtonNormalLook(ctx, ROW_ACTIVE_NORMAL, ROW_MARKED_TEXT);
    } else if (i == selectedProfile) {
      SetButtonNormalLook(ctx, ROW_SELECTED_NORMAL, ROW_MARKED_TEXT);
    }
    if (nk_button_label(ctx, profileNames[i])) {
      if (i == selectedProfile) {
        selectedProfile = -1;
        profileNameInput[0] = '\0';
      } else {
        selectedProfile = i;
        CopyText(profileNameInput, PANEL_NAME_SIZE, profileNames[i]);
      }
    }
    ctx->style.button = saved;
  }
}

// The games field follows the name field: a listed profile's games, or none
// for a new name, so a profile saved under a new name starts without games.
static void FollowNameWithGames() {
  if (std::strcmp(gamesFieldName, profileNameInput) == 0) return;
  CopyText(gamesFieldName, PANEL_NAME_SIZE, profileNameInput);
  const int index = FindListedProfile(profileNameInput);
  CopyText(profileGamesInput, PANEL_NAME_SIZE, index >= 0 ? profileGames[index] : "");
}

static void BuildProfilesTab(nk_context* ctx, char* line) {
  // A saved profile is listed once its file is written.
  if (selectWhenListed[0] && FindListedProfile(selectWhenListed) >= 0) {
    SelectListedProfile(selectWhenListed);
    selectWhenListed[0] = '\0';
  }
  nk_layout_row_dynamic(ctx, 20, 1);
  nk_label(ctx, "Available Profiles", NK_TEXT_LEFT);
  nk_layout_row_dynamic(ctx, PROFILE_LIST_HEIGHT, 1);
  if (nk_group_begin(ctx, "profile_list", NK_WINDOW_BORDER)) {
    BuildProfileRows(ctx);
    nk_group_end(ctx);
  }

  Spacer(ctx, 8);
  nk_layout_row_dynamic(ctx, 20, 1);
  nk_label(ctx, "Profile Name:", NK_TEXT_LEFT);
  nk_layout_row_dynamic(ctx, 36, 1);
  // Nuklear's limit counts the terminator: the whole buffer gives 127 characters.
  nk_edit_string_zero_terminated(ctx, NK_EDIT_FIELD, profileNameInput, PANEL_NAME_SIZE,
                                 nk_filter_default);
  FollowNameWithGames();
  const int gamesValid = IsValidGameList(profileGamesInput);

  nk_layout_row_dynamic(ctx, 36, 3);
  // Each condition is taken just before its button, so it sees an earlier click.
  int named = profileNameInput[0] != '\0';
  if (ProfileActionButton(ctx, "Load", named && FindListedProfile(profileNameInput) >= 0)) {
    LoadUserProfile(profileNameInput);
    SelectListedProfile(profileNameInput);
  }

  named = profileNameInput[0] != '\0';
  int saveAvailable = named && !IsDefaultProfileName(profileNameInput) && gamesValid;
  int update = saveAvailable && std::strcmp(profileNameInput, tuningSettings.profile) == 0 &&
               steeringState.profileModified;
  if (ProfileActionButton(ctx, update ? "Update" : "Save", saveAvailable)) {
    SaveUserProfile(profileNameInput, profileGamesInput);
    CopyText(selectWhenListed, PANEL_NAME_SIZE, profileNameInput);
  }

  named = profileNameInput[0] != '\0';
  int deleteAvailable = named && FindListedProfile(profileNameInput) >= 0 &&
                        !IsDefaultProfileName(profileNameInput);
  if (ProfileActionButton(ctx, "Delete", deleteAvailable)) {
    DeleteProfile(profileNameInput);
    profileNameInput[0] = '\0';
    selectedProfile = -1;
    ScanProfiles();
  }

  Spacer(ctx, 8);
  nk_layout_row_dynamic(ctx, 20, 1);
  nk_label(ctx, "Auto-load for:", NK_TEXT_LEFT);
  static const float GAMES_ROW[2] = {0.66f, 0.34f};
  nk_layout_row(ctx, NK_DYNAMIC, 36, 2, GAMES_ROW);
  nk_edit_string_zero_terminated(ctx, NK_EDIT_FIELD, profileGamesInput, PANEL_NAME_SIZE,
                                 nk_filter_default);
  if (nk_button_label(ctx, "Use Last Game") && lastGameProgram[0]) {
    CopyText(profileGamesInput, PANEL_NAME_SIZE, lastGameProgram);
  }

  nk_layout_row_dynamic(ctx, 14, 1);
  if (!gamesValid) {
    nk_label_colored(ctx, "Auto-load: plain file names only, separated by ';'", NK_TEXT_CENTERED,
                     Themed(UNSAVED_TEXT));
  } else if (steeringState.profileModified && profileNameInput[0] != '\0') {
    std::snprintf(line, PANEL_LINE_SIZE,
                  "Unsaved changes! Click 'Update' to save modifications to '%s'",
                  tuningSettings.profile);
    nk_label_colored(ctx, line, NK_TEXT_CENTERED, Themed(UNSAVED_TEXT));
  } else {
    nk_label(ctx, "Tip: Green = Active profile | Blue = Selected | Click again to deselect",
             NK_TEXT_CENTERED);
  }
}

static int OptionButton(nk_context* ctx, int32_t on, const char* enabled, const char* disabled) {
  return nk_button_label(ctx, on ? enabled : disabled);
}

// Two options a row: their titles, then their switches.
static void OptionTitles(nk_context* ctx, const char* left, const char* right) {
  nk_layout_row_dynamic(ctx, 20, 2);
  nk_label(ctx, left, NK_TEXT_LEFT);
  nk_label(ctx, right, NK_TEXT_LEFT);
  nk_layout_row_dynamic(ctx, 36, 2);
}

static void HotkeyGroup(nk_context* ctx, const char* id, const char* caption, char* text,
                        char* applied, int state) {
  if (!nk_group_begin(ctx, id, NK_WINDOW_NO_SCROLLBAR)) return;
  nk_layout_row_dynamic(ctx, 16, 1);
  // A refused combination does nothing when pressed; the label says so instead.
  if (state == HOTKEY_TAKEN) {
    nk_label_colored(ctx, "Taken by another program", NK_TEXT_LEFT, Themed(UNSAVED_TEXT));
  } else if (state == HOTKEY_REFUSED) {
    nk_label_colored(ctx, "Not available", NK_TEXT_LEFT, Themed(UNSAVED_TEXT));
  } else {
    nk_label(ctx, caption, NK_TEXT_LEFT);
  }
  nk_layout_row_dynamic(ctx, 36, 1);
  // The text is edited in place; the hotkeys follow only when the field is left.
  nk_flags flags =
      nk_edit_string_zero_terminated(ctx, NK_EDIT_FIELD, text, PANEL_HOTKEY_SIZE, nk_filter_ascii);
  if ((flags & (NK_EDIT_DEACTIVATED | NK_EDIT_COMMITED)) && std::strcmp(text, applied) != 0) {
    CopyText(applied, PANEL_HOTKEY_SIZE, text);
    SaveSettings();
    RegisterHotkeys();
  }
  nk_group_end(ctx);
}

// The output chosen and the pad's anti-deadzone.
static void BuildOutputRows(nk_context* ctx) {
  TuningSettings& t = tuningSettings;
  char title[48];
  std::snprintf(title, sizeof title, "Pad anti-deadzone: %d%%", static_cast<int>(t.padAntiDeadzone));
  // Why the chosen output is not in use, or why the last switch failed, takes
  // the titles' place until a switch succeeds.
  if (outputLink.note[0]) {
    nk_layout_row_dynamic(ctx, 20, 1);
    nk_label_colored(ctx, outputLink.note, NK_TEXT_LEFT, Themed(UNSAVED_TEXT));
  } else if (outputLink.padBind == OUTPUT_PAD_BIND_SWITCH) {
    // The pad binds in the background; the old output steers until it is ready.
    nk_layout_row_dynamic(ctx, 20, 1);
    nk_label(ctx, "Xbox pad: connecting...", NK_TEXT_LEFT);
  } else {
    nk_layout_row_dynamic(ctx, 20, 2);
    nk_label(ctx, "Output", NK_TEXT_LEFT);
    nk_label(ctx, title, NK_TEXT_LEFT);
  }
  static const float OUTPUT_ROW[3] = {0.25f, 0.25f, 0.5f};
  nk_layout_row(ctx, NK_DYNAMIC, 36, 3, OUTPUT_ROW);
  static const OutputDevice DEVICES[2] = {OUTPUT_VJOY, OUTPUT_PAD};
  static const char* const DEVICE_LABELS[2] = {"vJoy", "Xbox 360 pad"};
  for (int i = 0; i < 2; ++i) {
    struct nk_style_button saved = ctx->style.button;
    if (t.outputDevice == DEVICES[i]) {
      SetButtonLook(ctx, TAB_CURRENT_NORMAL, TAB_CURRENT_HOVER, TAB_CURRENT_TEXT);
    }
    // The pad binds on its own thread and a later tick ends the switch;
    // vJoy's bind is short, and the window takes clicks only while the mouse
    // lock is off, so neither stalls the lock's hook.
    if (nk_button_label(ctx, DEVICE_LABELS[i]) && OutputSwitch(DEVICES[i])) SaveSettings();
    ctx->style.button = saved;
  }
  int percent = t.padAntiDeadzone;
  nk_slider_int(ctx, 0, &percent, PAD_ANTI_DEADZONE_MAX, 1);
  if (percent != t.padAntiDeadzone) {
    t.padAntiDeadzone = percent;
    RequestSettingsSave();
  }
}

// "Steer With:" beside the section's title, over its button: the mouse chosen
// (marked when it is not connected), or a word while waiting for one to move.
static void SteeringMouseTitle(nk_context* ctx, int selecting) {
  char name[MOUSE_NAME_SIZE + 32];
  char label[sizeof name + 16];
  MouseChoiceLabel(name, sizeof name);
  std::snprintf(label, sizeof label, "Steer With: %s", selecting ? "the mouse you move now" : name);
  if (mouseChoice.chosen && !mouseChoice.handle && !selecting) {
    nk_label_colored(ctx, label, NK_TEXT_RIGHT, Themed(UNSAVED_TEXT));
  } else {
    nk_label(ctx, label, NK_TEXT_RIGHT);
  }
}

// One button, in turn: wait for the next mouse that moves, stop waiting, or
// let go of the chosen mouse so that any mouse steers.
static void SteeringMouseButton(nk_context* ctx, int selecting) {
  const char* label = selecting ? "Waiting (Click to Stop)"
                      : mouseChoice.chosen ? "Use Any Mouse"
                                           : "Use the Next Mouse I Move";
  if (!nk_button_label(ctx, label)) return;
  if (selecting) {
    mouseChoice.selecting = 0;
  } else if (mouseChoice.chosen) {
    MouseChoiceClear();
    SaveSettings();
  } else {
    MouseSelectionStart(SystemClockMicros());
  }
}

// The game's force feedback moving the wheel: the switch, its reversal and its strength.
static void BuildGameForceRows(nk_context* ctx) {
  TuningSettings& t = tuningSettings;
  char title[48];
  std::snprintf(title, sizeof title, "Game Force Strength: %d%%", static_cast<int>(t.gameForceStrength));
  const char* note = "Game Forces";
  if (t.outputDevice == OUTPUT_PAD) {
    note = "Game Forces: only vJoy carries forces";  // a pad's rumble has no direction
  } else if (!t.gameForces && VJoyFfbPackets()) {
    note = "The game sends force feedback";
  }
  nk_layout_row_dynamic(ctx, 14, 2);
  nk_label(ctx, note, NK_TEXT_LEFT);
  nk_label(ctx, title, NK_TEXT_LEFT);
  static const float FORCE_ROW[3] = {0.25f, 0.25f, 0.5f};
  nk_layout_row(ctx, NK_DYNAMIC, 36, 3, FORCE_ROW);
  if (OptionButton(ctx, t.gameForces, "Enabled", "Disabled")) {
    t.gameForces = t.gameForces ? 0 : 1;
    SaveSettings();
  }
  if (OptionButton(ctx, t.gameForcesReversed, "Reverse: On", "Reverse: Off")) {
    // A profile value, like the tuning sliders'.
    t.gameForcesReversed = t.gameForcesReversed ? 0 : 1;
    steeringState.profileModified = 1;
    SaveSettings();
  }
  int percent = t.gameForceStrength;
  nk_slider_int(ctx, 0, &percent, GAME_FORCE_STRENGTH_MAX, GAME_FORCE_STRENGTH_STEP);
  if (percent != t.gameForceStrength) {
    t.gameForceStrength = percent;
    steeringState.profileModified = 1;
    RequestSettingsSave();
  }
}

static void BuildSettingsTab(nk_context* ctx) {
  TuningSettings& t = tuningSettings;

  const int selecting = MouseSelectionActive(SystemClockMicros());
  static const float STEERING_TITLES[2] = {0.3f, 0.7f};
  nk_layout_row(ctx, NK_DYNAMIC, 20, 2, STEERING_TITLES);
  nk_label(ctx, "Steering Options", NK_TEXT_LEFT);
  SteeringMouseTitle(ctx, selecting);
  nk_layout_row_dynamic(ctx, 36, 2);
  if (OptionButton(ctx, t.curveOnSteering, "Curve on Steering: Enabled",
                   "Curve on Steering: Disabled")) {
    // Only profiles carry this value, so the profile is not marked modified.
    t.curveOnSteering = t.curveOnSteering ? 0 : 1;
    SaveSettings();
  }
  SteeringMouseButton(ctx, selecting);
  nk_layout_row_dynamic(ctx, 14, 1);
  nk_label_colored(ctx,
                   t.curveOnSteering ? "Curve affects BOTH Steering and Auto-Center"
                                     : "Curve affects ONLY Auto-Center (Linear Steering)",
                   NK_TEXT_LEFT, Themed(CURVE_NOTE_TEXT));

  OptionTitles(ctx, "Launch at Startup", "Start Minimized");
  if (OptionButton(ctx, t.startWithWindows, "Enabled (runs at sign-in)",
                   "Disabled (manual start)")) {
    t.startWithWindows = t.startWithWindows ? 0 : 1;
    SetLaunchAtStartup(t.startWithWindows);
    SaveSettings();
  }
  if (OptionButton(ctx, t.startMin, "Enabled (starts in tray)", "Disabled (shows window)")) {
    t.startMin = t.startMin ? 0 : 1;
    SaveSettings();
  }

  OptionTitles(ctx, "Right-Click for Throttle/Brake", "Auto-Switch Profiles");
  if (OptionButton(ctx, t.accelBrakeMode, "Enabled (hold right-click)",
                   "Disabled (always active)")) {
    t.accelBrakeMode = t.accelBrakeMode ? 0 : 1;
    SaveSettings();
  }
  if (OptionButton(ctx, t.autoProfile, "Enabled (follows the game)", "Disabled")) {
    t.autoProfile = t.autoProfile ? 0 : 1;
    SaveSettings();
    RecheckAutoProfile();
  }

  char scrollTitle[48] = "Scroll Wheel Throttle: Off";
  if (t.scrollThrottle > 0) {
    std::snprintf(scrollTitle, sizeof scrollTitle, "Scroll Wheel Throttle: %d%% a notch",
                  static_cast<int>(t.scrollThrottle));
  }
  OptionTitles(ctx, "Direct Mode", scrollTitle);
  const struct nk_rect directBounds = nk_widget_bounds(ctx);
  if (nk_button_label(ctx, t.directMode ? "Enabled (every report)" : "Disabled (one per 8 ms)")) {
    t.directMode = t.directMode ? 0 : 1;
    SaveSettings();
  }
  if (nk_input_is_mouse_hovering_rect(&ctx->input, directBounds)) {
    MultiLineTooltip(ctx,
                     "Uses every mouse report and moves the wheel at once.\n"
                     "Lowest latency; steering speed then follows your mouse's report rate.");
  }
  // Cruise throttle: each wheel notch away raises it, toward you lowers it.
  int scroll = t.scrollThrottle;
  nk_slider_int(ctx, 0, &scroll, SCROLL_THROTTLE_MAX, 1);
  if (scroll != t.scrollThrottle) {
    t.scrollThrottle = scroll;
    RequestSettingsSave();
  }

  BuildOutputRows(ctx);
  BuildGameForceRows(ctx);

  nk_layout_row_dynamic(ctx, 14, 1);
  nk_label(ctx, "Hotkeys", NK_TEXT_LEFT);
  // Caption and field inside the group's own padding, drawn whole.
  const nk_style_window& window = ctx->style.window;
  nk_layout_row_dynamic(ctx, 16 + window.spacing.y + 36 + 2 * window.group_padding.y, 2);
  HotkeyGroup(ctx, "lock_hotkey", "Toggle Mouse Lock:", t.hotkeyLock, appliedHotkeyLock,
              hotkeyLockState);
  HotkeyGroup(ctx, "center_hotkey", "Reset Steering:", t.hotkeyRecenter, appliedHotkeyRecenter,
              hotkeyRecenterState);

  nk_layout_row_dynamic(ctx, 12, 1);
  nk_label(ctx, "Format: F4, ^A (Ctrl+A), !B (Alt+B)", NK_TEXT_LEFT);
}

void BuildMainPanel(nk_context* ctx, int width, int height) {
  if (!ctx) return;

  // The pad's switch ends at a tick, whichever tab is shown by then.
  if (outputLink.switchEnded) {
    outputLink.switchEnded = 0;
    SaveSettings();
  }
  char line[PANEL_LINE_SIZE];
  // Shorter than the panel (a window cut to a small screen's work area): it scrolls.
  if (nk_begin(ctx, "Tarvix",
               nk_rect(0, 0, static_cast<float>(width), static_cast<float>(height)),
               height < PANEL_HEIGHT ? 0 : NK_WINDOW_NO_SCROLLBAR)) {
    // Tall enough again (another monitor): nothing may stay scrolled out of sight.
    if (height >= PANEL_HEIGHT) nk_window_set_scroll(ctx, 0, 0);
    BuildTabBar(ctx);
    Spacer(ctx, 12);
    switch (steeringState.currentTab) {
      case 0: BuildControlsTab(ctx, line); break;
      case 1: BuildProfilesTab(ctx, line); break;
      case 2: BuildSettingsTab(ctx); break;
      default: break;
    }
  }
  nk_end(ctx);
}
