// Time of one frame of the GUI as the main loop makes it: BuildMainPanel, then
// nk_gdi_render into the back buffer and out to the window. Uses the real
// "TXMainWnd" window, the real GDI binding, theme and panel, and a private data
// folder with a few profiles so the Profiles tab lists something.
//
//   tarvix_panel_bench [PASSES]     default 400 timed passes per case
//
// Prints one JSON object on stdout; times are microseconds per pass.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/nk_gdi.h"
#include "app/shell.h"
#include "engine/tuning.h"
#include "input/hotkeys.h"
#include "storage/profile_store.h"
#include "storage/file_writer.h"
#include "storage/saving.h"
#include "storage/settings_file.h"
#include "ui/main_panel.h"
#include "ui/nk.h"
#include "ui/theme.h"
#include "engine/output_link.h"

namespace {

constexpr int WARMUP_PASSES = 30;
const char* const TAB_NAMES[] = {"Controls", "Profiles", "Settings"};
const char* const BENCH_PROFILES[] = {"Default", "Rally", "Drift", "Truck", "Kart"};

struct Summary {
  double median, p99, mean;
};

Summary Summarise(std::vector<double>& values) {
  std::sort(values.begin(), values.end());
  double sum = 0;
  for (double v : values) sum += v;
  const size_t n = values.size();
  size_t p99 = (n * 99 + 99) / 100;  // nearest rank
  if (p99 > 0) p99 -= 1;
  return {values[n / 2], values[std::min(p99, n - 1)], sum / static_cast<double>(n)};
}

// The queue is drained between passes, outside the timing, so that a shown
// window's paint and the binding's input see what the real loop would give them.
void DrainUntimed() {
  nk_input_begin(guiContext);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  nk_input_end(guiContext);
}

void PrintSummary(const char* name, const Summary& s, const char* tail) {
  std::printf("\"%s\": {\"median\": %.2f, \"p99\": %.2f, \"mean\": %.2f}%s", name, s.median, s.p99,
              s.mean, tail);
}

void RunCase(int tab, int shown, int dark, int passes, int last) {
  steeringState.currentTab = tab;
  ShowWindow(mainWindow, shown ? SW_SHOW : SW_HIDE);
  ApplyTheme(guiContext, mainWindow, dark);

  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  const double toMicro = 1e6 / static_cast<double>(frequency.QuadPart);
  std::vector<double> build, render, pass;
  build.reserve(static_cast<size_t>(passes));
  render.reserve(static_cast<size_t>(passes));
  pass.reserve(static_cast<size_t>(passes));

  for (int i = 0; i < WARMUP_PASSES + passes; ++i) {
    DrainUntimed();
    LARGE_INTEGER t0, t1, t2;
    QueryPerformanceCounter(&t0);
    BuildMainPanel(guiContext, MAIN_CLIENT_WIDTH, MAIN_CLIENT_HEIGHT);
    QueryPerformanceCounter(&t1);
    GdiInvalidateFrame();  // drawn whole, as every frame that changed is
    nk_gdi_render(backgroundColor);
    QueryPerformanceCounter(&t2);
    if (i < WARMUP_PASSES) continue;
    build.push_back(static_cast<double>(t1.QuadPart - t0.QuadPart) * toMicro);
    render.push_back(static_cast<double>(t2.QuadPart - t1.QuadPart) * toMicro);
    pass.push_back(static_cast<double>(t2.QuadPart - t0.QuadPart) * toMicro);
  }

  std::printf("    {\"tab\": \"%s\", \"window\": \"%s\", \"theme\": \"%s\", ", TAB_NAMES[tab],
              shown ? "shown" : "hidden", dark ? "dark" : "light");
  PrintSummary("build_us", Summarise(build), ", ");
  PrintSummary("render_us", Summarise(render), ", ");
  PrintSummary("pass_us", Summarise(pass), "");
  std::printf("}%s\n", last ? "" : ",");
}

void RemoveDataFolder(const char* folder) {
  for (const char* name : BENCH_PROFILES) {
    char path[STORAGE_PATH_SIZE];
    std::snprintf(path, sizeof path, "%s\\%s.txt", profileFolderPath, name);
    DeleteFileA(path);
  }
  DeleteFileA(settingsFilePath);
  RemoveDirectoryA(profileFolderPath);
  RemoveDirectoryA(folder);
}

}  // namespace

int main(int argc, char** argv) {
  int passes = argc > 1 ? std::atoi(argv[1]) : 400;
  if (passes < 10) passes = 10;

  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  char folder[STORAGE_PATH_SIZE];
  std::snprintf(folder, sizeof folder, "%starvix-panel-bench-%lu", temp,
                static_cast<unsigned long>(GetCurrentProcessId()));
  CreateDirectoryA(folder, nullptr);
  SetDataFolder(folder);
  CreateDirectoryA(profileFolderPath, nullptr);

  ResetToDefaults();
  for (const char* name : BENCH_PROFILES) {
    SaveUserProfile(name, "");
    WaitForFileWrites(FILE_WRITE_EXIT_WAIT_MS);
    CollectFileWriteResults();
  }
  ScanProfiles();
  // The status line as it reads while the program runs with the device held.
  outputLink.state = OUTPUT_LINK_BOUND;

  mainWindow = CreateMainWindow(GetModuleHandleA(nullptr));
  if (!mainWindow || !CreateGui(mainWindow)) {
    std::fprintf(stderr, "tarvix_panel_bench: no window or GUI\n");
    RemoveDataFolder(folder);
    return 1;
  }
  hotkeyWindow = mainWindow;

  std::printf("{\n  \"passes\": %d,\n  \"cases\": [\n", passes);
  RunCase(0, 0, 0, passes, 0);
  RunCase(1, 0, 0, passes, 0);
  RunCase(2, 0, 0, passes, 0);
  RunCase(0, 0, 1, passes, 0);
  RunCase(0, 1, 0, passes, 1);
  std::printf("  ]\n}\n");

  RemoveDataFolder(folder);
  return 0;
}
