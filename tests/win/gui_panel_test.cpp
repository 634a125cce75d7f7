// The main panel and the main window, driven in-process: a real hidden
// "TXMainWnd" window, the real GDI binding and theme, real storage in a private
// data folder. Mouse and keys go in as window messages through MainWindowProc;
// what the panel drew is read back from Nuklear's command list.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
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
#include "ui/main_panel.h"
#include "ui/nk.h"
#include "ui/theme.h"
#include "vjoy/vjoy_link.h"

namespace {

// ---- What one frame drew ----

struct DrawnText {
  std::string text;
  float x, y, w, h;
  nk_color colour;
  float CenterX() const { return x + w / 2; }
  float CenterY() const { return y + h / 2; }
};

struct DrawnRect {
  float x, y, w, h;
  nk_color colour;
  bool Contains(float px, float py) const {
    return px >= x && px < x + w && py >= y && py < y + h;
  }
};

struct DrawnFrame {
  std::vector<DrawnText> texts;
  std::vector<DrawnRect> fills;
};

DrawnFrame lastFrame;
std::string dataFolder;

void CaptureFrame() {
  lastFrame = DrawnFrame{};
  const struct nk_command* command;
  nk_foreach(command, guiContext) {
    if (command->type == NK_COMMAND_TEXT) {
      auto* t = reinterpret_cast<const struct nk_command_text*>(command);
      lastFrame.texts.push_back({std::string(t->string, static_cast<size_t>(t->length)),
                                 static_cast<float>(t->x), static_cast<float>(t->y),
                                 static_cast<float>(t->w), static_cast<float>(t->h),
                                 t->foreground});
    } else if (command->type == NK_COMMAND_RECT_FILLED) {
      auto* r = reinterpret_cast<const struct nk_command_rect_filled*>(command);
      lastFrame.fills.push_back({static_cast<float>(r->x), static_cast<float>(r->y),
                                 static_cast<float>(r->w), static_cast<float>(r->h), r->color});
    }
  }
}

// One pass as the main loop runs it: input, panel, render.
void RunFrame(const std::function<void()>& input = nullptr) {
  nk_input_begin(guiContext);
  if (input) input();
  nk_input_end(guiContext);
  BuildMainPanel();
  CaptureFrame();
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

const DrawnText* FindText(const std::string& text) {
  for (const DrawnText& t : lastFrame.texts) {
    if (t.text == text) return &t;
  }
  return nullptr;
}

const DrawnText* FindTextStarting(const std::string& prefix) {
  for (const DrawnText& t : lastFrame.texts) {
    if (t.text.compare(0, prefix.size(), prefix) == 0) return &t;
  }
  return nullptr;
}

bool Shows(const std::string& text) { return FindText(text) != nullptr; }

int CountTexts(const std::string& text) {
  int n = 0;
  for (const DrawnText& t : lastFrame.texts) n += t.text == text;
  return n;
}

void ClickText(const std::string& text) {
  const DrawnText* t = FindText(text);
  ASSERT_NE(t, nullptr) << "no \"" << text << "\" on screen";
  float x = t->CenterX();
  float y = t->CenterY();
  Click(x, y);
}

// The background a widget was drawn on: the smallest filled rectangle under the
// middle of its text.
nk_color BackgroundOf(const DrawnText& text) {
  const DrawnRect* best = nullptr;
  for (const DrawnRect& r : lastFrame.fills) {
    if (!r.Contains(text.CenterX(), text.CenterY())) continue;
    if (!best || r.w * r.h < best->w * best->h) best = &r;
  }
  return best ? best->colour : nk_color{0, 0, 0, 0};
}

nk_color BackgroundOf(const std::string& text) {
  const DrawnText* t = FindText(text);
  EXPECT_NE(t, nullptr) << "no \"" << text << "\" on screen";
  return t ? BackgroundOf(*t) : nk_color{0, 0, 0, 0};
}

nk_color TextColourOf(const std::string& text) {
  const DrawnText* t = FindText(text);
  EXPECT_NE(t, nullptr) << "no \"" << text << "\" on screen";
  return t ? t->colour : nk_color{0, 0, 0, 0};
}

std::string Rgb(nk_color c) {
  return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}
std::string Rgb(int r, int g, int b) {
  return "(" + std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b) + ")";
}

// A field's middle: the caption's row, one spacing, then half the field's row.
float FieldCenterBelow(const DrawnText& caption, float captionRowHeight, float fieldRowHeight) {
  return caption.CenterY() + captionRowHeight / 2 + guiContext->style.window.spacing.y +
         fieldRowHeight / 2;
}

void TypeText(const char* text) {
  RunFrame([&] {
    for (const char* c = text; *c; ++c) Send(WM_CHAR, static_cast<WPARAM>(*c), 1);
  });
}

void PressKey(WPARAM key) {
  RunFrame([&] { Send(WM_KEYDOWN, key, 1); });
  RunFrame([&] { Send(WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u)); });
}

// ---- Files ----

std::string ReadFile(const std::string& path) {
  std::string content;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return content;
  char buffer[512];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, n);
  std::fclose(file);
  return content;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ProfilePath(const std::string& name) {
  return std::string(profileFolderPath) + "\\" + name + ".txt";
}

void WriteProfileFile(const std::string& name, float sensitivity) {
  FILE* file = std::fopen(ProfilePath(name).c_str(), "w");
  ASSERT_NE(file, nullptr) << name;
  std::fprintf(file,
               "sensitivity=%.1f\nresponseCurve=1.50\nsmoothing=2\nautoCenterForce=5.0\n"
               "steeringLimit=100.0\ncurveOnSteering=1\n",
               static_cast<double>(sensitivity));
  std::fclose(file);
}

void ClearProfileFolder() {
  std::string pattern = std::string(profileFolderPath) + "\\*";
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA(pattern.c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      DeleteFileA((std::string(profileFolderPath) + "\\" + entry.cFileName).c_str());
    }
  } while (FindNextFileA(find, &entry));
  FindClose(find);
}

int ListedIndex(const char* name) {
  for (int i = 0; i < profileCount; ++i) {
    if (std::strcmp(profileNames[i], name) == 0) return i;
  }
  return -1;
}

// ---- The window, the GUI and the data folder, made once for the program ----

void MakeShellOnce() {
  if (mainWindow) return;
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  dataFolder = std::string(temp) + "tarvix-gui-panel-" + std::to_string(GetCurrentProcessId());
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
  RunFrame();
  EXPECT_TRUE(Shows("Controls"));
  EXPECT_TRUE(Shows("Profiles"));
  EXPECT_TRUE(Shows("Settings"));
  EXPECT_TRUE(Shows("Real-Time Status"));

  const DrawnText* profiles = FindText("Profiles");
  ASSERT_NE(profiles, nullptr);
  float x = profiles->CenterX();
  float y = profiles->CenterY();
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

  steeringState.currentTab = 7;
  RunFrame();
  EXPECT_TRUE(Shows("Controls")) << "the tab bar stays";
  EXPECT_FALSE(Shows("Real-Time Status"));
  EXPECT_FALSE(Shows("Available Profiles"));
  EXPECT_FALSE(Shows("Steering Options"));
}

TEST_F(GuiTest, TabColoursFollowTheThemeAndLeaveOtherButtonsAlone) {
  struct Case {
    int dark;
    int otherR, otherG, otherB;
    int otherTextR, otherTextG, otherTextB;
    int otherHoverR, otherHoverG, otherHoverB;
  };
  const Case cases[] = {{0, 244, 244, 245, 9, 9, 11, 228, 228, 231},
                        {1, 39, 39, 42, 250, 250, 250, 63, 63, 70}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dark ? "dark" : "light");
    ApplyTheme(guiContext, mainWindow, c.dark);
    nk_color themeButton = guiContext->style.button.normal.data.color;
    nk_color themeText = guiContext->style.button.text_normal;
    ShowTab(2);
    EXPECT_EQ(Rgb(BackgroundOf("Settings")), Rgb(37, 99, 235));
    EXPECT_EQ(Rgb(TextColourOf("Settings")), Rgb(255, 255, 255));
    for (const char* other : {"Controls", "Profiles"}) {
      EXPECT_EQ(Rgb(BackgroundOf(other)), Rgb(c.otherR, c.otherG, c.otherB)) << other;
      EXPECT_EQ(Rgb(TextColourOf(other)), Rgb(c.otherTextR, c.otherTextG, c.otherTextB)) << other;
    }
    // The tab bar's style was put back: the next button has the theme's look.
    EXPECT_EQ(Rgb(BackgroundOf("Curve on Steering: Enabled")), Rgb(themeButton));
    EXPECT_EQ(Rgb(TextColourOf("Curve on Steering: Enabled")), Rgb(themeText));

    // Hover looks: the current tab darker blue, the others the table's hover.
    struct Hover {
      const char* tab;
      std::string colour;
    };
    const Hover hovers[] = {{"Settings", Rgb(29, 78, 216)},
                            {"Controls", Rgb(c.otherHoverR, c.otherHoverG, c.otherHoverB)}};
    for (const Hover& h : hovers) {
      const DrawnText* t = FindText(h.tab);
      ASSERT_NE(t, nullptr);
      float x = t->CenterX();
      float y = t->CenterY();
      RunFrame([&] { Send(WM_MOUSEMOVE, 0, Point(x, y)); });
      RunFrame();
      EXPECT_EQ(Rgb(BackgroundOf(h.tab)), h.colour) << h.tab;
    }
    RunFrame([&] { Send(WM_MOUSEMOVE, 0, Point(NEUTRAL_X, NEUTRAL_Y)); });
  }
}

// ---- The main loop's drain ----

// A quick click or key stroke can queue its press and release together; the
// drain must hand them to the GUI in separate passes.
TEST_F(GuiTest, PressAndReleaseQueuedTogetherStillAct) {
  RunFrame();
  const DrawnText* settings = FindText("Settings");
  ASSERT_NE(settings, nullptr);
  LPARAM at = Point(settings->CenterX(), settings->CenterY());
  PostMessageA(mainWindow, WM_MOUSEMOVE, 0, at);
  PostMessageA(mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(mainWindow, WM_LBUTTONUP, 0, at);
  for (int pass = 0; pass < 3; ++pass) RunFrame([] { EXPECT_EQ(DrainMessageQueue(), 1); });
  EXPECT_EQ(steeringState.currentTab, 2);

  const DrawnText* caption = FindText("Toggle Mouse Lock:");
  ASSERT_NE(caption, nullptr);
  float x = caption->x + 150;
  float y = FieldCenterBelow(*caption, 16, 36);
  std::snprintf(tuningSettings.hotkeyLock, sizeof tuningSettings.hotkeyLock, "%s", "F7X");
  Click(x, y);
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

// ---- Controls tab: the live status ----

TEST_F(GuiTest, StatusLinesShowTheLiveValues) {
  struct Case {
    float steering, throttle, brake;
    int acquired, locked, accelBrake;
    const char* line1;
    const char* line2;
  };
  const Case cases[] = {
      {16384.0f, 0.0f, 0.0f, 0, 0, 1,
       "Steering: 0% | Throttle: 0% | Brake: 0% | vJoy: Disconnected",
       "Mouse Lock: Inactive | Right-Click Mode: Enabled"},
      {0.0f, 32767.0f, 0.0f, 1, 1, 0,
       "Steering: -100% | Throttle: 100% | Brake: 0% | vJoy: Connected",
       "Mouse Lock: Active | Right-Click Mode: Disabled"},
      {32767.0f, 0.0f, 16383.5f, 0, 0, 2,
       "Steering: 100% | Throttle: 0% | Brake: 50% | vJoy: Disconnected",
       "Mouse Lock: Inactive | Right-Click Mode: Enabled"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line1);
    steeringState.steering = c.steering;
    steeringState.throttle = c.throttle;
    steeringState.brake = c.brake;
    virtualJoystickLink.vjoyAcquired = c.acquired;
    steeringState.mouseLocked = c.locked;
    tuningSettings.accelBrakeMode = c.accelBrake;
    RunFrame();
    EXPECT_TRUE(Shows(c.line1));
    EXPECT_TRUE(Shows(c.line2));
  }
  virtualJoystickLink.vjoyAcquired = 0;
  steeringState.mouseLocked = 0;
}

// The wheel bar: the filled part's share of the bar for a wheel position.
float SteeringBarShare() {
  const DrawnText* title = FindText("Real-Time Status");
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

TEST_F(GuiTest, SteeringBarIsEmptyAtFullLeftHalfAtCentreAndNeverOverflows) {
  struct Case {
    float steering;
    float minShare, maxShare;
  };
  const Case cases[] = {
      {0.0f, 0.0f, 0.0f},        {16384.0f, 0.45f, 0.5f},  {32767.0f, 0.9f, 1.0f},
      {-5000.0f, 0.0f, 0.0f},    {50000.0f, 0.9f, 1.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.steering);
    steeringState.steering = c.steering;
    RunFrame();
    float share = SteeringBarShare();
    EXPECT_GE(share, c.minShare);
    EXPECT_LE(share, c.maxShare);
  }
}

// ---- Controls tab: the Input Filter slider ----

TEST_F(GuiTest, InputFilterChangeClearsTheRingAndSavesTheNewWindow) {
  RunFrame();
  const DrawnText* readout = FindText("Input Filter: 2.0");
  ASSERT_NE(readout, nullptr);
  // The slider fills the next row less its own padding; its knob's middle sits
  // at value / 20 of that width.
  const struct nk_style& style = guiContext->style;
  float rowWidth = MAIN_CLIENT_WIDTH - 2 * style.window.padding.x - 2 * style.slider.padding.x;
  float left = style.window.padding.x + style.slider.padding.x;
  float step = rowWidth / 20.0f;
  float y = FieldCenterBelow(*readout, 20, 32);
  float knobX = left + step * 2;
  float targetX = left + step * 3.5f;

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
  EXPECT_NE(ReadFile(settingsFilePath).find("smoothing=3\r\n"), std::string::npos);
  EXPECT_TRUE(Shows("Input Filter: 3.0"));
}

// ---- Profiles tab ----

TEST_F(GuiTest, FirstRowStartsSelectedAndTogglesWithClicks) {
  WriteProfileFile("Alpha", 10.0f);
  WriteProfileFile("Beta", 20.0f);
  ScanProfiles();
  ASSERT_EQ(profileCount, 2);
  std::string first = profileNames[0];
  std::string second = profileNames[1];
  std::snprintf(tuningSettings.profile, sizeof tuningSettings.profile, "%s", second.c_str());
  ShowTab(1);

  EXPECT_EQ(Rgb(BackgroundOf(first)), Rgb(37, 99, 235)) << "selected, though the field is empty";
  EXPECT_EQ(Rgb(TextColourOf(first)), Rgb(255, 255, 255));
  EXPECT_EQ(Rgb(BackgroundOf(second)), Rgb(22, 163, 74)) << "the active profile";
  EXPECT_EQ(Rgb(TextColourOf(second)), Rgb(255, 255, 255));
  EXPECT_STREQ(profileNameInput, "");

  ClickText(first);
  EXPECT_EQ(selectedProfile, -1);
  EXPECT_STREQ(profileNameInput, "");
  EXPECT_EQ(Rgb(BackgroundOf(first)), Rgb(guiContext->style.button.normal.data.color));

  ClickText(first);
  EXPECT_EQ(selectedProfile, 0);
  EXPECT_STREQ(profileNameInput, first.c_str());

  // The active row is selected like any other and stays green.
  ClickText(second);
  EXPECT_EQ(selectedProfile, 1);
  EXPECT_STREQ(profileNameInput, second.c_str());
  EXPECT_EQ(Rgb(BackgroundOf(second)), Rgb(22, 163, 74));

  ApplyTheme(guiContext, mainWindow, 1);
  RunFrame();
  EXPECT_EQ(Rgb(BackgroundOf(second)), Rgb(34, 197, 94));
  selectedProfile = 0;
  RunFrame();
  EXPECT_EQ(Rgb(BackgroundOf(first)), Rgb(59, 130, 246));
}

// Availability is read from the colours the three buttons are drawn in.
struct Availability {
  bool load, save, remove;
};

Availability ReadAvailability() {
  auto available = [](const char* label) {
    const DrawnText* t = FindText(label);
    if (!t) return false;
    nk_color unavailable = darkTheme ? nk_color{24, 24, 27, 255} : nk_color{228, 228, 231, 255};
    return Rgb(BackgroundOf(*t)) != Rgb(unavailable);
  };
  const char* save = FindText("Update") ? "Update" : "Save";
  return {available("Load"), available(save), available("Delete")};
}

TEST_F(GuiTest, ButtonAvailabilityFollowsTheNameField) {
  for (int i = 0; i < 12; ++i) WriteProfileFile("P" + std::to_string(100 + i), 30.0f + i);
  WriteProfileFile("Default", 45.0f);
  ScanProfiles();
  ASSERT_EQ(profileCount, 13);
  std::string eleventh = profileNames[10];
  std::string listedLast = profileNames[12];

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
      std::snprintf(profileNameInput, sizeof profileNameInput, "%s", c.name.c_str());
      ShowTab(1);
      Availability seen = ReadAvailability();
      EXPECT_EQ(seen.load, c.expected.load);
      EXPECT_EQ(seen.save, c.expected.save);
      EXPECT_EQ(seen.remove, c.expected.remove);
      if (!c.expected.load) {
        EXPECT_EQ(Rgb(TextColourOf("Load")), dark ? Rgb(113, 113, 122) : Rgb(161, 161, 170));
      }
    }
  }

  // Only ten rows are listed, though the list holds thirteen.
  ShowTab(1);
  int rows = 0;
  for (int i = 0; i < profileCount; ++i) rows += CountTexts(profileNames[i]) > 0;
  EXPECT_EQ(rows, 10);
  EXPECT_FALSE(Shows(eleventh));
}

TEST_F(GuiTest, UnavailableButtonsDoNothing) {
  WriteProfileFile("Default", 45.0f);
  ScanProfiles();
  std::string before = ReadFile(ProfilePath("Default"));
  tuningSettings.sensitivity = 99.0f;

  for (const char* name : {"Default", "default"}) {
    SCOPED_TRACE(name);
    std::snprintf(profileNameInput, sizeof profileNameInput, "%s", name);
    ShowTab(1);
    ClickText("Save");
    ClickText("Delete");
    EXPECT_EQ(ReadFile(ProfilePath("Default")), before);
    EXPECT_STREQ(profileNameInput, name);
    EXPECT_EQ(profileCount, 1);
  }

  // Not listed: Load does nothing.
  std::snprintf(profileNameInput, sizeof profileNameInput, "%s", "Ghost");
  std::snprintf(tuningSettings.profile, sizeof tuningSettings.profile, "%s", "Default");
  ShowTab(1);
  ClickText("Load");
  EXPECT_STREQ(tuningSettings.profile, "Default");
  EXPECT_EQ(tuningSettings.sensitivity, 99.0f);
}

TEST_F(GuiTest, SaveLoadUpdateAndDeleteAct) {
  WriteProfileFile("Default", 45.0f);
  WriteProfileFile("Alpha", 12.0f);
  ScanProfiles();
  ShowTab(1);

  // Save under a new name: written, listed, selected, active.
  tuningSettings.sensitivity = 77.0f;
  steeringState.profileModified = 1;
  std::snprintf(profileNameInput, sizeof profileNameInput, "%s", "Gamma");
  RunFrame();
  ClickText("Save");
  EXPECT_TRUE(FileExists(ProfilePath("Gamma")));
  EXPECT_NE(ReadFile(ProfilePath("Gamma")).find("sensitivity=77.0"), std::string::npos);
  ASSERT_GE(ListedIndex("Gamma"), 0);
  EXPECT_EQ(selectedProfile, ListedIndex("Gamma"));
  EXPECT_STREQ(tuningSettings.profile, "Gamma");
  EXPECT_EQ(steeringState.profileModified, 0);
  EXPECT_EQ(Rgb(BackgroundOf("Gamma")), Rgb(22, 163, 74));

  // A change to the active profile turns the button into Update, and back.
  steeringState.profileModified = 1;
  RunFrame();
  EXPECT_TRUE(Shows("Update"));
  EXPECT_FALSE(Shows("Save"));
  tuningSettings.sensitivity = 66.0f;
  ClickText("Update");
  EXPECT_TRUE(Shows("Save"));
  EXPECT_FALSE(Shows("Update"));
  EXPECT_NE(ReadFile(ProfilePath("Gamma")).find("sensitivity=66.0"), std::string::npos);

  // Another name while modified: Save, not Update.
  steeringState.profileModified = 1;
  std::snprintf(profileNameInput, sizeof profileNameInput, "%s", "Alpha");
  RunFrame();
  EXPECT_TRUE(Shows("Save"));

  // Load: values from the file, active, selected, settings saved.
  DeleteFileA(settingsFilePath);
  ClickText("Load");
  EXPECT_FLOAT_EQ(tuningSettings.sensitivity, 12.0f);
  EXPECT_STREQ(tuningSettings.profile, "Alpha");
  EXPECT_EQ(selectedProfile, ListedIndex("Alpha"));
  EXPECT_NE(ReadFile(settingsFilePath).find("profile=Alpha"), std::string::npos);

  // Delete: file gone, field and selection cleared, list rescanned.
  std::snprintf(profileNameInput, sizeof profileNameInput, "%s", "Gamma");
  RunFrame();
  ClickText("Delete");
  EXPECT_FALSE(FileExists(ProfilePath("Gamma")));
  EXPECT_EQ(ListedIndex("Gamma"), -1);
  EXPECT_STREQ(profileNameInput, "");
  EXPECT_EQ(selectedProfile, -1);
  EXPECT_FALSE(Shows("Gamma"));
}

TEST_F(GuiTest, LongestProfileNameSurvivesTheNameField) {
  std::string name(PROFILE_NAME_SIZE - 1, 'n');
  WriteProfileFile(name, 33.0f);
  ScanProfiles();
  ASSERT_EQ(ListedIndex(name.c_str()), 0);
  selectedProfile = -1;
  ShowTab(1);
  const DrawnText* row = FindTextStarting("nnnn");
  ASSERT_NE(row, nullptr);
  float x = row->CenterX();
  float y = row->CenterY();
  Click(x, y);
  RunFrame();
  EXPECT_STREQ(profileNameInput, name.c_str()) << "the field must keep all 127 characters";
  EXPECT_TRUE(ReadAvailability().load);
  ClickText("Load");
  EXPECT_FLOAT_EQ(tuningSettings.sensitivity, 33.0f);
}

TEST_F(GuiTest, UnsavedChangesLineOrTipLine) {
  const char* tip = "Tip: Green = Active profile | Blue = Selected | Click again to deselect";
  std::snprintf(tuningSettings.profile, sizeof tuningSettings.profile, "%s", "Track Day");

  struct Case {
    int modified;
    const char* field;
    bool unsaved;
  };
  const Case cases[] = {
      {0, "", false}, {1, "", false}, {0, "Other", false}, {1, "Other", true}, {1, "x", true}};
  for (int dark = 0; dark <= 1; ++dark) {
    ApplyTheme(guiContext, mainWindow, dark);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.field) + (c.modified ? " modified" : "") + (dark ? " dark" : ""));
      steeringState.profileModified = c.modified;
      std::snprintf(profileNameInput, sizeof profileNameInput, "%s", c.field);
      ShowTab(1);
      const char* unsaved =
          "Unsaved changes! Click 'Update' to save modifications to 'Track Day'";
      EXPECT_EQ(Shows(unsaved), c.unsaved);
      EXPECT_EQ(Shows(tip), !c.unsaved);
      if (c.unsaved) {
        EXPECT_EQ(Rgb(TextColourOf(unsaved)), dark ? Rgb(251, 191, 36) : Rgb(245, 158, 11));
      }
    }
  }
}

TEST_F(GuiTest, TypingInTheNameFieldLeavesTheSelection) {
  WriteProfileFile("Alpha", 10.0f);
  ScanProfiles();
  ShowTab(1);
  const DrawnText* caption = FindText("Profile Name:");
  ASSERT_NE(caption, nullptr);
  float x = caption->x + 40;
  float y = FieldCenterBelow(*caption, 20, 36);
  Click(x, y);
  TypeText("Alpha");
  RunFrame();
  EXPECT_STREQ(profileNameInput, "Alpha");
  EXPECT_EQ(selectedProfile, 0);
  EXPECT_TRUE(ReadAvailability().load);
}

// ---- Settings tab ----

TEST_F(GuiTest, OptionButtonsFlipTheirValueAndSave) {
  struct Option {
    int32_t* field;
    const char* enabled;
    const char* disabled;
    const char* savedKey;  // null: the settings file does not carry it
  };
  const Option options[] = {
      {&tuningSettings.curveOnSteering, "Curve on Steering: Enabled", "Curve on Steering: Disabled",
       nullptr},
      {&tuningSettings.startWithWindows, "Enabled (runs when Windows starts)",
       "Disabled (manual start required)", "startWithWindows="},
      {&tuningSettings.startMin, "Enabled (starts in tray)", "Disabled (shows window on start)",
       "startMin="},
      {&tuningSettings.accelBrakeMode, "Enabled (hold right-click to use)",
       "Disabled (always active)", "accelBrakeMode="},
  };
  for (const Option& o : options) {
    SCOPED_TRACE(o.enabled);
    *o.field = 5;  // any non-zero value reads as on
    ShowTab(2);
    ASSERT_TRUE(Shows(o.enabled));
    DeleteFileA(settingsFilePath);
    ClickText(o.enabled);
    EXPECT_EQ(*o.field, 0);
    EXPECT_TRUE(Shows(o.disabled));
    std::string saved = ReadFile(settingsFilePath);
    EXPECT_FALSE(saved.empty()) << "the settings file is written";
    if (o.savedKey) {
      EXPECT_NE(saved.find(std::string(o.savedKey) + "0\r\n"), std::string::npos);
    }

    ClickText(o.disabled);
    EXPECT_EQ(*o.field, 1);
    EXPECT_TRUE(Shows(o.enabled));
    if (o.savedKey) {
      EXPECT_NE(ReadFile(settingsFilePath).find(std::string(o.savedKey) + "1\r\n"),
                std::string::npos);
    }
    EXPECT_EQ(steeringState.profileModified, 0) << "options are not profile changes";
  }
  // The launch option reaches the Run entry, and leaves it as found.
  EXPECT_EQ(IsLaunchAtStartupSet(), 1);
  ClickText("Enabled (runs when Windows starts)");
  EXPECT_EQ(IsLaunchAtStartupSet(), 0);
}

TEST_F(GuiTest, CurveExplanationFollowsTheOption) {
  struct Case {
    int dark, curve;
    const char* line;
    int r, g, b;
  };
  const Case cases[] = {
      {0, 1, "Curve affects BOTH Steering and Auto-Center", 82, 82, 91},
      {0, 0, "Curve affects ONLY Auto-Center (Linear Steering)", 82, 82, 91},
      {1, 1, "Curve affects BOTH Steering and Auto-Center", 161, 161, 170},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    ApplyTheme(guiContext, mainWindow, c.dark);
    tuningSettings.curveOnSteering = c.curve;
    ShowTab(2);
    EXPECT_EQ(Rgb(TextColourOf(c.line)), Rgb(c.r, c.g, c.b));
  }
}

// The hotkey registered on the main window under an id, seen from outside:
// unregistering succeeds only when something was registered.
bool TakeHotkey(int id) { return UnregisterHotKey(mainWindow, id) != 0; }

TEST_F(GuiTest, HotkeyTextIsAppliedWhenTheFieldIsLeft) {
  ShowTab(2);
  const DrawnText* caption = FindText("Toggle Mouse Lock:");
  ASSERT_NE(caption, nullptr);
  float x = caption->x + 20;
  float y = FieldCenterBelow(*caption, 16, 36);

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
  EXPECT_NE(ReadFile(settingsFilePath).find("hotkeyLock=F7\r\n"), std::string::npos);
  // F7 now belongs to the main window's lock hotkey.
  BOOL f7Free = RegisterHotKey(mainWindow, 4242, 0, VK_F7);
  if (f7Free) UnregisterHotKey(mainWindow, 4242);
  EXPECT_FALSE(f7Free);
  EXPECT_TRUE(TakeHotkey(HOTKEY_ID_LOCK));
  EXPECT_TRUE(TakeHotkey(HOTKEY_ID_RECENTER)) << "both hotkeys are registered again";

  // Typing and restoring the applied text before leaving does nothing.
  DeleteFileA(settingsFilePath);
  Click(x + 150, y);  // past the end of the text: the cursor goes to its end
  TypeText("X");
  RunFrame();
  EXPECT_STREQ(tuningSettings.hotkeyLock, "F7X");
  PressKey(VK_BACK);
  EXPECT_STREQ(tuningSettings.hotkeyLock, "F7");
  Click(NEUTRAL_X, NEUTRAL_Y);
  EXPECT_FALSE(FileExists(settingsFilePath));
  EXPECT_FALSE(TakeHotkey(HOTKEY_ID_LOCK));
}

TEST_F(GuiTest, FirstLeaveOfAnUnchangedHotkeyFieldStillApplies) {
  ShowTab(2);
  const DrawnText* caption = FindText("Reset Steering:");
  ASSERT_NE(caption, nullptr);
  float x = caption->x + 20;
  float y = FieldCenterBelow(*caption, 16, 36);
  TakeHotkey(HOTKEY_ID_RECENTER);
  DeleteFileA(settingsFilePath);

  Click(x, y);
  Click(NEUTRAL_X, NEUTRAL_Y);
  EXPECT_STREQ(appliedHotkeyRecenter, "^R");
  EXPECT_NE(ReadFile(settingsFilePath).find("hotkeyRecenter=^R\r\n"), std::string::npos);
  EXPECT_TRUE(TakeHotkey(HOTKEY_ID_RECENTER));

  // The second time, with the same text, nothing happens.
  DeleteFileA(settingsFilePath);
  Click(x, y);
  Click(NEUTRAL_X, NEUTRAL_Y);
  EXPECT_FALSE(FileExists(settingsFilePath));
  TakeHotkey(HOTKEY_ID_LOCK);
}

TEST_F(GuiTest, EveryTabFitsTheWindow) {
  // Nine rows: the tenth would push the last line below the window.
  WriteProfileFile("Default", 45.0f);
  for (int i = 0; i < 8; ++i) WriteProfileFile("Profile " + std::to_string(i), 40.0f);
  ScanProfiles();
  steeringState.profileModified = 1;
  std::snprintf(profileNameInput, sizeof profileNameInput, "%s", "Default");
  const char* lastLines[] = {"Mouse Lock: Inactive | Right-Click Mode: Enabled",
                             "Unsaved changes! Click 'Update' to save modifications to 'Default'",
                             "Format: F4, ^A (Ctrl+A), !B (Alt+B)"};
  for (int tab = 0; tab < 3; ++tab) {
    SCOPED_TRACE(tab);
    ShowTab(tab);
    const DrawnText* last = FindText(lastLines[tab]);
    ASSERT_NE(last, nullptr);
    EXPECT_LE(last->y + last->h, MAIN_CLIENT_HEIGHT);
  }
}

// ---- The main window ----

class MainWindowTest : public GuiTest {};

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
  EXPECT_EQ(Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(mainWindow), MAKELPARAM(HTCLIENT, 0)),
            1);
  Send(WM_HOTKEY, HOTKEY_ID_LOCK, 0);
  EXPECT_EQ(steeringState.mouseLocked, 0);
}

void WriteAppsUseLightTheme(DWORD value) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER,
                            "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                            0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "AppsUseLightTheme", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                 sizeof value);
  RegCloseKey(key);
}

void DeleteAppsUseLightTheme() {
  RegDeleteKeyValueA(HKEY_CURRENT_USER,
                     "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                     "AppsUseLightTheme");
}

TEST_F(MainWindowTest, ColourSetChangeRethemesOtherSettingChangesDoNot) {
  WriteAppsUseLightTheme(0);  // the system is dark now
  ASSERT_EQ(QuerySystemDarkTheme(), 1);

  char other[] = "Policy";
  ApplyTheme(guiContext, mainWindow, 0);
  EXPECT_EQ(Send(WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(other)), 0);
  EXPECT_EQ(darkTheme, 0);
  EXPECT_EQ(Send(WM_SETTINGCHANGE, 0, 0), 0);
  EXPECT_EQ(darkTheme, 0);
  char lowerCase[] = "immersivecolorset";
  Send(WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(lowerCase));
  EXPECT_EQ(darkTheme, 0);

  char colourSet[] = "ImmersiveColorSet";
  EXPECT_EQ(Send(WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(colourSet)), 0);
  EXPECT_EQ(darkTheme, 1);
  EXPECT_EQ(Rgb(backgroundColor), Rgb(9, 9, 11));

  DeleteAppsUseLightTheme();
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
    modalProbe.seen = true;
    KillTimer(nullptr, timer);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  } else {
    HWND menu = FindWindowA("#32768", nullptr);
    if (!menu || !IsWindowVisible(menu)) return;
    modalProbe.seen = true;
    KillTimer(nullptr, timer);
    EndMenu();
  }
}

TEST_F(MainWindowTest, AboutBoxShowsTheProgramsTextOwnedByTheWindow) {
  char expected[ABOUT_TEXT_SIZE];
  FormatAboutText(expected, sizeof expected);
  std::string text = expected;
  EXPECT_EQ(text.rfind("Tarvix v0.5.6\n\n", 0), 0u);
  EXPECT_NE(text.find("\nWebsite: " TARVIX_WEBSITE "\nProfiles: Documents\\Tarvix"),
            std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 26), "Profiles: Documents\\Tarvix");

  modalProbe = ModalProbe{"About", false, "", nullptr};
  UINT_PTR timer = SetTimer(nullptr, 0, 50, ProbeModal);
  EXPECT_EQ(Send(WM_COMMAND, TRAY_CMD_ABOUT, 0), 0);
  KillTimer(nullptr, timer);
  ASSERT_TRUE(modalProbe.seen);
  EXPECT_EQ(modalProbe.owner, mainWindow);
  // The box may show line ends as CR LF.
  std::string shown;
  for (char c : modalProbe.text) {
    if (c != '\r') shown += c;
  }
  EXPECT_EQ(shown, text);
}

TEST_F(MainWindowTest, AboutTextIsCutToItsBuffer) {
  char buffer[32];
  std::memset(buffer, 'x', sizeof buffer);
  FormatAboutText(buffer, 16);
  EXPECT_EQ(std::strlen(buffer), 15u);
  EXPECT_EQ(std::string(buffer), "Tarvix v0.5.6\n\n");
  for (size_t i = 16; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 'x') << i;
}

std::vector<std::string> MenuEntries(HMENU menu) {
  std::vector<std::string> entries;
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    char text[64] = "";
    GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
    UINT id = GetMenuItemID(menu, i);
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE;
    GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
    entries.push_back((info.fType & MFT_SEPARATOR) ? std::string("-")
                                                    : std::to_string(id) + " " + text);
  }
  return entries;
}

TEST_F(MainWindowTest, TrayIconMenuAndExit) {
  const std::vector<std::string> expectedMenu = {"2001 Show Window", "2003 About", "-", "2002 Exit"};
  RebuildTrayMenu();
  EXPECT_EQ(trayMenu, nullptr) << "nothing to rebuild before the tray exists";

  AddTrayIcon(mainWindow);
  EXPECT_EQ(trayIconData.cbSize, 528u);
  EXPECT_EQ(trayIconData.hWnd, mainWindow);
  EXPECT_EQ(trayIconData.uID, 1u);
  EXPECT_EQ(trayIconData.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
  EXPECT_EQ(trayIconData.uCallbackMessage, 1025u);
  EXPECT_STREQ(trayIconData.szTip, "Tarvix v0.5.6");
  EXPECT_EQ(trayIconData.hIcon, trayIcon);
  ASSERT_NE(trayMenu, nullptr);
  EXPECT_EQ(MenuEntries(trayMenu), expectedMenu);

  RebuildTrayMenu();
  ASSERT_NE(trayMenu, nullptr);
  EXPECT_EQ(MenuEntries(trayMenu), expectedMenu);

  // A right-button release opens the menu (closed again by the probe).
  modalProbe = ModalProbe{nullptr, false, "", nullptr};
  UINT_PTR timer = SetTimer(nullptr, 0, 50, ProbeModal);
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
  EXPECT_NE(ReadFile(settingsFilePath).find("sensitivity=61.0\r\n"), std::string::npos);
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 0u);
  EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &trayIconData));

  RemoveTrayIcon();
  EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &trayIconData)) << "the icon is gone";
  trayMenu = nullptr;
  trayIcon = nullptr;
}

// A one-image 16 x 16 icon file, drawn here so the test needs no data file.
std::string TinyIconFile() {
  const int size = 16;
  std::string dib;
  auto put32 = [&dib](uint32_t v) {
    for (int i = 0; i < 4; ++i) dib += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  auto put16 = [](std::string& s, uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
  };
  put32(40);
  put32(size);
  put32(size * 2);
  put16(dib, 1);
  put16(dib, 32);
  put32(0);
  put32(size * size * 4 + size * 4);
  put32(0);
  put32(0);
  put32(0);
  put32(0);
  for (int i = 0; i < size * size; ++i) put32(0xFF2563EBu);
  dib.append(static_cast<size_t>(size * 4), '\0');

  std::string file;
  put16(file, 0);
  put16(file, 1);
  put16(file, 1);
  file += static_cast<char>(size);
  file += static_cast<char>(size);
  file += '\0';
  file += '\0';
  put16(file, 1);
  put16(file, 32);
  for (uint32_t v : {static_cast<uint32_t>(dib.size()), 22u}) {
    for (int i = 0; i < 4; ++i) file += static_cast<char>((v >> (8 * i)) & 0xFF);
  }
  return file + dib;
}

TEST_F(MainWindowTest, AppIconComesFromIconFileBesideTheProgram) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  ASSERT_GT(length, 0u);
  std::string iconPath = path;
  iconPath = iconPath.substr(0, iconPath.rfind('\\') + 1) + "icon.ico";

  // This test program carries no icon resource at all: no file, no icon, and
  // that is accepted.
  DeleteFileA(iconPath.c_str());
  EXPECT_EQ(LoadAppIcon(), nullptr);

  std::string bytes = TinyIconFile();
  FILE* file = std::fopen(iconPath.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
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
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(mainWindow, GWL_STYLE)) & 0x00FF0000u,
            0xCA0000u);
  EXPECT_EQ(FindWindowA("TXMainWnd", "Tarvix v0.5.6"), mainWindow);
}

}  // namespace
