// Light and dark looks following the system's app mode.
#pragma once

#include <windows.h>

struct nk_context;
struct nk_color;

// Written only by ApplyTheme. darkTheme is 0 or 1; backgroundColor is what
// every frame is cleared with (all 0 until the first application).
extern int darkTheme;
extern struct nk_color backgroundColor;

// 1 when the user's apps are set to dark (AppsUseLightTheme is 0 or absent
// from an existing Personalize key), 0 otherwise.
int QuerySystemDarkTheme();
// Palette, style overrides, clear colour and title bar for the theme.
void ApplyTheme(struct nk_context* context, HWND window, int dark);

// The full Nuklear colour table (NK_COLOR_COUNT entries) of a theme, as
// ApplyTheme builds the style from it.
void FillThemeColorTable(int dark, struct nk_color* table);
