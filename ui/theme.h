// Light and dark looks following the system's app mode.
#pragma once

#include <windows.h>

struct nk_context;
struct nk_color;

extern int darkTheme;
extern struct nk_color backgroundColor;

int QuerySystemDarkTheme();
void ApplyTheme(struct nk_context* context, HWND window, int dark);
