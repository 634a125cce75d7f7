// Nuklear drawn with GDI into an off-screen bitmap: the font, the context and
// the frames. Everything here runs on the thread that owns the main window.
#include "app/nk_gdi.h"

#include "ui/nk.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

struct GdiFont {
  struct nk_user_font nk;  // what Nuklear measures with, in panel units; userdata points back here
  char face[LF_FACESIZE];
  int designHeight;        // the cell height asked for, in 96-DPI pixels
  int height;              // character cell height in window pixels (tmHeight)
  HFONT handle;
  HDC dc;                  // screen-compatible DC with the font selected, for measuring only
  int asciiWidths[95];     // advance widths of ' ' to '~', in window pixels, when haveAsciiWidths
  int haveAsciiWidths;
};

// The last frame drawn, kept to tell whether the next one differs. Sized for
// the panel many times over; a larger frame is drawn every time.
constexpr size_t GDI_FRAME_CAPACITY = 256 * 1024;

struct GdiBinding {
  HBITMAP backBuffer;
  HDC windowDC;
  HDC memoryDC;  // holds the back buffer; every primitive draws here
  HDC imageDC;   // scratch DC for selecting image bitmaps while they are blitted
  unsigned int width;   // of the back buffer, in window pixels
  unsigned int height;
  float scale;          // window pixels per panel unit
  GdiFont* font;
  struct nk_context context;
  unsigned char* lastFrame;  // allocated once, at init
  size_t lastFrameSize;      // 0: nothing kept, the next frame is drawn
  struct nk_color lastClear;
};

static GdiBinding gdi;

float GdiScale() { return gdi.scale > 0 ? gdi.scale : 1.0f; }
void GdiInvalidateFrame() { gdi.lastFrameSize = 0; }

// A panel coordinate in window pixels. Edges are scaled, not sizes, so shapes
// that touch in the panel still touch on the screen.
static int GdiPx(float value) { return static_cast<int>(std::lround(value * GdiScale())); }
static int GdiThickness(unsigned short thickness) {
  const int scaled = GdiPx(thickness);
  return scaled > 1 ? scaled : 1;
}

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
  // Every frame measures every label: printable ASCII is summed from the
  // font's advance widths (GDI's extent is that sum, without kerning), which
  // saves a GDI call per text.
  if (font->haveAsciiWidths) {
    LONG sum = 0;
    int i = 0;
    for (; i < length; ++i) {
      const unsigned char c = static_cast<unsigned char>(text[i]);
      if (c < 32 || c > 126) break;
      sum += font->asciiWidths[c - 32];
    }
    if (i == length) return static_cast<float>(sum) / GdiScale();
  }
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
  return static_cast<float>(total) / GdiScale();
}

// Makes the font at the current scale, replacing the one it had.
static void GdiBuildFont(GdiFont* font) {
  HFONT made = CreateFontA(GdiPx(static_cast<float>(font->designHeight)), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                           FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, font->face);
  if (!made && font->handle) return;  // text goes on in the old size
  HFONT old = font->handle;
  font->handle = made;
  // A font still selected into a DC cannot be deleted: the frames' DC holds
  // the old one since the last text it drew.
  SelectObject(font->dc, made);
  if (gdi.memoryDC) SelectObject(gdi.memoryDC, made);
  if (old) DeleteObject(old);
  TEXTMETRICW metrics;
  if (GetTextMetricsW(font->dc, &metrics)) font->height = metrics.tmHeight;
  font->haveAsciiWidths = GetCharWidth32W(font->dc, 32, 126, font->asciiWidths) != 0;
  font->nk.height = static_cast<float>(font->height) / GdiScale();
}

GdiFont* nk_gdifont_create(const char* face, int height) {
  GdiFont* font = static_cast<GdiFont*>(calloc(1, sizeof(GdiFont)));
  if (!font) return nullptr;
  std::strncpy(font->face, face ? face : "", sizeof font->face - 1);
  font->designHeight = height;
  font->dc = CreateCompatibleDC(nullptr);
  font->nk.userdata = nk_handle_ptr(font);
  font->nk.width = GdiTextWidth;
  GdiBuildFont(font);
  return font;
}

// ---- Context and size ---------------------------------------------------------

struct nk_context* nk_gdi_init(GdiFont* font, HDC windowDC, unsigned int width, unsigned int height,
                               unsigned int dpi) {
  if (!font) return nullptr;
  gdi.font = font;
  gdi.scale = dpi ? static_cast<float>(dpi) / 96.0f : 1.0f;
  GdiBuildFont(font);

  gdi.backBuffer = CreateCompatibleBitmap(windowDC, static_cast<int>(width), static_cast<int>(height));
  gdi.windowDC = windowDC;
  gdi.memoryDC = CreateCompatibleDC(windowDC);
  gdi.imageDC = CreateCompatibleDC(windowDC);
  gdi.width = width;
  gdi.height = height;
  SelectObject(gdi.memoryDC, gdi.backBuffer);
  if (!gdi.lastFrame) gdi.lastFrame = static_cast<unsigned char*>(malloc(GDI_FRAME_CAPACITY));
  gdi.lastFrameSize = 0;

  nk_init_default(&gdi.context, &font->nk);
  return &gdi.context;
}

void nk_gdi_set_dpi(unsigned int dpi) {
  if (!gdi.font || dpi == 0) return;
  gdi.scale = static_cast<float>(dpi) / 96.0f;
  GdiBuildFont(gdi.font);
  GdiInvalidateFrame();
}

void nk_gdi_panel_size(int* width, int* height) {
  *width = static_cast<int>(static_cast<float>(gdi.width) / GdiScale());
  *height = static_cast<int>(static_cast<float>(gdi.height) / GdiScale());
}

HDC nk_gdi_memory_dc() { return gdi.memoryDC; }

static void GdiBlit(HDC target) {
  BitBlt(target, 0, 0, static_cast<int>(gdi.width), static_cast<int>(gdi.height), gdi.memoryDC, 0, 0,
         SRCCOPY);
}

struct nk_context* GdiContext() { return gdi.memoryDC ? &gdi.context : nullptr; }

int GdiDrawingEvent(HWND window, UINT message, LPARAM lParam) {
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
        GdiInvalidateFrame();
      }
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      if (dc) GdiBlit(dc);
      EndPaint(window, &paint);
      GdiInvalidateFrame();
      return 1;
    }
    default: return -1;
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
  const int width = GdiThickness(thickness);
  if (width <= 1) {
    SetDCPenColor(dc, GdiColor(color));
    return nullptr;
  }
  HPEN pen = CreatePen(PS_INSIDEFRAME, width, GdiColor(color));
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

static POINT GdiPoint(short x, short y) { return {GdiPx(x), GdiPx(y)}; }
static RECT GdiRect(short x, short y, unsigned short w, unsigned short h) {
  return {GdiPx(x), GdiPx(y), GdiPx(static_cast<float>(x) + w), GdiPx(static_cast<float>(y) + h)};
}

static void GdiScissor(HDC dc, const struct nk_command_scissor* c) {
  const RECT r = GdiRect(c->x, c->y, c->w, c->h);
  SelectClipRgn(dc, nullptr);
  IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
}

static void GdiStrokeLine(HDC dc, const struct nk_command_line* c) {
  HPEN pen = GdiBeginPen(dc, c->line_thickness, c->color);
  const POINT from = GdiPoint(c->begin.x, c->begin.y), to = GdiPoint(c->end.x, c->end.y);
  MoveToEx(dc, from.x, from.y, nullptr);
  LineTo(dc, to.x, to.y);
  GdiEndPen(dc, pen);
}

static void GdiStrokeCurve(HDC dc, const struct nk_command_curve* c) {
  const POINT points[4] = {GdiPoint(c->begin.x, c->begin.y), GdiPoint(c->ctrl[0].x, c->ctrl[0].y),
                           GdiPoint(c->ctrl[1].x, c->ctrl[1].y), GdiPoint(c->end.x, c->end.y)};
  HPEN pen = GdiBeginPen(dc, c->line_thickness, c->color);
  PolyBezier(dc, points, 4);
  GdiEndPen(dc, pen);
}

static void GdiStrokeRect(HDC dc, const struct nk_command_rect* c) {
  HPEN pen = GdiBeginPen(dc, c->line_thickness, c->color);
  GdiHollow(dc);
  const RECT r = GdiRect(c->x, c->y, c->w, c->h);
  const int round = 2 * GdiPx(c->rounding);
  if (round == 0) Rectangle(dc, r.left, r.top, r.right, r.bottom);
  else RoundRect(dc, r.left, r.top, r.right, r.bottom, round, round);
  GdiEndPen(dc, pen);
}

static void GdiFillRect(HDC dc, const struct nk_command_rect_filled* c) {
  const RECT r = GdiRect(c->x, c->y, c->w, c->h);
  const int round = 2 * GdiPx(c->rounding);
  if (round == 0) {
    SetBkColor(dc, GdiColor(c->color));
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    return;
  }
  GdiSolid(dc, c->color);
  RoundRect(dc, r.left, r.top, r.right, r.bottom, round, round);
}

// Nuklear names the corners left (top-left), top (top-right), right
// (bottom-right) and bottom (bottom-left).
static void GdiFillRectMultiColor(HDC dc, const struct nk_command_rect_multi_color* c) {
  const struct nk_color corners[4] = {c->left, c->top, c->right, c->bottom};
  const RECT r = GdiRect(c->x, c->y, c->w, c->h);
  const LONG xs[4] = {r.left, r.right, r.right, r.left};
  const LONG ys[4] = {r.top, r.top, r.bottom, r.bottom};
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
  const RECT r = GdiRect(c->x, c->y, c->w, c->h);
  Ellipse(dc, r.left, r.top, r.right, r.bottom);
  GdiEndPen(dc, pen);
}

static void GdiFillCircle(HDC dc, const struct nk_command_circle_filled* c) {
  GdiSolid(dc, c->color);
  const RECT r = GdiRect(c->x, c->y, c->w, c->h);
  Ellipse(dc, r.left, r.top, r.right, r.bottom);
}

// Nuklear's angles grow clockwise on screen (y points down); render sets the
// DC's arc direction to match. Centre and radius in window pixels.
static POINT GdiArcPoint(int cx, int cy, int r, float angle) {
  POINT p;
  p.x = cx + static_cast<LONG>(std::lround(r * std::cos(angle)));
  p.y = cy + static_cast<LONG>(std::lround(r * std::sin(angle)));
  return p;
}

static void GdiStrokeArc(HDC dc, const struct nk_command_arc* c) {
  const int cx = GdiPx(c->cx), cy = GdiPx(c->cy), r = GdiPx(c->r);
  const POINT from = GdiArcPoint(cx, cy, r, c->a[0]);
  const POINT to = GdiArcPoint(cx, cy, r, c->a[1]);
  HPEN pen = GdiBeginPen(dc, c->line_thickness, c->color);
  Arc(dc, cx - r, cy - r, cx + r, cy + r, from.x, from.y, to.x, to.y);
  GdiEndPen(dc, pen);
}

static void GdiFillArc(HDC dc, const struct nk_command_arc_filled* c) {
  const int cx = GdiPx(c->cx), cy = GdiPx(c->cy), r = GdiPx(c->r);
  const POINT from = GdiArcPoint(cx, cy, r, c->a[0]);
  const POINT to = GdiArcPoint(cx, cy, r, c->a[1]);
  GdiSolid(dc, c->color);
  Pie(dc, cx - r, cy - r, cx + r, cy + r, from.x, from.y, to.x, to.y);
}

static void GdiStrokeTriangle(HDC dc, const struct nk_command_triangle* c) {
  const POINT points[3] = {GdiPoint(c->a.x, c->a.y), GdiPoint(c->b.x, c->b.y), GdiPoint(c->c.x, c->c.y)};
  HPEN pen = GdiBeginPen(dc, c->line_thickness, c->color);
  GdiHollow(dc);
  Polygon(dc, points, 3);
  GdiEndPen(dc, pen);
}

static void GdiFillTriangle(HDC dc, const struct nk_command_triangle_filled* c) {
  const POINT points[3] = {GdiPoint(c->a.x, c->a.y), GdiPoint(c->b.x, c->b.y), GdiPoint(c->c.x, c->c.y)};
  GdiSolid(dc, c->color);
  Polygon(dc, points, 3);
}

// Outlines of any length are drawn segment by segment: no point buffer needed.
static void GdiStrokePoints(HDC dc, const struct nk_vec2i* points, unsigned short count, int closed) {
  if (count == 0) return;
  const POINT first = GdiPoint(points[0].x, points[0].y);
  MoveToEx(dc, first.x, first.y, nullptr);
  for (unsigned short i = 1; i < count; ++i) {
    const POINT p = GdiPoint(points[i].x, points[i].y);
    LineTo(dc, p.x, p.y);
  }
  if (closed && count > 2) LineTo(dc, first.x, first.y);
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
  for (int i = 0; i < count; ++i) points[i] = GdiPoint(c->points[i].x, c->points[i].y);
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
  int x = GdiPx(c->x);
  const int y = GdiPx(c->y);
  while (length > 0) {
    int units = 0;
    const int used = GdiWidenPiece(text, length, wide, &units);
    if (units > 0) {
      ExtTextOutW(dc, x, y, 0, nullptr, wide, static_cast<UINT>(units), nullptr);
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
  const RECT r = GdiRect(c->x, c->y, c->w, c->h);
  HGDIOBJ previous = SelectObject(gdi.imageDC, bitmap);
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, gdi.imageDC, sx, sy, sw, sh, SRCCOPY);
  SelectObject(gdi.imageDC, previous);
}

// ---- Frame --------------------------------------------------------------------

// Compares the frame's commands with the last frame drawn and keeps them in its
// place; 1 when they differ. The whole command memory is compared once the
// windows' commands are linked in drawing order (nk__begin does that, in the
// memory itself); with NK_ZERO_COMMAND_MEMORY the padding inside and between
// commands is zero, so equal frames are equal bytes.
static int GdiFrameChanged(struct nk_color clear) {
  nk__begin(&gdi.context);
  const void* commands = gdi.context.memory.memory.ptr;
  const size_t size = gdi.context.memory.allocated;
  const int same = gdi.lastFrameSize != 0 && size == gdi.lastFrameSize &&
                   std::memcmp(&clear, &gdi.lastClear, sizeof clear) == 0 &&
                   std::memcmp(gdi.lastFrame, commands, size) == 0;
  gdi.lastClear = clear;
  if (same) return 0;
  gdi.lastFrameSize = 0;
  if (gdi.lastFrame && size <= GDI_FRAME_CAPACITY) {
    std::memcpy(gdi.lastFrame, commands, size);
    gdi.lastFrameSize = size;
  }
  return 1;
}

int nk_gdi_render(struct nk_color clear) {
  HDC dc = gdi.memoryDC;
  if (!dc) return 0;
  if (!GdiFrameChanged(clear)) {
    nk_clear(&gdi.context);
    return 0;
  }
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
      case NK_COMMAND_SCISSOR: GdiScissor(dc, reinterpret_cast<const struct nk_command_scissor*>(cmd)); break;
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
  return 1;
}
