// The tuning slider in a real window under Wine: what it draws, what a drag
// does to the value, the profile flag and the settings file, and where its
// tooltip shows.
#include "app/nk_gdi.h"
#include "engine/tuning.h"
#include "storage/settings_file.h"
#include "tests/support/gui_test_win32.h"
#include "tests/support/storage_files.h"
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

namespace {

HWND testWindow;
nk_context* ctx;
char testSettingsPath[MAX_PATH];

// The binding made once, as at start-up, and the settings file pointed at a
// file of the test's own.
class SliderEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    testWindow = CreateGuiTestWindow("TXSliderTestWnd");
    ASSERT_NE(testWindow, nullptr);
    ctx = nk_gdi_init(nk_gdifont_create("Segoe UI", 13), GetDC(testWindow), GUI_TEST_WIDTH, GUI_TEST_HEIGHT);
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

// Where the slider lies: the window padding (16) in from the edges, below the
// 20-pixel readout row and the 8-pixel row spacing.
const struct nk_rect SLIDER = {16, 44, GUI_TEST_WIDTH - 32, 32};
const struct nk_rect READOUT = {16, 16, GUI_TEST_WIDTH - 32, 20};

struct SliderArgs {
  const char* label;
  const char* tooltip;
  float* value;
  float min, max, step;
};

// One pass as the main loop makes it: input, the slider in a window over the
// whole client area, then render with the theme's clear colour.
DrawnFrame Frame(const SliderArgs& a, const std::function<void()>& input = [] {}) {
  nk_input_begin(ctx);
  input();
  nk_input_end(ctx);
  if (nk_begin(ctx, "panel", nk_rect(0, 0, GUI_TEST_WIDTH, GUI_TEST_HEIGHT), NK_WINDOW_NO_SCROLLBAR))
    TuningSlider(ctx, a.label, a.tooltip, a.value, a.min, a.max, a.step);
  nk_end(ctx);
  DrawnFrame frame = CaptureFrame(ctx);
  nk_gdi_render(backgroundColor);
  return frame;
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
  const int dragX = knobX + static_cast<int>(usable / 20 * 1.5f);

  Frame(a, [&] {
    Move(knobX, knobY);
    Press(knobX, knobY);
  });
  EXPECT_FLOAT_EQ(tuningSettings.responseCurve, 1.5f);
  EXPECT_EQ(steeringState.profileModified, 0);

  const DrawnFrame moved = Frame(a, [&] { Move(dragX, knobY); });
  EXPECT_NEAR(tuningSettings.responseCurve, 1.6f, 1e-5);
  EXPECT_EQ(steeringState.profileModified, 1);
  EXPECT_NE(ReadFileBytes(testSettingsPath).find("responseCurve=1.60"), std::string::npos);
  // The readout still shows the value the frame began with...
  EXPECT_TRUE(moved.Shows("Non-Linearity: 1.5"));

  // ...and the new one from the next frame on, which changes nothing itself.
  steeringState.profileModified = 0;
  DeleteFileA(testSettingsPath);
  const DrawnFrame after = Frame(a, [&] { Release(dragX, knobY); });
  EXPECT_TRUE(after.Shows("Non-Linearity: 1.6"));
  EXPECT_EQ(steeringState.profileModified, 0);
  EXPECT_FALSE(SettingsFileExists());

  // A value that is not a number differs from anything: a change.
  tuningSettings.responseCurve = std::numeric_limits<float>::quiet_NaN();
  Frame(a);
  EXPECT_EQ(steeringState.profileModified, 1);
  EXPECT_TRUE(SettingsFileExists());
  EXPECT_FALSE(std::isnan(tuningSettings.responseCurve)) << "Nuklear's slider puts a value in range";
}

// The knob's left edge at the slider's left edge at min, its right edge at the
// right edge at max, the filled part to its middle; nothing of Nuklear's own
// cursor, which lies under ours, shows beside it anywhere along the range.
TEST(TuningSlider, KnobAndFillFollowTheValueInBothThemes) {
  struct ThemeColors {
    int dark;
    COLORREF track, accent, body, background;
  } themes[] = {
      {0, RGB(228, 228, 231), RGB(37, 99, 235), RGB(255, 255, 255), RGB(255, 255, 255)},
      {1, RGB(39, 39, 42), RGB(59, 130, 246), RGB(250, 250, 250), RGB(9, 9, 11)},
  };
  const int left = static_cast<int>(SLIDER.x);
  const int right = static_cast<int>(SLIDER.x + SLIDER.w);  // first column past the slider
  const int trackY = static_cast<int>(SLIDER.y + (SLIDER.h - 6) / 2);
  const int knobTop = static_cast<int>(SLIDER.y + (SLIDER.h - 20) / 2);
  const int midY = knobTop + 10;
  for (const ThemeColors& theme : themes) {
    ApplyTheme(ctx, testWindow, theme.dark);
    for (float t : {0.0f, 0.05f, 0.5f, 0.95f, 1.0f}) {
      SCOPED_TRACE(testing::Message() << (theme.dark ? "dark" : "light") << ", t " << t);
      float value = 10.0f + 90.0f * t;
      const SliderArgs a = {"Wheel Range", "tip", &value, 10.0f, 100.0f, 1.0f};
      Settle(a);
      const DrawnFrame frame = Frame(a);
      EXPECT_EQ(steeringState.profileModified, 0);
      const int kx = static_cast<int>(SLIDER.x + (SLIDER.w - 10) * t);
      for (int y : {knobTop + 4, knobTop + 6, knobTop + 14, knobTop + 16})
        for (int dx : {-2, -1, 11, 12}) EXPECT_EQ(Pixel(kx + dx, y), theme.background) << dx << ", row " << y;
      if (t != 0.0f && t != 1.0f) continue;

      int fillWidth = -1;
      for (const DrawnRect& f : frame.fills)
        if (RGB(f.colour.r, f.colour.g, f.colour.b) == theme.accent && f.h == 6 && f.x == left) fillWidth = int(f.w);
      EXPECT_EQ(fillWidth, t == 1.0f ? static_cast<int>(SLIDER.w) - 5 : 5);
      // The outline marks the knob's edges, the body fills it, the shadow
      // (alpha 40) shows solid black one pixel right and below.
      EXPECT_EQ(Pixel(kx, midY), theme.accent) << "knob left edge";
      EXPECT_EQ(Pixel(kx + 9, midY), theme.accent) << "knob right edge";
      EXPECT_EQ(Pixel(kx + 5, knobTop), theme.accent) << "knob top edge";
      EXPECT_EQ(Pixel(kx + 5, midY), theme.body) << "knob body";
      EXPECT_EQ(Pixel(kx + 5, knobTop + 20), RGB(0, 0, 0)) << "shadow below";
      EXPECT_EQ(Pixel(left - 1, trackY + 3), theme.background) << "track starts at the slider's edge";
      if (t == 1.0f) {
        // The content ends at the slider's right edge, which clips the shadow's
        // last column: nothing shows right of the knob.
        EXPECT_EQ(Pixel(right, midY), theme.background);
        EXPECT_EQ(Pixel(left + 40, trackY + 3), theme.accent) << "filled track";
      } else {
        EXPECT_EQ(Pixel(kx + 10, midY), RGB(0, 0, 0)) << "shadow";
        EXPECT_EQ(Pixel(kx + 11, trackY + 3), theme.track) << "track right of the knob";
        EXPECT_EQ(Pixel(right - 2, trackY + 3), theme.track) << "track up to the right end";
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
      {"over the readout text", int(READOUT.x) + 10, int(READOUT.y) + 10, true},
      {"over the readout row, right end", int(READOUT.x + READOUT.w) - 3, int(READOUT.y) + 2, true},
      {"over the slider", int(SLIDER.x) + 100, int(SLIDER.y) + 16, false},
      {"below everything", 200, 400, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Settle(a);
    const DrawnFrame f = Frame(a, [&] { Move(c.x, c.y); });
    // Each line of the tooltip is its own text, one under the other.
    float lastY = -1;
    for (const char* line : {"Adjusts steering curve.", "1.0 = Linear", "Higher = Precise center, fast edges"}) {
      const DrawnText* t = f.Find(line);
      EXPECT_EQ(t != nullptr, c.tooltip) << line;
      if (t) {
        EXPECT_GT(t->y, lastY);
        lastY = t->y;
      }
    }
    for (const DrawnText& t : f.texts) EXPECT_EQ(t.text.find('\n'), std::string::npos);
    EXPECT_TRUE(f.Shows("Non-Linearity: 1.5"));
  }
}

}  // namespace
