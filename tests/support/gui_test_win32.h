// Shared by the GUI tests: a window shaped like the main window, and what one
// frame put into Nuklear's command list, read before the binding renders (and
// consumes) it. Header only, since only the GUI tests link Nuklear.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/nk.h"

constexpr int GUI_TEST_WIDTH = 520;
constexpr int GUI_TEST_HEIGHT = 640;

struct DrawnText {
  std::string text;
  float x, y, w, h;
  nk_color colour;
  float CenterX() const { return x + w / 2; }
  float CenterY() const { return y + h / 2; }
};

struct DrawnRect {
  float x, y, w, h;
  nk_color colour;
  bool Contains(float px, float py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

struct DrawnFrame {
  std::vector<DrawnText> texts;
  std::vector<DrawnRect> fills;
  const DrawnText* Find(const std::string& text) const {
    for (const DrawnText& t : texts)
      if (t.text == text) return &t;
    return nullptr;
  }
  bool Shows(const std::string& text) const { return Find(text) != nullptr; }
};

inline DrawnFrame CaptureFrame(nk_context* ctx) {
  DrawnFrame frame;
  const struct nk_command* command;
  nk_foreach(command, ctx) {
    if (command->type == NK_COMMAND_TEXT) {
      auto* t = reinterpret_cast<const struct nk_command_text*>(command);
      frame.texts.push_back({std::string(t->string, static_cast<size_t>(t->length)), float(t->x), float(t->y),
                             float(t->w), float(t->h), t->foreground});
    } else if (command->type == NK_COMMAND_RECT_FILLED) {
      auto* r = reinterpret_cast<const struct nk_command_rect_filled*>(command);
      frame.fills.push_back({float(r->x), float(r->y), float(r->w), float(r->h), r->color});
    }
  }
  return frame;
}

inline LRESULT CALLBACK GuiTestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// Its own DC and a fixed 520 x 640 client area under a caption, as the main
// window has them.
inline HWND CreateGuiTestWindow(const char* className) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = CS_OWNDC;
  wc.lpfnWndProc = GuiTestWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.lpszClassName = className;
  RegisterClassExA(&wc);
  const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT r = {0, 0, GUI_TEST_WIDTH, GUI_TEST_HEIGHT};
  AdjustWindowRect(&r, style, FALSE);
  return CreateWindowExA(0, className, className, style, 0, 0, r.right - r.left, r.bottom - r.top, nullptr,
                         nullptr, wc.hInstance, nullptr);
}
