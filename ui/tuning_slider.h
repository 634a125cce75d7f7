// One labelled tuning value: readout with tooltip, then a flat themed slider.
#pragma once

struct nk_context;

void TuningSlider(struct nk_context* context, const char* label, const char* tooltip,
                  float* value, float min, float max, float step);

// A tooltip with a row per "\n"-separated line of text.
void MultiLineTooltip(struct nk_context* context, const char* text);
