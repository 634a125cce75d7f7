// Nuklear drawn with GDI into an off-screen bitmap, fed from the main window's
// messages. Everything here runs on the thread that owns the main window.
#include "app/nk_gdi.h"

#include "ui/nk.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cwchar>

struct GdiFont {
  struct nk_user_font nk;  // what Nuklear measures with; userdata points back here
  int height;              // character cell height (tmHeight)
  HFONT handle;
  HDC dc;                  // screen-compatible DC with the font selected, for measuring only
};

struct GdiBinding {
  HBITMAP backBuffer;
  HWND window;   // the clipboard's owner while we use it
  HDC windowDC;
  HDC memoryDC;  // holds the back buffer; every primitive draws here
  HDC imageDC;   // scratch DC for selecting image bitmaps while they are blitted
  unsigned int width;
  unsigned int height;
  struct nk_context context;
  int insertMode;  // flipped by each release of Insert
  // An ANSI window gets typed text in the process code page, UTF-8 under our
  // manifest: one WM_CHAR per byte. A character is handed on once whole.
  nk_glyph typed;
  int typedLength, typedNeed;
  int releasingCapture;  // our own ReleaseCapture: its WM_CAPTURECHANGED is no loss of the window
};

static GdiBinding gdi;

// ---- UTF-8 to UTF-16 on the stack ----------------------------------------
// Text is converted piece by piece so that any length fits the fixed buffer.
// One UTF-8 byte never yields more than one UTF-16 unit (a four-byte sequence
// gives a surrogate pair, an invalid byte one replacement character), so a
// piece of N bytes always fits N units.

constexpr int GDI_TEXT_PIECE = 512;

// Converts the longest leading piece of text that fits the buffer without
// splitting a character; returns the bytes consumed, *units the units written.
static int GdiWidenPiece(const char* text, int length, WCHAR* wide, int* units) {
  int take = length < GDI_TEXT_PIECE ? length : GDI_TEXT_PIECE;
  if (take < length) {
    int end = take;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    if (end > 0) take = end;  // a run of stray continuation bytes is cut anywhere
  }
  *units = MultiByteToWideChar(CP_UTF8, 0, text, take, wide, GDI_TEXT_PIECE);
  return take;
}

// ---- Font -----------------------------------------------------------------

static float GdiTextWidth(nk_handle handle, float height, const char* text, int length) {
  (void)height;  // the font has one size
  const GdiFont* font = static_cast<const GdiFont*>(handle.ptr);
  if (!font || !text || length <= 0) return 0.0f;
  WCHAR wide[GDI_TEXT_PIECE];
  LONG total = 0;
  while (length > 0) {
    int units = 0;
    const int used = GdiWidenPiece(text, length, wide, &units);
    if (units > 0) {
      SIZE size;
      if (!GetTextExtentPoint32W(font->dc, wide, units, &size)) return -1.0f;
      total += size.cx;
    }
    text += used;
    length -= used;
  }
  return static_cast<float>(total);
}

GdiFont* nk_gdifont_create(const char* face, int height) {
  GdiFont* font = static_cast<GdiFont*>(calloc(1, sizeof(GdiFont)));
  if (!font) return nullptr;
  font->dc = CreateCompatibleDC(nullptr);
  font->handle = CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, face);
  SelectObject(font->dc, font->handle);
  TEXTMETRICW metrics;
  if (GetTextMetricsW(font->dc, &metrics)) font->height = metrics.tmHeight;
  return font;
}

// ---- Clipboard, exchanged with Nuklear as UTF-8 ------------------------------
// Nuklear 4.13.3 counts clipboard text in characters, not bytes, both ways:
// nk_textedit_paste decodes as many UTF-8 characters as its length says, and
// the copy callback is handed the selection's character count. Passing or
// taking byte counts would make a paste read past our buffer, and cut a copy
// short, whenever the text is not plain ASCII.

// Bytes taken by the first characters of a UTF-8 text inside Nuklear's buffer.
static int GdiUtf8Span(const char* text, int characters) {
  int bytes = 0;
  for (int i = 0; i < characters; ++i) {
    nk_rune rune;
    const int step = nk_utf_decode(text + bytes, &rune, NK_UTF_SIZE);
    bytes += step > 0 ? step : 1;
  }
  return bytes;
}

// Pasted text obeys the field as typed text does: its filter, and no line
// breaks in a single-line field (a pasted CR LF would otherwise reach a
// settings line). Compacts text in place; returns the characters kept.
static int GdiFilterPaste(const struct nk_text_edit* edit, char* text, int* bytes) {
  int kept = 0, to = 0;
  for (int at = 0; at < *bytes;) {
    nk_rune rune;
    int step = nk_utf_decode(text + at, &rune, *bytes - at);
    if (step <= 0) step = 1, rune = NK_UTF_INVALID;
    const int lineBreak = rune == '\r' || rune == '\n';
    if (!(edit->single_line && lineBreak) && (!edit->filter || edit->filter(edit, rune))) {
      std::memmove(text + to, text + at, static_cast<size_t>(step));
      to += step, ++kept;
    }
    at += step;
  }
  *bytes = to;
  return kept;
}

// Keeps the byte counts of a paste within int range whatever the clipboard holds.
static const size_t GDI_PASTE_MAX_UNITS = INT_MAX / 4;

static void GdiClipboardPaste(nk_handle user, struct nk_text_edit* edit) {
  (void)user;
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT)) return;
  if (!OpenClipboard(gdi.window)) return;
  HGLOBAL data = GetClipboardData(CF_UNICODETEXT);
  const SIZE_T bytes = data ? GlobalSize(data) : 0;
  if (bytes > 1) {
    const WCHAR* wide = static_cast<const WCHAR*>(GlobalLock(data));
    if (wide) {
      // Stop at the terminator, but never read past the block: the block may be
      // larger than the text, or come from a program that left it unterminated.
      size_t units = wcsnlen(wide, bytes / sizeof(WCHAR));
      if (units > GDI_PASTE_MAX_UNITS) units = GDI_PASTE_MAX_UNITS;
      const int wideCount = static_cast<int>(units);
      const int length = wideCount > 0 ? WideCharToMultiByte(CP_UTF8, 0, wide, wideCount, nullptr, 0,
                                                              nullptr, nullptr)
                                       : 0;
      if (length > 0) {
        char* text = static_cast<char*>(malloc(static_cast<size_t>(length) + 1));
        if (text) {
          if (WideCharToMultiByte(CP_UTF8, 0, wide, wideCount, text, length, nullptr, nullptr) == length) {
            int bytes = length;
            const int characters = GdiFilterPaste(edit, text, &bytes);
            text[bytes] = 0;
            if (characters > 0) nk_textedit_paste(edit, text, characters);
          }
          free(text);
        }
      }
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
}

static void GdiClipboardCopy(nk_handle user, const char* text, int characters) {
  (void)user;
  if (!text || characters <= 0) return;
  const int length = GdiUtf8Span(text, characters);
  // With no owner, Windows lets EmptyClipboard pass and then refuses the data.
  if (!OpenClipboard(gdi.window)) return;
  const int units = MultiByteToWideChar(CP_UTF8, 0, text, length, nullptr, 0);
  if (units > 0) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (static_cast<SIZE_T>(units) + 1) * sizeof(WCHAR));
    if (block) {
      WCHAR* wide = static_cast<WCHAR*>(GlobalLock(block));
      if (wide) {
        MultiByteToWideChar(CP_UTF8, 0, text, length, wide, units);
        wide[units] = 0;
        GlobalUnlock(block);
        // Take the clipboard over, so no older format (say a previous owner's
        // ANSI or rich text) stays beside the new text.
        EmptyClipboard();
        if (SetClipboardData(CF_UNICODETEXT, block)) block = nullptr;  // the system owns it now
      }
      if (block) GlobalFree(block);
    }
  }
  CloseClipboard();
}

// ---- Context ----------------------------------------------------------------

struct nk_context* nk_gdi_init(GdiFont* font, HDC windowDC, unsigned int width, unsigned int height) {
  if (!font) return nullptr;
  font->nk.userdata = nk_handle_ptr(font);
  font->nk.height = static_cast<float>(font->height);
  font->nk.width = GdiTextWidth;

  gdi.backBuffer = CreateCompatibleBitmap(windowDC, static_cast<int>(width), static_cast<int>(height));
  gdi.windowDC = windowDC;
  gdi.window = WindowFromDC(windowDC);
  gdi.memoryDC = CreateCompatibleDC(windowDC);
  gdi.imageDC = CreateCompatibleDC(windowDC);
  gdi.width = width;
  gdi.height = height;
  SelectObject(gdi.memoryDC, gdi.backBuffer);

  nk_init_default(&gdi.context, &font->nk);
  gdi.context.clip.copy = GdiClipboardCopy;
  gdi.context.clip.paste = GdiClipboardPaste;
  return &gdi.context;
}

HDC nk_gdi_memory_dc() { return gdi.memoryDC; }

// ---- Input ------------------------------------------------------------------

// Sends the Nuklear key(s) for a virtual key; 0 when the key is not ours.
static int GdiKeyInput(WPARAM key, int down, int ctrl) {
  struct nk_context* ctx = &gdi.context;
  switch (key) {
    case VK_SHIFT:
    case VK_LSHIFT:
    case VK_RSHIFT: nk_input_key(ctx, NK_KEY_SHIFT, down); return 1;
    case VK_DELETE: nk_input_key(ctx, NK_KEY_DEL, down); return 1;
    case VK_RETURN:
    case VK_SEPARATOR: nk_input_key(ctx, NK_KEY_ENTER, down); return 1;
    case VK_TAB: nk_input_key(ctx, NK_KEY_TAB, down); return 1;
    case VK_BACK: nk_input_key(ctx, NK_KEY_BACKSPACE, down); return 1;
    case VK_LEFT: nk_input_key(ctx, ctrl ? NK_KEY_TEXT_WORD_LEFT : NK_KEY_LEFT, down); return 1;
    case VK_RIGHT: nk_input_key(ctx, ctrl ? NK_KEY_TEXT_WORD_RIGHT : NK_KEY_RIGHT, down); return 1;
    case VK_HOME:
      nk_input_key(ctx, NK_KEY_TEXT_START, down);
      nk_input_key(ctx, NK_KEY_SCROLL_START, down);
      return 1;
    case VK_END:
      nk_input_key(ctx, NK_KEY_TEXT_END, down);
      nk_input_key(ctx, NK_KEY_SCROLL_END, down);
      return 1;
    case VK_NEXT: nk_input_key(ctx, NK_KEY_SCROLL_DOWN, down); return 1;
    case VK_PRIOR: nk_input_key(ctx, NK_KEY_SCROLL_UP, down); return 1;
    case VK_ESCAPE: nk_input_key(ctx, NK_KEY_TEXT_RESET_MODE, down); return 1;
    case VK_INSERT:
      // Acts on release only; the press is swallowed so it does not reach the system.
      if (!down) {
        gdi.insertMode = !gdi.insertMode;
        nk_input_key(ctx, gdi.insertMode ? NK_KEY_TEXT_INSERT_MODE : NK_KEY_TEXT_REPLACE_MODE, 1);
      }
      return 1;
    default: break;
  }
  if (!ctrl) return 0;
  enum nk_keys mapped;
  switch (key) {
    case 'A': mapped = NK_KEY_TEXT_SELECT_ALL; break;
    case 'B': mapped = NK_KEY_TEXT_LINE_START; break;
    case 'C': mapped = NK_KEY_COPY; break;
    case 'E': mapped = NK_KEY_TEXT_LINE_END; break;
    case 'R': mapped = NK_KEY_TEXT_REDO; break;
    case 'V': mapped = NK_KEY_PASTE; break;
    case 'X': mapped = NK_KEY_CUT; break;
    case 'Z': mapped = NK_KEY_TEXT_UNDO; break;
    default: return 0;
  }
  nk_input_key(ctx, mapped, down);
  return 1;
}

// The window lost the mouse or the keyboard (Alt+Tab, another program took the
// capture): the releases will never come, so they are given now, at the last
// known pointer position. Otherwise a drag in progress would go on following
// the pointer and saving.
// A button's release ends the capture its press took; the other buttons and
// the keys are still held.
static void GdiReleaseCapture() {
  gdi.releasingCapture = 1;
  ReleaseCapture();
  gdi.releasingCapture = 0;
}

static void GdiReleaseAll() {
  struct nk_context* ctx = &gdi.context;
  const int x = static_cast<int>(ctx->input.mouse.pos.x), y = static_cast<int>(ctx->input.mouse.pos.y);
  for (int button = 0; button < NK_BUTTON_MAX; ++button) {
    if (ctx->input.mouse.buttons[button].down) nk_input_button(ctx, static_cast<enum nk_buttons>(button), x, y, 0);
  }
  for (int key = 0; key < NK_KEY_MAX; ++key) {
    if (ctx->input.keyboard.keys[key].down) nk_input_key(ctx, static_cast<enum nk_keys>(key), 0);
  }
}

static void GdiBlit(HDC target) {
  BitBlt(target, 0, 0, static_cast<int>(gdi.width), static_cast<int>(gdi.height), gdi.memoryDC, 0, 0,
         SRCCOPY);
}

int nk_gdi_handle_event(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Creating the window sends messages before the context exists.
  if (!gdi.memoryDC) return 0;
  struct nk_context* ctx = &gdi.context;
  // Client coordinates, signed: with the capture held they go negative.
  const int x = static_cast<short>(LOWORD(lParam));
  const int y = static_cast<short>(HIWORD(lParam));
  switch (message) {
    case WM_SIZE: {
      const unsigned int width = LOWORD(lParam);
      const unsigned int height = HIWORD(lParam);
      // A minimised window reports 0 x 0; keep the last frame for its restore.
      if (width == 0 || height == 0) return 0;
      if (width != gdi.width || height != gdi.height) {
        DeleteObject(gdi.backBuffer);
        gdi.backBuffer = CreateCompatibleBitmap(gdi.windowDC, static_cast<int>(width), static_cast<int>(height));
        gdi.width = width;
        gdi.height = height;
        SelectObject(gdi.memoryDC, gdi.backBuffer);
      }
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      if (dc) GdiBlit(dc);
      EndPaint(window, &paint);
      return 1;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP: {
      const int down = (static_cast<DWORD>(lParam) & 0x80000000u) ? 0 : 1;
      const int ctrl = (GetKeyState(VK_CONTROL) & 0x8000) ? 1 : 0;
      return GdiKeyInput(wParam, down, ctrl);
    }
    case WM_CHAR: {
      const unsigned char byte = static_cast<unsigned char>(wParam);
      if (byte >= 0x80 && byte < 0xC0) {  // a continuation byte: only inside a character
        if (gdi.typedLength == 0 || gdi.typedLength >= gdi.typedNeed) return 1;
        gdi.typed[gdi.typedLength++] = static_cast<char>(byte);
        if (gdi.typedLength == gdi.typedNeed) nk_input_glyph(ctx, gdi.typed);
        return 1;
      }
      gdi.typedLength = 0;
      // Control codes (backspace, tab, enter, Ctrl+letter) come as keys instead.
      if (byte < 32) return 0;
      if (byte < 0x80) {
        nk_input_unicode(ctx, byte);
        return 1;
      }
      gdi.typedNeed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
      if (byte >= 0xF8) return 1;  // never a lead byte
      std::memset(gdi.typed, 0, sizeof gdi.typed);
      gdi.typed[0] = static_cast<char>(byte);
      gdi.typedLength = 1;
      return 1;
    }
    case WM_MOUSEMOVE: nk_input_motion(ctx, x, y); return 1;
    case WM_LBUTTONDOWN:
      nk_input_button(ctx, NK_BUTTON_LEFT, x, y, 1);
      SetCapture(window);
      return 1;
    case WM_LBUTTONUP:
      nk_input_button(ctx, NK_BUTTON_DOUBLE, x, y, 0);
      nk_input_button(ctx, NK_BUTTON_LEFT, x, y, 0);
      GdiReleaseCapture();
      return 1;
    case WM_LBUTTONDBLCLK: nk_input_button(ctx, NK_BUTTON_DOUBLE, x, y, 1); return 1;
    case WM_RBUTTONDOWN:
      nk_input_button(ctx, NK_BUTTON_RIGHT, x, y, 1);
      SetCapture(window);
      return 1;
    case WM_RBUTTONUP:
      nk_input_button(ctx, NK_BUTTON_RIGHT, x, y, 0);
      GdiReleaseCapture();
      return 1;
    case WM_MBUTTONDOWN:
      nk_input_button(ctx, NK_BUTTON_MIDDLE, x, y, 1);
      SetCapture(window);
      return 1;
    case WM_MBUTTONUP:
      nk_input_button(ctx, NK_BUTTON_MIDDLE, x, y, 0);
      GdiReleaseCapture();
      return 1;
    case WM_CAPTURECHANGED:
      if (!gdi.releasingCapture) GdiReleaseAll();
      return 0;
    case WM_KILLFOCUS:
      GdiReleaseAll();
      return 0;
    case WM_ACTIVATEAPP:
      if (!wParam) GdiReleaseAll();
      return 0;
    case WM_MOUSEWHEEL: {
      const short notches = static_cast<short>(HIWORD(wParam));
      nk_input_scroll(ctx, nk_vec2(0.0f, static_cast<float>(notches) / 120.0f));
      return 1;
    }
    default: return 0;
  }
}

// ---- Drawing primitives -------------------------------------------------------
// Colours are opaque: the alpha byte is dropped. Thin outlines use the stock DC
// pen recoloured; a thicker one gets a pen of its own for that command.

static COLORREF GdiColor(struct nk_color color) { return RGB(color.r, color.g, color.b); }

// Selects the outline pen; returns the pen made for a thick outline, to be
// handed to GdiEndPen. A thick pen stays inside the rectangle of a rectangle
// or ellipse (a 2-pixel knob outline is not half clipped away at the edge of
// its widget); on lines and polygons it is an ordinary solid pen.
static HPEN GdiBeginPen(HDC dc, unsigned short thickness, struct nk_color color) {
  if (thickness <= 1) {
    SetDCPenColor(dc, GdiColor(color));
    return nullptr;
  }
  HPEN pen = CreatePen(PS_INSIDEFRAME, thickness, GdiColor(color));
  if (pen) SelectObject(dc, pen);
  else SetDCPenColor(dc, GdiColor(color));
  return pen;
}

static void GdiEndPen(HDC dc, HPEN pen) {
  if (!pen) return;
  SelectObject(dc, GetStockObject(DC_PEN));
  DeleteObject(pen);
}

// Outlines leave the inside alone; fills paint outline and inside in one colour.
static void GdiHollow(HDC dc) { SelectObject(dc, GetStockObject(NULL_BRUSH)); }
static void GdiSolid(HDC dc, struct nk_color color) {
  SelectObject(dc, GetStockObject(DC_BRUSH));
  SetDCBrushColor(dc, GdiColor(color));
  SetDCPenColor(dc, GdiColor(color));
}

static void GdiScissor(HDC dc, short x, short y, unsigned short w, unsigned short h) {
  SelectClipRgn(dc, nullptr);
  IntersectClipRect(dc, x, y, x + w, y + h);
}

static void GdiStrokeLine(HDC dc, const struct nk_command_line* c) {
  HPEN pen = GdiBeginPen(dc, c->line_thickness, c->color);
  MoveToEx(dc, c->begin.x, c->begin.y, nullptr);
  LineTo(dc, c->end.x, c->end.y);
  GdiEndPen(dc, pen);
}

static void GdiStrokeCurve(HDC dc, const struct nk_command_curve* c) {
  const POINT points[4] = {{c->begin.x, c->begin.y},
                           {c->ctrl[0].x, c->ctrl[0].y},
                           {c->ctrl[1].x, c->ctrl[1].y},
                           {c->end.x, c->end.y}};
  HPEN pen = GdiBeginPen(dc, c->line_thickness, c->color);
  PolyBezier(dc, points, 4);
  GdiEndPen(dc, pen);
}

static void GdiStrokeRect(HDC dc, const struct nk_command_rect* c) {
  HPEN pen = GdiBeginPen(dc, c->line_thickness, c->color);
  GdiHollow(dc);
  const int right = c->x + c->w;
  const int bottom = c->y + c->h;
  if (c->rounding == 0) Rectangle(dc, c->x, c->y, right, bottom);
  else RoundRect(dc, c->x, c->y, right, bottom, 2 * c->rounding, 2 * c->rounding);
  GdiEndPen(dc, pen);
}

static void GdiFillRect(HDC dc, const struct nk_command_rect_filled* c) {
  const int right = c->x + c->w;
  const int bottom = c->y + c->h;
  if (c->rounding == 0) {
    SetBkColor(dc, GdiColor(c->color));
    const RECT area = {c->x, c->y, right, bottom};
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);
    return;
  }
  GdiSolid(dc, c->color);
  RoundRect(dc, c->x, c->y, right, bottom, 2 * c->rounding, 2 * c->rounding);
}

// Nuklear names the corners left (top-left), top (top-right), right
// (bottom-right) and bottom (bottom-left).
static void GdiFillRectMultiColor(HDC dc, const struct nk_command_rect_multi_color* c) {
  const struct nk_color corners[4] = {c->left, c->top, c->right, c->bottom};
  const LONG xs[4] = {c->x, c->x + c->w, c->x + c->w, c->x};
  const LONG ys[4] = {c->y, c->y, c->y + c->h, c->y + c->h};
  TRIVERTEX vertices[4];
  for (int i = 0; i < 4; ++i) {
    vertices[i].x = xs[i];
    vertices[i].y = ys[i];
    vertices[i].Red = static_cast<COLOR16>(corners[i].r << 8);
    vertices[i].Green = static_cast<COLOR16>(corners[i].g << 8);
    vertices[i].Blue = static_cast<COLOR16>(corners[i].b << 8);
    vertices[i].Alpha = 0xFF00;
  }
  GRADIENT_TRIANGLE triangles[2] = {{0, 1, 2}, {0, 2, 3}};
  GradientFill(dc, vertices, 4, triangles, 2, GRADIENT_FILL_TRIANGLE);
}

static void GdiStrokeCircle(HDC dc, const struct nk_command_circle* c) {
  HPEN pen = GdiBeginPen(dc, c->line_thickness, c->color);
  GdiHollow(dc);
  Ellipse(dc, c->x, c->y, c->x + c->w, c->y + c->h);
  GdiEndPen(dc, pen);
}

static void GdiFillCircle(HDC dc, const struct nk_command_circle_filled* c) {
  GdiSolid(dc, c->color);
  Ellipse(dc, c->x, c->y, c->x + c->w, c->y + c->h);
}

// Nuklear's angles grow clockwise on screen (y points down); render sets the
// DC's arc direction to match.
static POINT GdiArcPoint(short cx, short cy, unsigned short r, float angle) {
  POINT p;
  p.x = cx + static_cast<LONG>(std::lround(r * std::cos(angle)));
  p.y = cy + static_cast<LONG>(std::lround(r * std::sin(angle)));
  return p;
}

static void GdiStrokeArc(HDC dc, const struct nk_command_arc* c) {
  const POINT from = GdiArcPoint(c->cx, c->cy, c->r, c->a[0]);
  const POINT to = GdiArcPoint(c->cx, c->cy, c->r, c->a[1]);
  HPEN pen = GdiBeginPen(dc, c->line_thickness, c->color);
  Arc(dc, c->cx - c->r, c->cy - c->r, c->cx + c->r, c->cy + c->r, from.x, from.y, to.x, to.y);
  GdiEndPen(dc, pen);
}

static void GdiFillArc(HDC dc, const struct nk_command_arc_filled* c) {
  const POINT from = GdiArcPoint(c->cx, c->cy, c->r, c->a[0]);
  const POINT to = GdiArcPoint(c->cx, c->cy, c->r, c->a[1]);
  GdiSolid(dc, c->color);
  Pie(dc, c->cx - c->r, c->cy - c->r, c->cx + c->r, c->cy + c->r, from.x, from.y, to.x, to.y);
}

static void GdiStrokeTriangle(HDC dc, const struct nk_command_triangle* c) {
  const POINT points[3] = {{c->a.x, c->a.y}, {c->b.x, c->b.y}, {c->c.x, c->c.y}};
  HPEN pen = GdiBeginPen(dc, c->line_thickness, c->color);
  GdiHollow(dc);
  Polygon(dc, points, 3);
  GdiEndPen(dc, pen);
}

static void GdiFillTriangle(HDC dc, const struct nk_command_triangle_filled* c) {
  const POINT points[3] = {{c->a.x, c->a.y}, {c->b.x, c->b.y}, {c->c.x, c->c.y}};
  GdiSolid(dc, c->color);
  Polygon(dc, points, 3);
}

// Outlines of any length are drawn segment by segment: no point buffer needed.
static void GdiStrokePoints(HDC dc, const struct nk_vec2i* points, unsigned short count, int closed) {
  if (count == 0) return;
  MoveToEx(dc, points[0].x, points[0].y, nullptr);
  for (unsigned short i = 1; i < count; ++i) LineTo(dc, points[i].x, points[i].y);
  if (closed && count > 2) LineTo(dc, points[0].x, points[0].y);
}

static void GdiStrokePolygon(HDC dc, const struct nk_command_polygon* c) {
  HPEN pen = GdiBeginPen(dc, c->line_thickness, c->color);
  GdiStrokePoints(dc, c->points, c->point_count, 1);
  GdiEndPen(dc, pen);
}

static void GdiStrokePolyline(HDC dc, const struct nk_command_polyline* c) {
  HPEN pen = GdiBeginPen(dc, c->line_thickness, c->color);
  GdiStrokePoints(dc, c->points, c->point_count, 0);
  GdiEndPen(dc, pen);
}

constexpr int GDI_POLYGON_MAX_POINTS = 64;

static void GdiFillPolygon(HDC dc, const struct nk_command_polygon_filled* c) {
  POINT points[GDI_POLYGON_MAX_POINTS];
  const int count = c->point_count < GDI_POLYGON_MAX_POINTS ? c->point_count : GDI_POLYGON_MAX_POINTS;
  if (count < 3) return;
  for (int i = 0; i < count; ++i) {
    points[i].x = c->points[i].x;
    points[i].y = c->points[i].y;
  }
  GdiSolid(dc, c->color);
  Polygon(dc, points, count);
}

// Only the glyphs are painted: the background mode is transparent and no
// rectangle is filled, whatever the command's background colour.
static void GdiDrawText(HDC dc, const struct nk_command_text* c) {
  if (!c->font || c->length <= 0) return;
  const GdiFont* font = static_cast<const GdiFont*>(c->font->userdata.ptr);
  if (!font) return;
  SetBkMode(dc, TRANSPARENT);
  SetBkColor(dc, GdiColor(c->background));
  SetTextColor(dc, GdiColor(c->foreground));
  SelectObject(dc, font->handle);
  WCHAR wide[GDI_TEXT_PIECE];
  const char* text = c->string;
  int length = c->length;
  int x = c->x;
  while (length > 0) {
    int units = 0;
    const int used = GdiWidenPiece(text, length, wide, &units);
    if (units > 0) {
      ExtTextOutW(dc, x, c->y, 0, nullptr, wide, static_cast<UINT>(units), nullptr);
      if (used < length) {
        SIZE size;
        if (GetTextExtentPoint32W(dc, wide, units, &size)) x += size.cx;
      }
    }
    text += used;
    length -= used;
  }
}

static void GdiDrawImage(HDC dc, const struct nk_command_image* c) {
  HBITMAP bitmap = static_cast<HBITMAP>(c->img.handle.ptr);
  BITMAP info;
  if (!bitmap || !GetObject(bitmap, sizeof(info), &info)) return;
  int sx = 0, sy = 0, sw = info.bmWidth, sh = info.bmHeight;
  if (c->img.region[2] && c->img.region[3]) {  // a sub-image
    sx = c->img.region[0];
    sy = c->img.region[1];
    sw = c->img.region[2];
    sh = c->img.region[3];
  }
  HGDIOBJ previous = SelectObject(gdi.imageDC, bitmap);
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchBlt(dc, c->x, c->y, c->w, c->h, gdi.imageDC, sx, sy, sw, sh, SRCCOPY);
  SelectObject(gdi.imageDC, previous);
}

// ---- Frame --------------------------------------------------------------------

void nk_gdi_render(struct nk_color clear) {
  HDC dc = gdi.memoryDC;
  if (!dc) return;
  SelectObject(dc, GetStockObject(DC_PEN));
  SelectObject(dc, GetStockObject(DC_BRUSH));
  SetArcDirection(dc, AD_CLOCKWISE);
  // The previous frame's last clip rectangle must not restrict this one's clear.
  SelectClipRgn(dc, nullptr);

  SetBkColor(dc, GdiColor(clear));
  const RECT whole = {0, 0, static_cast<LONG>(gdi.width), static_cast<LONG>(gdi.height)};
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &whole, nullptr, 0, nullptr);

  const struct nk_command* cmd;
  nk_foreach(cmd, &gdi.context) {
    switch (cmd->type) {
      case NK_COMMAND_NOP: break;
      case NK_COMMAND_SCISSOR: {
        const struct nk_command_scissor* c = reinterpret_cast<const struct nk_command_scissor*>(cmd);
        GdiScissor(dc, c->x, c->y, c->w, c->h);
        break;
      }
      case NK_COMMAND_LINE: GdiStrokeLine(dc, reinterpret_cast<const struct nk_command_line*>(cmd)); break;
      case NK_COMMAND_CURVE: GdiStrokeCurve(dc, reinterpret_cast<const struct nk_command_curve*>(cmd)); break;
      case NK_COMMAND_RECT: GdiStrokeRect(dc, reinterpret_cast<const struct nk_command_rect*>(cmd)); break;
      case NK_COMMAND_RECT_FILLED:
        GdiFillRect(dc, reinterpret_cast<const struct nk_command_rect_filled*>(cmd));
        break;
      case NK_COMMAND_RECT_MULTI_COLOR:
        GdiFillRectMultiColor(dc, reinterpret_cast<const struct nk_command_rect_multi_color*>(cmd));
        break;
      case NK_COMMAND_CIRCLE: GdiStrokeCircle(dc, reinterpret_cast<const struct nk_command_circle*>(cmd)); break;
      case NK_COMMAND_CIRCLE_FILLED:
        GdiFillCircle(dc, reinterpret_cast<const struct nk_command_circle_filled*>(cmd));
        break;
      case NK_COMMAND_ARC: GdiStrokeArc(dc, reinterpret_cast<const struct nk_command_arc*>(cmd)); break;
      case NK_COMMAND_ARC_FILLED:
        GdiFillArc(dc, reinterpret_cast<const struct nk_command_arc_filled*>(cmd));
        break;
      case NK_COMMAND_TRIANGLE:
        GdiStrokeTriangle(dc, reinterpret_cast<const struct nk_command_triangle*>(cmd));
        break;
      case NK_COMMAND_TRIANGLE_FILLED:
        GdiFillTriangle(dc, reinterpret_cast<const struct nk_command_triangle_filled*>(cmd));
        break;
      case NK_COMMAND_POLYGON:
        GdiStrokePolygon(dc, reinterpret_cast<const struct nk_command_polygon*>(cmd));
        break;
      case NK_COMMAND_POLYGON_FILLED:
        GdiFillPolygon(dc, reinterpret_cast<const struct nk_command_polygon_filled*>(cmd));
        break;
      case NK_COMMAND_POLYLINE:
        GdiStrokePolyline(dc, reinterpret_cast<const struct nk_command_polyline*>(cmd));
        break;
      case NK_COMMAND_TEXT: GdiDrawText(dc, reinterpret_cast<const struct nk_command_text*>(cmd)); break;
      case NK_COMMAND_IMAGE: GdiDrawImage(dc, reinterpret_cast<const struct nk_command_image*>(cmd)); break;
      case NK_COMMAND_CUSTOM: break;
    }
  }

  GdiBlit(gdi.windowDC);
  nk_clear(&gdi.context);
}
