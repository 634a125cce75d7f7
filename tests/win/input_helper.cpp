// The one input injector, run as a second Wine process: its input passes our low-level hooks and reaches
// raw-input sinks and hotkeys as a real mouse and keyboard do. Commands chain; exit code 0 when all worked.
//   move DX DY | mouse FLAGS DATA (a wheel or button event, MOUSEEVENTF_* and mouseData) | keys VK[,VK...]
//   post CLASS MSG WPARAM LPARAM (MSG a number or a registered name)
//   send CLASS MSG WPARAM LPARAM (SendMessage: returns once handled, prints the result) | sleep MS
//   pid CLASS (prints its window's process id) | kill CLASS (ends that process at once, as Windows may once a
//       session's end has been sent)
//   untray CLASS (its window's tray icon 1 removed, as a restarting shell loses it) | launch 0|1 OUTFILE (our path into OUTFILE)
//   boxtext CAPTION: prints the texts of the message box of that caption | setting NAME: WM_SETTINGCHANGE to all
//   pace COUNT MIN_US MAX_US DX DY ALTERNATE SEED LOG: moves at seeded gaps, ALTERNATE 1 flipping the sign
//       each time, logged on the stand-in's clock as "<counter> <frequency> move(<dx>,<dy>) <1|0>".
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "storage/launch_at_startup.h"

namespace {

bool Move(int dx, int dy) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi = {dx, dy, 0, MOUSEEVENTF_MOVE, 0, 0};
  return SendInput(1, &input, sizeof input) == 1;
}

bool MoveCommand(char** a) { return Move(std::atoi(a[0]), std::atoi(a[1])); }

bool MouseEvent(char** a) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = static_cast<DWORD>(std::strtoul(a[0], nullptr, 0));
  input.mi.mouseData = static_cast<DWORD>(std::strtol(a[1], nullptr, 0));
  return SendInput(1, &input, sizeof input) == 1;
}

bool Keys(char** a) {
  std::vector<INPUT> inputs;
  for (char *at = a[0], *end = nullptr; *at; at = (*end == ',') ? end + 1 : end) {
    INPUT key{};
    key.type = INPUT_KEYBOARD;
    if (!(key.ki.wVk = static_cast<WORD>(std::strtoul(at, &end, 0))) || end == at) return false;
    inputs.insert(inputs.begin() + inputs.size() / 2, 2, key);  // pressed after the earlier
    inputs[inputs.size() / 2].ki.dwFlags = KEYEVENTF_KEYUP;       // keys, released before them
  }
  return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

bool Launch(char** a) {
  SetLaunchAtStartup(std::atoi(a[0]));
  char path[512];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  return length && length < sizeof path && std::ofstream(a[1], std::ios::binary).write(path, length).good();
}

// Absolute deadlines, so a late move is made up by the next gaps, but never
// closer than half the shortest gap; our own generator keeps a seed's pace the same.
bool Pace(char** a) {
  const int count = std::atoi(a[0]), dx = std::atoi(a[3]), dy = std::atoi(a[4]);
  const long long minUs = std::atol(a[1]), span = std::atol(a[2]) - minUs;
  unsigned int random = static_cast<unsigned int>(std::strtoul(a[6], nullptr, 10));
  if (count <= 0 || minUs < 0 || span < 0) return false;
  struct Sent { long long counter; int dx, dy, ok; };
  std::vector<Sent> moves(static_cast<size_t>(count));
  LARGE_INTEGER counter, frequency;
  QueryPerformanceFrequency(&frequency);
  auto now = [&] { return QueryPerformanceCounter(&counter), counter.QuadPart; };
  const long long f = frequency.QuadPart;
  timeBeginPeriod(1);
  // Wine makes a process's first real move slow (~50 ms): paid before timing.
  Move(1, 0); Sleep(12); Move(-1, 0); Sleep(static_cast<DWORD>((minUs + span) / 1000 + 20));
  int refused = 0;
  for (long long deadline = now(), i = 0; i < count; ++i) {
    for (long long left; (left = deadline - now()) > 0;) left >= f / 2000 ? Sleep(1) : (void)SwitchToThread();
    const int sign = (std::atoi(a[5]) && (i & 1)) ? -1 : 1;
    Sent& m = moves[static_cast<size_t>(i)];
    m = {now(), sign * dx, sign * dy, 0};
    refused += !(m.ok = Move(m.dx, m.dy));
    random = random * 1103515245u + 12345u;
    deadline += (minUs + (span > 0 ? ((random >> 8) & 0xFFFFFFu) % (span + 1) : 0)) * f / 1000000;
    if (deadline < m.counter + minUs * f / 2000000) deadline = m.counter + minUs * f / 2000000;
  }
  timeEndPeriod(1);
  FILE* log = std::fopen(a[7], "wb");
  bool written = log != nullptr;
  for (const Sent& m : moves) written = written && std::fprintf(log, "%lld %lld move(%d,%d) %d\n", m.counter, f, m.dx, m.dy, m.ok) > 0;
  written = log && std::fclose(log) == 0 && written;
  std::printf("moves=%d refused=%d log=%s\n", count, refused, written ? "written" : "FAILED");
  return refused == 0 && written;
}

template <bool sent> bool Post(char** a) {
  HWND window = FindWindowA(a[0], nullptr);
  auto number = [&](int i) { return std::strtoul(a[i], nullptr, 0); };
  const UINT message = (*a[1] >= '0' && *a[1] <= '9') ? static_cast<UINT>(number(1)) : RegisterWindowMessageA(a[1]);
  if (!sent) return window && PostMessageA(window, message, number(2), static_cast<LPARAM>(number(3)));
  return window && std::printf("%lld\n", static_cast<long long>(SendMessageA(window, message, number(2), number(3)))) > 0;
}

bool Process(char** a, bool kill) {
  DWORD id = 0;
  GetWindowThreadProcessId(FindWindowA(a[0], nullptr), &id);
  if (!kill) return id && std::printf("%lu\n", id) > 0;
  HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, id);
  return process && TerminateProcess(process, 9) && CloseHandle(process);
}

bool Untray(char** a) {
  NOTIFYICONDATAA icon{};
  icon.cbSize = sizeof icon, icon.hWnd = FindWindowA(a[0], nullptr), icon.uID = 1;
  return icon.hWnd && Shell_NotifyIconA(NIM_DELETE, &icon);
}

bool Setting(char** a) {  // as Windows broadcasts it, "ImmersiveColorSet" for the theme
  wchar_t name[64];
  return MultiByteToWideChar(CP_UTF8, 0, a[0], -1, name, 64) &&
         SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(name), SMTO_ABORTIFHUNG, 5000, nullptr);
}

bool BoxText(char** a) {
  HWND box = FindWindowA("#32770", a[0]);
  return box && (EnumChildWindows(box, [](HWND child, LPARAM) {
    char text[1024], kind[16];
    GetClassNameA(child, kind, sizeof kind);
    if (!lstrcmpiA(kind, "Static") && GetWindowTextA(child, text, sizeof text)) std::printf("%s\n", text);
    return TRUE;
  }, 0), true);
}

}  // namespace

int main(int argc, char** argv) {
  const struct { const char* name; int args; bool (*run)(char**); } commands[] = {
      {"move", 2, MoveCommand}, {"mouse", 2, MouseEvent}, {"keys", 1, Keys}, {"launch", 2, Launch}, {"pace", 8, Pace},
      {"post", 4, Post<false>}, {"send", 4, Post<true>}, {"sleep", 1, [](char** a) { return Sleep(std::atoi(a[0])), true; }},
      {"pid", 1, [](char** a) { return Process(a, false); }}, {"kill", 1, [](char** a) { return Process(a, true); }},
      {"untray", 1, Untray}, {"boxtext", 1, BoxText}, {"setting", 1, Setting}};
  for (int i = 1; i < argc;) {
    auto c = std::find_if(std::begin(commands), std::end(commands),
                          [&](const auto& c) { return !std::strcmp(argv[i], c.name) && argc - i > c.args; });
    if (c == std::end(commands)) return std::fprintf(stderr, "tarvix_input_helper: bad command at \"%s\"\n", argv[i]), 2;
    if (!c->run(argv + i + 1)) return 1;
    i += 1 + c->args;
  }
  return 0;
}
