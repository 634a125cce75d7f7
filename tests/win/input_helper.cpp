// The one input injector, run as a second Wine process: input from another
// process passes other threads' low-level hooks and reaches raw-input sinks and
// hotkeys, as a real mouse and keyboard do. Commands chain; exit 0 when all worked.
//   move DX DY | keys VK[,VK...] (pressed in order, released in reverse)
//   launch 0|1 OUTFILE   SetLaunchAtStartup, then our module path into OUTFILE
//   pace COUNT MIN_US MAX_US DX DY ALTERNATE SEED LOG   seeded gaps; ALTERNATE 1
//       flips the sign every move; LOG: "<counter> <frequency> move(<dx>,<dy>) <1|0>"
//       on QueryPerformanceCounter, the stand-in's clock
//   post CLASS MSG WPARAM LPARAM   PostMessageA to the first window of CLASS
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

bool Keys(char** a) {
  INPUT inputs[16]{};
  UINT count = 0;
  for (char *at = a[0], *end = nullptr; *at; at = (*end == ',') ? end + 1 : end) {
    WORD vk = static_cast<WORD>(std::strtoul(at, &end, 0));
    if (count == 8 || end == at || vk == 0) return false;
    inputs[count].type = INPUT_KEYBOARD;
    inputs[count++].ki.wVk = vk;
  }
  for (UINT i = 0; i < count; ++i) {
    inputs[count + i] = inputs[count - 1 - i];
    inputs[count + i].ki.dwFlags = KEYEVENTF_KEYUP;
  }
  return SendInput(count * 2, inputs, sizeof(INPUT)) == count * 2;
}

bool Launch(char** a) {
  SetLaunchAtStartup(std::atoi(a[0]));
  char path[512];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  FILE* out = (length && length < sizeof path) ? std::fopen(a[1], "wb") : nullptr;
  bool written = out && std::fwrite(path, 1, length, out) == length;
  return out && std::fclose(out) == 0 && written;
}

long long Now() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return counter.QuadPart;
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
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  const long long f = frequency.QuadPart;
  timeBeginPeriod(1);
  // Wine makes a process's first real move slow (~50 ms): paid before timing.
  Move(1, 0);
  Sleep(12);
  Move(-1, 0);
  Sleep(static_cast<DWORD>((minUs + span) / 1000 + 20));
  int refused = 0;
  long long deadline = Now();
  for (int i = 0; i < count; ++i) {
    for (long long left; (left = deadline - Now()) > 0;) left >= f / 2000 ? Sleep(1) : (void)SwitchToThread();
    const int sign = (std::atoi(a[5]) && (i & 1)) ? -1 : 1;
    Sent& m = moves[static_cast<size_t>(i)];
    m = {Now(), sign * dx, sign * dy, 0};
    refused += !(m.ok = Move(m.dx, m.dy));
    random = random * 1103515245u + 12345u;
    deadline += (minUs + (span > 0 ? ((random >> 8) & 0xFFFFFFu) % (span + 1) : 0)) * f / 1000000;
    if (deadline < m.counter + minUs * f / 2000000) deadline = m.counter + minUs * f / 2000000;
  }
  timeEndPeriod(1);
  FILE* log = std::fopen(a[7], "wb");
  bool written = log != nullptr;
  for (const Sent& m : moves)
    written = written && std::fprintf(log, "%lld %lld move(%d,%d) %d\n", m.counter, f, m.dx, m.dy, m.ok) > 0;
  if (log && std::fclose(log) != 0) written = false;
  const double seconds = static_cast<double>(moves.back().counter - moves[0].counter) / f;
  std::printf("moves=%d refused=%d seconds=%.3f rate=%.1f log=%s\n", count, refused, seconds,
              seconds > 0 ? (count - 1) / seconds : 0.0, written ? "written" : "FAILED");
  return refused == 0 && written;
}

bool Post(char** a) {
  HWND window = FindWindowA(a[0], nullptr);
  auto number = [&](int i) { return std::strtoul(a[i], nullptr, 0); };
  return window && PostMessageA(window, static_cast<UINT>(number(1)), number(2),
                                static_cast<LPARAM>(number(3)));
}

}  // namespace

int main(int argc, char** argv) {
  const struct { const char* name; int args; bool (*run)(char**); } commands[] = {
      {"move", 2, MoveCommand}, {"keys", 1, Keys}, {"launch", 2, Launch},
      {"pace", 8, Pace},        {"post", 4, Post}};
  for (int i = 1; i < argc;) {
    bool known = false;
    for (const auto& c : commands) {
      if (std::strcmp(argv[i], c.name) != 0 || argc - i - 1 < c.args) continue;
      if (!c.run(argv + i + 1)) return 1;
      i += 1 + c.args;
      known = true;
      break;
    }
    if (!known) {
      std::fprintf(stderr, "tarvix_input_helper: bad command at \"%s\"\n", argv[i]);
      return 2;
    }
  }
  return 0;
}
