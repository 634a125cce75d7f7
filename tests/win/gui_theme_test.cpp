// The theme: both palettes as built into the Nuklear style, the flat-look
// overrides, the clear colour, and the system preference read from Wine's
// registry.
#include "ui/theme.h"
#include "ui/nk.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

struct Rgb {
  int r, g, b;
};

// The two palettes, entry by entry, in Nuklear's colour order.
struct PaletteEntry {
  int index;
  const char* name;
  Rgb light;
  Rgb dark;
};

const PaletteEntry PALETTE[] = {
    {NK_COLOR_TEXT, "text", {9, 9, 11}, {250, 250, 250}},
    {NK_COLOR_WINDOW, "window", {255, 255, 255}, {9, 9, 11}},
    {NK_COLOR_HEADER, "header", {255, 255, 255}, {9, 9, 11}},
    {NK_COLOR_BORDER, "border", {228, 228, 231}, {39, 39, 42}},
    {NK_COLOR_BUTTON, "button", {244, 244, 245}, {39, 39, 42}},
    {NK_COLOR_BUTTON_HOVER, "button hover", {228, 228, 231}, {63, 63, 70}},
    {NK_COLOR_BUTTON_ACTIVE, "button active", {37, 99, 235}, {39, 99, 235}},
    {NK_COLOR_TOGGLE, "toggle", {244, 244, 245}, {39, 39, 42}},
    {NK_COLOR_TOGGLE_HOVER, "toggle hover", {228, 228, 231}, {63, 63, 70}},
    {NK_COLOR_TOGGLE_CURSOR, "toggle cursor", {9, 9, 11}, {250, 250, 250}},
    {NK_COLOR_SELECT, "select", {244, 244, 245}, {39, 39, 42}},
    {NK_COLOR_SELECT_ACTIVE, "select active", {37, 99, 235}, {39, 99, 235}},
    {NK_COLOR_SLIDER, "slider", {228, 228, 231}, {39, 39, 42}},
    {NK_COLOR_SLIDER_CURSOR, "slider cursor", {9, 9, 11}, {250, 250, 250}},
    {NK_COLOR_SLIDER_CURSOR_HOVER, "slider cursor hover", {39, 39, 42}, {228, 228, 231}},
    {NK_COLOR_SLIDER_CURSOR_ACTIVE, "slider cursor active", {39, 39, 42}, {228, 228, 231}},
    {NK_COLOR_PROPERTY, "property", {244, 244, 245}, {39, 39, 42}},
    {NK_COLOR_EDIT, "edit", {255, 255, 255}, {24, 24, 27}},
    {NK_COLOR_EDIT_CURSOR, "edit cursor", {9, 9, 11}, {250, 250, 250}},
    {NK_COLOR_COMBO, "combo", {255, 255, 255}, {24, 24, 27}},
    {NK_COLOR_CHART, "chart", {244, 244, 245}, {39, 39, 42}},
    {NK_COLOR_CHART_COLOR, "chart colour", {37, 99, 235}, {39, 99, 235}},
    {NK_COLOR_CHART_COLOR_HIGHLIGHT, "chart highlight", {59, 130, 246}, {59, 130, 246}},
    {NK_COLOR_SCROLLBAR, "scrollbar", {244, 244, 245}, {24, 24, 27}},
    {NK_COLOR_SCROLLBAR_CURSOR, "scrollbar cursor", {161, 161, 170}, {63, 63, 70}},
    {NK_COLOR_SCROLLBAR_CURSOR_HOVER, "scrollbar cursor hover", {113, 113, 122}, {82, 82, 91}},
    {NK_COLOR_SCROLLBAR_CURSOR_ACTIVE, "scrollbar cursor active", {82, 82, 91}, {113, 113, 122}},
    {NK_COLOR_TAB_HEADER, "tab header", {255, 255, 255}, {9, 9, 11}},
};

::testing::AssertionResult SameColor(nk_color actual, Rgb expected) {
  if (actual.r == expected.r && actual.g == expected.g && actual.b == expected.b && actual.a == 255)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got (" << int(actual.r) << "," << int(actual.g) << "," << int(actual.b)
                                       << "," << int(actual.a) << "), want (" << expected.r << "," << expected.g
                                       << "," << expected.b << ",255)";
}

Rgb Expected(const PaletteEntry& e, int dark) { return dark ? e.dark : e.light; }

float FixedWidth(nk_handle, float, const char*, int length) { return 7.0f * static_cast<float>(length); }

// A context of its own: the theme needs no window to build a style.
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

TEST(Theme, PalettesHoldEveryEntry) {
  for (int dark = 0; dark < 2; ++dark) {
    nk_color table[NK_COLOR_COUNT];
    for (nk_color& c : table) c = nk_rgba(1, 2, 3, 4);  // anything left unset would show
    FillThemeColorTable(dark, table);
    for (const PaletteEntry& e : PALETTE) {
      SCOPED_TRACE(std::string(e.name) + (dark ? " dark" : " light"));
      EXPECT_TRUE(SameColor(table[e.index], Expected(e, dark)));
    }
    for (int i = NK_COLOR_TAB_HEADER + 1; i < NK_COLOR_COUNT; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(table[i].a, 255) << "the knob entries get a value too";
    }
  }
}

// Where nk_style_from_table puts each palette entry; the edit cursor entry has
// no field of its own in this Nuklear (the edit cursor takes the text colour).
struct StyleField {
  int index;
  std::function<nk_color(const nk_style&)> read;
};

const StyleField STYLE_FIELDS[] = {
    {NK_COLOR_TEXT, [](const nk_style& s) { return s.text.color; }},
    {NK_COLOR_WINDOW, [](const nk_style& s) { return s.window.fixed_background.data.color; }},
    {NK_COLOR_HEADER, [](const nk_style& s) { return s.window.header.normal.data.color; }},
    {NK_COLOR_BORDER, [](const nk_style& s) { return s.window.border_color; }},
    {NK_COLOR_BUTTON, [](const nk_style& s) { return s.button.normal.data.color; }},
    {NK_COLOR_BUTTON_HOVER, [](const nk_style& s) { return s.button.hover.data.color; }},
    {NK_COLOR_BUTTON_ACTIVE, [](const nk_style& s) { return s.button.active.data.color; }},
    {NK_COLOR_TOGGLE, [](const nk_style& s) { return s.checkbox.normal.data.color; }},
    {NK_COLOR_TOGGLE_HOVER, [](const nk_style& s) { return s.checkbox.hover.data.color; }},
    {NK_COLOR_TOGGLE_CURSOR, [](const nk_style& s) { return s.checkbox.cursor_normal.data.color; }},
    {NK_COLOR_SELECT, [](const nk_style& s) { return s.selectable.normal.data.color; }},
    {NK_COLOR_SELECT_ACTIVE, [](const nk_style& s) { return s.selectable.normal_active.data.color; }},
    {NK_COLOR_SLIDER, [](const nk_style& s) { return s.slider.bar_normal; }},
    {NK_COLOR_SLIDER_CURSOR, [](const nk_style& s) { return s.slider.cursor_normal.data.color; }},
    {NK_COLOR_SLIDER_CURSOR_HOVER, [](const nk_style& s) { return s.slider.cursor_hover.data.color; }},
    {NK_COLOR_SLIDER_CURSOR_ACTIVE, [](const nk_style& s) { return s.slider.cursor_active.data.color; }},
    {NK_COLOR_PROPERTY, [](const nk_style& s) { return s.property.normal.data.color; }},
    {NK_COLOR_EDIT, [](const nk_style& s) { return s.edit.normal.data.color; }},
    {NK_COLOR_COMBO, [](const nk_style& s) { return s.combo.normal.data.color; }},
    {NK_COLOR_CHART, [](const nk_style& s) { return s.chart.background.data.color; }},
    {NK_COLOR_CHART_COLOR, [](const nk_style& s) { return s.chart.color; }},
    {NK_COLOR_CHART_COLOR_HIGHLIGHT, [](const nk_style& s) { return s.chart.selected_color; }},
    {NK_COLOR_SCROLLBAR, [](const nk_style& s) { return s.scrollh.normal.data.color; }},
    {NK_COLOR_SCROLLBAR_CURSOR, [](const nk_style& s) { return s.scrollh.cursor_normal.data.color; }},
    {NK_COLOR_SCROLLBAR_CURSOR_HOVER, [](const nk_style& s) { return s.scrollh.cursor_hover.data.color; }},
    {NK_COLOR_SCROLLBAR_CURSOR_ACTIVE, [](const nk_style& s) { return s.scrollh.cursor_active.data.color; }},
    {NK_COLOR_TAB_HEADER, [](const nk_style& s) { return s.tab.background.data.color; }},
};

TEST(Theme, StyleIsBuiltFromThePalette) {
  ThemeContext t;
  // Dark, light, then dark again: each application replaces the whole style.
  for (int dark : {1, 0, 1}) {
    ApplyTheme(&t.ctx, nullptr, dark);
    for (const StyleField& f : STYLE_FIELDS) {
      const PaletteEntry& e = PALETTE[f.index];
      SCOPED_TRACE(std::string(e.name) + (dark ? " dark" : " light"));
      EXPECT_TRUE(SameColor(f.read(t.ctx.style), Expected(e, dark)));
    }
  }
}

TEST(Theme, FlatLookOverrides) {
  ThemeContext t;
  for (int dark = 0; dark < 2; ++dark) {
    SCOPED_TRACE(dark ? "dark" : "light");
    // Leave changes in the style that the next application must undo.
    t.ctx.style.button.rounding = 9;
    t.ctx.style.button.normal = nk_style_item_color(nk_rgba(1, 1, 1, 255));
    t.ctx.style.edit.border_color = nk_rgba(1, 1, 1, 255);
    ApplyTheme(&t.ctx, nullptr, dark);
    const nk_style& s = t.ctx.style;
    const Rgb border = dark ? Rgb{39, 39, 42} : Rgb{228, 228, 231};
    auto vec = [](struct nk_vec2 v, float x, float y) { return v.x == x && v.y == y; };

    EXPECT_TRUE(vec(s.window.padding, 16, 16));
    EXPECT_TRUE(vec(s.window.spacing, 8, 8));
    EXPECT_EQ(s.window.rounding, 0);
    EXPECT_EQ(s.window.border, 0);

    EXPECT_TRUE(vec(s.button.padding, 16, 8));
    EXPECT_EQ(s.button.rounding, 0);
    EXPECT_EQ(s.button.border, 0);
    EXPECT_EQ(s.button.text_alignment, static_cast<nk_flags>(NK_TEXT_CENTERED));
    EXPECT_TRUE(SameColor(s.button.normal.data.color, dark ? Rgb{39, 39, 42} : Rgb{244, 244, 245}));

    EXPECT_TRUE(vec(s.edit.padding, 12, 8));
    EXPECT_EQ(s.edit.rounding, 0);
    EXPECT_EQ(s.edit.border, 1);
    EXPECT_TRUE(SameColor(s.edit.border_color, border));

    EXPECT_TRUE(vec(s.combo.button_padding, 12, 8));
    EXPECT_EQ(s.combo.rounding, 0);
    EXPECT_EQ(s.combo.border, 1);
    EXPECT_TRUE(SameColor(s.combo.border_color, border));

    EXPECT_EQ(s.slider.bar_height, 6);
    EXPECT_EQ(s.slider.rounding, 0);
    EXPECT_TRUE(vec(s.slider.cursor_size, 10, 20));
    EXPECT_FALSE(s.slider.show_buttons);
    // Half the knob's width at each side, so Nuklear's cursor sits under ours.
    EXPECT_TRUE(vec(s.slider.padding, 5, 2));

    EXPECT_TRUE(vec(s.property.padding, 12, 8));
    EXPECT_EQ(s.property.rounding, 0);
    EXPECT_EQ(s.property.border, 1);
    EXPECT_TRUE(SameColor(s.property.border_color, border));

    EXPECT_TRUE(vec(s.checkbox.padding, 4, 4));
    EXPECT_EQ(s.checkbox.border, 2);
    EXPECT_TRUE(SameColor(s.checkbox.border_color, border));
  }
}

TEST(Theme, FlagAndBackgroundFollowTheTheme) {
  ThemeContext t;
  struct Case {
    int dark;
    int flag;
    Rgb background;
  } cases[] = {{0, 0, {255, 255, 255}}, {1, 1, {9, 9, 11}}, {7, 1, {9, 9, 11}}, {0, 0, {255, 255, 255}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dark);
    ApplyTheme(&t.ctx, nullptr, c.dark);
    EXPECT_EQ(darkTheme, c.flag);
    EXPECT_TRUE(SameColor(backgroundColor, c.background));
  }
}

LRESULT CALLBACK PlainWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

TEST(Theme, AppliesToARealWindow) {
  // The title bar itself cannot be seen under Wine; the call must simply work
  // on a real window and leave the rest of the theme applied.
  WNDCLASSA wc = {};
  wc.lpfnWndProc = PlainWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "TXThemeTestWnd";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, wc.lpszClassName, "theme", 0xCA0000, 0, 0, 100, 100, nullptr, nullptr,
                                wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  ThemeContext t;
  ApplyTheme(&t.ctx, window, 1);
  EXPECT_EQ(darkTheme, 1);
  EXPECT_TRUE(SameColor(t.ctx.style.window.fixed_background.data.color, {9, 9, 11}));
  ApplyTheme(&t.ctx, window, 0);
  EXPECT_EQ(darkTheme, 0);
  EXPECT_TRUE(SameColor(backgroundColor, {255, 255, 255}));
}

// ---- The system preference ----

const char* const PERSONALIZE = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
const char* const THEMES = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes";

// Brings the Personalize key to a known state and puts back what was there.
class SystemPreference : public ::testing::Test {
 protected:
  void SetUp() override {
    HKEY key;
    hadKey = false;
    hadValue = false;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, PERSONALIZE, 0, KEY_READ, &key) == ERROR_SUCCESS) {
      hadKey = true;
      DWORD size = sizeof(savedValue);
      hadValue = RegQueryValueExA(key, "AppsUseLightTheme", nullptr, nullptr,
                                  reinterpret_cast<BYTE*>(&savedValue), &size) == ERROR_SUCCESS;
      RegCloseKey(key);
    }
  }
  void TearDown() override {
    RemoveKey();
    if (hadValue) SetDword(savedValue);
    else if (hadKey) RegCloseKey(MakeKey());
  }

  static void RemoveKey() {
    HKEY themes;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, THEMES, 0, KEY_ALL_ACCESS, &themes) == ERROR_SUCCESS) {
      RegDeleteKeyA(themes, "Personalize");
      RegCloseKey(themes);
    }
  }
  static HKEY MakeKey() {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, PERSONALIZE, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
  }
  static void SetValue(DWORD type, const void* data, DWORD size) {
    HKEY key = MakeKey();
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(RegSetValueExA(key, "AppsUseLightTheme", 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static void SetDword(DWORD value) { SetValue(REG_DWORD, &value, sizeof(value)); }

  bool hadKey;
  bool hadValue;
  DWORD savedValue;
};

TEST_F(SystemPreference, ReadsAppsUseLightTheme) {
  const unsigned long long wide = 1;
  struct Case {
    const char* name;
    std::function<void()> prepare;
    int dark;
  } cases[] = {
      {"key absent", [] { RemoveKey(); }, 0},
      {"value 0", [] { SetDword(0); }, 1},
      {"value 1", [] { SetDword(1); }, 0},
      {"value 7", [] { SetDword(7); }, 0},
      {"key without the value", [] { RemoveKey(); RegCloseKey(MakeKey()); }, 1},
      {"value 0 again after a light one", [] { SetDword(1); SetDword(0); }, 1},
      // More data than a DWORD cannot be read; like a missing value, that is dark.
      {"value too long to read", [&] { SetValue(REG_QWORD, &wide, sizeof(wide)); }, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveKey();
    c.prepare();
    EXPECT_EQ(QuerySystemDarkTheme(), c.dark);
  }
}

}  // namespace
