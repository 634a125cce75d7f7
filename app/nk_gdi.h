// Our binding of Nuklear to a window through GDI: one font, one context, an
// off-screen back buffer the size of the client area, input from the window's
// messages, and the clipboard.
#pragma once

#include <windows.h>

struct nk_context;
struct nk_color;

struct GdiFont;  // opaque font object, made once and never freed

GdiFont* nk_gdifont_create(const char* face, int height);
struct nk_context* nk_gdi_init(GdiFont* font, HDC windowDC, unsigned int width, unsigned int height);
int nk_gdi_handle_event(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void nk_gdi_render(struct nk_color clear);
