// The panel, the slider and our GDI binding in-process: the real main window and GUI, files in a
// private folder. Input goes in as window messages; widgets are found by the text they were drawn with.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "app/nk_gdi.h"
#include "app/shell.h"
#include "engine/tuning.h"
#include "input/hotkeys.h"
#include "storage/profile_store.h"
#include "storage/settings_file.h"
#include "ui/main_panel.h"
#include "ui/nk.h"
#include "ui/theme.h"

namespace {

// What a frame drew: its texts, and the sliders' knob outlines and bars.
struct Drawn {
  int type;
  float x, y, w, h;
  std::string text;
};
std::vector<Drawn> drawn;
constexpr POINT AWAY = {3, 3};  // in the window's padding, on no widget

template <typename Command>
void Keep(const nk_command* c, std::string text = "") {
  auto* s = reinterpret_cast<const Command*>(c);
  drawn.push_back({c->type, float(s->x), float(s->y), float(s->w), float(s->h), text});
}

// One pass as the main loop makes it: input, panel, render.
void RunFrame(const std::function<void()>& input = [] {}, void (*build)() = BuildMainPanel) {
  nk_input_begin(guiContext);
  input();
  nk_input_end(guiContext);
  build();
  drawn.clear();
  const nk_command* c;
  nk_foreach(c, guiContext) {
    auto* t = reinterpret_cast<const nk_command_text*>(c);
    if (c->type == NK_COMMAND_TEXT) Keep<nk_command_text>(c, {t->string, size_t(t->length)});
    if (c->type == NK_COMMAND_RECT && reinterpret_cast<const nk_command_rect*>(c)->line_thickness == 2)
      Keep<nk_command_rect>(c);
    if (c->type == NK_COMMAND_RECT_FILLED && reinterpret_cast<const nk_command_rect_filled*>(c)->h == 6)
      Keep<nk_command_rect_filled>(c);
  }
  nk_gdi_render(backgroundColor);
}

POINT Mid(const Drawn& d) { return {LONG(d.x + d.w / 2), LONG(d.y + d.h / 2)}; }
POINT At(const std::string& text) {
  for (const Drawn& d : drawn)
    if (d.type == NK_COMMAND_TEXT && d.text == text) return Mid(d);
  ADD_FAILURE() << "no \"" << text << "\" drawn";
  return AWAY;
}
// The widest shape of a kind in the slider under a readout: its knob outline, or its track.
Drawn Below(const std::string& readout, int type) {
  Drawn found = {type, 0, 0, 0, 0, ""};
  const float top = float(At(readout).y);
  for (const Drawn& d : drawn)
    if (d.type == type && d.y > top && d.y < top + 50 && d.w > found.w) found = d;
  return found;
}

void Send(UINT message, WPARAM wParam, POINT p) { SendMessageA(mainWindow, message, wParam, MAKELPARAM(p.x, p.y)); }
// Press in one pass, release in the next, as the drain hands a click over; dx drags in between.
void Click(POINT p, int dx = 0) {
  RunFrame([&] { Send(WM_MOUSEMOVE, 0, p); Send(WM_LBUTTONDOWN, MK_LBUTTON, p); });
  if (dx) RunFrame([&] { Send(WM_MOUSEMOVE, MK_LBUTTON, {p.x + dx, p.y}); });
  RunFrame([&] { Send(WM_LBUTTONUP, 0, {p.x + dx, p.y}); Send(WM_MOUSEMOVE, 0, AWAY); });
}
void Click(const std::string& text) { Click(At(text)); }
void Key(WPARAM vk, bool ctrl = false) {
  BYTE keys[256] = {};
  keys[VK_CONTROL] = ctrl ? 0x80 : 0;
  SetKeyboardState(keys);
  RunFrame([&] { Send(WM_KEYDOWN, vk, {1, 0}); Send(WM_KEYUP, vk, {1, 0xC000}); });
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
bool Holds(const std::string& path, const std::string& line) { return Read(path).find(line) != std::string::npos; }
std::string ProfilePath(const std::string& name) { return std::string(profileFolderPath) + "\\" + name + ".txt"; }
void SetField(const std::string& text) { snprintf(profileNameInput, sizeof profileNameInput, "%s", text.c_str()); }

class Gui : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!mainWindow) {
      char temp[MAX_PATH];
      GetTempPathA(sizeof temp, temp);
      const std::string folder = temp + ("tarvix-gui-" + std::to_string(GetCurrentProcessId()));
      CreateDirectoryA(folder.c_str(), nullptr);
      SetDataFolder(folder.c_str());
      mainWindow = hotkeyWindow = CreateMainWindow(GetModuleHandleA(nullptr));
      ApplyTheme(CreateGui(mainWindow), mainWindow, 0);
    }
    ASSERT_NE(guiContext, nullptr);
    ResetToDefaults();
    std::filesystem::remove_all(profileFolderPath);
    CreateDirectoryA(profileFolderPath, nullptr);
    DeleteFileA(settingsFilePath);
    ScanProfiles();
    selectedProfile = 0;
    profileNameInput[0] = appliedHotkeyLock[0] = appliedHotkeyRecenter[0] = '\0';
    Click(AWAY);  // leaves a field that an earlier test left active
  }
  void Tab(int tab) {
    steeringState.currentTab = tab;
    RunFrame();
  }
};

// Windows file names ignore case: "default" would overwrite or delete Default.txt.
TEST_F(Gui, DefaultIsNeitherSavedNorDeletedInAnyCaseAndLoadsOnlyByItsExactName) {
  SaveProfile("Default");
  ScanProfiles();
  const std::string before = Read(ProfilePath("Default"));
  for (const char* name : {"default", "DEFAULT", "dEfAuLt", "Default"}) {
    SCOPED_TRACE(name);
    tuningSettings.sensitivity = 99.0f;
    SetField(name);
    Tab(1);
    Click("Save");
    Click("Delete");
    EXPECT_EQ(Read(ProfilePath("Default")), before);
    Click("Load");
    EXPECT_EQ(tuningSettings.sensitivity, std::strcmp(name, "Default") ? 99.0f : 45.0f);
  }
}

TEST_F(Gui, ProfileRowsAndTheLoadSaveAndDeleteButtons) {
  for (int i = 10; i < 21; ++i) {
    tuningSettings.sensitivity = float(i);
    SaveProfile(("P" + std::to_string(i)).c_str());
  }
  ScanProfiles();
  const std::string second = profileNames[1], eleventh = profileNames[10];
  Tab(1);
  for (int selected : {1, -1}) {  // a second click deselects
    Click(second);
    EXPECT_EQ(selectedProfile, selected);
    EXPECT_EQ(profileNameInput, selected < 0 ? "" : second);
  }
  EXPECT_EQ(std::count_if(drawn.begin(), drawn.end(), [](const Drawn& d) { return d.text.size() == 3; }), 10);
  SetField(eleventh);  // listed, though only ten rows are shown
  tuningSettings.sensitivity = 99.0f;
  DeleteFileA(settingsFilePath);
  Click("Load");
  EXPECT_EQ(tuningSettings.sensitivity, std::stof(eleventh.substr(1)));
  EXPECT_EQ(selectedProfile, 10);
  EXPECT_TRUE(Holds(settingsFilePath, "profile=" + eleventh + "\r\n"));

  tuningSettings.sensitivity = 77.0f;
  SetField("Gamma");
  Click("Save");
  EXPECT_TRUE(Holds(ProfilePath("Gamma"), "sensitivity=77.0\r\n"));
  ASSERT_GE(selectedProfile, 0);
  EXPECT_STREQ(profileNames[selectedProfile], "Gamma");
  steeringState.profileModified = 1;
  RunFrame();
  Click("Update");
  Click("Delete");
  EXPECT_EQ(Read(ProfilePath("Gamma")), "");
  EXPECT_EQ(profileCount, 11);
  EXPECT_EQ(selectedProfile, -1);
  EXPECT_STREQ(profileNameInput, "");
}

// A quick click can queue press and release together; they must reach the GUI in separate passes.
TEST_F(Gui, PressAndReleaseQueuedTogetherStillClick) {
  const POINT p = At("Settings");
  for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}) PostMessageA(mainWindow, message, 0, MAKELPARAM(p.x, p.y));
  for (int pass = 0; pass < 3; ++pass) RunFrame([] { EXPECT_EQ(DrainMessageQueue(), 1); });
  EXPECT_EQ(steeringState.currentTab, 2);
}

TEST_F(Gui, HotkeyTextIsAppliedWhenItsFieldIsLeftChanged) {
  const struct { const wchar_t* typed; bool backspace, applied; } cases[] = {
      {L"F7", false, true}, {L"F7X", true, false} /* the applied text again */, {L"\u00e9", false, false} /* not ASCII */};
  Tab(2);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed[0] + c.backspace);
    UnregisterHotKey(mainWindow, HOTKEY_ID_LOCK);
    DeleteFileA(settingsFilePath);
    Click(std::string(tuningSettings.hotkeyLock));
    Key('A', true);
    RunFrame([&] { for (const wchar_t* t = c.typed; *t; ++t) Send(WM_CHAR, *t, {1, 0}); });
    if (c.backspace) Key(VK_BACK);
    EXPECT_STREQ(tuningSettings.hotkeyLock, "F7");
    EXPECT_EQ(Read(settingsFilePath), "") << "nothing applied while typing";
    Click(AWAY);
    EXPECT_EQ(Holds(settingsFilePath, "hotkeyLock=F7\r\n"), c.applied);
    EXPECT_EQ(UnregisterHotKey(mainWindow, HOTKEY_ID_LOCK) != 0, c.applied) << "registered again";
  }
}

// The filter's slider saves before the window changes; the file must end with the new window.
TEST_F(Gui, SlidersSaveOnlyAChangeKeepTheKnobOnTheTrackAndTheFilterSavesItsNewWindow) {
  steeringState.ringCount = 2;
  RunFrame();
  const POINT curve = Mid(Below("Non-Linearity: 1.5", NK_COMMAND_RECT)), filter = Mid(Below("Input Filter: 2.0", NK_COMMAND_RECT));
  Click(curve);
  EXPECT_EQ(steeringState.profileModified, 0);
  EXPECT_EQ(Read(settingsFilePath), "") << "no change, no save";
  Click(curve, 36);  // one and a half steps right
  EXPECT_NEAR(tuningSettings.responseCurve, 1.6f, 1e-5);
  EXPECT_EQ(steeringState.profileModified, 1);
  EXPECT_TRUE(Holds(settingsFilePath, "responseCurve=1.60\r\n"));
  Click(filter, 36);
  EXPECT_EQ(steeringState.ringCount, 0);
  EXPECT_TRUE(Holds(settingsFilePath, "smoothing=3\r\n"));
  for (float range : {10.0f, 100.0f}) {
    tuningSettings.steeringLimit = range;
    RunFrame();
    const std::string readout = "Wheel Range: " + std::to_string(int(range)) + ".0";
    const Drawn knob = Below(readout, NK_COMMAND_RECT), track = Below(readout, NK_COMMAND_RECT_FILLED);
    EXPECT_EQ(range < 50 ? knob.x : knob.x + knob.w, range < 50 ? track.x : track.x + track.w) << range;
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
    SCOPED_TRACE(c.field);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (c.clip.size() + 1) * sizeof(wchar_t));
    std::memcpy(GlobalLock(block), c.clip.c_str(), (c.clip.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(block);
    ASSERT_TRUE(OpenClipboard(nullptr) && EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, block));
    CloseClipboard();
    std::memset(profileNameInput, 0, sizeof profileNameInput);
    SetField("M");  // one letter: no old byte can stay behind the pasted text
    RunFrame();
    Click("M");
    Key('A', true);
    Key('V', true);
    Click(AWAY);
    EXPECT_EQ(std::string(profileNameInput, sizeof profileNameInput), c.field + std::string(128 - c.field.size(), 0));
  }
}

// Our binding: opaque fills whatever their alpha, text without a box, and
// each frame's clear over the whole surface whatever clip the last one left.
TEST_F(Gui, BindingFillsOpaqueDrawsBareTextAndClearsEverything) {
  RunFrame([] {}, [] {
    if (nk_begin(guiContext, "probe", nk_rect(0, 0, 200, 100), 0)) {
      nk_command_buffer* canvas = nk_window_get_canvas(guiContext);
      nk_fill_rect(canvas, nk_rect(10, 10, 20, 20), 0, nk_rgba(200, 10, 10, 40));
      nk_draw_text(canvas, nk_rect(40, 10, 150, 20), "Hello", 5, guiContext->style.font, nk_rgb(0, 255, 0),
                   nk_rgb(0, 0, 255));
      nk_push_scissor(canvas, nk_rect(0, 0, 5, 5));
    }
    nk_end(guiContext);
  });
  HDC dc = nk_gdi_memory_dc();
  int glyph = 0, box = 0;
  for (int at = 0; at < 160 * 30; ++at) {
    glyph += GetPixel(dc, 35 + at % 160, 5 + at / 160) == RGB(0, 0, 255);
    box += GetPixel(dc, 35 + at % 160, 5 + at / 160) == RGB(0, 255, 0);
  }
  EXPECT_EQ(GetPixel(dc, 20, 20), RGB(200, 10, 10));
  EXPECT_GT(glyph, 10);
  EXPECT_EQ(box, 0);
  nk_gdi_render(nk_rgba(4, 5, 6, 0));  // no command left: the clear alone
  for (POINT p : {POINT{2, 2}, POINT{100, 50}, POINT{519, 639}}) EXPECT_EQ(GetPixel(dc, p.x, p.y), RGB(4, 5, 6));
}

TEST_F(Gui, TrayMenuCarriesTheCommandIds) {
  AddTrayIcon(mainWindow);
  for (int rebuilt = 0; rebuilt < 2; ++rebuilt, RebuildTrayMenu()) {
    const UINT ids[] = {GetMenuItemID(trayMenu, 0), GetMenuItemID(trayMenu, 1), GetMenuItemID(trayMenu, 3)};
    EXPECT_EQ(std::vector<UINT>(ids, ids + 3), std::vector<UINT>({2001, 2003, 2002}));  // Show Window, About, Exit
  }
  RemoveTrayIcon();
  trayMenu = nullptr;
}

}  // namespace
