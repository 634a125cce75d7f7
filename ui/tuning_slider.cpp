// A labelled tuning value: readout with tooltip, Nuklear's slider for the
// interaction, and our own flat track, fill and knob drawn over it.
#include "ui/tuning_slider.h"

#include "engine/tuning.h"
#include "storage/settings_file.h"
#include "ui/nk.h"
#include "ui/theme.h"

#include <cstdio>

namespace {

constexpr float SLIDER_READOUT_ROW = 20;
constexpr float SLIDER_ROW = 32;
constexpr float SLIDER_TRACK_HEIGHT = 6;
constexpr float SLIDER_ROUNDING = 2;
constexpr float SLIDER_KNOB_WIDTH = 10;
constexpr float SLIDER_KNOB_HEIGHT = 20;
constexpr float SLIDER_KNOB_OUTLINE = 2;

struct nk_color SliderTrackColor() { return darkTheme ? nk_rgba(39, 39, 42, 255) : nk_rgba(228, 228, 231, 255); }
struct nk_color SliderAccentColor() { return darkTheme ? nk_rgba(59, 130, 246, 255) : nk_rgba(37, 99, 235, 255); }
struct nk_color SliderKnobColor() { return darkTheme ? nk_rgba(250, 250, 250, 255) : nk_rgba(255, 255, 255, 255); }

}  // namespace

// Nuklear draws a tooltip as one text run, and GDI shows no line break in one;
// each line of the text gets a row of its own instead.
void MultiLineTooltip(struct nk_context* ctx, const char* text) {
  const struct nk_user_font* font = ctx->style.font;
  float widest = 0;
  for (const char* line = text;;) {
    const char* end = line;
    while (*end && *end != '\n') ++end;
    const float width = font->width(font->userdata, font->height, line, static_cast<int>(end - line));
    if (width > widest) widest = width;
    if (!*end) break;
    line = end + 1;
  }
  // The same margin as Nuklear's own single-line tooltip.
  if (!nk_tooltip_begin(ctx, widest + 4 * ctx->style.window.padding.x)) return;
  nk_layout_row_dynamic(ctx, font->height, 1);
  for (const char* line = text;;) {
    const char* end = line;
    while (*end && *end != '\n') ++end;
    nk_text(ctx, line, static_cast<int>(end - line), NK_TEXT_LEFT);
    if (!*end) break;
    line = end + 1;
  }
  nk_tooltip_end(ctx);
}

void TuningSlider(struct nk_context* ctx, const char* label, const char* tooltip, float* value, float min,
                  float max, float step) {
  // The readout shows the value as it stood before this frame's interaction.
  char readout[128];
  nk_layout_row_dynamic(ctx, SLIDER_READOUT_ROW, 1);
  snprintf(readout, sizeof(readout), "%s: %.1f", label ? label : "", static_cast<double>(*value));
  const struct nk_rect labelBounds = nk_widget_bounds(ctx);
  nk_label(ctx, readout, NK_TEXT_LEFT);
  if (tooltip && nk_input_is_mouse_hovering_rect(&ctx->input, labelBounds)) MultiLineTooltip(ctx, tooltip);

  nk_layout_row_dynamic(ctx, SLIDER_ROW, 1);
  const float old = *value;
  const struct nk_rect b = nk_widget_bounds(ctx);
  nk_slider_float(ctx, min, value, max, step);

  struct nk_command_buffer* canvas = nk_window_get_canvas(ctx);
  const struct nk_color accent = SliderAccentColor();
  const float trackY = b.y + (b.h - SLIDER_TRACK_HEIGHT) / 2;
  nk_fill_rect(canvas, nk_rect(b.x, trackY, b.w, SLIDER_TRACK_HEIGHT), SLIDER_ROUNDING, SliderTrackColor());

  // Kept within the track even for a value outside the range, a NaN or an
  // empty range, so no shape is placed at a meaningless coordinate.
  float t = (*value - min) / (max - min);
  if (!(t > 0)) t = 0;
  if (t > 1) t = 1;
  const float usable = b.w - SLIDER_KNOB_WIDTH;
  // The filled part ends at the middle of the knob.
  nk_fill_rect(canvas, nk_rect(b.x, trackY, SLIDER_KNOB_WIDTH / 2 + usable * t, SLIDER_TRACK_HEIGHT),
               SLIDER_ROUNDING, accent);

  const float kx = b.x + usable * t;
  const float ky = b.y + (b.h - SLIDER_KNOB_HEIGHT) / 2;
  nk_fill_rect(canvas, nk_rect(kx + 1, ky + 1, SLIDER_KNOB_WIDTH, SLIDER_KNOB_HEIGHT), 0, nk_rgba(0, 0, 0, 40));
  nk_fill_rect(canvas, nk_rect(kx, ky, SLIDER_KNOB_WIDTH, SLIDER_KNOB_HEIGHT), 0, SliderKnobColor());
  nk_stroke_rect(canvas, nk_rect(kx, ky, SLIDER_KNOB_WIDTH, SLIDER_KNOB_HEIGHT), 0, SLIDER_KNOB_OUTLINE, accent);

  // Not (old == new): a NaN on either side counts as a change.
  // A drag changes the value in frame after frame: the loop saves it, at most
  // every 250 ms, not this frame.
  if (!(*value == old)) {
    steeringState.profileModified = 1;
    RequestSettingsSave();
  }
}
