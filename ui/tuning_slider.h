// One labelled tuning value: readout with tooltip, then a flat themed slider.
#pragma once

struct nk_context;

void TuningSlider(struct nk_context* context, const char* label, const char* tooltip,
                  float* value, float min, float max, float step);
