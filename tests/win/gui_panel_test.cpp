// The main panel and the main window, driven in-process: a real hidden
// "TXMainWnd" window, the real GDI binding and theme, real storage in a private
// data folder. Mouse and keys go in as window messages through MainWindowProc;
// what the panel drew is read back from Nuklear's command list.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/nk_gdi.h"
#include "app/shell.h"
#include "engine/steering.h"
#include "engine/tuning.h"
#include "input/hotkeys.h"
#include "storage/launch_at_startup.h"
#include "storage/profile_store.h"
#include "storage/settings_file.h"
#include "tests/support/gui_test_win32.h"
#include "tests/support/storage_files.h"
#include "ui/main_panel.h"
#include "ui/nk.h"
#include "ui/theme.h"
#include "vjoy/vjoy_link.h"

namespace {

// ---- One frame, and input into it ----

DrawnFrame lastFrame;

// One pass as the main loop runs it: input, panel, render.
void RunFrame(const std::function<void()>& input = nullptr) {
  nk_input_begin(guiContext);
  if (input) input();
  nk_input_end(guiContext);
  BuildMainPanel(guiContext, MAIN_CLIENT_WIDTH, MAIN_CLIENT_HEIGHT);
  lastFrame = CaptureFrame(guiContext);
  nk_gdi_render(backgroundColor);
}

LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) {
  return SendMessageA(mainWindow, message, wParam, lParam);
}

LPARAM Point(float x, float y) { return MAKELPARAM(static_cast<int>(x), static_cast<int>(y)); }

// A spot inside the window's padding where no widget lies.
constexpr float NEUTRAL_X = 3;
constexpr float NEUTRAL_Y = 3;

// Press in one pass, release in the next and move away, so that the second
// frame shows the result without hover colours.
void Click(float x, float y) {
  RunFrame([&] {
    Send(WM_MOUSEMOVE, 0, Point(x, y));
    Send(WM_LBUTTONDOWN, MK_LBUTTON, Point(x, y));
  });
  RunFrame([&] {
    Send(WM_LBUTTONUP, 0, Point(x, y));
    Send(WM_MOUSEMOVE, 0, Point(NEUTRAL_X, NEUTRAL_Y));
  });
}

bool Shows(const std::string& text) { return lastFrame.Shows(text); }

const DrawnText* FindTextStarting(const std::string& prefix) {
  for (const DrawnText& t : lastFrame.texts)
    if (t.text.compare(0, prefix.size(), prefix) == 0) return &t;
  return nullptr;
}

void ClickText(const std::string& text) {
  const DrawnText* t = lastFrame.Find(text);
  ASSERT_NE(t, nullptr) << "no \"" << text << "\" on screen";
  const float x = t->CenterX(), y = t->CenterY();
  Click(x, y);
}

std::string Rgb(nk_color c) {
  return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}
std::string Rgb(int r, int g, int b) { return Rgb(nk_rgb(r, g, b)); }

// The background a widget was drawn on, as "(r,g,b)": the smallest filled
// rectangle under the middle of its text.
std::string BackgroundOf(const std::string& text) {
  const DrawnText* t = lastFrame.Find(text);
  if (!t) return "no \"" + text + "\" on screen";
  const DrawnRect* best = nullptr;
  for (const DrawnRect& r : lastFrame.fills) {
    if (r.Contains(t->CenterX(), t->CenterY()) && (!best || r.w * r.h < best->w * best->h)) best = &r;
  }
  return best ? Rgb(best->colour) : "nothing under \"" + text + "\"";
}

std::string TextColourOf(const std::string& text) {
  const DrawnText* t = lastFrame.Find(text);
  return t ? Rgb(t->colour) : "no \"" + text + "\" on screen";
}

float CaptionX(const std::string& caption) {
  const DrawnText* t = lastFrame.Find(caption);
  EXPECT_NE(t, nullptr) << caption;
  return t ? t->x : -100;
}

// A field's middle: the caption's row, one spacing, then half the field's row.
float FieldCenterBelow(const std::string& caption, float captionRowHeight, float fieldRowHeight) {
  const DrawnText* t = lastFrame.Find(caption);
  EXPECT_NE(t, nullptr) << caption;
  if (!t) return -100;
  return t->CenterY() + captionRowHeight / 2 + guiContext->style.window.spacing.y + fieldRowHeight / 2;
}

void TypeText(const char* text) {
  RunFrame([&] {
    for (const char* c = text; *c; ++c) Send(WM_CHAR, static_cast<WPARAM>(*c), 1);
  });
}

// ---- Files ----

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ProfilePath(const std::string& name) { return std::string(profileFolderPath) + "\\" + name + ".txt"; }

void WriteProfileFile(const std::string& name, float sensitivity) {
  char bytes[256];
  std::snprintf(bytes, sizeof bytes,
                "sensitivity=%.1f\r\nresponseCurve=1.50\r\nsmoothing=2\r\nautoCenterForce=5.0\r\n"
                "steeringLimit=100.0\r\ncurveOnSteering=1\r\n",
                static_cast<double>(sensitivity));
  ASSERT_TRUE(WriteFileBytes(ProfilePath(name), bytes)) << name;
}

void ClearProfileFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(profileFolderPath, ignored);
  CreateDirectoryA(profileFolderPath, nullptr);
}

std::string Saved() { return ReadFileBytes(settingsFilePath); }

int ListedIndex(const std::string& name) {
  for (int i = 0; i < profileCount; ++i)
    if (name == profileNames[i]) return i;
  return -1;
}

void SetText(char* field, size_t size, const std::string& text) { std::snprintf(field, size, "%s", text.c_str()); }
void SetNameField(const std::string& text) { SetText(profileNameInput, sizeof profileNameInput, text); }
void SetActiveProfile(const std::string& text) { SetText(tuningSettings.profile, sizeof tuningSettings.profile, text); }

// ---- The window, the GUI and the data folder, made once for the program ----

void MakeShellOnce() {
  if (mainWindow) return;
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string dataFolder = std::string(temp) + "tarvix-gui-panel-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(dataFolder.c_str(), nullptr);
  SetDataFolder(dataFolder.c_str());
  CreateDirectoryA(profileFolderPath, nullptr);
  mainWindow = CreateMainWindow(GetModuleHandleA(nullptr));
  ASSERT_NE(mainWindow, nullptr);
  ASSERT_NE(CreateGui(mainWindow), nullptr);
  hotkeyWindow = mainWindow;
}

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeShellOnce();
    ASSERT_NE(guiContext, nullptr);
    ResetToDefaults();
    ApplyTheme(guiContext, mainWindow, 0);
    ClearProfileFolder();
    ScanProfiles();
    selectedProfile = 0;
    profileNameInput[0] = '\0';
    appliedHotkeyLock[0] = '\0';
    appliedHotkeyRecenter[0] = '\0';
    // Leaves any field that a previous test had active, and settles the pointer.
    Click(NEUTRAL_X, NEUTRAL_Y);
    RunFrame();
  }

  void ShowTab(int tab) {
    steeringState.currentTab = tab;
    RunFrame();
  }
};

// ---- Tabs ----

TEST_F(GuiTest, OpensOnControlsAndSwitchesTabsInTheFrameOfTheClick) {
  EXPECT_TRUE(Shows("Controls"));
  EXPECT_TRUE(Shows("Real-Time Status"));

  const DrawnText* profiles = lastFrame.Find("Profiles");
  ASSERT_NE(profiles, nullptr);
  const float x = profiles->CenterX(), y = profiles->CenterY();
  RunFrame([&] {
    Send(WM_MOUSEMOVE, 0, Point(x, y));
    Send(WM_LBUTTONDOWN, MK_LBUTTON, Point(x, y));
  });
  EXPECT_EQ(steeringState.currentTab, 1);
  EXPECT_TRUE(Shows("Available Profiles")) << "the body follows the click in the same frame";
  EXPECT_FALSE(Shows("Real-Time Status"));
  RunFrame([&] { Send(WM_LBUTTONUP, 0, Point(x, y)); });

  ClickText("Settings");
  EXPECT_EQ(steeringState.currentTab, 2);
  EXPECT_TRUE(Shows("Steering Options"));
  ClickText("Controls");
  EXPECT_EQ(steeringState.currentTab, 0);
  EXPECT_TRUE(Shows("Steering Sensitivity: 45.0"));

  ShowTab(7);
  EXPECT_TRUE(Shows("Controls")) << "the tab bar stays";
  EXPECT_FALSE(Shows("Real-Time Status") || Shows("Available Profiles") || Shows("Steering Options"));
}

TEST_F(GuiTest, TabColoursFollowTheThemeAndLeaveOtherButtonsAlone) {
  struct Case {
    int dark;
    std::string other, otherText, otherHover;
  };
  const Case cases[] = {{0, Rgb(244, 244, 245), Rgb(9, 9, 11), Rgb(228, 228, 231)},
                        {1, Rgb(39, 39, 42), Rgb(250, 250, 250), Rgb(63, 63, 70)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dark ? "dark" : "light");
    ApplyTheme(guiContext, mainWindow, c.dark);
    ShowTab(2);
    EXPECT_EQ(BackgroundOf("Settings"), Rgb(37, 99, 235));
    EXPECT_EQ(TextColourOf("Settings"), Rgb(255, 255, 255));
    for (const char* other : {"Controls", "Profiles"}) {
      EXPECT_EQ(BackgroundOf(other), c.other) << other;
      EXPECT_EQ(TextColourOf(other), c.otherText) << other;
    }
    // The tab bar's style was put back: the next button has the theme's look.
    EXPECT_EQ(BackgroundOf("Curve on Steering: Enabled"), Rgb(guiContext->style.button.normal.data.color));
    EXPECT_EQ(TextColourOf("Curve on Steering: Enabled"), Rgb(guiContext->style.button.text_normal));

    // Hover: the current tab darker blue, the others the table's hover.
    for (const auto& hover : {std::make_pair("Settings", Rgb(29, 78, 216)), std::make_pair("Controls", c.otherHover)}) {
      const DrawnText* t = lastFrame.Find(hover.first);
      ASSERT_NE(t, nullptr);
      const float x = t->CenterX(), y = t->CenterY();
      RunFrame([&] { Send(WM_MOUSEMOVE, 0, Point(x, y)); });
      RunFrame();
      EXPECT_EQ(BackgroundOf(hover.first), hover.second) << hover.first;
    }
    RunFrame([&] { Send(WM_MOUSEMOVE, 0, Point(NEUTRAL_X, NEUTRAL_Y)); });
  }
}

// ---- The main loop's drain ----

// A quick click or key stroke can queue its press and release together; the
// drain must hand them to the GUI in separate passes.
TEST_F(GuiTest, PressAndReleaseQueuedTogetherStillAct) {
  const DrawnText* settings = lastFrame.Find("Settings");
  ASSERT_NE(settings, nullptr);
  const LPARAM at = Point(settings->CenterX(), settings->CenterY());
  PostMessageA(mainWindow, WM_MOUSEMOVE, 0, at);
  PostMessageA(mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(mainWindow, WM_LBUTTONUP, 0, at);
  for (int pass = 0; pass < 3; ++pass) RunFrame([] { EXPECT_EQ(DrainMessageQueue(), 1); });
  EXPECT_EQ(steeringState.currentTab, 2);

  SetText(tuningSettings.hotkeyLock, sizeof tuningSettings.hotkeyLock, "F7X");
  Click(CaptionX("Toggle Mouse Lock:") + 150, FieldCenterBelow("Toggle Mouse Lock:", 16, 36));
  PostMessageA(mainWindow, WM_KEYDOWN, VK_BACK, 1);
  PostMessageA(mainWindow, WM_KEYUP, VK_BACK, static_cast<LPARAM>(0xC0000001u));
  for (int pass = 0; pass < 3; ++pass) RunFrame([] { DrainMessageQueue(); });
  EXPECT_STREQ(tuningSettings.hotkeyLock, "F7");
  Click(NEUTRAL_X, NEUTRAL_Y);
  UnregisterHotKey(mainWindow, HOTKEY_ID_LOCK);
  UnregisterHotKey(mainWindow, HOTKEY_ID_RECENTER);
}

TEST_F(GuiTest, DrainStopsAtTheQuitMessageAfterWhatCameBefore) {
  steeringState.steering = 100.0f;
  PostMessageA(mainWindow, WM_HOTKEY, HOTKEY_ID_RECENTER, 0);
  PostQuitMessage(0);
  EXPECT_EQ(DrainMessageQueue(), 0);
  EXPECT_EQ(steeringState.steering, 16384.0f);
  MSG message;
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(DrainMessageQueue(), 1);
}

// ---- Controls tab ----

// The wheel bar: the filled part's share of the bar between the title and the
// status line.
float SteeringBarShare() {
  const DrawnText* title = lastFrame.Find("Real-Time Status");
  const DrawnText* status = FindTextStarting("Steering: ");
  if (!title || !status) return -1;
  const DrawnRect* bar = nullptr;
  const DrawnRect* fill = nullptr;
  for (const DrawnRect& r : lastFrame.fills) {
    if (r.y < title->y + title->h || r.y + r.h > status->y) continue;
    if (!bar || r.w > bar->w) {
      fill = bar;
      bar = &r;
    } else if (!fill || r.w > fill->w) {
      fill = &r;
    }
  }
  if (!bar) return -1;
  return fill ? fill->w / bar->w : 0.0f;
}

TEST_F(GuiTest, StatusShowsTheLiveValues) {
  struct Case {
    float steering, throttle, brake;
    int acquired, locked, accelBrake;
    const char* line1;
    const char* line2;
    float minShare, maxShare;  // of the wheel bar
  };
  const Case cases[] = {
      {16384.0f, 0.0f, 0.0f, 0, 0, 1, "Steering: 0% | Throttle: 0% | Brake: 0% | vJoy: Disconnected",
       "Mouse Lock: Inactive | Right-Click Mode: Enabled", 0.45f, 0.5f},
      {0.0f, 32767.0f, 0.0f, 1, 1, 0, "Steering: -100% | Throttle: 100% | Brake: 0% | vJoy: Connected",
       "Mouse Lock: Active | Right-Click Mode: Disabled", 0.0f, 0.0f},
      {32767.0f, 0.0f, 16383.5f, 0, 0, 2, "Steering: 100% | Throttle: 0% | Brake: 50% | vJoy: Disconnected",
       "Mouse Lock: Inactive | Right-Click Mode: Enabled", 0.9f, 1.0f},
      // Out of range the bar still neither underflows nor overflows.
      {-5000.0f, 0.0f, 0.0f, 0, 0, 1, nullptr, nullptr, 0.0f, 0.0f},
      {50000.0f, 0.0f, 0.0f, 0, 0, 1, nullptr, nullptr, 0.9f, 1.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.steering);
    steeringState.steering = c.steering;
    steeringState.throttle = c.throttle;
    steeringState.brake = c.brake;
    virtualJoystickLink.vjoyAcquired = c.acquired;
    steeringState.mouseLocked = c.locked;
    tuningSettings.accelBrakeMode = c.accelBrake;
    RunFrame();
    if (c.line1) {
      EXPECT_TRUE(Shows(c.line1)) << c.line1;
      EXPECT_TRUE(Shows(c.line2)) << c.line2;
    }
    const float share = SteeringBarShare();
    EXPECT_GE(share, c.minShare);
    EXPECT_LE(share, c.maxShare);
  }
  virtualJoystickLink.vjoyAcquired = 0;
  steeringState.mouseLocked = 0;
}

TEST_F(GuiTest, InputFilterChangeClearsTheRingAndSavesTheNewWindow) {
  // The slider fills the next row less its own padding; its knob's middle sits
  // at value / 20 of that width.
  const struct nk_style& style = guiContext->style;
  const float rowWidth = MAIN_CLIENT_WIDTH - 2 * style.window.padding.x - 2 * style.slider.padding.x;
  const float left = style.window.padding.x + style.slider.padding.x;
  const float y = FieldCenterBelow("Input Filter: 2.0", 20, 32);
  const float knobX = left + rowWidth / 20 * 2, targetX = left + rowWidth / 20 * 3.5f;

  steeringState.ringCount = 2;
  steeringState.smoothingRing[0] = 7;
  DeleteFileA(settingsFilePath);
  RunFrame([&] {
    Send(WM_MOUSEMOVE, 0, Point(knobX, y));
    Send(WM_LBUTTONDOWN, MK_LBUTTON, Point(knobX, y));
  });
  EXPECT_EQ(tuningSettings.smoothing, 2);
  RunFrame([&] { Send(WM_MOUSEMOVE, MK_LBUTTON, Point(targetX, y)); });
  RunFrame([&] {
    Send(WM_LBUTTONUP, 0, Point(targetX, y));
    Send(WM_MOUSEMOVE, 0, Point(NEUTRAL_X, NEUTRAL_Y));
  });
  RunFrame();

  EXPECT_EQ(tuningSettings.smoothing, 3);
  EXPECT_EQ(steeringState.ringCount, 0);
  EXPECT_EQ(steeringState.profileModified, 1);
  EXPECT_NE(Saved().find("smoothing=3\r\n"), std::string::npos);
  EXPECT_TRUE(Shows("Input Filter: 3.0"));
}

// ---- Profiles tab ----

TEST_F(GuiTest, FirstRowStartsSelectedAndTogglesWithClicks) {
  WriteProfileFile("Alpha", 10.0f);
  WriteProfileFile("Beta", 20.0f);
  ScanProfiles();
  ASSERT_EQ(profileCount, 2);
  const std::string first = profileNames[0], second = profileNames[1];
  SetActiveProfile(second);
  ShowTab(1);

  EXPECT_EQ(BackgroundOf(first), Rgb(37, 99, 235)) << "selected, though the field is empty";
  EXPECT_EQ(TextColourOf(first), Rgb(255, 255, 255));
  EXPECT_EQ(BackgroundOf(second), Rgb(22, 163, 74)) << "the active profile";
  EXPECT_EQ(TextColourOf(second), Rgb(255, 255, 255));

  ClickText(first);
  EXPECT_EQ(selectedProfile, -1);
  EXPECT_STREQ(profileNameInput, "");
  EXPECT_EQ(BackgroundOf(first), Rgb(guiContext->style.button.normal.data.color));
  ClickText(first);
  EXPECT_EQ(selectedProfile, 0);
  EXPECT_STREQ(profileNameInput, first.c_str());

  // The active row is selected like any other and stays green.
  ClickText(second);
  EXPECT_EQ(selectedProfile, 1);
  EXPECT_STREQ(profileNameInput, second.c_str());
  EXPECT_EQ(BackgroundOf(second), Rgb(22, 163, 74));
  ClickText(second);
  EXPECT_EQ(selectedProfile, -1);
  EXPECT_STREQ(profileNameInput, "") << "deselecting empties the field";

  ApplyTheme(guiContext, mainWindow, 1);
  RunFrame();
  EXPECT_EQ(BackgroundOf(second), Rgb(34, 197, 94));
  selectedProfile = 0;
  RunFrame();
  EXPECT_EQ(BackgroundOf(first), Rgb(59, 130, 246));
}

// Availability is read from the colours the three buttons are drawn in.
struct Availability {
  bool load, save, remove;
};

Availability ReadAvailability() {
  const std::string unavailable = darkTheme ? Rgb(24, 24, 27) : Rgb(228, 228, 231);
  auto available = [&](const char* label) { return Shows(label) && BackgroundOf(label) != unavailable; };
  return {available("Load"), available(Shows("Update") ? "Update" : "Save"), available("Delete")};
}

TEST_F(GuiTest, ButtonAvailabilityFollowsTheNameField) {
  for (int i = 0; i < 12; ++i) WriteProfileFile("P" + std::to_string(100 + i), 30.0f + i);
  WriteProfileFile("Default", 45.0f);
  ScanProfiles();
  ASSERT_EQ(profileCount, 13);
  const std::string eleventh = profileNames[10], listedLast = profileNames[12];

  struct Case {
    std::string name;
    Availability expected;
  };
  const Case cases[] = {
      {"", {false, false, false}},
      {"Nowhere", {false, true, false}},
      {eleventh, {true, true, true}},
      {listedLast, {true, true, true}},
      {"Default", {true, false, false}},
      // The file system does not tell these from Default.
      {"default", {false, false, false}},
      {"DEFAULT", {false, false, false}},
  };
  for (int dark = 0; dark <= 1; ++dark) {
    ApplyTheme(guiContext, mainWindow, dark);
    for (const Case& c : cases) {
      SCOPED_TRACE("\"" + c.name + "\"" + (dark ? " dark" : " light"));
      SetNameField(c.name);
      ShowTab(1);
      const Availability seen = ReadAvailability();
      EXPECT_EQ(seen.load, c.expected.load);
      EXPECT_EQ(seen.save, c.expected.save);
      EXPECT_EQ(seen.remove, c.expected.remove);
      if (!c.expected.load) {
        EXPECT_EQ(TextColourOf("Load"), dark ? Rgb(113, 113, 122) : Rgb(161, 161, 170));
      }
    }
  }

  // Only ten rows are listed, though the list holds thirteen.
  int rows = 0;
  for (int i = 0; i < profileCount; ++i) rows += Shows(profileNames[i]);
  EXPECT_EQ(rows, 10);
  EXPECT_FALSE(Shows(eleventh));
}

TEST_F(GuiTest, UnavailableButtonsDoNothing) {
  WriteProfileFile("Default", 45.0f);
  ScanProfiles();
  const std::string before = ReadFileBytes(ProfilePath("Default"));
  tuningSettings.sensitivity = 99.0f;
  for (const char* name : {"Default", "default"}) {
    SCOPED_TRACE(name);
    SetNameField(name);
    ShowTab(1);
    ClickText("Save");
    ClickText("Delete");
    EXPECT_EQ(ReadFileBytes(ProfilePath("Default")), before);
    EXPECT_STREQ(profileNameInput, name);
    EXPECT_EQ(profileCount, 1);
  }
  // Not listed: Load does nothing.
  SetNameField("Ghost");
  ShowTab(1);
  ClickText("Load");
  EXPECT_STREQ(tuningSettings.profile, "Default");
  EXPECT_EQ(tuningSettings.sensitivity, 99.0f);
}

TEST_F(GuiTest, SaveLoadUpdateAndDeleteAct) {
  WriteProfileFile("Default", 45.0f);
  WriteProfileFile("Alpha", 12.0f);
  ScanProfiles();

  // Save under a new name: written, listed, selected, active.
  tuningSettings.sensitivity = 77.0f;
  steeringState.profileModified = 1;
  SetNameField("Gamma");
  ShowTab(1);
  ClickText("Save");
  EXPECT_NE(ReadFileBytes(ProfilePath("Gamma")).find("sensitivity=77.0"), std::string::npos);
  ASSERT_GE(ListedIndex("Gamma"), 0);
  EXPECT_EQ(selectedProfile, ListedIndex("Gamma"));
  EXPECT_STREQ(tuningSettings.profile, "Gamma");
  EXPECT_EQ(steeringState.profileModified, 0);
  EXPECT_EQ(BackgroundOf("Gamma"), Rgb(22, 163, 74));

  // A change to the active profile turns the button into Update, and back.
  steeringState.profileModified = 1;
  RunFrame();
  EXPECT_TRUE(Shows("Update"));
  EXPECT_FALSE(Shows("Save"));
  tuningSettings.sensitivity = 66.0f;
  ClickText("Update");
  EXPECT_TRUE(Shows("Save"));
  EXPECT_NE(ReadFileBytes(ProfilePath("Gamma")).find("sensitivity=66.0"), std::string::npos);

  // Another name while modified: Save, not Update.
  steeringState.profileModified = 1;
  SetNameField("Alpha");
  RunFrame();
  EXPECT_TRUE(Shows("Save"));

  // Load: values from the file, active, selected, settings saved.
  DeleteFileA(settingsFilePath);
  ClickText("Load");
  EXPECT_FLOAT_EQ(tuningSettings.sensitivity, 12.0f);
  EXPECT_STREQ(tuningSettings.profile, "Alpha");
  EXPECT_EQ(selectedProfile, ListedIndex("Alpha"));
  EXPECT_NE(Saved().find("profile=Alpha"), std::string::npos);

  // Delete: file gone, field and selection cleared, list rescanned.
  SetNameField("Gamma");
  RunFrame();
  ClickText("Delete");
  EXPECT_FALSE(FileExists(ProfilePath("Gamma")));
  EXPECT_EQ(ListedIndex("Gamma"), -1);
  EXPECT_STREQ(profileNameInput, "");
  EXPECT_EQ(selectedProfile, -1);
  EXPECT_FALSE(Shows("Gamma"));
}

TEST_F(GuiTest, NameFieldKeepsTheLongestNameAndTypingLeavesTheSelection) {
  const std::string longest(PROFILE_NAME_SIZE - 1, 'n');
  WriteProfileFile(longest, 33.0f);
  WriteProfileFile("Alpha", 10.0f);
  ScanProfiles();
  selectedProfile = -1;
  ShowTab(1);
  const DrawnText* row = FindTextStarting("nnnn");
  ASSERT_NE(row, nullptr);
  const float x = row->CenterX(), y = row->CenterY();
  Click(x, y);
  EXPECT_STREQ(profileNameInput, longest.c_str()) << "the field must keep all 127 characters";
  EXPECT_TRUE(ReadAvailability().load);
  ClickText("Load");
  EXPECT_FLOAT_EQ(tuningSettings.sensitivity, 33.0f);

  SetNameField("");
  RunFrame();
  Click(NEUTRAL_X + 40, FieldCenterBelow("Profile Name:", 20, 36));
  TypeText("Alpha");
  RunFrame();
  EXPECT_STREQ(profileNameInput, "Alpha");
  EXPECT_EQ(selectedProfile, ListedIndex(longest)) << "typing does not select the row it names";
  EXPECT_TRUE(ReadAvailability().load);
}

TEST_F(GuiTest, UnsavedChangesLineOrTipLine) {
  const char* tip = "Tip: Green = Active profile | Blue = Selected | Click again to deselect";
  const char* unsaved = "Unsaved changes! Click 'Update' to save modifications to 'Track Day'";
  SetActiveProfile("Track Day");
  struct Case {
    int modified;
    const char* field;
  } cases[] = {{0, ""}, {1, ""}, {0, "Other"}, {1, "Other"}, {1, "x"}};
  for (int dark = 0; dark <= 1; ++dark) {
    ApplyTheme(guiContext, mainWindow, dark);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.field) + (c.modified ? " modified" : "") + (dark ? " dark" : ""));
      steeringState.profileModified = c.modified;
      SetNameField(c.field);
      ShowTab(1);
      const bool expectUnsaved = c.modified && c.field[0];
      EXPECT_EQ(Shows(unsaved), expectUnsaved);
      EXPECT_EQ(Shows(tip), !expectUnsaved);
      if (expectUnsaved) {
        EXPECT_EQ(TextColourOf(unsaved), dark ? Rgb(251, 191, 36) : Rgb(245, 158, 11));
      }
    }
  }
}

// ---- Settings tab ----

TEST_F(GuiTest, OptionButtonsFlipTheirValueAndSave) {
  struct Option {
    int32_t* field;
    const char* enabled;
    const char* disabled;
    const char* savedKey;  // "": the settings file does not carry it, but is written
  };
  const Option options[] = {
      {&tuningSettings.curveOnSteering, "Curve on Steering: Enabled", "Curve on Steering: Disabled", ""},
      {&tuningSettings.startWithWindows, "Enabled (runs when Windows starts)", "Disabled (manual start required)",
       "startWithWindows="},
      {&tuningSettings.startMin, "Enabled (starts in tray)", "Disabled (shows window on start)", "startMin="},
      {&tuningSettings.accelBrakeMode, "Enabled (hold right-click to use)", "Disabled (always active)",
       "accelBrakeMode="},
  };
  for (const Option& o : options) {
    SCOPED_TRACE(o.enabled);
    *o.field = 5;  // any non-zero value reads as on
    ShowTab(2);
    for (int32_t flipped : {0, 1}) {
      DeleteFileA(settingsFilePath);
      ClickText(flipped ? o.disabled : o.enabled);
      EXPECT_EQ(*o.field, flipped);
      EXPECT_TRUE(Shows(flipped ? o.enabled : o.disabled));
      EXPECT_NE(Saved().find(std::string(o.savedKey) + std::to_string(flipped) + "\r\n"), std::string::npos);
    }
    EXPECT_EQ(steeringState.profileModified, 0) << "options are not profile changes";
  }
  // The launch option reaches the Run entry, and leaves it as found.
  EXPECT_EQ(IsLaunchAtStartupSet(), 1);
  ClickText("Enabled (runs when Windows starts)");
  EXPECT_EQ(IsLaunchAtStartupSet(), 0);

  struct Line {
    int dark, curve;
    const char* text;
    std::string colour;
  } lines[] = {{0, 1, "Curve affects BOTH Steering and Auto-Center", Rgb(82, 82, 91)},
               {0, 0, "Curve affects ONLY Auto-Center (Linear Steering)", Rgb(82, 82, 91)},
               {1, 1, "Curve affects BOTH Steering and Auto-Center", Rgb(161, 161, 170)}};
  for (const Line& l : lines) {
    ApplyTheme(guiContext, mainWindow, l.dark);
    tuningSettings.curveOnSteering = l.curve;
    ShowTab(2);
    EXPECT_EQ(TextColourOf(l.text), l.colour) << l.text;
  }
}

// The hotkey registered on the main window under an id, seen from outside:
// unregistering succeeds only when something was registered.
bool TakeHotkey(int id) { return UnregisterHotKey(mainWindow, id) != 0; }

TEST_F(GuiTest, HotkeyTextIsAppliedWhenTheFieldIsLeft) {
  ShowTab(2);
  const float x = CaptionX("Toggle Mouse Lock:") + 20;
  const float y = FieldCenterBelow("Toggle Mouse Lock:", 16, 36);
  tuningSettings.hotkeyLock[0] = '\0';
  RunFrame();
  TakeHotkey(HOTKEY_ID_LOCK);
  TakeHotkey(HOTKEY_ID_RECENTER);
  DeleteFileA(settingsFilePath);

  Click(x, y);
  TypeText("F7");
  RunFrame();
  EXPECT_STREQ(tuningSettings.hotkeyLock, "F7") << "edited in place";
  EXPECT_FALSE(FileExists(settingsFilePath)) << "nothing is applied while typing";

  Click(NEUTRAL_X, NEUTRAL_Y);
  EXPECT_STREQ(appliedHotkeyLock, "F7");
  EXPECT_NE(Saved().find("hotkeyLock=F7\r\n"), std::string::npos);
  // F7 now belongs to the main window's lock hotkey.
  const BOOL f7Free = RegisterHotKey(mainWindow, 4242, 0, VK_F7);
  if (f7Free) UnregisterHotKey(mainWindow, 4242);
  EXPECT_FALSE(f7Free);
  EXPECT_TRUE(TakeHotkey(HOTKEY_ID_LOCK));
  EXPECT_TRUE(TakeHotkey(HOTKEY_ID_RECENTER)) << "both hotkeys are registered again";

  // Typing and restoring the applied text before leaving does nothing.
  DeleteFileA(settingsFilePath);
  Click(x + 150, y);  // past the end of the text: the cursor goes to its end
  TypeText("X");
  EXPECT_STREQ(tuningSettings.hotkeyLock, "F7X");
  RunFrame([] { Send(WM_KEYDOWN, VK_BACK, 1); });
  RunFrame([] { Send(WM_KEYUP, VK_BACK, static_cast<LPARAM>(0xC0000001u)); });
  EXPECT_STREQ(tuningSettings.hotkeyLock, "F7");
  Click(NEUTRAL_X, NEUTRAL_Y);
  EXPECT_FALSE(FileExists(settingsFilePath));
  EXPECT_FALSE(TakeHotkey(HOTKEY_ID_LOCK));

  // The applied copies start empty: the first leave of an unchanged field
  // still applies, the second does nothing.
  const float recenterX = CaptionX("Reset Steering:") + 20;
  const float recenterY = FieldCenterBelow("Reset Steering:", 16, 36);
  for (int leave = 0; leave < 2; ++leave) {
    SCOPED_TRACE(leave);
    DeleteFileA(settingsFilePath);
    Click(recenterX, recenterY);
    Click(NEUTRAL_X, NEUTRAL_Y);
    EXPECT_STREQ(appliedHotkeyRecenter, "^R");
    EXPECT_EQ(Saved().find("hotkeyRecenter=^R\r\n") != std::string::npos, leave == 0);
    EXPECT_EQ(TakeHotkey(HOTKEY_ID_RECENTER), leave == 0);
  }
  TakeHotkey(HOTKEY_ID_LOCK);
}

TEST_F(GuiTest, EveryTabFitsTheWindow) {
  // Nine rows: the tenth would push the last line below the window.
  WriteProfileFile("Default", 45.0f);
  for (int i = 0; i < 8; ++i) WriteProfileFile("Profile " + std::to_string(i), 40.0f);
  ScanProfiles();
  steeringState.profileModified = 1;
  SetNameField("Default");
  const char* lastLines[] = {"Mouse Lock: Inactive | Right-Click Mode: Enabled",
                             "Unsaved changes! Click 'Update' to save modifications to 'Default'",
                             "Format: F4, ^A (Ctrl+A), !B (Alt+B)"};
  for (int tab = 0; tab < 3; ++tab) {
    ShowTab(tab);
    const DrawnText* last = lastFrame.Find(lastLines[tab]);
    ASSERT_NE(last, nullptr) << tab;
    EXPECT_LE(last->y + last->h, MAIN_CLIENT_HEIGHT) << tab;
  }
}

// ---- The main window ----

class MainWindowTest : public GuiTest {};

TEST_F(MainWindowTest, WindowHasTheExactClassTitleAndClientSize) {
  char text[64] = "";
  GetClassNameA(mainWindow, text, sizeof text);
  EXPECT_STREQ(text, "TXMainWnd");
  GetWindowTextA(mainWindow, text, sizeof text);
  EXPECT_STREQ(text, "Tarvix v0.5.6");
  RECT client;
  GetClientRect(mainWindow, &client);
  EXPECT_EQ(client.right - client.left, 520);
  EXPECT_EQ(client.bottom - client.top, 640);
  // Caption, system menu, minimise box; no maximise box, no sizing border.
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(mainWindow, GWL_STYLE)) & 0x00FF0000u, 0xCA0000u);
}

TEST_F(MainWindowTest, CloseHidesAndShowCommandsBringItBack) {
  Send(WM_COMMAND, TRAY_CMD_SHOW, 0);
  EXPECT_TRUE(IsWindowVisible(mainWindow));
  EXPECT_EQ(Send(WM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(IsWindow(mainWindow)) << "closing only hides";
  EXPECT_FALSE(IsWindowVisible(mainWindow));

  EXPECT_EQ(Send(TRAY_CALLBACK_MESSAGE, TRAY_ICON_ID, WM_LBUTTONDBLCLK), 0);
  EXPECT_TRUE(IsWindowVisible(mainWindow));
  Send(WM_CLOSE, 0, 0);

  // Other tray events and commands are ignored.
  EXPECT_EQ(Send(TRAY_CALLBACK_MESSAGE, TRAY_ICON_ID, WM_LBUTTONDOWN), 0);
  EXPECT_EQ(Send(WM_COMMAND, 2999, 0), 0);
  EXPECT_FALSE(IsWindowVisible(mainWindow));
}

TEST_F(MainWindowTest, HotkeyMessagesRecentreAndToggleTheLock) {
  steeringState.steering = 3000.0f;
  EXPECT_EQ(Send(WM_HOTKEY, 999, 0), 0);
  EXPECT_EQ(steeringState.steering, 3000.0f);
  EXPECT_EQ(Send(WM_HOTKEY, HOTKEY_ID_RECENTER, 0), 0);
  EXPECT_EQ(steeringState.steering, 16384.0f);

  Send(WM_HOTKEY, HOTKEY_ID_LOCK, 0);
  EXPECT_EQ(steeringState.mouseLocked, 1);
  EXPECT_EQ(Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(mainWindow), MAKELPARAM(HTCLIENT, 0)), 1);
  Send(WM_HOTKEY, HOTKEY_ID_LOCK, 0);
  EXPECT_EQ(steeringState.mouseLocked, 0);
}

TEST_F(MainWindowTest, ColourSetChangeRethemesOtherSettingChangesDoNot) {
  const char* personalize = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, personalize, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const DWORD dark = 0;
  RegSetValueExA(key, "AppsUseLightTheme", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dark), sizeof dark);
  RegCloseKey(key);
  ASSERT_EQ(QuerySystemDarkTheme(), 1);

  char other[] = "Policy", lowerCase[] = "immersivecolorset", colourSet[] = "ImmersiveColorSet";
  for (LPARAM text : {reinterpret_cast<LPARAM>(other), LPARAM(0), reinterpret_cast<LPARAM>(lowerCase)}) {
    EXPECT_EQ(Send(WM_SETTINGCHANGE, 0, text), 0);
    EXPECT_EQ(darkTheme, 0);
  }
  EXPECT_EQ(Send(WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(colourSet)), 0);
  EXPECT_EQ(darkTheme, 1);
  EXPECT_EQ(Rgb(backgroundColor), Rgb(9, 9, 11));
  RegDeleteKeyA(HKEY_CURRENT_USER, personalize);  // as a fresh prefix has it
}

// Reads and dismisses the box or menu that a modal loop shows, from a timer
// that the modal loop itself dispatches.
struct ModalProbe {
  const char* boxCaption;  // null: a popup menu is expected
  bool seen;
  std::string text;
  HWND owner;
};
ModalProbe modalProbe;

void CALLBACK ProbeModal(HWND, UINT, UINT_PTR timer, DWORD) {
  if (modalProbe.boxCaption) {
    HWND box = FindWindowA("#32770", modalProbe.boxCaption);
    if (!box) return;
    char text[1024] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    modalProbe.text = text;
    modalProbe.owner = GetWindow(box, GW_OWNER);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  } else {
    HWND menu = FindWindowA("#32768", nullptr);
    if (!menu || !IsWindowVisible(menu)) return;
    EndMenu();
  }
  modalProbe.seen = true;
  KillTimer(nullptr, timer);
}

TEST_F(MainWindowTest, AboutBoxShowsTheProgramsTextOwnedByTheWindow) {
  char expected[ABOUT_TEXT_SIZE];
  FormatAboutText(expected, sizeof expected);
  const std::string text = expected;
  EXPECT_EQ(text.rfind("Tarvix v0.5.6\n\n", 0), 0u);
  EXPECT_NE(text.find("\nWebsite: " TARVIX_WEBSITE "\nProfiles: Documents\\Tarvix"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 26), "Profiles: Documents\\Tarvix");

  modalProbe = ModalProbe{"About", false, "", nullptr};
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, ProbeModal);
  EXPECT_EQ(Send(WM_COMMAND, TRAY_CMD_ABOUT, 0), 0);
  KillTimer(nullptr, timer);
  ASSERT_TRUE(modalProbe.seen);
  EXPECT_EQ(modalProbe.owner, mainWindow);
  std::string shown;  // the box may show line ends as CR LF
  for (char c : modalProbe.text)
    if (c != '\r') shown += c;
  EXPECT_EQ(shown, text);

  // Cut to a smaller buffer, still terminated, nothing written past it.
  char buffer[32];
  std::memset(buffer, 'x', sizeof buffer);
  FormatAboutText(buffer, 16);
  EXPECT_EQ(std::string(buffer), "Tarvix v0.5.6\n\n");
  for (size_t i = 16; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 'x') << i;
}

std::vector<std::string> MenuEntries(HMENU menu) {
  std::vector<std::string> entries;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char text[64] = "";
    GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE;
    GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
    entries.push_back((info.fType & MFT_SEPARATOR) ? std::string("-")
                                                    : std::to_string(GetMenuItemID(menu, i)) + " " + text);
  }
  return entries;
}

TEST_F(MainWindowTest, TrayIconMenuAndExit) {
  const std::vector<std::string> expectedMenu = {"2001 Show Window", "2003 About", "-", "2002 Exit"};
  RebuildTrayMenu();
  EXPECT_EQ(trayMenu, nullptr) << "nothing to rebuild before the tray exists";

  AddTrayIcon(mainWindow);
  EXPECT_EQ(trayIconData.uID, 1u);
  EXPECT_EQ(trayIconData.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
  EXPECT_EQ(trayIconData.uCallbackMessage, 1025u);
  EXPECT_STREQ(trayIconData.szTip, "Tarvix v0.5.6");
  ASSERT_NE(trayMenu, nullptr);
  EXPECT_EQ(MenuEntries(trayMenu), expectedMenu);
  RebuildTrayMenu();
  ASSERT_NE(trayMenu, nullptr);
  EXPECT_EQ(MenuEntries(trayMenu), expectedMenu);

  // A right-button release opens the menu (closed again by the probe).
  modalProbe = ModalProbe{nullptr, false, "", nullptr};
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, ProbeModal);
  EXPECT_EQ(Send(TRAY_CALLBACK_MESSAGE, TRAY_ICON_ID, WM_RBUTTONUP), 0);
  KillTimer(nullptr, timer);
  EXPECT_TRUE(modalProbe.seen);
  MSG message;
  while (PeekMessageA(&message, mainWindow, 0, 0, PM_REMOVE)) {
    // drops what the menu left behind
  }

  // Exit: settings written, quit posted; the tray icon stays until shutdown.
  tuningSettings.sensitivity = 61.0f;
  DeleteFileA(settingsFilePath);
  EXPECT_EQ(Send(WM_COMMAND, TRAY_CMD_EXIT, 0), 0);
  EXPECT_NE(Saved().find("sensitivity=61.0\r\n"), std::string::npos);
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 0u);
  EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &trayIconData));
  RemoveTrayIcon();
  EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &trayIconData)) << "the icon is gone";
  trayMenu = nullptr;
  trayIcon = nullptr;
}

// A one-image 16 x 16 icon file, made here so the test needs no data file.
#pragma pack(push, 1)
struct TinyIcon {
  uint16_t reserved = 0, type = 1, count = 1;
  uint8_t width = 16, height = 16, colours = 0, zero = 0;
  uint16_t planes = 1, bits = 32;
  uint32_t imageSize = sizeof(BITMAPINFOHEADER) + sizeof pixels + sizeof mask, imageOffset = 22;
  BITMAPINFOHEADER header = {sizeof(BITMAPINFOHEADER), 16, 32, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  uint32_t pixels[16 * 16];
  uint8_t mask[16 * 4] = {};
};
#pragma pack(pop)

TEST_F(MainWindowTest, AppIconComesFromIconFileBesideTheProgram) {
  char path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof path), 0u);
  std::string iconPath = path;
  iconPath = iconPath.substr(0, iconPath.rfind('\\') + 1) + "icon.ico";

  // This test program carries no icon resource: no file, no icon, accepted.
  DeleteFileA(iconPath.c_str());
  EXPECT_EQ(LoadAppIcon(), nullptr);

  TinyIcon tiny;
  for (uint32_t& p : tiny.pixels) p = 0xFF2563EBu;
  ASSERT_TRUE(WriteFileBytes(iconPath, std::string(reinterpret_cast<const char*>(&tiny), sizeof tiny)));
  HICON icon = LoadAppIcon();
  DeleteFileA(iconPath.c_str());
  ASSERT_NE(icon, nullptr);
  ICONINFO info = {};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP bitmap = {};
  GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
  EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(SM_CXICON)) << "loaded at the default icon size";
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  DestroyIcon(icon);
}

}  // namespace
