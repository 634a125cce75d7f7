// The tuning slider in a real window under Wine: what it draws, what a drag
// does to the value, the profile flag and the settings file, and where its
// tooltip shows.
#include "app/nk_gdi.h"
#include "engine/tuning.h"
#include "storage/settings_file.h"
#include "ui/nk.h"
#include "ui/theme.h"
#include "ui/tuning_slider.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr int TEST_WIDTH = 520;
constexpr int TEST_HEIGHT = 640;

HWND testWindow;
nk_context* ctx;
char testSettingsPath[MAX_PATH];

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// The binding made once, as at start-up, and the settings file pointed at a
// file of the test's own.
class SliderEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = TestWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TXSliderTestWnd";
    RegisterClassExA(&wc);
    RECT r = {0, 0, TEST_WIDTH, TEST_HEIGHT};
    AdjustWindowRect(&r, 0xCA0000, FALSE);
    testWindow = CreateWindowExA(0, wc.lpszClassName, "slider test", 0xCA0000, 0, 0, r.right - r.left,
                                 r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(testWindow, nullptr);
    ctx = nk_gdi_init(nk_gdifont_create("Segoe UI", 13), GetDC(testWindow), TEST_WIDTH, TEST_HEIGHT);
    ASSERT_NE(ctx, nullptr);

    char folder[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof(folder), folder), 0u);
    snprintf(testSettingsPath, sizeof(testSettingsPath), "%starvix-slider-%lu.txt", folder, GetCurrentProcessId());
    ASSERT_LT(strlen(testSettingsPath), sizeof(settingsFilePath));
    strcpy(settingsFilePath, testSettingsPath);
  }
  void TearDown() override { DeleteFileA(testSettingsPath); }
};

const ::testing::Environment* const sliderEnvironment =
    ::testing::AddGlobalTestEnvironment(new SliderEnvironment);

bool SettingsFileExists() { return GetFileAttributesA(testSettingsPath) != INVALID_FILE_ATTRIBUTES; }

std::string SettingsFileText() {
  std::string text;
  FILE* f = fopen(testSettingsPath, "rb");
  if (!f) return text;
  char buffer[512];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) text.append(buffer, n);
  fclose(f);
  return text;
}

// Where the panel's first slider lies: the window padding (16) in from the
// edges, below the 20-pixel readout row and the 8-pixel row spacing.
const struct nk_rect SLIDER = {16, 44, TEST_WIDTH - 32, 32};
const struct nk_rect READOUT = {16, 16, TEST_WIDTH - 32, 20};

struct TextSeen {
  std::string text;
  int x, y;
};

struct FilledRect {
  int x, y, w, h;
  nk_color color;
};

// What a frame put in the command list.
struct FrameRecord {
  std::vector<TextSeen> texts;
  std::vector<FilledRect> fills;

  bool HasText(const std::string& s) const {
    for (const TextSeen& t : texts)
      if (t.text == s) return true;
    return false;
  }
  bool HasTextContaining(char c) const {
    for (const TextSeen& t : texts)
      if (t.text.find(c) != std::string::npos) return true;
    return false;
  }
};

struct SliderArgs {
  const char* label;
  const char* tooltip;
  float* value;
  float min, max, step;
};

// One pass as the main loop makes it: input, the slider in a window over the
// whole client area, then render with the theme's clear colour.
FrameRecord Frame(const SliderArgs& a, const std::function<void()>& input = [] {}) {
  nk_input_begin(ctx);
  input();
  nk_input_end(ctx);
  if (nk_begin(ctx, "panel", nk_rect(0, 0, TEST_WIDTH, TEST_HEIGHT), NK_WINDOW_NO_SCROLLBAR))
    TuningSlider(ctx, a.label, a.tooltip, a.value, a.min, a.max, a.step);
  nk_end(ctx);

  FrameRecord record;
  const struct nk_command* cmd;
  nk_foreach(cmd, ctx) {
    if (cmd->type == NK_COMMAND_TEXT) {
      const auto* t = reinterpret_cast<const struct nk_command_text*>(cmd);
      record.texts.push_back({std::string(t->string, static_cast<size_t>(t->length)), t->x, t->y});
    } else if (cmd->type == NK_COMMAND_RECT_FILLED) {
      const auto* r = reinterpret_cast<const struct nk_command_rect_filled*>(cmd);
      record.fills.push_back({r->x, r->y, r->w, r->h, r->color});
    }
  }
  nk_gdi_render(backgroundColor);
  return record;
}

void Move(int x, int y) { nk_gdi_handle_event(testWindow, WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); }
void Press(int x, int y) { nk_gdi_handle_event(testWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
void Release(int x, int y) { nk_gdi_handle_event(testWindow, WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }

// Pointer parked away from the slider, button up, no flag, no file.
void Settle(const SliderArgs& a) {
  Frame(a, [] {
    Release(300, 600);
    Move(300, 600);
  });
  Frame(a);
  steeringState.profileModified = 0;
  DeleteFileA(testSettingsPath);
}

COLORREF Pixel(int x, int y) { return GetPixel(nk_gdi_memory_dc(), x, y); }

struct ThemeColors {
  int dark;
  COLORREF track, accent, body, background;
};

const ThemeColors THEMES[] = {
    {0, RGB(228, 228, 231), RGB(37, 99, 235), RGB(255, 255, 255), RGB(255, 255, 255)},
    {1, RGB(39, 39, 42), RGB(59, 130, 246), RGB(250, 250, 250), RGB(9, 9, 11)},
};

const char* const CURVE_TIP = "Adjusts steering curve.\n1.0 = Linear\nHigher = Precise center, fast edges";

TEST(TuningSlider, FrameWithoutChangeNeitherFlagsNorWrites) {
  ApplyTheme(ctx, testWindow, 0);
  float value = 40.0f;
  const SliderArgs a = {"Steering Sensitivity", "tip", &value, 1.0f, 120.0f, 1.0f};
  Settle(a);
  struct Step {
    const char* name;
    std::function<void()> input;
  } steps[] = {
      {"idle", [] {}},
      {"pointer over the slider", [] { Move(200, 60); }},
      {"press beside the knob", [] { Press(480, 60); }},
      {"release", [] { Release(480, 60); }},
      {"pointer over the readout", [] { Move(60, 26); }},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    Frame(a, s.input);
    EXPECT_EQ(value, 40.0f);
    EXPECT_EQ(steeringState.profileModified, 0);
    EXPECT_FALSE(SettingsFileExists());
  }
}

TEST(TuningSlider, DragChangesValueFlagsProfileAndSaves) {
  ApplyTheme(ctx, testWindow, 0);
  tuningSettings.responseCurve = 1.5f;
  const SliderArgs a = {"Non-Linearity", CURVE_TIP, &tuningSettings.responseCurve, 1.0f, 3.0f, 0.1f};
  Settle(a);

  // The knob's middle, and one step of the range in pixels.
  const float usable = SLIDER.w - 10;
  const int knobX = static_cast<int>(SLIDER.x + usable * 0.25f + 5);
  const int knobY = static_cast<int>(SLIDER.y + SLIDER.h / 2);
  const float stepPixels = usable / 20;

  FrameRecord pressed = Frame(a, [&] {
    Move(knobX, knobY);
    Press(knobX, knobY);
  });
  EXPECT_FLOAT_EQ(tuningSettings.responseCurve, 1.5f);
  EXPECT_EQ(steeringState.profileModified, 0);
  EXPECT_FALSE(SettingsFileExists());
  EXPECT_TRUE(pressed.HasText("Non-Linearity: 1.5"));

  const int dragX = knobX + static_cast<int>(stepPixels * 1.5f);
  FrameRecord moved = Frame(a, [&] { Move(dragX, knobY); });
  EXPECT_NEAR(tuningSettings.responseCurve, 1.6f, 1e-5);
  EXPECT_EQ(steeringState.profileModified, 1);
  ASSERT_TRUE(SettingsFileExists());
  EXPECT_NE(SettingsFileText().find("responseCurve=1.60"), std::string::npos) << SettingsFileText();
  // The readout still shows the value the frame began with...
  EXPECT_TRUE(moved.HasText("Non-Linearity: 1.5"));
  EXPECT_FALSE(moved.HasText("Non-Linearity: 1.6"));

  // ...and the new one from the next frame on, which changes nothing itself.
  steeringState.profileModified = 0;
  DeleteFileA(testSettingsPath);
  FrameRecord after = Frame(a, [&] { Release(dragX, knobY); });
  EXPECT_TRUE(after.HasText("Non-Linearity: 1.6"));
  EXPECT_EQ(steeringState.profileModified, 0);
  EXPECT_FALSE(SettingsFileExists());
}

TEST(TuningSlider, ValueOutsideNumbersCountsAsAChange) {
  ApplyTheme(ctx, testWindow, 0);
  float value = std::numeric_limits<float>::quiet_NaN();
  const SliderArgs a = {"Wheel Range", "tip", &value, 10.0f, 100.0f, 1.0f};
  Frame(a);
  steeringState.profileModified = 0;
  DeleteFileA(testSettingsPath);
  value = std::numeric_limits<float>::quiet_NaN();
  Frame(a);
  EXPECT_EQ(steeringState.profileModified, 1);
  EXPECT_TRUE(SettingsFileExists());
  EXPECT_FALSE(std::isnan(value)) << "Nuklear's slider puts a value in range";
}

TEST(TuningSlider, KnobAndFillAtTheEndsOfTheRange) {
  for (const ThemeColors& theme : THEMES) {
    ApplyTheme(ctx, testWindow, theme.dark);
    for (int atMax = 0; atMax < 2; ++atMax) {
      SCOPED_TRACE(std::string(theme.dark ? "dark" : "light") + (atMax ? ", max" : ", min"));
      float value = atMax ? 100.0f : 10.0f;
      const SliderArgs a = {"Wheel Range", "tip", &value, 10.0f, 100.0f, 1.0f};
      Settle(a);
      const FrameRecord frame = Frame(a);
      EXPECT_EQ(steeringState.profileModified, 0);

      const int left = static_cast<int>(SLIDER.x);
      const int right = static_cast<int>(SLIDER.x + SLIDER.w);  // first column past the slider
      const int trackY = static_cast<int>(SLIDER.y + (SLIDER.h - 6) / 2);
      const int knobTop = static_cast<int>(SLIDER.y + (SLIDER.h - 20) / 2);
      const int midY = knobTop + 10;

      // The filled part as drawn: from the left edge to the knob's middle.
      int fillWidth = -1;
      for (const FilledRect& f : frame.fills)
        if (RGB(f.color.r, f.color.g, f.color.b) == theme.accent && f.h == 6 && f.x == left) fillWidth = f.w;
      EXPECT_EQ(fillWidth, atMax ? static_cast<int>(SLIDER.w) - 5 : 5);

      const int kx = atMax ? right - 10 : left;
      // The knob's outline marks its edges, its body fills it, its shadow
      // (alpha 40) shows solid black one pixel right and below.
      EXPECT_EQ(Pixel(kx, midY), theme.accent) << "knob left edge";
      EXPECT_EQ(Pixel(kx + 9, midY), theme.accent) << "knob right edge";
      EXPECT_EQ(Pixel(kx + 5, knobTop), theme.accent) << "knob top edge";
      EXPECT_EQ(Pixel(kx + 5, midY), theme.body) << "knob body";
      EXPECT_EQ(Pixel(kx + 5, knobTop + 20), RGB(0, 0, 0)) << "shadow below";
      EXPECT_EQ(Pixel(kx - 1, midY), atMax ? theme.accent : theme.background) << "left of the knob";
      if (atMax) {
        // The window's content ends at the slider's right edge, which clips
        // the shadow's last column: nothing at all shows right of the knob.
        EXPECT_EQ(Pixel(right, midY), theme.background) << "right of the knob";
        EXPECT_EQ(Pixel(right + 1, midY), theme.background) << "right of the knob";
        EXPECT_EQ(Pixel(left + 40, trackY + 3), theme.accent) << "filled track";
      } else {
        EXPECT_EQ(Pixel(kx + 10, midY), RGB(0, 0, 0)) << "shadow";
        EXPECT_EQ(Pixel(kx + 11, trackY + 3), theme.track) << "track right of the knob";
        EXPECT_EQ(Pixel(right - 2, trackY + 3), theme.track) << "track up to the right end";
        EXPECT_EQ(Pixel(kx + 11, midY - 6), theme.background) << "nothing of Nuklear's own cursor shows";
      }
      EXPECT_EQ(Pixel(left - 1, trackY + 3), theme.background) << "track starts at the slider's left edge";
    }
  }
}

// Nuklear's own slider cursor lies under ours; near either end of the range
// none of it may show beside our knob, above or below the track.
TEST(TuningSlider, NothingOfNuklearsCursorShowsBesideTheKnob) {
  for (const ThemeColors& theme : THEMES) {
    ApplyTheme(ctx, testWindow, theme.dark);
    for (float t : {0.05f, 0.2f, 0.5f, 0.8f, 0.95f}) {
      SCOPED_TRACE(testing::Message() << (theme.dark ? "dark" : "light") << ", t " << t);
      float value = 10.0f + 90.0f * t;
      const SliderArgs a = {"Wheel Range", "tip", &value, 10.0f, 100.0f, 1.0f};
      Settle(a);
      Frame(a);
      const int kx = static_cast<int>(SLIDER.x + (SLIDER.w - 10) * t);
      const int knobTop = static_cast<int>(SLIDER.y + (SLIDER.h - 20) / 2);
      for (int y : {knobTop + 4, knobTop + 6, knobTop + 14, knobTop + 16}) {
        EXPECT_EQ(Pixel(kx - 2, y), theme.background) << "left, row " << y;
        EXPECT_EQ(Pixel(kx - 1, y), theme.background) << "left, row " << y;
        EXPECT_EQ(Pixel(kx + 11, y), theme.background) << "right, row " << y;
        EXPECT_EQ(Pixel(kx + 12, y), theme.background) << "right, row " << y;
      }
    }
  }
}

TEST(TuningSlider, TooltipOnlyOverTheReadout) {
  ApplyTheme(ctx, testWindow, 0);
  float value = 1.5f;
  const SliderArgs a = {"Non-Linearity", CURVE_TIP, &value, 1.0f, 3.0f, 0.1f};
  struct Case {
    const char* name;
    int x, y;
    bool tooltip;
  } cases[] = {
      {"over the readout text", static_cast<int>(READOUT.x) + 10, static_cast<int>(READOUT.y) + 10, true},
      {"over the readout row, right end", static_cast<int>(READOUT.x + READOUT.w) - 3,
       static_cast<int>(READOUT.y) + 2, true},
      {"over the slider", static_cast<int>(SLIDER.x) + 100, static_cast<int>(SLIDER.y) + 16, false},
      {"over the knob", static_cast<int>(SLIDER.x + (SLIDER.w - 10) * 0.25f) + 5,
       static_cast<int>(SLIDER.y) + 16, false},
      {"below everything", 200, 400, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Settle(a);
    FrameRecord f = Frame(a, [&] { Move(c.x, c.y); });
    // Each line of the tooltip is its own text, one under the other.
    const char* lines[] = {"Adjusts steering curve.", "1.0 = Linear", "Higher = Precise center, fast edges"};
    int lastY = -1;
    for (const char* line : lines) {
      EXPECT_EQ(f.HasText(line), c.tooltip) << line;
      for (const TextSeen& t : f.texts)
        if (t.text == line) {
          EXPECT_GT(t.y, lastY);
          lastY = t.y;
        }
    }
    EXPECT_FALSE(f.HasTextContaining('\n'));
    EXPECT_TRUE(f.HasText("Non-Linearity: 1.5"));
  }
}

}  // namespace
