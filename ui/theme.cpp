// The two palettes and the flat look laid over Nuklear's default style.
#include "ui/theme.h"

#include "ui/nk.h"

#include <dwmapi.h>

int darkTheme = 0;
struct nk_color backgroundColor = {0, 0, 0, 0};

namespace {

struct ThemeRgb {
  unsigned char r, g, b;
};

// Indexed by Nuklear's colour names, NK_COLOR_TEXT to NK_COLOR_TAB_HEADER.
const ThemeRgb THEME_LIGHT[] = {
    {9, 9, 11},       {255, 255, 255}, {255, 255, 255}, {228, 228, 231}, {244, 244, 245},
    {228, 228, 231},  {37, 99, 235},   {244, 244, 245}, {228, 228, 231}, {9, 9, 11},
    {244, 244, 245},  {37, 99, 235},   {228, 228, 231}, {9, 9, 11},      {39, 39, 42},
    {39, 39, 42},     {244, 244, 245}, {255, 255, 255}, {9, 9, 11},      {255, 255, 255},
    {244, 244, 245},  {37, 99, 235},   {59, 130, 246},  {244, 244, 245}, {161, 161, 170},
    {113, 113, 122},  {82, 82, 91},    {255, 255, 255},
};

const ThemeRgb THEME_DARK[] = {
    {250, 250, 250}, {9, 9, 11},      {9, 9, 11},      {39, 39, 42},    {39, 39, 42},
    {63, 63, 70},    {39, 99, 235},   {39, 39, 42},    {63, 63, 70},    {250, 250, 250},
    {39, 39, 42},    {39, 99, 235},   {39, 39, 42},    {250, 250, 250}, {228, 228, 231},
    {228, 228, 231}, {39, 39, 42},    {24, 24, 27},    {250, 250, 250}, {24, 24, 27},
    {39, 39, 42},    {39, 99, 235},   {59, 130, 246},  {24, 24, 27},    {63, 63, 70},
    {82, 82, 91},    {113, 113, 122}, {9, 9, 11},
};

constexpr int THEME_PALETTE_SIZE = NK_COLOR_TAB_HEADER + 1;
static_assert(sizeof(THEME_LIGHT) / sizeof(THEME_LIGHT[0]) == THEME_PALETTE_SIZE, "light palette");
static_assert(sizeof(THEME_DARK) / sizeof(THEME_DARK[0]) == THEME_PALETTE_SIZE, "dark palette");

// DWMWA_USE_IMMERSIVE_DARK_MODE; older SDK headers do not name it.
constexpr DWORD THEME_DWM_DARK_MODE = 20;

}  // namespace

void FillThemeColorTable(int dark, struct nk_color* table) {
  const ThemeRgb* palette = dark ? THEME_DARK : THEME_LIGHT;
  for (int i = 0; i < THEME_PALETTE_SIZE; ++i)
    table[i] = nk_rgba(palette[i].r, palette[i].g, palette[i].b, 255);
  // The panel shows no knob widget; the knob entries follow the slider's so
  // that none is left undefined.
  table[NK_COLOR_KNOB] = table[NK_COLOR_SLIDER];
  table[NK_COLOR_KNOB_CURSOR] = table[NK_COLOR_SLIDER_CURSOR];
  table[NK_COLOR_KNOB_CURSOR_HOVER] = table[NK_COLOR_SLIDER_CURSOR_HOVER];
  table[NK_COLOR_KNOB_CURSOR_ACTIVE] = table[NK_COLOR_SLIDER_CURSOR_ACTIVE];
}

int QuerySystemDarkTheme() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                    0, KEY_READ, &key) != ERROR_SUCCESS)
    return 0;
  DWORD value = 0;
  DWORD size = sizeof(value);
  // A value that cannot be read counts as absent, which means dark; after a
  // failed read (say, data longer than 4 bytes) the buffer holds nothing usable.
  if (RegQueryValueExA(key, "AppsUseLightTheme", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
      ERROR_SUCCESS)
    value = 0;
  RegCloseKey(key);
  return value == 0 ? 1 : 0;
}

void ApplyTheme(struct nk_context* context, HWND window, int dark) {
  dark = dark ? 1 : 0;
  darkTheme = dark;

  BOOL darkFrame = dark;
  DwmSetWindowAttribute(window, THEME_DWM_DARK_MODE, &darkFrame, sizeof(darkFrame));

  struct nk_color table[NK_COLOR_COUNT];
  FillThemeColorTable(dark, table);
  backgroundColor = table[NK_COLOR_WINDOW];
  if (!context) return;
  nk_style_from_table(context, table);

  const struct nk_color border = table[NK_COLOR_BORDER];
  struct nk_style* style = &context->style;

  style->window.padding = nk_vec2(16, 16);
  style->window.spacing = nk_vec2(8, 8);
  style->window.rounding = 0;
  style->window.border = 0;

  style->button.padding = nk_vec2(16, 8);
  style->button.rounding = 0;
  style->button.border = 0;
  style->button.text_alignment = NK_TEXT_CENTERED;

  style->edit.padding = nk_vec2(12, 8);
  style->edit.rounding = 0;
  style->edit.border = 1;
  style->edit.border_color = border;

  style->combo.button_padding = nk_vec2(12, 8);
  style->combo.rounding = 0;
  style->combo.border = 1;
  style->combo.border_color = border;

  style->slider.bar_height = 6;
  style->slider.rounding = 0;
  style->slider.cursor_size = nk_vec2(10, 20);
  style->slider.show_buttons = nk_false;
  // The tuning slider draws its own 10-pixel knob over Nuklear's, travelling
  // the bounds' full width. Half a knob of side padding puts Nuklear's cursor
  // (and its grab area) exactly under ours instead of peeking out beside it.
  style->slider.padding = nk_vec2(5, 2);

  style->property.padding = nk_vec2(12, 8);
  style->property.rounding = 0;
  style->property.border = 1;
  style->property.border_color = border;

  style->checkbox.padding = nk_vec2(4, 4);
  style->checkbox.border = 2;
  style->checkbox.border_color = border;
}
