// Our binding of Nuklear to a window through GDI, in two halves: drawing
// (nk_gdi.cpp: the font, the context, an off-screen back buffer the size of
// the client area, frames) and window input (nk_gdi_input.cpp: keys, typed
// text, the mouse and its capture, the clipboard).
//
// The panel is laid out in 96-DPI units; the drawing half scales every
// coordinate, size and the font by the window's DPI, and the input half maps
// the pointer back, so whatever the panel describes scales with the window.
#pragma once

#include <windows.h>

struct nk_context;
struct nk_color;

struct GdiFont;  // opaque font object, made once and never freed

// ---- Called by the program ----

// Null only when the font object cannot be allocated. height is in 96-DPI pixels.
GdiFont* nk_gdifont_create(const char* face, int height);
// The address of the one GUI context; null when font is null. width and height
// are the client area's in pixels, dpi the window's.
struct nk_context* nk_gdi_init(GdiFont* font, HDC windowDC, unsigned int width, unsigned int height,
                               unsigned int dpi);
// The window moved to a monitor of another DPI: rebuilds the font at the new
// size; the next frame is drawn whole.
void nk_gdi_set_dpi(unsigned int dpi);
// The client area in the panel's 96-DPI units.
void nk_gdi_panel_size(int* width, int* height);
// 1 when the message was consumed (the window procedure then returns 0).
int nk_gdi_handle_event(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Draws the frame's commands into the back buffer and blits it, unless they and
// the clear colour are those last drawn; consumes the commands either way.
// 1 when it drew.
int nk_gdi_render(struct nk_color clear);

// The memory device context holding the back buffer, so that tests can read
// back what the last frame drew. Null before nk_gdi_init.
HDC nk_gdi_memory_dc();

// ---- Between the two halves: the input half calls the drawing half ----

// Window pixels per panel unit: the window's DPI / 96.
float GdiScale();
// The next render draws even an unchanged frame.
void GdiInvalidateFrame();
// The context, null until nk_gdi_init.
struct nk_context* GdiContext();
// The drawing half's messages (size, paint): 1 when consumed, 0 when not;
// -1 for every other message, which is input's.
int GdiDrawingEvent(HWND window, UINT message, LPARAM lParam);
