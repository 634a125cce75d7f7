// The theme: the palettes' telling entries as built into the Nuklear style, the
// flat-look overrides the widgets rely on, the clear colour, and the system
// preference read from Wine's registry.
#include "tests/support/gui_test_win32.h"
#include "ui/nk.h"
#include "ui/theme.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

struct Rgb {
  int r, g, b;
};

::testing::AssertionResult SameColor(nk_color actual, Rgb expected) {
  if (actual.r == expected.r && actual.g == expected.g && actual.b == expected.b && actual.a == 255)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got (" << int(actual.r) << "," << int(actual.g) << "," << int(actual.b)
                                       << "," << int(actual.a) << "), want (" << expected.r << "," << expected.g
                                       << "," << expected.b << ",255)";
}

float FixedWidth(nk_handle, float, const char*, int length) { return 7.0f * static_cast<float>(length); }

// A context of its own: the theme needs no binding to build a style.
struct ThemeContext {
  nk_user_font font;
  nk_context ctx;
  ThemeContext() {
    font.userdata = nk_handle_ptr(nullptr);
    font.height = 13;
    font.width = FixedWidth;
    nk_init_default(&ctx, &font);
  }
  ~ThemeContext() { nk_free(&ctx); }
};

// The entries where the two palettes differ in ways easy to get wrong: the
// dark blues have red 39, not 37; the slider cursor's hover and the scrollbar
// cursor's hover and active are swapped between themes; the highlight is the
// same in both; the last entry is the tab header. Each is checked in the table
// and in the style field that nk_style_from_table builds from it.
struct KeyEntry {
  int index;
  Rgb light, dark;
  nk_color (*styleField)(const nk_style&);
};

const KeyEntry KEY_ENTRIES[] = {
    {NK_COLOR_TEXT, {9, 9, 11}, {250, 250, 250}, [](const nk_style& s) { return s.text.color; }},
    {NK_COLOR_WINDOW, {255, 255, 255}, {9, 9, 11},
     [](const nk_style& s) { return s.window.fixed_background.data.color; }},
    {NK_COLOR_BUTTON_ACTIVE, {37, 99, 235}, {39, 99, 235},
     [](const nk_style& s) { return s.button.active.data.color; }},
    {NK_COLOR_SELECT_ACTIVE, {37, 99, 235}, {39, 99, 235},
     [](const nk_style& s) { return s.selectable.normal_active.data.color; }},
    {NK_COLOR_SLIDER_CURSOR_HOVER, {39, 39, 42}, {228, 228, 231},
     [](const nk_style& s) { return s.slider.cursor_hover.data.color; }},
    {NK_COLOR_EDIT, {255, 255, 255}, {24, 24, 27}, [](const nk_style& s) { return s.edit.normal.data.color; }},
    {NK_COLOR_CHART_COLOR_HIGHLIGHT, {59, 130, 246}, {59, 130, 246},
     [](const nk_style& s) { return s.chart.selected_color; }},
    {NK_COLOR_SCROLLBAR_CURSOR_HOVER, {113, 113, 122}, {82, 82, 91},
     [](const nk_style& s) { return s.scrollh.cursor_hover.data.color; }},
    {NK_COLOR_SCROLLBAR_CURSOR_ACTIVE, {82, 82, 91}, {113, 113, 122},
     [](const nk_style& s) { return s.scrollh.cursor_active.data.color; }},
    {NK_COLOR_TAB_HEADER, {255, 255, 255}, {9, 9, 11}, [](const nk_style& s) { return s.tab.background.data.color; }},
};

TEST(Theme, PalettesAndTheStyleBuiltFromThem) {
  ThemeContext t;
  // Dark, light, then dark again: each application replaces the whole style.
  for (int dark : {1, 0, 1}) {
    nk_color table[NK_COLOR_COUNT];
    for (nk_color& c : table) c = nk_rgba(1, 2, 3, 4);  // anything left unset would show
    FillThemeColorTable(dark, table);
    for (int i = 0; i < NK_COLOR_COUNT; ++i) EXPECT_EQ(table[i].a, 255) << "entry " << i << " is opaque";
    ApplyTheme(&t.ctx, nullptr, dark);
    for (const KeyEntry& e : KEY_ENTRIES) {
      SCOPED_TRACE(testing::Message() << "entry " << e.index << (dark ? " dark" : " light"));
      EXPECT_TRUE(SameColor(table[e.index], dark ? e.dark : e.light));
      EXPECT_TRUE(SameColor(e.styleField(t.ctx.style), dark ? e.dark : e.light));
    }
  }
}

// Each application rebuilds the whole style, overrides included, so that what
// the panel or an earlier theme left in it is gone. (The window padding and
// spacing and the slider's cursor are pinned by the slider and panel tests.)
TEST(Theme, FlatLookOverridesSurviveEachApplication) {
  ThemeContext t;
  for (int dark = 0; dark < 2; ++dark) {
    SCOPED_TRACE(dark ? "dark" : "light");
    t.ctx.style.button.rounding = 9;
    t.ctx.style.button.normal = nk_style_item_color(nk_rgba(1, 1, 1, 255));
    t.ctx.style.edit.border_color = nk_rgba(1, 1, 1, 255);
    ApplyTheme(&t.ctx, nullptr, dark);
    const nk_style& s = t.ctx.style;
    EXPECT_EQ(s.button.rounding, 0);
    EXPECT_EQ(s.button.border, 0);
    EXPECT_EQ(s.button.text_alignment, static_cast<nk_flags>(NK_TEXT_CENTERED));
    EXPECT_TRUE(SameColor(s.button.normal.data.color, dark ? Rgb{39, 39, 42} : Rgb{244, 244, 245}));
    EXPECT_EQ(s.edit.border, 1);
    EXPECT_TRUE(SameColor(s.edit.border_color, dark ? Rgb{39, 39, 42} : Rgb{228, 228, 231}));
  }
}

// On a real window too: the title bar cannot be seen under Wine, but the call
// must work and leave the rest of the theme applied.
TEST(Theme, FlagAndBackgroundFollowTheTheme) {
  HWND window = CreateGuiTestWindow("TXThemeTestWnd");
  ASSERT_NE(window, nullptr);
  ThemeContext t;
  struct Case {
    int dark, flag;
    Rgb background;
  } cases[] = {{0, 0, {255, 255, 255}}, {1, 1, {9, 9, 11}}, {7, 1, {9, 9, 11}}, {0, 0, {255, 255, 255}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dark);
    ApplyTheme(&t.ctx, window, c.dark);
    EXPECT_EQ(darkTheme, c.flag);
    EXPECT_TRUE(SameColor(backgroundColor, c.background));
  }
  DestroyWindow(window);
}

// ---- The system preference ----

const char* const PERSONALIZE = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

void RemovePersonalizeKey() { RegDeleteKeyA(HKEY_CURRENT_USER, PERSONALIZE); }

void SetPreference(DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, PERSONALIZE, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  if (data) RegSetValueExA(key, "AppsUseLightTheme", 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

void SetDword(DWORD value) { SetPreference(REG_DWORD, &value, sizeof(value)); }

TEST(SystemPreference, ReadsAppsUseLightTheme) {
  const unsigned long long wide = 1;
  struct Case {
    const char* name;
    std::function<void()> prepare;
    int dark;
  } cases[] = {
      {"key absent", [] {}, 0},
      {"value 0", [] { SetDword(0); }, 1},
      {"value 1", [] { SetDword(1); }, 0},
      {"value 7", [] { SetDword(7); }, 0},
      {"key without the value", [] { SetPreference(REG_NONE, nullptr, 0); }, 1},
      // More data than a DWORD cannot be read; like a missing value, that is dark.
      {"value too long to read", [&] { SetPreference(REG_QWORD, &wide, sizeof(wide)); }, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RemovePersonalizeKey();
    c.prepare();
    EXPECT_EQ(QuerySystemDarkTheme(), c.dark);
  }
  RemovePersonalizeKey();  // as a fresh prefix has it
}

}  // namespace
