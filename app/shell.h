// The application shell: the main window with its tray icon, and the handles
// that start-up makes and the rest of the program reads.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstddef>
#include <cstdint>

struct nk_context;
struct GdiFont;

#define TARVIX_NAME "Tarvix"
#define TARVIX_VERSION "0.5.6"
#define TARVIX_TITLE "Tarvix v0.5.6"
#define TARVIX_WEBSITE "https://github.com/tarvix/tarvix"

#define TARVIX_MAIN_CLASS "TXMainWnd"
#define TARVIX_MAIN_CLASS_W L"TXMainWnd"
#define TARVIX_TITLE_W L"Tarvix v0.5.6"
#define TARVIX_MUTEX_NAME "Tarvix_SingleInstance"

// The client area at 96 DPI; it scales with the window's DPI.
constexpr int MAIN_CLIENT_WIDTH = 520;
constexpr int MAIN_CLIENT_HEIGHT = 640;  // PANEL_HEIGHT
// Caption, system menu and minimise box: a fixed frame, sized by the program.
constexpr DWORD MAIN_WINDOW_STYLE = 0xCA0000;

constexpr UINT TRAY_CALLBACK_MESSAGE = WM_USER + 1;
// Sent by a benchmark: the main window answers how often the loop has woken.
constexpr UINT LOOP_WAKES_MESSAGE = WM_USER + 2;
extern uint32_t loopWakes;
constexpr UINT TRAY_ICON_ID = 1;
constexpr WORD TRAY_CMD_SHOW = 2001;
constexpr WORD TRAY_CMD_EXIT = 2002;
constexpr WORD TRAY_CMD_ABOUT = 2003;

constexpr size_t ABOUT_TEXT_SIZE = 512;

// ---- Handles made once at start-up (app/main_window.cpp) ----
extern HWND mainWindow;
extern GdiFont* guiFont;
extern struct nk_context* guiContext;  // null until the GUI is up

// ---- Tray state, kept for the whole run so the delete uses the add's record ----
extern NOTIFYICONDATAA trayIconData;
extern HICON trayIcon;
extern HMENU trayMenu;  // null until AddTrayIcon

// ---- Main window (app/main_window.cpp) ----
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers "TXMainWnd" (a Unicode class) and creates the hidden main window
// with a 520 x 640 client area at 96 DPI, scaled to the window's DPI and never
// taller than its monitor's work area, its icons at that DPI's sizes. Null
// when creation fails.
HWND CreateMainWindow(HINSTANCE instance);
// Sizes the main window for a DPI; PlaceMainWindow puts it at a rectangle
// kept within its monitor's work area.
void SizeMainWindowForDpi(HWND window, unsigned int dpi);
void PlaceMainWindow(HWND window, const RECT* wanted);

// The window's own device context, the GUI font and the Nuklear context; sets
// guiFont and guiContext. Null when any of them cannot be made.
struct nk_context* CreateGui(HWND window);

// icon.ico beside the exe, else icon resource 32512, else our "ICON" group,
// at size x size pixels (the image of that size, or the next one scaled);
// may still be null.
HICON LoadAppIcon(int size);

void AddTrayIcon(HWND window);
void RebuildTrayMenu();
// The icon's tip, kept for the shell's restart.
void SetTrayTip(const char* text);
void RemoveTrayIcon();

// The About box's text; always terminated and cut to fit the buffer.
void FormatAboutText(char* buffer, size_t size);
void ShowAboutBox(HWND window);

// The tray menu's Exit: ends the mouse lock, releases vJoy, saves, quits.
void RunExitSequence();
// WM_ENDSESSION: Windows may end the process as soon as the message returns,
// so the settings (a save still waiting for its delay included) and any
// queued write are on disk, FILE_WRITE_SESSION_END_WAIT_MS at most, and the
// output released before it does. Then the loop ends as after Exit, whose
// second release does nothing.
void RunSessionEndSequence();

// ---- The main loop's drain (app/main_window.cpp) ----

// What one drain saw, for the loop to decide whether to draw and to wait.
struct DrainReport {
  int mainWindowMessages;  // messages taken for the main window
  int stoppedAtPress;      // the drain ended early at a press; more is queued
  int stoppedAtLimit;      // the drain ran a tick's length; more may be queued
};

// Translates and dispatches queued messages until the queue is empty. A mouse
// button or key press for the main window ends the drain early: the GUI sees a
// press only as a change within one frame, so a release taken in the same
// pass would swallow a quick click or key stroke; the rest waits for the next
// pass. 0 when WM_QUIT was taken (it is not dispatched), else 1. The report,
// when given, says what was taken.
int DrainMessageQueue(DrainReport* report = nullptr);
