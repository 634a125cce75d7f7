// Window input for Nuklear: keys, typed text, the mouse with its capture,
// and the clipboard. Runs on the thread that owns the main window.
#include "app/nk_gdi.h"

#include "ui/nk.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>

struct GdiInput {
  struct nk_context* ctx;
  HWND window;           // the clipboard's owner while we use it
  int insertMode;        // flipped by each release of Insert
  WCHAR highSurrogate;   // the first half of a character typed as a surrogate pair
  unsigned heldButtons;  // GDI_HELD_* of the buttons pressed over the window and not yet released
  int releasingCapture;  // our own ReleaseCapture: its WM_CAPTURECHANGED is no loss of the window
};

static GdiInput gdiInput;

constexpr unsigned GDI_HELD_LEFT = 1, GDI_HELD_RIGHT = 2, GDI_HELD_MIDDLE = 4;

// ---- Clipboard, exchanged with Nuklear as UTF-8 ----------------------------------
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
  if (!OpenClipboard(gdiInput.window)) return;
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
  if (!OpenClipboard(gdiInput.window)) return;
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


// Serves the system clipboard to the context's text fields.
static void GdiInputInit(struct nk_context* ctx, HWND window) {
  gdiInput.ctx = ctx;
  gdiInput.window = window;
  ctx->clip.copy = GdiClipboardCopy;
  ctx->clip.paste = GdiClipboardPaste;
}

// ---- Keys ---------------------------------------------------------------------

// Sends the Nuklear key(s) for a virtual key; 0 when the key is not ours.
// Windows reports AltGr as Ctrl+Alt: with Alt held no Ctrl mapping acts, or
// AltGr+A ("ą" on a Polish keyboard) would select all instead of typing.
static int GdiKeyInput(WPARAM key, int down, int ctrl) {
  struct nk_context* ctx = gdiInput.ctx;
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
        gdiInput.insertMode = !gdiInput.insertMode;
        nk_input_key(ctx, gdiInput.insertMode ? NK_KEY_TEXT_INSERT_MODE : NK_KEY_TEXT_REPLACE_MODE, 1);
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

// ---- Typed text -----------------------------------------------------------------

// A Unicode window gets typed text as UTF-16 units; a character beyond the
// BMP comes as a surrogate pair in two messages. Nuklear gets whole code
// points; a half without its partner is dropped.
static int GdiTypedUnit(WPARAM unit) {
  struct nk_context* ctx = gdiInput.ctx;
  const WCHAR high = gdiInput.highSurrogate;
  gdiInput.highSurrogate = 0;
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    gdiInput.highSurrogate = static_cast<WCHAR>(unit);
    return 1;
  }
  if (unit >= 0xDC00 && unit <= 0xDFFF) {
    if (high) nk_input_unicode(ctx, 0x10000 + ((static_cast<nk_rune>(high) - 0xD800) << 10) +
                                        (static_cast<nk_rune>(unit) - 0xDC00));
    return 1;
  }
  // Control codes (backspace, tab, enter, Ctrl+letter) come as keys instead.
  if (unit < 32 || unit > 0xFFFF) return 0;
  nk_input_unicode(ctx, static_cast<nk_rune>(unit));
  return 1;
}

// ---- Mouse and capture ------------------------------------------------------------

// The capture is held while any button pressed over the window is down: a
// drag's own button may be released outside the window after another one was.
static void GdiButtonUp(unsigned held) {
  gdiInput.heldButtons &= ~held;
  if (gdiInput.heldButtons) return;
  gdiInput.releasingCapture = 1;
  ReleaseCapture();
  gdiInput.releasingCapture = 0;
}

static int GdiMouseButton(HWND window, enum nk_buttons button, unsigned held, int down, int x, int y) {
  nk_input_button(gdiInput.ctx, button, x, y, down);
  if (!down) {
    GdiButtonUp(held);
  } else {
    gdiInput.heldButtons |= held;
    if (GetCapture() != window) SetCapture(window);
  }
  return 1;
}

// The window lost the mouse or the keyboard (Alt+Tab, another program took the
// capture): the releases will never come, so they are given now, at the last
// known pointer position. Otherwise a drag in progress would go on following
// the pointer and saving.
static void GdiReleaseAll(HWND window) {
  struct nk_context* ctx = gdiInput.ctx;
  gdiInput.heldButtons = 0;
  if (GetCapture() == window) GdiButtonUp(0);  // no button left to hold it
  const int x = static_cast<int>(ctx->input.mouse.pos.x), y = static_cast<int>(ctx->input.mouse.pos.y);
  for (int button = 0; button < NK_BUTTON_MAX; ++button) {
    if (ctx->input.mouse.buttons[button].down) nk_input_button(ctx, static_cast<enum nk_buttons>(button), x, y, 0);
  }
  for (int key = 0; key < NK_KEY_MAX; ++key) {
    if (ctx->input.keyboard.keys[key].down) nk_input_key(ctx, static_cast<enum nk_keys>(key), 0);
  }
}

// Mouse, keyboard, focus and capture messages; 1 when consumed.
static int GdiInputHandleEvent(struct nk_context* ctx, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Client pixels, signed (with the capture held they go negative), in panel units.
  const float scale = GdiScale();
  const int x = static_cast<int>(static_cast<short>(LOWORD(lParam)) / scale);
  const int y = static_cast<int>(static_cast<short>(HIWORD(lParam)) / scale);
  switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP: {
      const int down = (static_cast<DWORD>(lParam) & 0x80000000u) ? 0 : 1;
      const int ctrl = (GetKeyState(VK_CONTROL) & 0x8000) && !(GetKeyState(VK_MENU) & 0x8000);
      return GdiKeyInput(wParam, down, ctrl);
    }
    case WM_CHAR: return GdiTypedUnit(wParam);
    case WM_MOUSEMOVE: nk_input_motion(ctx, x, y); return 1;
    case WM_LBUTTONDOWN: return GdiMouseButton(window, NK_BUTTON_LEFT, GDI_HELD_LEFT, 1, x, y);
    case WM_LBUTTONUP:
      nk_input_button(ctx, NK_BUTTON_DOUBLE, x, y, 0);
      return GdiMouseButton(window, NK_BUTTON_LEFT, GDI_HELD_LEFT, 0, x, y);
    case WM_LBUTTONDBLCLK: nk_input_button(ctx, NK_BUTTON_DOUBLE, x, y, 1); return 1;
    case WM_RBUTTONDOWN: return GdiMouseButton(window, NK_BUTTON_RIGHT, GDI_HELD_RIGHT, 1, x, y);
    case WM_RBUTTONUP: return GdiMouseButton(window, NK_BUTTON_RIGHT, GDI_HELD_RIGHT, 0, x, y);
    case WM_MBUTTONDOWN: return GdiMouseButton(window, NK_BUTTON_MIDDLE, GDI_HELD_MIDDLE, 1, x, y);
    case WM_MBUTTONUP: return GdiMouseButton(window, NK_BUTTON_MIDDLE, GDI_HELD_MIDDLE, 0, x, y);
    case WM_CAPTURECHANGED:
      if (!gdiInput.releasingCapture && reinterpret_cast<HWND>(lParam) != window) GdiReleaseAll(window);
      return 0;
    case WM_KILLFOCUS:
      GdiReleaseAll(window);
      return 0;
    case WM_ACTIVATEAPP:
      if (!wParam) GdiReleaseAll(window);
      return 0;
    case WM_MOUSEWHEEL: {
      const short notches = static_cast<short>(HIWORD(wParam));
      nk_input_scroll(ctx, nk_vec2(0.0f, static_cast<float>(notches) / 120.0f));
      return 1;
    }
    default: return 0;
  }
}

int nk_gdi_handle_event(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  struct nk_context* ctx = GdiContext();
  // Creating the window sends messages before the context exists.
  if (!ctx) return 0;
  const int drawing = GdiDrawingEvent(window, message, lParam);
  if (drawing >= 0) return drawing;
  // Once per context: a fresh one has no clipboard yet.
  if (!ctx->clip.paste) GdiInputInit(ctx, window);
  return GdiInputHandleEvent(ctx, window, message, wParam, lParam);
}
