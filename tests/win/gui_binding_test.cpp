// The GDI binding under Wine: message and key translation into Nuklear input,
// drawing into the real back buffer of a real window, text measuring and the
// clipboard.
#include "app/nk_gdi.h"
#include "ui/nk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int TEST_WIDTH = 520;
constexpr int TEST_HEIGHT = 640;

HWND testWindow;
HDC testWindowDC;
GdiFont* testFont;
nk_context* ctx;

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// One window like the main window (own DC, fixed 520 x 640 client area), one
// font and one context for the whole program: the binding is made once.
class BindingEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    wc.lpfnWndProc = TestWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = "TXBindingTestWnd";
    RegisterClassExA(&wc);
    RECT r = {0, 0, TEST_WIDTH, TEST_HEIGHT};
    AdjustWindowRect(&r, 0xCA0000, FALSE);
    testWindow = CreateWindowExA(0, wc.lpszClassName, "binding test", 0xCA0000, 0, 0, r.right - r.left,
                                 r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(testWindow, nullptr);
    testWindowDC = GetDC(testWindow);
    testFont = nk_gdifont_create("Segoe UI", 13);
    ASSERT_NE(testFont, nullptr);
    ctx = nk_gdi_init(testFont, testWindowDC, TEST_WIDTH, TEST_HEIGHT);
    ASSERT_NE(ctx, nullptr);
  }
};

const ::testing::Environment* const bindingEnvironment =
    ::testing::AddGlobalTestEnvironment(new BindingEnvironment);

// ---- Input helpers ----

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

std::vector<int> KeysDown() {
  std::vector<int> down;
  for (int k = 0; k < NK_KEY_MAX; ++k)
    if (ctx->input.keyboard.keys[k].down) down.push_back(k);
  return down;
}

std::vector<int> KeysClicked() {
  std::vector<int> clicked;
  for (int k = 0; k < NK_KEY_MAX; ++k)
    if (ctx->input.keyboard.keys[k].clicked) clicked.push_back(k);
  return clicked;
}

// ---- Message table ----

struct MessageCase {
  const char* name;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  int consumed;
  std::function<void()> check;
};

TEST(GdiBindingInput, MessagesBecomeNuklearInput) {
  const nk_mouse& m = ctx->input.mouse;
  const MessageCase cases[] = {
      {"move", WM_MOUSEMOVE, 0, Point(120, 45), 1,
       [&] {
         EXPECT_EQ(m.pos.x, 120);
         EXPECT_EQ(m.pos.y, 45);
       }},
      {"move left of and above the client area", WM_MOUSEMOVE, 0, Point(-5, -7), 1,
       [&] {
         EXPECT_EQ(m.pos.x, -5);
         EXPECT_EQ(m.pos.y, -7);
       }},
      {"left down", WM_LBUTTONDOWN, MK_LBUTTON, Point(10, 20), 1,
       [&] {
         EXPECT_TRUE(m.buttons[NK_BUTTON_LEFT].down);
         EXPECT_EQ(m.buttons[NK_BUTTON_LEFT].clicked, 1u);
         EXPECT_EQ(m.buttons[NK_BUTTON_LEFT].clicked_pos.x, 10);
         EXPECT_EQ(m.buttons[NK_BUTTON_LEFT].clicked_pos.y, 20);
         EXPECT_EQ(GetCapture(), testWindow);
       }},
      {"right down", WM_RBUTTONDOWN, MK_RBUTTON, Point(11, 21), 1,
       [&] {
         EXPECT_TRUE(m.buttons[NK_BUTTON_RIGHT].down);
         EXPECT_FALSE(m.buttons[NK_BUTTON_LEFT].down);
         EXPECT_EQ(m.buttons[NK_BUTTON_RIGHT].clicked_pos.x, 11);
         EXPECT_EQ(GetCapture(), testWindow);
       }},
      {"middle down", WM_MBUTTONDOWN, MK_MBUTTON, Point(12, 22), 1,
       [&] {
         EXPECT_TRUE(m.buttons[NK_BUTTON_MIDDLE].down);
         EXPECT_EQ(m.buttons[NK_BUTTON_MIDDLE].clicked_pos.y, 22);
         EXPECT_EQ(GetCapture(), testWindow);
       }},
      {"left double click", WM_LBUTTONDBLCLK, MK_LBUTTON, Point(13, 23), 1,
       [&] {
         EXPECT_TRUE(m.buttons[NK_BUTTON_DOUBLE].down);
         EXPECT_FALSE(m.buttons[NK_BUTTON_LEFT].down);
       }},
      {"right double click is not ours", WM_RBUTTONDBLCLK, MK_RBUTTON, Point(14, 24), 0,
       [&] {
         for (const nk_mouse_button& b : m.buttons) EXPECT_FALSE(b.down);
       }},
      {"middle double click is not ours", WM_MBUTTONDBLCLK, MK_MBUTTON, Point(14, 24), 0,
       [&] {
         for (const nk_mouse_button& b : m.buttons) EXPECT_FALSE(b.down);
       }},
      {"wheel away from the user", WM_MOUSEWHEEL, MAKEWPARAM(0, 120), Point(0, 0), 1,
       [&] {
         EXPECT_EQ(m.scroll_delta.x, 0.0f);
         EXPECT_EQ(m.scroll_delta.y, 1.0f);
       }},
      {"wheel towards the user", WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), Point(0, 0), 1,
       [&] { EXPECT_EQ(m.scroll_delta.y, -1.0f); }},
      {"wheel, half a notch", WM_MOUSEWHEEL, MAKEWPARAM(0, 60), Point(0, 0), 1,
       [&] { EXPECT_EQ(m.scroll_delta.y, 0.5f); }},
      {"size", WM_SIZE, SIZE_RESTORED, Point(TEST_WIDTH, TEST_HEIGHT), 0, [] {}},
      {"timer", WM_TIMER, 1, 0, 0, [] {}},
      {"null", WM_NULL, 0, 0, 0, [] {}},
      {"close", WM_CLOSE, 0, 0, 0, [] {}},
  };
  for (const MessageCase& c : cases) {
    SCOPED_TRACE(c.name);
    ResetInput();
    ReleaseCapture();
    EXPECT_EQ(Pass(c.message, c.wParam, c.lParam), c.consumed);
    c.check();
    EXPECT_TRUE(KeysDown().empty());
  }
  ReleaseCapture();
}

TEST(GdiBindingInput, ButtonReleasesLetGoOfButtonAndCapture) {
  struct ReleaseCase {
    const char* name;
    UINT press;
    UINT release;
    nk_buttons button;
  } cases[] = {
      {"left", WM_LBUTTONDOWN, WM_LBUTTONUP, NK_BUTTON_LEFT},
      {"right", WM_RBUTTONDOWN, WM_RBUTTONUP, NK_BUTTON_RIGHT},
      {"middle", WM_MBUTTONDOWN, WM_MBUTTONUP, NK_BUTTON_MIDDLE},
  };
  for (const ReleaseCase& c : cases) {
    SCOPED_TRACE(c.name);
    ResetInput();
    EXPECT_EQ(Pass(c.press, 0, Point(30, 40)), 1);
    ASSERT_EQ(GetCapture(), testWindow);
    EXPECT_EQ(Pass(c.release, 0, Point(31, 41)), 1);
    EXPECT_FALSE(ctx->input.mouse.buttons[c.button].down);
    EXPECT_EQ(ctx->input.mouse.buttons[c.button].clicked_pos.x, 31);
    EXPECT_EQ(GetCapture(), nullptr);
  }
}

TEST(GdiBindingInput, LeftReleaseAlsoReleasesTheDoubleClickButton) {
  ResetInput();
  Pass(WM_LBUTTONDOWN, 0, Point(5, 5));
  Pass(WM_LBUTTONDBLCLK, 0, Point(5, 5));
  ASSERT_TRUE(ctx->input.mouse.buttons[NK_BUTTON_DOUBLE].down);
  EXPECT_EQ(Pass(WM_LBUTTONUP, 0, Point(5, 5)), 1);
  EXPECT_FALSE(ctx->input.mouse.buttons[NK_BUTTON_DOUBLE].down);
  EXPECT_FALSE(ctx->input.mouse.buttons[NK_BUTTON_LEFT].down);
  ReleaseCapture();
}

TEST(GdiBindingInput, CharactersOfCode32AndUpAreTextInput) {
  struct CharCase {
    WPARAM code;
    int consumed;
    const char* utf8;  // what the frame's text buffer then holds
  } cases[] = {
      {'a', 1, "a"},     {' ', 1, " "},     {'~', 1, "~"},
      {0xE9, 1, "\xC3\xA9"},  // e acute
      {0x20AC, 1, "\xE2\x82\xAC"},  // euro sign
      {8, 0, ""},        // backspace
      {9, 0, ""},        // tab
      {13, 0, ""},       // carriage return
      {1, 0, ""},        // Ctrl+A
      {22, 0, ""},       // Ctrl+V
      {26, 0, ""},       // Ctrl+Z
      {31, 0, ""},
  };
  for (const CharCase& c : cases) {
    SCOPED_TRACE(c.code);
    ResetInput();
    EXPECT_EQ(Pass(WM_CHAR, c.code, 1), c.consumed);
    EXPECT_EQ(std::string(ctx->input.keyboard.text, static_cast<size_t>(ctx->input.keyboard.text_len)), c.utf8);
  }
}

// ---- Key table ----

struct KeyCase {
  const char* name;
  WPARAM vk;
  bool ctrl;
  std::vector<int> keys;  // Nuklear keys sent, empty when the key is not ours
};

TEST(GdiBindingInput, KeyTable) {
  const KeyCase cases[] = {
      {"shift", VK_SHIFT, false, {NK_KEY_SHIFT}},
      {"left shift", VK_LSHIFT, false, {NK_KEY_SHIFT}},
      {"right shift", VK_RSHIFT, false, {NK_KEY_SHIFT}},
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
      {"ctrl+home", VK_HOME, true, {NK_KEY_TEXT_START, NK_KEY_SCROLL_START}},
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
      {"C alone", 'C', false, {}},
      {"V alone", 'V', false, {}},
      {"Z alone", 'Z', false, {}},
      {"ctrl+D", 'D', true, {}},
      {"ctrl+F", 'F', true, {}},
      {"ctrl+Q", 'Q', true, {}},
      {"ctrl+Y", 'Y', true, {}},
      {"up", VK_UP, false, {}},
      {"down", VK_DOWN, false, {}},
      {"control itself", VK_CONTROL, true, {}},
      {"F4", VK_F4, false, {}},
      {"digit", '1', true, {}},
  };
  const UINT downMessages[] = {WM_KEYDOWN, WM_SYSKEYDOWN};
  const UINT upMessages[] = {WM_KEYUP, WM_SYSKEYUP};
  for (int variant = 0; variant < 2; ++variant) {
    for (const KeyCase& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (variant ? " (sys)" : ""));
      ResetInput();
      SetCtrlHeld(c.ctrl);
      const int mapped = c.keys.empty() ? 0 : 1;
      EXPECT_EQ(Pass(downMessages[variant], c.vk, KEY_PRESS), mapped);
      EXPECT_EQ(KeysDown(), c.keys);
      EXPECT_EQ(KeysClicked(), c.keys);
      EXPECT_EQ(Pass(upMessages[variant], c.vk, KEY_RELEASE), mapped);
      EXPECT_TRUE(KeysDown().empty());
      EXPECT_EQ(KeysClicked(), c.keys);
    }
  }
  SetCtrlHeld(false);
}

TEST(GdiBindingInput, InsertFlipsBetweenInsertAndReplaceOnReleaseOnly) {
  // The toggle starts at 0 in a fresh program, so the first release selects insert.
  const int expected[] = {NK_KEY_TEXT_INSERT_MODE, NK_KEY_TEXT_REPLACE_MODE, NK_KEY_TEXT_INSERT_MODE};
  for (int key : expected) {
    SCOPED_TRACE(key);
    ResetInput();
    EXPECT_EQ(Pass(WM_KEYDOWN, VK_INSERT, KEY_PRESS), 1);
    EXPECT_TRUE(KeysDown().empty());
    EXPECT_TRUE(KeysClicked().empty());
    EXPECT_EQ(Pass(WM_KEYUP, VK_INSERT, KEY_RELEASE), 1);
    EXPECT_EQ(KeysDown(), std::vector<int>{key});
  }
}

// ---- Drawing ----

const nk_color WINDOW_FILL = nk_rgba(0, 0, 128, 255);

// One frame: input closed, a window over the whole surface with a known
// background, the caller's drawing on its canvas, then render.
void DrawFrame(nk_color clear, const std::function<void(nk_command_buffer*)>& draw) {
  nk_input_begin(ctx);
  nk_input_end(ctx);
  ctx->style.window.fixed_background = nk_style_item_color(WINDOW_FILL);
  ctx->style.window.padding = nk_vec2(0, 0);
  if (nk_begin(ctx, "canvas", nk_rect(0, 0, TEST_WIDTH, TEST_HEIGHT), NK_WINDOW_NO_SCROLLBAR))
    draw(nk_window_get_canvas(ctx));
  nk_end(ctx);
  nk_gdi_render(clear);
}

COLORREF Pixel(int x, int y) { return GetPixel(nk_gdi_memory_dc(), x, y); }
COLORREF Rgb(nk_color c) { return RGB(c.r, c.g, c.b); }

int CountPixels(int x0, int y0, int x1, int y1, COLORREF color) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (Pixel(x, y) == color) ++n;
  return n;
}

TEST(GdiBindingRender, ClearsTheWholeSurfaceWithTheClearColour) {
  nk_gdi_render(nk_rgba(10, 20, 30, 255));
  const int points[][2] = {{0, 0}, {TEST_WIDTH - 1, 0}, {0, TEST_HEIGHT - 1}, {TEST_WIDTH - 1, TEST_HEIGHT - 1},
                           {260, 320}};
  for (const auto& p : points) EXPECT_EQ(Pixel(p[0], p[1]), RGB(10, 20, 30)) << p[0] << "," << p[1];
  // The alpha byte of the clear colour plays no part either.
  nk_gdi_render(nk_rgba(200, 100, 50, 0));
  EXPECT_EQ(Pixel(5, 5), RGB(200, 100, 50));
}

TEST(GdiBindingRender, ClipOfOneFrameDoesNotLimitTheNextClear) {
  DrawFrame(nk_rgba(1, 2, 3, 255), [](nk_command_buffer* canvas) {
    nk_push_scissor(canvas, nk_rect(100, 100, 10, 10));
    nk_fill_rect(canvas, nk_rect(0, 0, 520, 640), 0, nk_rgba(255, 0, 0, 255));
  });
  EXPECT_EQ(Pixel(105, 105), RGB(255, 0, 0));
  EXPECT_EQ(Pixel(99, 105), Rgb(WINDOW_FILL));  // outside the scissor: untouched
  EXPECT_EQ(Pixel(110, 105), Rgb(WINDOW_FILL));
  // A small window drawn last (as a tooltip is) leaves the clip at its size.
  nk_input_begin(ctx);
  nk_input_end(ctx);
  if (nk_begin(ctx, "small", nk_rect(200, 200, 40, 30), NK_WINDOW_NO_SCROLLBAR)) {
    nk_layout_row_dynamic(ctx, 10, 1);
    nk_label(ctx, "x", NK_TEXT_LEFT);
  }
  nk_end(ctx);
  nk_gdi_render(nk_rgba(7, 8, 9, 255));
  EXPECT_EQ(Pixel(0, 0), RGB(7, 8, 9));
  // The next frame is cleared everywhere.
  nk_gdi_render(nk_rgba(4, 5, 6, 255));
  EXPECT_EQ(Pixel(0, 0), RGB(4, 5, 6));
  EXPECT_EQ(Pixel(215, 215), RGB(4, 5, 6));
  EXPECT_EQ(Pixel(519, 639), RGB(4, 5, 6));
}

TEST(GdiBindingRender, FillsAreOpaqueWhateverTheirAlpha) {
  struct FillCase {
    nk_color color;
    float rounding;
  } cases[] = {
      {nk_rgba(200, 10, 10, 255), 0}, {nk_rgba(10, 200, 10, 40), 0}, {nk_rgba(0, 0, 0, 40), 0},
      {nk_rgba(10, 10, 200, 1), 0},   {nk_rgba(200, 200, 10, 254), 4},
  };
  for (const FillCase& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.color.r) << "," << int(c.color.g) << "," << int(c.color.b) << " a"
                                    << int(c.color.a));
    DrawFrame(nk_rgba(255, 255, 255, 255),
              [&](nk_command_buffer* canvas) { nk_fill_rect(canvas, nk_rect(50, 60, 30, 20), c.rounding, c.color); });
    EXPECT_EQ(Pixel(65, 70), Rgb(c.color));  // middle
    EXPECT_EQ(Pixel(50, 70), Rgb(c.color));  // left edge
    EXPECT_EQ(Pixel(79, 70), Rgb(c.color));  // right edge, inside
    EXPECT_EQ(Pixel(80, 70), Rgb(WINDOW_FILL));
    EXPECT_EQ(Pixel(49, 70), Rgb(WINDOW_FILL));
    if (c.rounding == 0) {
      EXPECT_EQ(Pixel(50, 60), Rgb(c.color));  // a square corner is filled
      EXPECT_EQ(CountPixels(40, 50, 90, 90, Rgb(c.color)), 30 * 20);
    } else {
      EXPECT_EQ(Pixel(50, 60), Rgb(WINDOW_FILL));  // a round one is not
    }
  }
}

TEST(GdiBindingRender, ThickOutlineIsWiderThanOnePixelAndHollow) {
  const nk_color red = nk_rgba(220, 0, 0, 255);
  DrawFrame(nk_rgba(255, 255, 255, 255), [&](nk_command_buffer* canvas) {
    nk_stroke_rect(canvas, nk_rect(100, 100, 40, 40), 0, 1, red);
    nk_stroke_rect(canvas, nk_rect(200, 100, 40, 40), 0, 4, red);
  });
  // Thickness 1: the edge only.
  EXPECT_EQ(Pixel(100, 120), Rgb(red));
  EXPECT_EQ(Pixel(101, 120), Rgb(WINDOW_FILL));
  EXPECT_EQ(Pixel(120, 120), Rgb(WINDOW_FILL));
  // Thickness 4: a band of 4 pixels inside each edge, and still hollow.
  for (int x = 200; x < 204; ++x) EXPECT_EQ(Pixel(x, 120), Rgb(red)) << x;
  for (int x = 236; x < 240; ++x) EXPECT_EQ(Pixel(x, 120), Rgb(red)) << x;
  for (int y = 100; y < 104; ++y) EXPECT_EQ(Pixel(220, y), Rgb(red)) << y;
  EXPECT_EQ(Pixel(199, 120), Rgb(WINDOW_FILL));
  EXPECT_EQ(Pixel(204, 120), Rgb(WINDOW_FILL));
  EXPECT_EQ(Pixel(240, 120), Rgb(WINDOW_FILL));
  EXPECT_EQ(Pixel(220, 99), Rgb(WINDOW_FILL));
  EXPECT_EQ(Pixel(220, 120), Rgb(WINDOW_FILL));
  // A thick line is centred on its path.
  DrawFrame(nk_rgba(255, 255, 255, 255),
            [&](nk_command_buffer* canvas) { nk_stroke_line(canvas, 20, 300, 200, 300, 5, red); });
  const int band = CountPixels(100, 290, 101, 310, Rgb(red));
  EXPECT_GE(band, 4);
  EXPECT_LE(band, 6);
  EXPECT_EQ(Pixel(100, 300), Rgb(red));
}

TEST(GdiBindingRender, ShapesLandWhereTheirCommandsSay) {
  const nk_color c1 = nk_rgba(250, 0, 0, 255), c2 = nk_rgba(0, 250, 0, 90), c3 = nk_rgba(0, 0, 250, 255),
                 c4 = nk_rgba(250, 250, 0, 255), c5 = nk_rgba(0, 250, 250, 255), c6 = nk_rgba(250, 0, 250, 255);
  DrawFrame(nk_rgba(255, 255, 255, 255), [&](nk_command_buffer* canvas) {
    nk_fill_circle(canvas, nk_rect(20, 20, 40, 40), c1);
    nk_fill_triangle(canvas, 100, 60, 140, 60, 120, 20, c2);
    const float polygon[] = {200, 20, 240, 20, 240, 60, 200, 60};
    nk_fill_polygon(canvas, polygon, 4, c3);
    nk_stroke_line(canvas, 20, 100, 120, 100, 3, c4);
    nk_fill_arc(canvas, 300, 100, 30, 0, 3.14159265f / 2, c5);  // lower right quarter
    nk_stroke_circle(canvas, nk_rect(400, 20, 40, 40), 2, c6);
  });
  EXPECT_EQ(Pixel(40, 40), Rgb(c1));
  EXPECT_EQ(Pixel(21, 21), Rgb(WINDOW_FILL));  // outside the round edge
  EXPECT_EQ(Pixel(120, 50), Rgb(c2));
  EXPECT_EQ(Pixel(102, 22), Rgb(WINDOW_FILL));
  EXPECT_EQ(Pixel(220, 40), Rgb(c3));
  EXPECT_EQ(Pixel(70, 100), Rgb(c4));
  EXPECT_EQ(Pixel(70, 110), Rgb(WINDOW_FILL));
  EXPECT_EQ(Pixel(310, 110), Rgb(c5));           // inside the quarter that was drawn
  EXPECT_EQ(Pixel(290, 90), Rgb(WINDOW_FILL));   // the opposite quarter
  EXPECT_EQ(Pixel(420, 40), Rgb(WINDOW_FILL));   // a stroked circle stays hollow
  EXPECT_GT(CountPixels(395, 35, 405, 45, Rgb(c6)), 0);
}

TEST(GdiBindingRender, ImageIsStretchedToItsRectangle) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = 2;
  info.bmiHeader.biHeight = -2;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bitmap, nullptr);
  const DWORD texels[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FFFFFF};  // red green / blue white
  memcpy(bits, texels, sizeof(texels));
  const struct nk_image image = nk_image_ptr(bitmap);
  DrawFrame(nk_rgba(0, 0, 0, 255), [&](nk_command_buffer* canvas) {
    nk_draw_image(canvas, nk_rect(300, 300, 40, 40), &image, nk_rgba(255, 255, 255, 255));
  });
  EXPECT_EQ(Pixel(305, 305), RGB(255, 0, 0));
  EXPECT_EQ(Pixel(335, 305), RGB(0, 255, 0));
  EXPECT_EQ(Pixel(305, 335), RGB(0, 0, 255));
  EXPECT_EQ(Pixel(335, 335), RGB(255, 255, 255));
  EXPECT_EQ(Pixel(341, 320), Rgb(WINDOW_FILL));
  DeleteObject(bitmap);
}

TEST(GdiBindingRender, TextPaintsGlyphsOnlyNoBackgroundBox) {
  const nk_color fg = nk_rgba(255, 255, 0, 255);
  const nk_color bg = nk_rgba(0, 255, 0, 255);  // must never show
  const char* text = "Hello World";
  const float width = ctx->style.font->width(ctx->style.font->userdata, 13, text, 11);
  ASSERT_GT(width, 20);
  DrawFrame(nk_rgba(255, 255, 255, 255), [&](nk_command_buffer* canvas) {
    nk_draw_text(canvas, nk_rect(100, 200, 300, 20), text, 11, ctx->style.font, bg, fg);
  });
  const int x1 = 100 + static_cast<int>(width);
  EXPECT_GT(CountPixels(100, 200, x1, 220, Rgb(fg)), 10);  // some glyph pixels
  EXPECT_EQ(CountPixels(90, 190, 420, 230, Rgb(bg)), 0);   // no box behind them
  // Between and around the glyphs the window's fill stays visible.
  EXPECT_GT(CountPixels(100, 200, x1, 220, Rgb(WINDOW_FILL)), 20);
  EXPECT_EQ(Pixel(100, 200), Rgb(WINDOW_FILL));
}

TEST(GdiBindingRender, TextLongerThanOnePieceGoesOnWhereThePieceEnded) {
  // 512 narrow letters, then a few wide ones: the tail is converted and drawn
  // as a second piece, which must start where the first one ended.
  const std::string head(512, 'i');
  const std::string text = head + "HHHH";
  const nk_user_font* font = ctx->style.font;
  const float headWidth = font->width(font->userdata, 13, head.c_str(), static_cast<int>(head.size()));
  const float tailWidth = font->width(font->userdata, 13, "HHHH", 4);
  ASSERT_GT(headWidth, 600);
  ASSERT_GT(tailWidth, 10);
  const nk_color fg = nk_rgba(255, 0, 0, 255);
  const float start = 40 - headWidth;
  DrawFrame(nk_rgba(255, 255, 255, 255), [&](nk_command_buffer* canvas) {
    nk_draw_text(canvas, nk_rect(start, 200, 30000, 20), text.c_str(), static_cast<int>(text.size()), font,
                 nk_rgba(0, 0, 0, 255), fg);
  });
  EXPECT_GT(CountPixels(41, 200, 40 + static_cast<int>(tailWidth), 220, Rgb(fg)), 10);
  EXPECT_EQ(CountPixels(45 + static_cast<int>(tailWidth), 200, 520, 220, Rgb(fg)), 0);
}

TEST(GdiBindingFont, MeasuresUtf8TextOfAnyLength) {
  const nk_user_font* font = ctx->style.font;
  auto width = [&](const std::string& s) {
    return font->width(font->userdata, font->height, s.c_str(), static_cast<int>(s.size()));
  };
  EXPECT_EQ(font->height, 13.0f) << "the font's cell height";
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
  std::string accents;
  for (int i = 0; i < 1500; ++i) accents += "\xC3\xA9";
  EXPECT_EQ(width(accents), 1500 * e);
}

TEST(GdiBindingPaint, PaintCopiesTheLastFrameToTheWindow) {
  // Left shown: without a window manager, hiding waits two seconds for nothing.
  ShowWindow(testWindow, SW_SHOWNOACTIVATE);
  nk_gdi_render(nk_rgba(12, 34, 56, 255));
  // Spoil the window's content, as another window passing over it would.
  const RECT whole = {0, 0, TEST_WIDTH, TEST_HEIGHT};
  FillRect(testWindowDC, &whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ASSERT_EQ(GetPixel(testWindowDC, 10, 10), RGB(255, 255, 255));
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
  if (data) {
    const wchar_t* p = static_cast<const wchar_t*>(GlobalLock(data));
    if (p) text = p;
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
  if (nk_begin(ctx, "field", nk_rect(0, 0, TEST_WIDTH, TEST_HEIGHT), NK_WINDOW_NO_SCROLLBAR)) {
    nk_layout_row_dynamic(ctx, 36, 1);
    nk_edit_string_zero_terminated(ctx, NK_EDIT_FIELD, field.text, 127, nk_filter_default);
  }
  nk_end(ctx);
  nk_gdi_render(nk_rgba(255, 255, 255, 255));
}

// Clicks into the field, so it takes the keyboard.
void FocusField(Field& field) {
  ResetInput();
  SetCtrlHeld(false);
  FieldFrame(field, [] {});
  FieldFrame(field, [] {
    Send(WM_MOUSEMOVE, 0, Point(40, 25));
    Send(WM_LBUTTONDOWN, 0, Point(40, 25));
  });
  FieldFrame(field, [] { Send(WM_LBUTTONUP, 0, Point(40, 25)); });
}

void CtrlKey(Field& field, WPARAM letter) {
  SetCtrlHeld(true);
  FieldFrame(field, [&] { Send(WM_KEYDOWN, letter, KEY_PRESS); });
  FieldFrame(field, [&] { Send(WM_KEYUP, letter, KEY_RELEASE); });
  SetCtrlHeld(false);
}

void Unfocus(Field& field) {
  FieldFrame(field, [] {
    Send(WM_MOUSEMOVE, 0, Point(40, 600));
    Send(WM_LBUTTONDOWN, 0, Point(40, 600));
  });
  FieldFrame(field, [] { Send(WM_LBUTTONUP, 0, Point(40, 600)); });
}

const char* const GREETING_UTF8 = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC 5";  // "Grüße € 5"
const wchar_t* const GREETING_WIDE = L"Gr\u00FC\u00DFe \u20AC 5";

// Nuklear hands the copy callback the selection's length in characters.
TEST(GdiBindingClipboard, CopyCallbackPutsUtf16TextOnTheClipboard) {
  struct CopyCase {
    int characters;
    const wchar_t* expected;
  } cases[] = {
      {9, GREETING_WIDE},
      {4, L"Gr\u00FC\u00DF"},  // two two-byte characters taken whole
      {7, L"Gr\u00FC\u00DFe \u20AC"},
      {2, L"Gr"},
  };
  for (const CopyCase& c : cases) {
    SCOPED_TRACE(c.characters);
    SetClipboardText(L"old");
    ctx->clip.copy(ctx->clip.userdata, GREETING_UTF8, c.characters);
    EXPECT_EQ(ClipboardText(), c.expected);
  }
  // Nothing to copy leaves the clipboard alone.
  ctx->clip.copy(ctx->clip.userdata, GREETING_UTF8, 0);
  EXPECT_EQ(ClipboardText(), L"Gr");
}

TEST(GdiBindingClipboard, CopyReplacesEveryOlderFormat) {
  const char ansi[] = "stale ansi";
  SetClipboardBytes(CF_TEXT, ansi, sizeof(ansi));
  ctx->clip.copy(ctx->clip.userdata, "fresh", 5);
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE data = GetClipboardData(CF_TEXT);
  std::string asAnsi;
  if (data) {
    asAnsi = static_cast<const char*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  EXPECT_EQ(asAnsi, "fresh");
}

TEST(GdiBindingClipboard, RoundTripThroughTextFields) {
  Field source = {};
  strcpy(source.text, GREETING_UTF8);
  SetClipboardText(L"something else");
  FocusField(source);
  CtrlKey(source, 'A');
  CtrlKey(source, 'C');
  Unfocus(source);
  EXPECT_EQ(ClipboardText(), GREETING_WIDE);
  EXPECT_STREQ(source.text, GREETING_UTF8);

  Field target = {};
  FocusField(target);
  CtrlKey(target, 'V');
  Unfocus(target);
  EXPECT_STREQ(target.text, GREETING_UTF8);
  // Exactly the text came in: nothing from past the pasted bytes.
  for (size_t i = strlen(GREETING_UTF8); i < sizeof(target.text); ++i) EXPECT_EQ(target.text[i], 0) << i;
}

TEST(GdiBindingClipboard, PasteWithoutUsableTextLeavesTheFieldUnchanged) {
  const char* const original = "keep me";
  const UINT custom = RegisterClipboardFormatA("TarvixTestFormat");
  struct PasteCase {
    const char* name;
    std::function<void()> prepare;
  } cases[] = {
      {"empty clipboard", [] { SetClipboardBytes(CF_UNICODETEXT, nullptr, 0); }},
      {"no text format", [&] { SetClipboardBytes(custom, "xyz", 3); }},
      {"only a terminator", [] { SetClipboardText(L""); }},
      {"a single byte", [] { SetClipboardBytes(CF_UNICODETEXT, "A", 1); }},
  };
  for (const PasteCase& c : cases) {
    SCOPED_TRACE(c.name);
    c.prepare();
    Field field = {};
    strcpy(field.text, original);
    FocusField(field);
    CtrlKey(field, 'E');  // cursor to the end
    CtrlKey(field, 'V');
    Unfocus(field);
    EXPECT_STREQ(field.text, original);
  }
}

TEST(GdiBindingClipboard, PasteOfHugeOrUnterminatedTextStaysInBounds) {
  {
    SCOPED_TRACE("a megabyte of text into a 127-character field");
    SetClipboardText(std::wstring(1 << 20, L'x'));
    Field field = {};
    memset(field.guard, 0x5A, sizeof(field.guard));
    strcpy(field.text, "ab");
    FocusField(field);
    CtrlKey(field, 'V');
    Unfocus(field);
    EXPECT_LT(strlen(field.text), sizeof(field.text));
    for (char g : field.guard) EXPECT_EQ(g, 0x5A);
  }
  {
    SCOPED_TRACE("text without a terminator");
    const wchar_t letters[3] = {L'a', L'b', L'c'};
    SetClipboardBytes(CF_UNICODETEXT, letters, sizeof(letters));
    Field field = {};
    FocusField(field);
    CtrlKey(field, 'V');
    Unfocus(field);
    // The system may claim the last unit for a terminator; nothing past the
    // block may come in either way.
    EXPECT_TRUE(strcmp(field.text, "abc") == 0 || strcmp(field.text, "ab") == 0) << field.text;
  }
}

TEST(GdiBindingInit, RefusesANullFont) {
  EXPECT_EQ(nk_gdi_init(nullptr, testWindowDC, TEST_WIDTH, TEST_HEIGHT), nullptr);
}

}  // namespace
