// The panel, the slider and our GDI binding in-process: the real main window and GUI, files in a
// private folder. Input goes in as window messages; widgets are found by the text they were drawn with.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/dpi.h"
#include "app/nk_gdi.h"
#include "app/shell.h"
#include "engine/output_link.h"
#include "engine/output_tick.h"
#include "engine/tuning.h"
#include "engine/status_notice.h"
#include "input/elevation.h"
#include "input/hotkeys.h"
#include "input/mouse_choice.h"
#include "pad/pad_link.h"
#include "storage/launch_at_startup.h"
#include "storage/profile_store.h"
#include "storage/saving.h"
#include "storage/settings_file.h"
#include "tests/support/system_fake.h"
#include "ui/main_panel.h"
#include "ui/nk.h"
#include "ui/theme.h"
#include "tools/fakebus/fake_bus.h"
#include "vjoy/vjoy_link.h"

namespace {

// What a frame drew: its texts, fills, clip rectangles and thick outlines (the sliders' knobs).
struct Drawn { int type; float x, y, w, h; std::string text; };
std::vector<Drawn> drawn;
constexpr POINT AWAY = {3, 3};  // in the window's padding, on no widget

template <typename Command> void Keep(const nk_command* c, std::string text = "") {
  auto* s = reinterpret_cast<const Command*>(c);
  drawn.push_back({c->type, float(s->x), float(s->y), float(s->w), float(s->h), text});
}

// One pass as the main loop makes it: input, panel, render (1 when it drew).
void MainPanel() {
  int width, height;
  nk_gdi_panel_size(&width, &height);
  BuildMainPanel(guiContext, width, height);
}
int RunFrame(const std::function<void()>& input = [] {}, void (*build)() = MainPanel) {
  nk_input_begin(guiContext);
  input();
  nk_input_end(guiContext);
  build();
  static uint32_t clock = 0;
  RunSettingsSave(clock += SETTINGS_SAVE_INTERVAL_MS);  // the loop's save, due in every pass here
  SettleFileWrites();  // the writer's results, which come to the window in the program
  drawn.clear();
  const nk_command* c;
  nk_foreach(c, guiContext) {
    auto* t = reinterpret_cast<const nk_command_text*>(c);
    if (c->type == NK_COMMAND_TEXT) Keep<nk_command_text>(c, {t->string, size_t(t->length)});
    auto* r = reinterpret_cast<const nk_command_rect*>(c);
    if (c->type == NK_COMMAND_RECT && r->line_thickness == 2) Keep<nk_command_rect>(c);
    if (c->type == NK_COMMAND_RECT_FILLED) Keep<nk_command_rect_filled>(c);
    if (c->type == NK_COMMAND_SCISSOR) Keep<nk_command_scissor>(c);
  }
  return nk_gdi_render(backgroundColor);
}

POINT Mid(const Drawn& d) { return {LONG(d.x + d.w / 2), LONG(d.y + d.h / 2)}; }
POINT At(const std::string& text) {
  for (const Drawn& d : drawn)
    if (d.type == NK_COMMAND_TEXT && d.text == text) return Mid(d);
  ADD_FAILURE() << "no \"" << text << "\" drawn";
  return AWAY;
}
// The middle of the knob of the slider under a readout.
POINT Knob(const std::string& readout) {
  const float top = float(At(readout).y);
  for (const Drawn& d : drawn)
    if (d.type == NK_COMMAND_RECT && d.y > top && d.y < top + 50) return Mid(d);
  return AWAY;
}

void Send(UINT message, WPARAM wParam, POINT p) { SendMessageW(mainWindow, message, wParam, MAKELPARAM(p.x, p.y)); }
// Press in one pass, release in the next, as the drain hands a click over; dx drags in between.
void Click(POINT p, int dx = 0) {
  RunFrame([&] { Send(WM_MOUSEMOVE, 0, p); Send(WM_LBUTTONDOWN, MK_LBUTTON, p); });
  if (dx) RunFrame([&] { Send(WM_MOUSEMOVE, MK_LBUTTON, {p.x + dx, p.y}); });
  RunFrame([&] { Send(WM_LBUTTONUP, 0, {p.x + dx, p.y}); Send(WM_MOUSEMOVE, 0, AWAY); });
}
void Click(const std::string& text) { Click(At(text)); }
void Key(WPARAM vk, bool ctrl = false, bool alt = false) {
  BYTE keys[256] = {};
  keys[VK_CONTROL] = ctrl ? 0x80 : 0;
  keys[VK_MENU] = alt ? 0x80 : 0;
  SetKeyboardState(keys);
  RunFrame([&] { Send(WM_KEYDOWN, vk, {1, 0}); Send(WM_KEYUP, vk, {1, 0xC000}); });
}

std::string Read(std::string p) { return (std::ostringstream() << std::ifstream(p, std::ios::binary).rdbuf()).str(); }
bool Holds(const std::string& path, const std::string& line) { return Read(path).find(line) != std::string::npos; }
std::string ProfilePath(const std::string& name) { return std::string(profileFolderPath) + "\\" + name + ".txt"; }
void Clip(const std::wstring& text) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  std::memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(block);
  ASSERT_TRUE(OpenClipboard(mainWindow) && EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, block));
  CloseClipboard();
}
void SetField(const std::string& text) { snprintf(profileNameInput, sizeof profileNameInput, "%s", text.c_str()); }
void Type(const std::wstring& units) { RunFrame([&] { for (wchar_t u : units) Send(WM_CHAR, u, {1, 0}); }); }

class Gui : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!mainWindow) {
      const auto folder = std::filesystem::temp_directory_path() / "tarvix-gui";
      std::filesystem::create_directory(folder);
      SetDataFolder(folder.string().c_str());
      mainWindow = hotkeyWindow = CreateMainWindow(GetModuleHandleA(nullptr));
      ApplyTheme(CreateGui(mainWindow), mainWindow, 0);
    }
    ResetToDefaults();
    std::filesystem::remove_all(profileFolderPath);
    std::filesystem::create_directory(profileFolderPath);
    DeleteFileA(settingsFilePath);
    profileNameInput[0] = appliedHotkeyLock[0] = appliedHotkeyRecenter[0] = '\0';
  }
  void Tab(int tab) { steeringState.currentTab = tab, RunFrame(); }
};

TEST_F(Gui, ProfileRowsAndTheLoadSaveAndDeleteButtons) {
  for (int i = 10; i < 21; ++i) tuningSettings.sensitivity = float(i), SaveUserProfile(("P" + std::to_string(i)).c_str(), ""), SettleFileWrites();
  ScanProfiles();
  std::set<std::string> rows;  // ten of the eleven, scrolled through
  auto seen = [&] { for (const Drawn& d : drawn) if (d.text.size() == 3) rows.insert(d.text); };
  Tab(1), seen();
  RunFrame([] { Send(WM_MOUSEMOVE, 0, At("P10")), Send(WM_MOUSEWHEEL, MAKEWPARAM(0, -1200), {}); });
  RunFrame(), seen();
  EXPECT_EQ(rows.size(), 10u);

  tuningSettings.sensitivity = 77.0f;
  SetField("Gamma");
  Click("Save"), RunFrame();
  EXPECT_TRUE(Holds(ProfilePath("Gamma"), "sensitivity=77.0\r\n"));
  EXPECT_EQ(profileNames[std::max(selectedProfile, 0)], std::string("Gamma")) << "listed and selected";
  Click("Delete");
  EXPECT_EQ(Read(ProfilePath("Gamma")), "");
  EXPECT_EQ(profileNameInput + std::to_string(selectedProfile), "-1") << "the field and the selection cleared";

  // Windows file names ignore case: "default" would overwrite or delete Default.txt.
  SaveUserProfile("Default", ""), SettleFileWrites();  // sensitivity 77
  ScanProfiles();
  const std::string before = Read(ProfilePath("Default"));
  for (const char* name : {"default", "DEFAULT", "dEfAuLt", "Default"}) {
    tuningSettings.sensitivity = 99.0f;
    SetField(name);
    RunFrame();
    for (const char* button : {"Save", "Delete"}) Click(button);
    EXPECT_EQ(Read(ProfilePath("Default")), before) << name;
    Click("Load");
    EXPECT_EQ(tuningSettings.sensitivity, std::strcmp(name, "Default") ? 99.0f : 77.0f) << name << ", by exact name";
  }

  // Under the program's UTF-8 code page (this test carries its manifest) a name is its file name as typed.
  ASSERT_EQ(GetACP(), 65001u);
  for (const char* name : {"Caf\xc3\xa9", "\xe6\x97\xa5\xe6\x9c\xac"}) {
    tuningSettings.sensitivity = 12.0f, SetField(name), Click("Save"), RunFrame(), At(name);  // listed
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(ProfilePath(name)))) << name;
    tuningSettings.sensitivity = 50.0f, Click("Load");
    EXPECT_EQ(tuningSettings.sensitivity, 12.0f) << name;
  }
}

// Everything within the panel's 520 x 640, with a full profile list; on the other tabs nothing is cut by its clip.
void ExpectBothTabsFit() {
  for (int i = 0; i < 10; ++i) SaveUserProfile(("Profile " + std::to_string(i)).c_str(), ""), SettleFileWrites();
  ScanProfiles();
  for (int tab : {0, 1, 2}) {
    steeringState.currentTab = tab, RunFrame();
    const Drawn client = {NK_COMMAND_SCISSOR, 0, 0, MAIN_CLIENT_WIDTH, MAIN_CLIENT_HEIGHT, ""};
    Drawn clip = client;
    for (const Drawn& d : drawn) {
      if (d.type == NK_COMMAND_SCISSOR && ((clip = d.h > client.h ? client : d), true)) continue;
      EXPECT_LE(d.y + d.h, MAIN_CLIENT_HEIGHT) << tab << " " << d.text;
      EXPECT_TRUE(tab == 1 || (d.y >= clip.y && d.y + d.h <= clip.y + clip.h)) << d.text << " at " << d.y << "+" << d.h;
    }
  }
}
TEST_F(Gui, BothTabsFitTheClientAndTheSettingsAreDrawnWhole) { ExpectBothTabsFit(); }

// A program above our level: the notice, drawn whole, and the way out under it, inside the client.
TEST_F(Gui, AProgramRunningAsAdministratorOffersTheRestart) {
  elevationState.ownLevel = 0x2000, NoteForegroundLevel("game.exe", 0x3000), Tab(0);
  EXPECT_LT(At("The program in front runs as administrator: no mouse input").y, At("Restart as Administrator").y);
  EXPECT_LE(At("Restart as Administrator").y + 12, MAIN_CLIENT_HEIGHT);
  Click("Restart as Administrator");
  EXPECT_EQ(elevationState.restartRequested, 1);
  elevationState = {INTEGRITY_UNKNOWN, 0, 0}, SetStatusNotice(NOTICE_ELEVATED, nullptr);
}

// A quick click can queue press and release together; they must reach the GUI in separate passes.
TEST_F(Gui, PressAndReleaseQueuedTogetherStillClick) {
  RunFrame();
  const POINT p = At("Settings");
  for (UINT m : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}) PostMessageA(mainWindow, m, 0, MAKELPARAM(p.x, p.y));
  for (int pass = 0; pass < 3; ++pass) RunFrame([] { EXPECT_EQ(DrainMessageQueue(), 1); });
  EXPECT_EQ(steeringState.currentTab, 2);
}

TEST_F(Gui, HotkeyTextIsAppliedWhenItsFieldIsLeftChanged) {
  const struct { const wchar_t* typed; bool applied; } cases[] = {{L"F7", true}, {L"\u00e9", false}};  // é: not ASCII
  Tab(2);
  for (const auto& c : cases) {
    UnregisterHotKey(mainWindow, HOTKEY_ID_LOCK);
    DeleteFileA(settingsFilePath);
    Click(std::string(tuningSettings.hotkeyLock));
    Key('A', true);
    RunFrame([&] { for (const wchar_t* t = c.typed; *t; ++t) Send(WM_CHAR, *t, {1, 0}); });
    EXPECT_STREQ(tuningSettings.hotkeyLock, "F7") << int(c.typed[0]);
    EXPECT_EQ(Read(settingsFilePath), "") << "nothing applied while typing";
    Click(AWAY);
    EXPECT_EQ(Holds(settingsFilePath, "hotkeyLock=F7\r\n"), c.applied);
    EXPECT_EQ(UnregisterHotKey(mainWindow, HOTKEY_ID_LOCK) != 0, c.applied) << "registered again";
  }
}

// The filter's slider saves before the window changes; the file must end with the new window.
TEST_F(Gui, SlidersSaveOnlyAChangeStopAtTheirEndsAndTheFilterSavesItsNewWindow) {
  RunFrame();
  const POINT curve = Knob("Non-Linearity: 1.5"), filter = Knob("Input Filter: 2.0");
  Click(curve);
  EXPECT_EQ(Read(settingsFilePath) + std::to_string(steeringState.profileModified), "0") << "no change, no save";
  Click(curve, 36);  // one and a half steps right
  EXPECT_TRUE(Holds(settingsFilePath, "responseCurve=1.60\r\n"));
  EXPECT_EQ(steeringState.profileModified, 1) << "the profile now differs from its file";
  Click(filter, 36);
  EXPECT_TRUE(Holds(settingsFilePath, "smoothing=3\r\n"));
  for (int end : {20, 0}) {  // dragged far past either end
    Click(Knob("Input Filter: " + std::to_string(tuningSettings.smoothing) + ".0"), end ? 600 : -600);
    EXPECT_EQ(tuningSettings.smoothing, end);
  }
}

TEST_F(Gui, PasteIntoTheNameFieldStaysInsideItAndStopsAtTheFirstZero) {
  const struct { std::wstring clip; std::string field; } cases[] = {
      {std::wstring(127, L'x'), std::string(127, 'x')},  // all the field holds besides its terminator
      {std::wstring(128, L'x'), std::string(127, 'x')},
      {L"Gr\u00FC\u00DFe \u20AC 5", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC 5"},  // Nuklear counts characters
      {std::wstring(L"ab\0cd", 5), "ab"}};
  Tab(1);
  for (const auto& c : cases) {
    Clip(c.clip);
    std::strncpy(profileNameInput, "M", sizeof profileNameInput);  // zeros after one letter the paste replaces
    RunFrame();
    Click("M");
    for (WPARAM key : {'A', 'V'}) Key(key, true);  // select all, paste
    Click(AWAY);
    EXPECT_EQ(std::string(profileNameInput, sizeof profileNameInput), c.field + std::string(128 - c.field.size(), 0))
        << c.field;
  }
}

// A pasted line break would forge a line of the settings file; a copy must reach the clipboard (it has an owner).
TEST_F(Gui, PasteKeepsToTheFieldsRulesAndCopyRoundTrips) {
  Tab(2);
  Clip(L"x\r\nprofile=Evil");
  Click("F4");
  for (WPARAM key : {'A', 'V'}) Key(key, true);
  Click(AWAY);
  const std::string file = Read(settingsFilePath);
  EXPECT_EQ(file.find("\nprofile=Evil"), std::string::npos) << file;
  EXPECT_EQ(file.find("hotkeyLock="), file.rfind("hotkeyLock=")) << file;

  Tab(1);
  SetField("Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC"), RunFrame();
  Click("Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC");
  Key('A', true), Key('C', true), Key(VK_BACK), Key('V', true);
  // Typed, the Unicode window gets UTF-16 units: a pair is one character, a half without its partner none.
  Type(L"\xDE00!\xE9\x65E5\xD83D\xDE00\xD83Dx");
  Click(AWAY);
  EXPECT_STREQ(profileNameInput, "Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC!\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80x");
}

// Alt+Tab or a lost capture in the middle of a drag: the button's release never comes as a message.
TEST_F(Gui, ADragCutShortByLostFocusStopsTheSlider) {
  // Last row: a right click during the drag keeps the capture, so the left release outside the window still comes.
  for (auto [message, wParam] : {std::pair<UINT, WPARAM>{WM_KILLFOCUS, 0}, {WM_CAPTURECHANGED, 0}, {WM_ACTIVATEAPP, FALSE},
                                 {WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON}}) {
    ResetToDefaults();
    RunFrame();
    const POINT p = Knob("Non-Linearity: 1.5");
    RunFrame([&] { Send(WM_MOUSEMOVE, 0, p); Send(WM_LBUTTONDOWN, MK_LBUTTON, p); });
    RunFrame([&] { Send(WM_MOUSEMOVE, MK_LBUTTON, {p.x + 36, p.y}); });
    RunFrame([&] { SendMessageW(mainWindow, message, wParam, 0); });
    if (message == WM_RBUTTONDOWN) RunFrame([&] { Send(WM_RBUTTONUP, MK_LBUTTON, {p.x, p.y}); });
    EXPECT_EQ(GetCapture() == mainWindow, message == WM_RBUTTONDOWN) << message;
    RunFrame([&] { Send(WM_MOUSEMOVE, MK_LBUTTON, {p.x + 200, p.y}); });
    EXPECT_EQ(tuningSettings.responseCurve > 1.61f, message == WM_RBUTTONDOWN) << message;
    RunFrame([&] { Send(WM_LBUTTONUP, 0, {MAIN_CLIENT_WIDTH + 50, p.y}); });
    const float released = tuningSettings.responseCurve;
    RunFrame([&] { Send(WM_MOUSEMOVE, 0, p); });  // back over the window, no button down
    EXPECT_EQ(GetCapture() == nullptr && tuningSettings.responseCurve == released, true) << message;
  }
}

// Another program holds F4: the hotkey's label and the Controls tab's status line say so, unless the device
// has a notice, which outranks it.
TEST_F(Gui, ARefusedHotkeyIsShown) {
  for (bool taken : {true, false}) {
    ASSERT_TRUE(!taken || RegisterHotKey(nullptr, 7, 0, VK_F4));
    RegisterHotkeys();
    std::strcpy(virtualJoystickLink.notice, "vJoy: no Z axis, 4 buttons");
    Tab(0), At("vJoy: no Z axis, 4 buttons");
    virtualJoystickLink.notice[0] = 0;
    Tab(2), At(taken ? "Taken by another program" : "Toggle Mouse Lock:");
    Tab(0), At(std::string("Mouse Lock: Inactive") + (taken ? " (hotkey taken)" : "") + " | Right-Click Mode: Enabled");
    UnregisterHotKey(nullptr, 7);
  }
}

// The Output row switches through the output layer: the pad over the fake bus, or the reason it stays as it is; the
// choice is saved, the status line names the output, and the anti-deadzone slider moves in whole percent.
TEST_F(Gui, OutputRowSwitchesSavesAndSaysWhy) {
  struct Case { const char* click; int bus; const char* note; const char* status; int saved; };
  const Case cases[] = {
      {"Xbox 360 pad", 0, "Xbox pad: ViGEmBus not found", "vJoy: Disconnected", 0},
      {"Xbox 360 pad", 1, "Output", "Xbox pad: Connected", 1},
      {"vJoy", 1, "vJoy is not installed: vJoyInterface.dll was not found.", "Xbox pad: Connected", 1},
  };
  for (const Case& c : cases) {
    FakeBusAnswers bus; bus.present = c.bus; fakeBus.answers = bus;
    Tab(2), Click(c.click), PadBindEnded(PAD_BIND_WAIT_ALWAYS), OutputTick(), Tab(2), At(c.note);  // the pad's bind ends at a tick
    EXPECT_EQ(Holds(settingsFilePath, "outputDevice=1\r\n"), c.saved == 1) << c.note;  // a failed switch saves nothing
    Tab(0), At(std::string("Steering: 0% | Throttle: 0% | Brake: 0% | ") + c.status);
  }
  Tab(2);
  Click("Xbox 360 pad");  // the one in use: the reason above gives the titles their place back
  const float below = float(At("Pad anti-deadzone: 0%").y);  // its slider's track, 6 high, under the title
  const auto track = std::find_if(drawn.begin(), drawn.end(), [&](const Drawn& d) { return d.h == 6 && d.y > below; });
  ASSERT_NE(track, drawn.end());
  Click({LONG(track->x + 1), LONG(track->y + 3)}, 600), At("Pad anti-deadzone: 40%");
  OutputRelease();
  EXPECT_EQ(fakeBus.faults, 0);
}

// The launch option writes and removes the Run entry itself, not only its setting.
// The steering mouse beside the steering options, drawn whole: waiting for the next mouse and back; a chosen mouse
// that is not connected, shown so and let go.
TEST_F(Gui, SteerWithTheNextMouseMovedOrAnyMouse) {
  Tab(2), At("Steer With: Any mouse"), Click("Use the Next Mouse I Move"), RunFrame(), At("Steer With: the mouse you move now");
  EXPECT_EQ(mouseChoice.selecting, 1);
  Click("Waiting (Click to Stop)");
  EXPECT_EQ(mouseChoice.selecting, 0);
  std::snprintf(tuningSettings.steeringMouse, 242, "046D:C077::::"), MouseChoiceLoad(), Tab(2);
  At("Steer With: Mouse 046D:C077 (not connected)"), Click("Use Any Mouse");
  EXPECT_EQ(mouseChoice.chosen + Holds(settingsFilePath, "steeringMouse") + StatusNoticeText(NOTICE_MOUSE)[0], 0);
}

TEST_F(Gui, LaunchOptionWritesTheRunEntry) {
  Tab(2);
  for (int set : {1, 0}) {
    Click(set ? "Disabled (manual start)" : "Enabled (runs at sign-in)");
    EXPECT_EQ(IsLaunchAtStartupSet(), set);
  }
}

// The theme follows AppsUseLightTheme; a value that is missing or cannot be read means dark.
TEST_F(Gui, ThemeFollowsTheLightThemeValue) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                            0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
  const ULONGLONG light = 1;  // read as a DWORD, or too long to be one
  for (auto [type, size, dark] : {std::tuple{REG_NONE, 0, 1}, {REG_DWORD, 4, 0}, {REG_QWORD, 8, 1}}) {
    type == REG_NONE ? RegDeleteValueA(key, "AppsUseLightTheme")
                     : RegSetValueExA(key, "AppsUseLightTheme", 0, type, reinterpret_cast<const BYTE*>(&light), size);
    EXPECT_EQ(QuerySystemDarkTheme(), dark) << type;
    SendMessageW(mainWindow, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));  // UTF-16: a W window
    EXPECT_EQ(darkTheme, dark) << "re-themed on the setting change";
  }
  RegDeleteValueA(key, "AppsUseLightTheme"), RegCloseKey(key), ApplyTheme(guiContext, mainWindow, 0);
}

// Our binding: opaque fills, text without a box, and each frame's clear over the whole surface.
TEST_F(Gui, BindingFillsOpaqueDrawsBareTextAndClearsEverything) {
  RunFrame([] {}, [] {
    nk_begin(guiContext, "probe", nk_rect(0, 0, 300, 200), 0);  // a fresh window is always open
    nk_command_buffer* canvas = nk_window_get_canvas(guiContext);
    nk_fill_rect(canvas, nk_rect(40, 40, 20, 20), 0, nk_rgba(200, 10, 10, 40));
    const nk_color green = nk_rgb(0, 255, 0), blue = nk_rgb(0, 0, 255);
    nk_draw_text(canvas, nk_rect(80, 40, 150, 20), "Hi", 2, guiContext->style.font, green, blue);  // on green
    nk_end(guiContext);
  });
  std::map<COLORREF, int> seen;  // over the probe window
  for (int at = 0; at < 300 * 200; ++at) ++seen[GetPixel(nk_gdi_memory_dc(), at % 300, at / 300)];
  EXPECT_EQ(seen[RGB(200, 10, 10)], 20 * 20) << "the fill, opaque";
  EXPECT_GT(seen[RGB(0, 0, 255)], 10) << "the glyphs";
  EXPECT_EQ(seen[RGB(0, 255, 0)], 0) << "no box behind them";
  nk_gdi_render(nk_rgba(4, 5, 6, 0));  // no command left: the clear alone
  for (POINT p : {POINT{100, 50}, POINT{519, 639}}) EXPECT_EQ(GetPixel(nk_gdi_memory_dc(), p.x, p.y), RGB(4, 5, 6));
  // Printable ASCII is summed from the font's widths; text with any other character is measured by GDI whole.
  const nk_user_font* font = guiContext->style.font;
  auto width = [font](const std::string& s) { return font->width(font->userdata, font->height, s.data(), int(s.size())); };
  for (std::string s : {" ", "Sensitivity", "W i~ {}", "Profile 1: AVA|"})
    EXPECT_NEAR(width(s), width(s + "\xC3\xA9") - width("\xC3\xA9"), 1e-3) << s;
}

TEST_F(Gui, TrayMenuCarriesTheCommandIds) {
  AddTrayIcon(mainWindow);
  for (int rebuilt = 0; rebuilt < 2; ++rebuilt, RebuildTrayMenu())  // Show Window, About, a separator, Exit
    for (auto [at, id] : {std::pair{0, 2001u}, {1, 2003u}, {3, 2002u}}) EXPECT_EQ(GetMenuItemID(trayMenu, at), id);
  ShowWindow(mainWindow, SW_SHOW), SendMessageA(mainWindow, WM_CLOSE, 0, 0);  // closing hides: the tray keeps us
  EXPECT_TRUE(IsWindow(mainWindow) && !IsWindowVisible(mainWindow));
}

// A window cut to a short work area: the panel scrolls its last line into view.
TEST_F(Gui, AShortPanelScrolls) {
  steeringState.currentTab = 2;
  auto cut = [] { BuildMainPanel(guiContext, MAIN_CLIENT_WIDTH, 400); };
  const std::string last = "Format: F4, ^A (Ctrl+A), !B (Alt+B)";
  auto shown = [&] { return std::any_of(drawn.begin(), drawn.end(), [&](const Drawn& d) { return d.text == last && d.y + d.h <= 400; }); };
  RunFrame([] {}, cut);
  EXPECT_FALSE(shown());
  RunFrame([] { Send(WM_MOUSEMOVE, 0, {200, 200}), Send(WM_MOUSEWHEEL, MAKEWPARAM(0, -1200), {200, 200}); }, cut);
  RunFrame([] {}, cut);
  EXPECT_TRUE(shown());
  RunFrame();  // full height again: not left scrolled
  EXPECT_LT(At("Settings").y, 60);
}

// Windows reports AltGr as Ctrl+Alt: AltGr+A is "ą" on a Polish keyboard, not select-all.
TEST_F(Gui, AltGrTypesInsteadOfActingAsCtrl) {
  Tab(1), SetField("M"), RunFrame(), Click("M");
  Key('A', true), Type(L"abc");
  Key('A', true, true), Type(L"\x0105");
  Key('E', true, true), Key('Z', true, true);
  Click(AWAY);
  EXPECT_STREQ(profileNameInput, "abc\xC4\x85");
}

// Real typing: Unicode key strokes through the queue (TranslateMessage makes the WM_CHARs), a pair for 😀.
TEST_F(Gui, UnicodeTypedThroughSendInputNamesAProfile) {
  ShowWindow(mainWindow, SW_SHOW), SetForegroundWindow(mainWindow), SetFocus(mainWindow);
  Tab(1), Click(POINT{At("Profile Name:").x, At("Profile Name:").y + 28});
  std::vector<INPUT> keys;
  for (wchar_t unit : std::wstring(L"\xE9\x20AC\x65E5\xD83D\xDE00"))
    for (DWORD up : {0ul, DWORD(KEYEVENTF_KEYUP)}) {
      keys.push_back({}), keys.back().type = INPUT_KEYBOARD;
      keys.back().ki.wScan = WORD(unit), keys.back().ki.dwFlags = KEYEVENTF_UNICODE | up;
    }
  ASSERT_EQ(SendInput(UINT(keys.size()), keys.data(), sizeof(INPUT)), keys.size());
  const std::string name = "\xC3\xA9\xE2\x82\xAC\xE6\x97\xA5\xF0\x9F\x98\x80";
  for (int pass = 0; pass < 200 && name != profileNameInput; ++pass) RunFrame([] { DrainMessageQueue(); }), Sleep(5);
  Click("Save");
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(ProfilePath(name)))) << profileNameInput;
  ShowWindow(mainWindow, SW_HIDE);
}

// A frame is drawn when what it shows changed (the wheel, hover, theme), on WM_PAINT, and not otherwise.
TEST_F(Gui, OnlyAChangedFrameIsDrawn) {
  RunFrame();
  const struct { const char* what; std::function<void()> change; int drawn; } rows[] = {
      {"nothing", [] {}, 0},
      {"the wheel", [] { steeringState.steering = 0; }, 1},
      {"nothing again", [] {}, 0},
      {"hover", [] { Send(WM_MOUSEMOVE, 0, At("Profiles")); }, 1},
      {"dark theme", [] { ApplyTheme(guiContext, mainWindow, 1); }, 1},
      {"paint", [] { SendMessageW(mainWindow, WM_PAINT, 0, 0); }, 1}};
  for (const auto& r : rows) {
    r.change();
    EXPECT_EQ(RunFrame(), r.drawn) << r.what;
  }
  ApplyTheme(guiContext, mainWindow, 0);
}

// Wine makes every process per-monitor aware whatever its manifest: read the program's own.
TEST_F(Gui, TheProgramDeclaresPerMonitorV2Awareness) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const auto exe = std::filesystem::path(self).parent_path() / "tarvix.exe";
  HMODULE image = LoadLibraryExA(exe.string().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_TRUE(image) << exe;
  HRSRC found = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_TRUE(found);
  const std::string manifest(static_cast<const char*>(LockResource(LoadResource(image, found))), SizeofResource(image, found));
  EXPECT_NE(manifest.find("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2<"),
            std::string::npos) << manifest;
  FreeLibrary(image);
}

// The rows of a capital H drawn in the GUI font, in window pixels.
int CapitalHeight() {
  RunFrame([] {}, [] {
    nk_begin(guiContext, "cap", nk_rect(0, 0, 120, 120), NK_WINDOW_NO_SCROLLBAR);  // inside its padding
    nk_draw_text(nk_window_get_canvas(guiContext), nk_rect(24, 24, 60, 40), "H", 1, guiContext->style.font, nk_rgb(255, 255, 255), nk_rgb(0, 0, 0));
    nk_end(guiContext);
  });
  int rows = 0;
  for (int y = 0; y < 180; ++y)
    for (int x = 0; x < 180; ++x)
      if (GetRValue(GetPixel(nk_gdi_memory_dc(), x, y)) < 128 && ++rows) break;
  return rows;
}

int IconWidth(HICON icon) {
  ICONINFO info = {};
  BITMAP bitmap = {};
  if (GetIconInfo(icon, &info)) GetObjectA(info.hbmColor, sizeof bitmap, &bitmap), DeleteObject(info.hbmColor), DeleteObject(info.hbmMask);
  return bitmap.bmWidth;
}

// LogPixels is read at a process's start: this test sets 144 and runs itself again to look (the run's
// lock on the Wine desktop keeps every other test out meanwhile), then restores the value.
TEST_F(Gui, WindowFontAndPanelScaleWithTheDpi) {
  if (!std::getenv("TARVIX_GUI_DPI")) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    DWORD old = 0, size = sizeof old, dpi = 144;
    const bool had = RegQueryValueExA(key, "LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&old), &size) == 0;
    RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = std::string("\"") + self + "\" --gtest_filter=Gui.WindowFontAndPanelScaleWithTheDpi";
    SetEnvironmentVariableA("TARVIX_GUI_DPI", "144");
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    PROCESS_INFORMATION child = {};
    DWORD code = 99;
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &child)) {
      WaitForSingleObject(child.hProcess, 120000), GetExitCodeProcess(child.hProcess, &code);
      CloseHandle(child.hProcess), CloseHandle(child.hThread);
    }
    SetEnvironmentVariableA("TARVIX_GUI_DPI", nullptr);
    had ? RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old), sizeof old) : RegDeleteValueA(key, "LogPixels");
    RegCloseKey(key);
    EXPECT_EQ(code, 0u) << "the run at 144 DPI";
    return;
  }
  ASSERT_EQ(GetDpiForWindow(mainWindow), 144u);
  RECT client, frame;
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  GetClientRect(mainWindow, &client), GetWindowRect(mainWindow, &frame);
  GetMonitorInfoA(MonitorFromWindow(mainWindow, MONITOR_DEFAULTTONEAREST), &monitor);
  EXPECT_EQ(client.right, 780);
  EXPECT_TRUE(client.bottom == 960 || (client.bottom < 960 && frame.bottom - frame.top == monitor.rcWork.bottom - monitor.rcWork.top))
      << client.bottom;
  ExpectBothTabsFit();  // in panel units, drawn at 1.5 times
  // The small icons at 150%: the tray's at the system DPI, the title bar's at the window's.
  const auto titleIcon = [] { return IconWidth(HICON(SendMessageW(mainWindow, WM_GETICON, ICON_SMALL, 0))); };
  AddTrayIcon(mainWindow);
  EXPECT_EQ(IconWidth(trayIcon), 24);
  EXPECT_EQ(titleIcon(), 24);
  RemoveTrayIcon();
  // As on a Windows without the DPI calls (before 10 1607): the system DPI's answers, in other units alike.
  const DpiFunctions present = dpiFunctions;
  RECT plain = {0, 0, 780, 960}, wanted = plain;
  AdjustWindowRectExForDpi(&wanted, MAIN_WINDOW_STYLE, FALSE, 0, 144);
  dpiFunctions = {1, nullptr, nullptr, nullptr, nullptr};
  DpiAdjustFrame(&plain, MAIN_WINDOW_STYLE, 144);
  EXPECT_TRUE(EqualRect(&plain, &wanted));
  EXPECT_EQ(DpiOfWindow(mainWindow), 144u);
  for (unsigned int dpi : {96u, 120u, 144u, 192u})
    for (int metric : {SM_CXSMICON, SM_CXICON}) EXPECT_EQ(DpiSystemMetric(metric, dpi), GetSystemMetricsForDpi(metric, dpi)) << dpi;
  dpiFunctions = present;
  const int tall = CapitalHeight();
  const HGDIOBJ tallFont = GetCurrentObject(nk_gdi_memory_dc(), OBJ_FONT);  // selected by the text just drawn
  // As Windows sends it on a move to a 96-DPI monitor: the new DPI and a suggested rectangle.
  RECT suggested = {0, 0, MAIN_CLIENT_WIDTH, MAIN_CLIENT_HEIGHT};
  AdjustWindowRectExForDpi(&suggested, MAIN_WINDOW_STYLE, FALSE, 0, 96);
  OffsetRect(&suggested, 10 - suggested.left, 10 - suggested.top);
  SendMessageW(mainWindow, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
  GetWindowRect(mainWindow, &frame);  // Wine keeps the frame of the system's DPI: the client cannot tell
  EXPECT_TRUE(EqualRect(&frame, &suggested));
  EXPECT_EQ(GetObjectType(tallFont), 0u) << "the font it replaced is deleted";
  EXPECT_EQ(titleIcon(), 16);
  const int small = CapitalHeight();
  EXPECT_GT(small, 5);
  EXPECT_NEAR(tall, 1.5 * small, 1.0) << small;
}

}  // namespace
