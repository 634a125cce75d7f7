// Injects relative mouse moves with SendInput at a given pace and stamps each
// with QueryPerformanceCounter, the clock the vJoy stand-in stamps its calls
// with, so that a move and the axis value it caused are measured on one clock.
// Moves from another process are what a real mouse looks like to Tarvix: they
// reach its raw-input sink whichever window has the focus.
//
//   tarvix_mouse_injector move COUNT MIN_US MAX_US DX DY ALTERNATE SEED LOG
//       COUNT moves of (DX, DY); the gap before each next move is drawn evenly
//       from MIN_US..MAX_US microseconds (seeded), so moves do not lock to the
//       output tick's phase; a late move never pulls the next one closer than
//       half of MIN_US, so spaced moves stay spaced. ALTERNATE 1 flips the sign of both deltas on every
//       move, which keeps the cursor and the wheel near where they started.
//       LOG gets one line per move, written after the last one:
//         <counter> <frequency> move(<dx>,<dy>) <1 sent | 0 refused>
//   tarvix_mouse_injector exit
//       asks a running Tarvix to end as its tray menu's Exit does.
// Prints a one-line summary; exit code 0 when every move was sent.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct InjectedMove {
  long long counter;
  int dx, dy;
  int sent;
};

// A small generator of our own so the gaps are the same on every platform.
unsigned int NextRandom(unsigned int* state) {
  *state = *state * 1103515245u + 12345u;
  return (*state >> 8) & 0xFFFFFFu;
}

long long Now() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return counter.QuadPart;
}

// Sleeps while at least half a millisecond is left, then yields until the
// deadline: the sleeps keep the pace's CPU cost low, and each move lands at
// most one sleep late, which the absolute deadlines then make up.
void WaitUntil(long long deadline, long long frequency) {
  const long long halfMilli = frequency / 2000;
  for (;;) {
    const long long left = deadline - Now();
    if (left <= 0) return;
    if (left >= halfMilli) {
      Sleep(1);
    } else {
      SwitchToThread();
    }
  }
}

int InjectMoves(int count, long minMicros, long maxMicros, int dx, int dy, int alternate,
                unsigned int seed, const char* logPath) {
  if (count <= 0 || minMicros < 0 || maxMicros < minMicros) return 2;
  InjectedMove* moves = static_cast<InjectedMove*>(std::calloc(static_cast<size_t>(count),
                                                              sizeof(InjectedMove)));
  if (!moves) return 2;

  LARGE_INTEGER frequencyValue;
  QueryPerformanceFrequency(&frequencyValue);
  const long long frequency = frequencyValue.QuadPart;
  unsigned int random = seed;

  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_MOVE;

  // Wine makes the first real move of a process slow (about 50 ms; a move of
  // nothing does not count): one step right and back pays for that before the
  // timed moves begin, and leaves the wheel where it was.
  input.mi.dx = 1;
  SendInput(1, &input, sizeof input);
  Sleep(12);
  input.mi.dx = -1;
  SendInput(1, &input, sizeof input);
  Sleep(static_cast<DWORD>(maxMicros / 1000 + 20));

  int refused = 0;
  long long deadline = Now();
  for (int i = 0; i < count; ++i) {
    WaitUntil(deadline, frequency);
    const int sign = (alternate && (i & 1)) ? -1 : 1;
    input.mi.dx = sign * dx;
    input.mi.dy = sign * dy;
    moves[i].counter = Now();
    moves[i].dx = sign * dx;
    moves[i].dy = sign * dy;
    moves[i].sent = SendInput(1, &input, sizeof input) == 1;
    if (!moves[i].sent) ++refused;
    const long span = maxMicros - minMicros;
    const long gap =
        minMicros + (span > 0 ? static_cast<long>(NextRandom(&random) % (span + 1)) : 0);
    deadline += static_cast<long long>(gap) * frequency / 1000000;
    const long long earliest = moves[i].counter + minMicros * frequency / 2000000;
    if (deadline < earliest) deadline = earliest;
  }
  const long long first = moves[0].counter;
  const long long last = moves[count - 1].counter;

  FILE* log = std::fopen(logPath, "wb");
  int written = log != nullptr;
  for (int i = 0; written && i < count; ++i) {
    written = std::fprintf(log, "%lld %lld move(%d,%d) %d\n", moves[i].counter, frequency,
                           moves[i].dx, moves[i].dy, moves[i].sent) > 0;
  }
  if (log && std::fclose(log) != 0) written = 0;
  std::free(moves);

  const double seconds = static_cast<double>(last - first) / static_cast<double>(frequency);
  std::printf("moves=%d refused=%d seconds=%.3f rate=%.1f log=%s\n", count, refused, seconds,
              seconds > 0 ? (count - 1) / seconds : 0.0, written ? "written" : "FAILED");
  return (refused == 0 && written) ? 0 : 1;
}

int AskTarvixToExit() {
  HWND window = FindWindowA("TXMainWnd", nullptr);
  if (!window) return 1;
  // The tray menu's Exit item, as Tarvix's own menu sends it.
  return PostMessageA(window, WM_COMMAND, MAKEWPARAM(2002, 0), 0) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 10 && std::strcmp(argv[1], "move") == 0) {
    // Asks for 1 ms sleeps on Windows; Wine sleeps at that grain anyway.
    timeBeginPeriod(1);
    const int result =
        InjectMoves(std::atoi(argv[2]), std::atol(argv[3]), std::atol(argv[4]),
                    std::atoi(argv[5]), std::atoi(argv[6]), std::atoi(argv[7]),
                    static_cast<unsigned int>(std::strtoul(argv[8], nullptr, 10)), argv[9]);
    timeEndPeriod(1);
    return result;
  }
  if (argc == 2 && std::strcmp(argv[1], "exit") == 0) return AskTarvixToExit();
  std::fprintf(stderr,
               "usage: tarvix_mouse_injector move COUNT MIN_US MAX_US DX DY ALTERNATE SEED LOG\n"
               "       tarvix_mouse_injector exit\n");
  return 2;
}
