// The GDI binding under Wine: message and key translation into Nuklear input,
// drawing into the real back buffer of a real window, text measuring and the
// clipboard.
#include "app/nk_gdi.h"
#include "tests/support/gui_test_win32.h"
#include "ui/nk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

HWND testWindow;
HDC testWindowDC;
nk_context* ctx;

// One window, one font and one context for the whole program, as at start-up.
class BindingEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    testWindow = CreateGuiTestWindow("TXBindingTestWnd");
    ASSERT_NE(testWindow, nullptr);
    testWindowDC = GetDC(testWindow);
    GdiFont* font = nk_gdifont_create("Segoe UI", 13);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(nk_gdi_init(nullptr, testWindowDC, GUI_TEST_WIDTH, GUI_TEST_HEIGHT), nullptr);
    ctx = nk_gdi_init(font, testWindowDC, GUI_TEST_WIDTH, GUI_TEST_HEIGHT);
    ASSERT_NE(ctx, nullptr);
  }
};

const ::testing::Environment* const bindingEnvironment =
    ::testing::AddGlobalTestEnvironment(new BindingEnvironment);

// ---- Input ----

// Forget every key and button state, so each case starts from nothing.
void ResetInput() { memset(&ctx->input, 0, sizeof(ctx->input)); }

void SetCtrlHeld(bool held) {
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_CONTROL] = held ? 0x80 : 0;
  keys[VK_LCONTROL] = held ? 0x80 : 0;
  SetKeyboardState(keys);
}

int Send(UINT message, WPARAM wParam, LPARAM lParam) {
  return nk_gdi_handle_event(testWindow, message, wParam, lParam);
}

// One input pass around a single message, as the main loop does.
int Pass(UINT message, WPARAM wParam, LPARAM lParam) {
  nk_input_begin(ctx);
  const int consumed = Send(message, wParam, lParam);
  nk_input_end(ctx);
  return consumed;
}

LPARAM Point(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

constexpr LPARAM KEY_PRESS = 0x00000001;
constexpr LPARAM KEY_RELEASE = static_cast<LPARAM>(0xC0000001u);

std::vector<int> Keys(bool clicked) {
  std::vector<int> keys;
  for (int k = 0; k < NK_KEY_MAX; ++k)
    if (clicked ? ctx->input.keyboard.keys[k].clicked : ctx->input.keyboard.keys[k].down) keys.push_back(k);
  return keys;
}

TEST(GdiBindingInput, MessagesBecomeNuklearInput) {
  const nk_mouse& m = ctx->input.mouse;
  auto at = [&](nk_buttons b, int x, int y) {
    EXPECT_TRUE(m.buttons[b].down);
    EXPECT_EQ(m.buttons[b].clicked_pos.x, x);
    EXPECT_EQ(m.buttons[b].clicked_pos.y, y);
    EXPECT_EQ(GetCapture(), testWindow);
  };
  auto noButton = [&] {
    for (const nk_mouse_button& b : m.buttons) EXPECT_FALSE(b.down);
  };
  struct Case {
    const char* name;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    int consumed;
    std::function<void()> check;
  };
  const Case cases[] = {
      {"move", WM_MOUSEMOVE, 0, Point(120, 45), 1, [&] { EXPECT_EQ(m.pos.x, 120); EXPECT_EQ(m.pos.y, 45); }},
      // While a button is held the window has the capture: positions may be negative.
      {"move above and left", WM_MOUSEMOVE, 0, Point(-5, -7), 1,
       [&] { EXPECT_EQ(m.pos.x, -5); EXPECT_EQ(m.pos.y, -7); }},
      {"left down", WM_LBUTTONDOWN, MK_LBUTTON, Point(10, 20), 1, [&] { at(NK_BUTTON_LEFT, 10, 20); }},
      {"right down", WM_RBUTTONDOWN, MK_RBUTTON, Point(11, 21), 1, [&] { at(NK_BUTTON_RIGHT, 11, 21); }},
      {"middle down", WM_MBUTTONDOWN, MK_MBUTTON, Point(12, 22), 1, [&] { at(NK_BUTTON_MIDDLE, 12, 22); }},
      {"left double click", WM_LBUTTONDBLCLK, MK_LBUTTON, Point(13, 23), 1,
       [&] { EXPECT_TRUE(m.buttons[NK_BUTTON_DOUBLE].down); EXPECT_FALSE(m.buttons[NK_BUTTON_LEFT].down); }},
      {"right double click", WM_RBUTTONDBLCLK, MK_RBUTTON, Point(14, 24), 0, noButton},
      {"middle double click", WM_MBUTTONDBLCLK, MK_MBUTTON, Point(14, 24), 0, noButton},
      {"wheel away", WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0, 1,
       [&] { EXPECT_EQ(m.scroll_delta.x, 0.0f); EXPECT_EQ(m.scroll_delta.y, 1.0f); }},
      {"wheel towards", WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0, 1,
       [&] { EXPECT_EQ(m.scroll_delta.y, -1.0f); }},
      {"wheel, half a notch", WM_MOUSEWHEEL, MAKEWPARAM(0, 60), 0, 1, [&] { EXPECT_EQ(m.scroll_delta.y, 0.5f); }},
      {"size", WM_SIZE, SIZE_RESTORED, Point(GUI_TEST_WIDTH, GUI_TEST_HEIGHT), 0, [] {}},
      {"close", WM_CLOSE, 0, 0, 0, [] {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetInput();
    ReleaseCapture();
    EXPECT_EQ(Pass(c.message, c.wParam, c.lParam), c.consumed);
    c.check();
    EXPECT_TRUE(Keys(false).empty());
  }
  ReleaseCapture();
}

TEST(GdiBindingInput, ButtonReleasesLetGoOfButtonAndCapture) {
  struct Case {
    UINT press, release;
    nk_buttons button;
  } cases[] = {{WM_LBUTTONDOWN, WM_LBUTTONUP, NK_BUTTON_LEFT},
               {WM_RBUTTONDOWN, WM_RBUTTONUP, NK_BUTTON_RIGHT},
               {WM_MBUTTONDOWN, WM_MBUTTONUP, NK_BUTTON_MIDDLE}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    ResetInput();
    EXPECT_EQ(Pass(c.press, 0, Point(30, 40)), 1);
    ASSERT_EQ(GetCapture(), testWindow);
    EXPECT_EQ(Pass(c.release, 0, Point(31, 41)), 1);
    EXPECT_FALSE(ctx->input.mouse.buttons[c.button].down);
    EXPECT_EQ(ctx->input.mouse.buttons[c.button].clicked_pos.x, 31);
    EXPECT_EQ(GetCapture(), nullptr);
  }
  // A left release also releases the double-click button.
  ResetInput();
  Pass(WM_LBUTTONDOWN, 0, Point(5, 5));
  Pass(WM_LBUTTONDBLCLK, 0, Point(5, 5));
  EXPECT_EQ(Pass(WM_LBUTTONUP, 0, Point(5, 5)), 1);
  EXPECT_FALSE(ctx->input.mouse.buttons[NK_BUTTON_DOUBLE].down);
  EXPECT_FALSE(ctx->input.mouse.buttons[NK_BUTTON_LEFT].down);
  ReleaseCapture();
}

TEST(GdiBindingInput, CharactersOfCode32AndUpAreTextInput) {
  struct Case {
    WPARAM code;
    const char* utf8;  // what the frame's text buffer then holds; "" when not consumed
  } cases[] = {
      {'a', "a"}, {' ', " "}, {0xE9, "\xC3\xA9"}, {0x20AC, "\xE2\x82\xAC"},  // e acute, euro sign
      {8, ""},    {9, ""},    {13, ""},         {1, ""},  {22, ""}, {31, ""},  // backspace .. Ctrl+V
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    ResetInput();
    EXPECT_EQ(Pass(WM_CHAR, c.code, 1), c.utf8[0] ? 1 : 0);
    EXPECT_EQ(std::string(ctx->input.keyboard.text, static_cast<size_t>(ctx->input.keyboard.text_len)), c.utf8);
  }
}

TEST(GdiBindingInput, KeyTable) {
  struct Case {
    const char* name;
    WPARAM vk;
    bool ctrl;
    std::vector<int> keys;  // Nuklear keys sent, empty when the key is not ours
  };
  const Case cases[] = {
      {"shift", VK_SHIFT, false, {NK_KEY_SHIFT}},
      {"delete", VK_DELETE, false, {NK_KEY_DEL}},
      {"return", VK_RETURN, false, {NK_KEY_ENTER}},
      {"keypad separator", VK_SEPARATOR, false, {NK_KEY_ENTER}},
      {"tab", VK_TAB, false, {NK_KEY_TAB}},
      {"backspace", VK_BACK, false, {NK_KEY_BACKSPACE}},
      {"left", VK_LEFT, false, {NK_KEY_LEFT}},
      {"ctrl+left", VK_LEFT, true, {NK_KEY_TEXT_WORD_LEFT}},
      {"right", VK_RIGHT, false, {NK_KEY_RIGHT}},
      {"ctrl+right", VK_RIGHT, true, {NK_KEY_TEXT_WORD_RIGHT}},
      {"home", VK_HOME, false, {NK_KEY_TEXT_START, NK_KEY_SCROLL_START}},
      {"end", VK_END, false, {NK_KEY_TEXT_END, NK_KEY_SCROLL_END}},
      {"page down", VK_NEXT, false, {NK_KEY_SCROLL_DOWN}},
      {"page up", VK_PRIOR, false, {NK_KEY_SCROLL_UP}},
      {"escape", VK_ESCAPE, false, {NK_KEY_TEXT_RESET_MODE}},
      {"ctrl+A", 'A', true, {NK_KEY_TEXT_SELECT_ALL}},
      {"ctrl+B", 'B', true, {NK_KEY_TEXT_LINE_START}},
      {"ctrl+C", 'C', true, {NK_KEY_COPY}},
      {"ctrl+E", 'E', true, {NK_KEY_TEXT_LINE_END}},
      {"ctrl+R", 'R', true, {NK_KEY_TEXT_REDO}},
      {"ctrl+V", 'V', true, {NK_KEY_PASTE}},
      {"ctrl+X", 'X', true, {NK_KEY_CUT}},
      {"ctrl+Z", 'Z', true, {NK_KEY_TEXT_UNDO}},
      {"A alone", 'A', false, {}},
      {"ctrl+D", 'D', true, {}},
      {"up", VK_UP, false, {}},
      {"control itself", VK_CONTROL, true, {}},
      {"F4", VK_F4, false, {}},
  };
  const UINT downMessages[] = {WM_KEYDOWN, WM_SYSKEYDOWN};
  const UINT upMessages[] = {WM_KEYUP, WM_SYSKEYUP};
  for (int variant = 0; variant < 2; ++variant) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (variant ? " (sys)" : ""));
      ResetInput();
      SetCtrlHeld(c.ctrl);
      const int mapped = c.keys.empty() ? 0 : 1;
      EXPECT_EQ(Pass(downMessages[variant], c.vk, KEY_PRESS), mapped);
      EXPECT_EQ(Keys(false), c.keys);
      EXPECT_EQ(Pass(upMessages[variant], c.vk, KEY_RELEASE), mapped);
      EXPECT_TRUE(Keys(false).empty());
      EXPECT_EQ(Keys(true), c.keys);
    }
  }
  SetCtrlHeld(false);
}

TEST(GdiBindingInput, InsertFlipsBetweenInsertAndReplaceOnReleaseOnly) {
  // The toggle starts at 0 in a fresh program, so the first release selects insert.
  for (int key : {NK_KEY_TEXT_INSERT_MODE, NK_KEY_TEXT_REPLACE_MODE, NK_KEY_TEXT_INSERT_MODE}) {
    SCOPED_TRACE(key);
    ResetInput();
    EXPECT_EQ(Pass(WM_KEYDOWN, VK_INSERT, KEY_PRESS), 1);
    EXPECT_TRUE(Keys(true).empty());
    EXPECT_EQ(Pass(WM_KEYUP, VK_INSERT, KEY_RELEASE), 1);
    EXPECT_EQ(Keys(false), std::vector<int>{key});
  }
}

// ---- Drawing ----

const nk_color WINDOW_FILL = nk_rgba(0, 0, 128, 255);
const nk_color WHITE = nk_rgba(255, 255, 255, 255);

// One frame: a window over the whole surface with a known background, the
// caller's drawing on its canvas, then render.
void DrawFrame(nk_color clear, const std::function<void(nk_command_buffer*)>& draw) {
  nk_input_begin(ctx);
  nk_input_end(ctx);
  ctx->style.window.fixed_background = nk_style_item_color(WINDOW_FILL);
  ctx->style.window.padding = nk_vec2(0, 0);
  if (nk_begin(ctx, "canvas", nk_rect(0, 0, GUI_TEST_WIDTH, GUI_TEST_HEIGHT), NK_WINDOW_NO_SCROLLBAR))
    draw(nk_window_get_canvas(ctx));
  nk_end(ctx);
  nk_gdi_render(clear);
}

COLORREF Pixel(int x, int y) { return GetPixel(nk_gdi_memory_dc(), x, y); }
COLORREF Rgb(nk_color c) { return RGB(c.r, c.g, c.b); }

int CountPixels(int x0, int y0, int x1, int y1, COLORREF color) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) n += Pixel(x, y) == color;
  return n;
}

// A clip left by one frame (here a small window drawn last, as a tooltip is)
// must not limit the next frame's clear; the clear's alpha plays no part.
TEST(GdiBindingRender, EveryFrameIsClearedWhole) {
  DrawFrame(nk_rgba(1, 2, 3, 255), [](nk_command_buffer* canvas) {
    nk_push_scissor(canvas, nk_rect(100, 100, 10, 10));
    nk_fill_rect(canvas, nk_rect(0, 0, 520, 640), 0, nk_rgba(255, 0, 0, 255));
  });
  EXPECT_EQ(Pixel(105, 105), RGB(255, 0, 0));
  EXPECT_EQ(Pixel(99, 105), Rgb(WINDOW_FILL));  // outside the scissor: untouched
  EXPECT_EQ(Pixel(110, 105), Rgb(WINDOW_FILL));
  nk_input_begin(ctx);
  nk_input_end(ctx);
  if (nk_begin(ctx, "small", nk_rect(200, 200, 40, 30), NK_WINDOW_NO_SCROLLBAR)) {
    nk_layout_row_dynamic(ctx, 10, 1);
    nk_label(ctx, "x", NK_TEXT_LEFT);
  }
  nk_end(ctx);
  nk_gdi_render(nk_rgba(7, 8, 9, 255));
  nk_gdi_render(nk_rgba(4, 5, 6, 0));
  for (const POINT& p : {POINT{0, 0}, POINT{215, 215}, POINT{519, 0}, POINT{0, 639}, POINT{519, 639}})
    EXPECT_EQ(Pixel(p.x, p.y), RGB(4, 5, 6)) << p.x << "," << p.y;
}

TEST(GdiBindingRender, FillsAreOpaqueWhateverTheirAlpha) {
  struct Case {
    nk_color color;
    float rounding;
  } cases[] = {{nk_rgba(200, 10, 10, 255), 0}, {nk_rgba(10, 200, 10, 40), 0}, {nk_rgba(10, 10, 200, 1), 0},
               {nk_rgba(200, 200, 10, 254), 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "alpha " << int(c.color.a) << " rounding " << c.rounding);
    DrawFrame(WHITE, [&](nk_command_buffer* canvas) { nk_fill_rect(canvas, nk_rect(50, 60, 30, 20), c.rounding, c.color); });
    EXPECT_EQ(Pixel(65, 70), Rgb(c.color));
    EXPECT_EQ(Pixel(50, 70), Rgb(c.color));  // left edge
    EXPECT_EQ(Pixel(79, 70), Rgb(c.color));  // right edge, inside
    EXPECT_EQ(Pixel(80, 70), Rgb(WINDOW_FILL));
    EXPECT_EQ(Pixel(49, 70), Rgb(WINDOW_FILL));
    if (c.rounding == 0) {
      EXPECT_EQ(CountPixels(40, 50, 90, 90, Rgb(c.color)), 30 * 20);
    } else {
      EXPECT_EQ(Pixel(50, 60), Rgb(WINDOW_FILL));  // a round corner is not filled
    }
  }
}

// The shapes the program's widgets draw besides fills and text: outlines of
// thickness 1 (borders) and 2 or more (the slider knob), and the filled circle
// of Nuklear's slider cursor.
TEST(GdiBindingRender, OutlinesAndCirclesLandWhereTheirCommandsSay) {
  const nk_color red = nk_rgba(220, 0, 0, 255), blue = nk_rgba(0, 0, 250, 90);
  DrawFrame(WHITE, [&](nk_command_buffer* canvas) {
    nk_stroke_rect(canvas, nk_rect(100, 100, 40, 40), 0, 1, red);
    nk_stroke_rect(canvas, nk_rect(200, 100, 40, 40), 0, 4, red);
    nk_fill_circle(canvas, nk_rect(20, 20, 40, 40), blue);
  });
  EXPECT_EQ(Pixel(100, 120), Rgb(red));
  EXPECT_EQ(Pixel(101, 120), Rgb(WINDOW_FILL));
  // A band of 4 inside each edge, and still hollow.
  EXPECT_EQ(CountPixels(196, 120, 244, 121, Rgb(red)), 8);
  EXPECT_EQ(CountPixels(200, 120, 204, 121, Rgb(red)), 4);
  EXPECT_EQ(CountPixels(220, 96, 221, 144, Rgb(red)), 8);
  EXPECT_EQ(CountPixels(220, 100, 221, 104, Rgb(red)), 4);
  EXPECT_EQ(Pixel(40, 40), Rgb(blue));
  EXPECT_EQ(Pixel(21, 21), Rgb(WINDOW_FILL));  // outside the round edge
}

TEST(GdiBindingRender, TextPaintsGlyphsOnlyNoBackgroundBox) {
  const nk_color fg = nk_rgba(255, 255, 0, 255);
  const nk_color bg = nk_rgba(0, 255, 0, 255);  // must never show
  const float width = ctx->style.font->width(ctx->style.font->userdata, 13, "Hello World", 11);
  ASSERT_GT(width, 20);
  DrawFrame(WHITE, [&](nk_command_buffer* canvas) {
    nk_draw_text(canvas, nk_rect(100, 200, 300, 20), "Hello World", 11, ctx->style.font, bg, fg);
  });
  const int x1 = 100 + static_cast<int>(width);
  EXPECT_GT(CountPixels(100, 200, x1, 220, Rgb(fg)), 10);  // some glyph pixels
  EXPECT_EQ(CountPixels(90, 190, 420, 230, Rgb(bg)), 0);   // no box behind them
  EXPECT_GT(CountPixels(100, 200, x1, 220, Rgb(WINDOW_FILL)), 20);
}

// 512 narrow letters, then a few wide ones: the tail is converted and drawn as
// a second piece, which must start where the first one ended.
TEST(GdiBindingRender, TextLongerThanOnePieceGoesOnWhereThePieceEnded) {
  const std::string head(512, 'i');
  const std::string text = head + "HHHH";
  const nk_user_font* font = ctx->style.font;
  const float headWidth = font->width(font->userdata, 13, head.c_str(), static_cast<int>(head.size()));
  const float tailWidth = font->width(font->userdata, 13, "HHHH", 4);
  ASSERT_GT(headWidth, 600);
  ASSERT_GT(tailWidth, 10);
  const nk_color fg = nk_rgba(255, 0, 0, 255);
  DrawFrame(WHITE, [&](nk_command_buffer* canvas) {
    nk_draw_text(canvas, nk_rect(40 - headWidth, 200, 30000, 20), text.c_str(), static_cast<int>(text.size()),
                 font, nk_rgba(0, 0, 0, 255), fg);
  });
  EXPECT_GT(CountPixels(41, 200, 40 + static_cast<int>(tailWidth), 220, Rgb(fg)), 10);
  EXPECT_EQ(CountPixels(45 + static_cast<int>(tailWidth), 200, 520, 220, Rgb(fg)), 0);
}

TEST(GdiBindingFont, MeasuresUtf8TextOfAnyLength) {
  const nk_user_font* font = ctx->style.font;
  auto width = [&](const std::string& s) {
    return font->width(font->userdata, font->height, s.c_str(), static_cast<int>(s.size()));
  };
  EXPECT_EQ(font->height, 13.0f);
  EXPECT_EQ(width(""), 0.0f);
  EXPECT_EQ(font->width(font->userdata, 13, nullptr, 5), 0.0f);
  EXPECT_EQ(font->width(nk_handle_ptr(nullptr), 13, "abc", 3), 0.0f);
  const float a = width("a");
  const float e = width("\xC3\xA9");
  ASSERT_GT(a, 0);
  ASSERT_GT(e, 0);
  EXPECT_EQ(width(std::string(3000, 'a')), 3000 * a);
  // A two-byte character straddling the end of a piece stays whole.
  EXPECT_EQ(width(std::string(511, 'a') + "\xC3\xA9"), 511 * a + e);
}

TEST(GdiBindingPaint, PaintCopiesTheLastFrameToTheWindow) {
  // Left shown: without a window manager, hiding waits two seconds for nothing.
  ShowWindow(testWindow, SW_SHOWNOACTIVATE);
  nk_gdi_render(nk_rgba(12, 34, 56, 255));
  // Spoil the window's content, as another window passing over it would.
  const RECT whole = {0, 0, GUI_TEST_WIDTH, GUI_TEST_HEIGHT};
  FillRect(testWindowDC, &whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  InvalidateRect(testWindow, nullptr, FALSE);
  EXPECT_EQ(Send(WM_PAINT, 0, 0), 1);
  RECT update;
  EXPECT_FALSE(GetUpdateRect(testWindow, &update, FALSE)) << "WM_PAINT validated the window";
  EXPECT_EQ(GetPixel(testWindowDC, 10, 10), RGB(12, 34, 56));
  EXPECT_EQ(GetPixel(testWindowDC, 519, 639), RGB(12, 34, 56));
}

// ---- Clipboard ----

std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return L"<cannot open>";
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (const wchar_t* p = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr) {
    text = p;
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

// Puts raw bytes on the clipboard under a format.
void SetClipboardBytes(UINT format, const void* bytes, size_t size) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  if (size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    memcpy(GlobalLock(block), bytes, size);
    GlobalUnlock(block);
    SetClipboardData(format, block);
  }
  CloseClipboard();
}

void SetClipboardText(const std::wstring& text) {
  SetClipboardBytes(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

// A text field filling the top of the window; a guard after its buffer
// catches any write past the 128 bytes the field owns.
struct Field {
  char text[128];
  char guard[16];
};

void FieldFrame(Field& field, const std::function<void()>& input) {
  nk_input_begin(ctx);
  input();
  nk_input_end(ctx);
  ctx->style.window.padding = nk_vec2(0, 0);
  if (nk_begin(ctx, "field", nk_rect(0, 0, GUI_TEST_WIDTH, GUI_TEST_HEIGHT), NK_WINDOW_NO_SCROLLBAR)) {
    nk_layout_row_dynamic(ctx, 36, 1);
    nk_edit_string_zero_terminated(ctx, NK_EDIT_FIELD, field.text, 127, nk_filter_default);
  }
  nk_end(ctx);
  nk_gdi_render(WHITE);
}

void ClickAt(Field& field, int y) {
  FieldFrame(field, [&] {
    Send(WM_MOUSEMOVE, 0, Point(40, y));
    Send(WM_LBUTTONDOWN, 0, Point(40, y));
  });
  FieldFrame(field, [&] { Send(WM_LBUTTONUP, 0, Point(40, y)); });
}

void CtrlKey(Field& field, WPARAM letter) {
  SetCtrlHeld(true);
  FieldFrame(field, [&] { Send(WM_KEYDOWN, letter, KEY_PRESS); });
  FieldFrame(field, [&] { Send(WM_KEYUP, letter, KEY_RELEASE); });
  SetCtrlHeld(false);
}

// Clicks into the field, presses the Ctrl keys in turn, clicks away.
void EditField(Field& field, const char* ctrlKeys) {
  ResetInput();
  SetCtrlHeld(false);
  FieldFrame(field, [] {});
  ClickAt(field, 25);
  for (const char* k = ctrlKeys; *k; ++k) CtrlKey(field, static_cast<WPARAM>(*k));
  ClickAt(field, 600);
}

const char* const GREETING_UTF8 = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC 5";  // "Grüße € 5"
const wchar_t* const GREETING_WIDE = L"Gr\u00FC\u00DFe \u20AC 5";

// Nuklear hands the copy callback the selection's length in characters, not
// bytes; the round trip below copies a whole text of two-byte characters.
TEST(GdiBindingClipboard, CopyPutsUtf16TextOnTheClipboardInPlaceOfEveryOlderFormat) {
  SetClipboardText(L"old");
  ctx->clip.copy(ctx->clip.userdata, GREETING_UTF8, 4);
  EXPECT_EQ(ClipboardText(), L"Gr\u00FC\u00DF");
  ctx->clip.copy(ctx->clip.userdata, GREETING_UTF8, 0);  // nothing to copy: clipboard kept
  EXPECT_EQ(ClipboardText(), L"Gr\u00FC\u00DF");

  SetClipboardBytes(CF_TEXT, "stale ansi", 11);
  ctx->clip.copy(ctx->clip.userdata, "fresh", 5);
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE data = GetClipboardData(CF_TEXT);
  std::string asAnsi;
  if (const char* p = data ? static_cast<const char*>(GlobalLock(data)) : nullptr) {
    asAnsi = p;
    GlobalUnlock(data);
  }
  CloseClipboard();
  EXPECT_EQ(asAnsi, "fresh");
}

TEST(GdiBindingClipboard, RoundTripThroughTextFields) {
  Field source = {};
  strcpy(source.text, GREETING_UTF8);
  SetClipboardText(L"something else");
  EditField(source, "AC");
  EXPECT_EQ(ClipboardText(), GREETING_WIDE);
  EXPECT_STREQ(source.text, GREETING_UTF8);

  Field target = {};
  EditField(target, "V");
  EXPECT_STREQ(target.text, GREETING_UTF8);
  for (size_t i = strlen(GREETING_UTF8); i < sizeof(target.text); ++i) EXPECT_EQ(target.text[i], 0) << i;
}

TEST(GdiBindingClipboard, PasteTakesOnlyUsableTextAndStaysInBounds) {
  const UINT custom = RegisterClipboardFormatA("TarvixTestFormat");
  const wchar_t unterminated[3] = {L'a', L'b', L'c'};
  struct Case {
    const char* name;
    std::function<void()> prepare;
    const char* expected;
    const char* orExpected;  // both null: "keep me" and what of the paste fits
  } cases[] = {
      {"empty clipboard", [] { SetClipboardBytes(CF_UNICODETEXT, nullptr, 0); }, "keep me", "keep me"},
      {"no text format", [&] { SetClipboardBytes(custom, "xyz", 3); }, "keep me", "keep me"},
      {"only a terminator", [] { SetClipboardText(L""); }, "keep me", "keep me"},
      {"a single byte", [] { SetClipboardBytes(CF_UNICODETEXT, "A", 1); }, "keep me", "keep me"},
      // The system may claim the last unit for a terminator; nothing past the block may come in.
      {"no terminator", [&] { SetClipboardBytes(CF_UNICODETEXT, unterminated, sizeof unterminated); },
       "keep meabc", "keep meab"},
      {"a megabyte", [] { SetClipboardText(std::wstring(1 << 20, L'x')); }, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.prepare();
    Field field = {};
    memset(field.guard, 0x5A, sizeof(field.guard));
    strcpy(field.text, "keep me");
    EditField(field, "EV");  // cursor to the end, paste
    const std::string text(field.text, strnlen(field.text, sizeof field.text));
    if (c.expected) {
      EXPECT_TRUE(text == c.expected || text == c.orExpected) << text;
    } else {
      EXPECT_LT(text.size(), sizeof(field.text));
      EXPECT_EQ(text.rfind("keep me", 0), 0u) << text;
    }
    for (char g : field.guard) EXPECT_EQ(g, 0x5A);
  }
}

}  // namespace
