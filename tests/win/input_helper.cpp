// The one input injector, run as a second Wine process: input from another
// process is what a real mouse and keyboard look like to the program (it passes
// other threads' low-level hooks and reaches raw-input sinks and hotkeys).
//   move DX DY                  one relative mouse move
//   keys VK[,VK...]             press in order, release in reverse
//   launch 0|1 OUTFILE          SetLaunchAtStartup, then write our module path
//   pace COUNT MIN_US MAX_US DX DY ALTERNATE SEED LOG
//       COUNT moves, seeded gaps drawn from MIN_US..MAX_US, ALTERNATE 1 flips the
//       sign every move; LOG gets "<counter> <frequency> move(<dx>,<dy>) <1|0>"
//       per move on QueryPerformanceCounter, the stand-in's clock
//   post CLASS MSG WPARAM LPARAM   PostMessageA to the first window of CLASS
// Commands may be chained; exit code 0 when every step succeeded.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "storage/launch_at_startup.h"

namespace {

long Num(const char* text) { return static_cast<long>(std::strtoul(text, nullptr, 0)); }

bool Move(int dx, int dy) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = dx;
  input.mi.dy = dy;
  input.mi.dwFlags = MOUSEEVENTF_MOVE;
  return SendInput(1, &input, sizeof input) == 1;
}

bool Keys(const char* at) {
  INPUT inputs[16]{};
  UINT count = 0;
  for (char* end = nullptr; *at; at = (*end == ',') ? end + 1 : end) {
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

bool Launch(const char* enable, const char* outFile) {
  SetLaunchAtStartup(std::atoi(enable));
  char path[512];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  FILE* out = (length && length < sizeof path) ? std::fopen(outFile, "wb") : nullptr;
  if (!out) return false;
  bool written = std::fwrite(path, 1, length, out) == length;
  return std::fclose(out) == 0 && written;
}

long long Now() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return counter.QuadPart;
}

// Absolute deadlines, so one late move is made up by the next gaps; the gaps are
// drawn by our own generator so a seed means the same pace everywhere.
bool Pace(char** a) {
  const int count = std::atoi(a[0]), dx = std::atoi(a[3]), dy = std::atoi(a[4]);
  const long minUs = std::atol(a[1]), maxUs = std::atol(a[2]);
  unsigned int random = static_cast<unsigned int>(std::strtoul(a[6], nullptr, 10));
  if (count <= 0 || minUs < 0 || maxUs < minUs) return false;
  struct Sent { long long counter; int dx, dy, ok; };
  std::vector<Sent> moves(static_cast<size_t>(count));
  LARGE_INTEGER frequencyValue;
  QueryPerformanceFrequency(&frequencyValue);
  const long long frequency = frequencyValue.QuadPart;
  timeBeginPeriod(1);
  // Wine makes a process's first real move slow (~50 ms): pay it before timing.
  Move(1, 0);
  Sleep(12);
  Move(-1, 0);
  Sleep(static_cast<DWORD>(maxUs / 1000 + 20));
  int refused = 0;
  long long deadline = Now();
  for (int i = 0; i < count; ++i) {
    for (long long left; (left = deadline - Now()) > 0;) {
      if (left >= frequency / 2000) Sleep(1); else SwitchToThread();
    }
    const int sign = (std::atoi(a[5]) && (i & 1)) ? -1 : 1;
    Sent& m = moves[static_cast<size_t>(i)];
    m = {Now(), sign * dx, sign * dy, 0};
    m.ok = Move(m.dx, m.dy);
    refused += !m.ok;
    random = random * 1103515245u + 12345u;
    const long span = maxUs - minUs;
    const long gap = minUs + (span > 0 ? static_cast<long>(((random >> 8) & 0xFFFFFFu) % (span + 1)) : 0);
    deadline += static_cast<long long>(gap) * frequency / 1000000;
    // A late move never pulls the next one closer than half the shortest gap.
    if (deadline < m.counter + minUs * frequency / 2000000) deadline = m.counter + minUs * frequency / 2000000;
  }
  timeEndPeriod(1);
  FILE* log = std::fopen(a[7], "wb");
  bool written = log != nullptr;
  for (const Sent& m : moves) {
    written = written && std::fprintf(log, "%lld %lld move(%d,%d) %d\n", m.counter, frequency,
                                      m.dx, m.dy, m.ok) > 0;
  }
  if (log && std::fclose(log) != 0) written = false;
  const double seconds = static_cast<double>(moves.back().counter - moves[0].counter) / frequency;
  std::printf("moves=%d refused=%d seconds=%.3f rate=%.1f log=%s\n", count, refused, seconds,
              seconds > 0 ? (count - 1) / seconds : 0.0, written ? "written" : "FAILED");
  return refused == 0 && written;
}

bool Post(char** a) {
  HWND window = FindWindowA(a[0], nullptr);
  return window && PostMessageA(window, static_cast<UINT>(Num(a[1])),
                                static_cast<WPARAM>(Num(a[2])), static_cast<LPARAM>(Num(a[3])));
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc;) {
    const char* command = argv[i];
    const int left = argc - i - 1;
    bool ok;
    if (!std::strcmp(command, "move") && left >= 2) {
      ok = Move(std::atoi(argv[i + 1]), std::atoi(argv[i + 2]));
      i += 3;
    } else if (!std::strcmp(command, "keys") && left >= 1) {
      ok = Keys(argv[i + 1]);
      i += 2;
    } else if (!std::strcmp(command, "launch") && left >= 2) {
      ok = Launch(argv[i + 1], argv[i + 2]);
      i += 3;
    } else if (!std::strcmp(command, "pace") && left >= 8) {
      ok = Pace(argv + i + 1);
      i += 9;
    } else if (!std::strcmp(command, "post") && left >= 4) {
      ok = Post(argv + i + 1);
      i += 5;
    } else {
      std::fprintf(stderr, "tarvix_input_helper: bad command at \"%s\"\n", command);
      return 2;
    }
    if (!ok) return 1;
  }
  return 0;
}
