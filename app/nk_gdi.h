// Our binding of Nuklear to a window through GDI: one font, one context, an
// off-screen back buffer the size of the client area, input from the window's
// messages, and the clipboard.
#pragma once

#include <windows.h>

struct nk_context;
struct nk_color;

struct GdiFont;  // opaque font object, made once and never freed

// Null only when the font object cannot be allocated.
GdiFont* nk_gdifont_create(const char* face, int height);
// The address of the one GUI context; null when font is null.
struct nk_context* nk_gdi_init(GdiFont* font, HDC windowDC, unsigned int width, unsigned int height);
// 1 when the message was consumed (the window procedure then returns 0).
int nk_gdi_handle_event(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Clears the back buffer, draws and consumes the frame's commands, blits.
void nk_gdi_render(struct nk_color clear);

// The memory device context holding the back buffer, so that tests can read
// back what the last frame drew. Null before nk_gdi_init.
HDC nk_gdi_memory_dc();
