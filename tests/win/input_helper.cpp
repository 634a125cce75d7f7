// A second Wine process for the input tests. Input injected from another
// process is what a real mouse and keyboard look like to the program: it passes
// the low-level hooks of other threads and reaches raw-input sinks and hotkeys.
//
//   tarvix_input_helper move DX DY            one relative mouse move
//   tarvix_input_helper keys VK[,VK...]       press in order, release in reverse
//   tarvix_input_helper launch 0|1 OUTFILE    SetLaunchAtStartup, then write this
//                                             program's module path to OUTFILE
// Commands may follow one another. Exit code 0 when every step succeeded.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "storage/launch_at_startup.h"

namespace {

int HelperMove(const char* dxText, const char* dyText) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = std::strtol(dxText, nullptr, 0);
  input.mi.dy = std::strtol(dyText, nullptr, 0);
  input.mi.dwFlags = MOUSEEVENTF_MOVE;
  return SendInput(1, &input, sizeof input) == 1 ? 0 : 1;
}

int HelperKeys(const char* list) {
  INPUT inputs[16]{};
  UINT count = 0;
  const char* at = list;
  while (*at) {
    if (count == 8) return 1;
    char* end = nullptr;
    WORD vk = static_cast<WORD>(std::strtoul(at, &end, 0));
    if (end == at || vk == 0) return 1;
    inputs[count].type = INPUT_KEYBOARD;
    inputs[count].ki.wVk = vk;
    ++count;
    at = (*end == ',') ? end + 1 : end;
  }
  for (UINT i = 0; i < count; ++i) {
    inputs[count + i] = inputs[count - 1 - i];
    inputs[count + i].ki.dwFlags = KEYEVENTF_KEYUP;
  }
  return SendInput(count * 2, inputs, sizeof(INPUT)) == count * 2 ? 0 : 1;
}

int HelperLaunch(const char* enable, const char* outFile) {
  SetLaunchAtStartup(std::atoi(enable));
  char path[512];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return 1;
  FILE* out = std::fopen(outFile, "wb");
  if (!out) return 1;
  bool written = std::fwrite(path, 1, length, out) == length;
  return (std::fclose(out) == 0 && written) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  int i = 1;
  while (i < argc) {
    int failed;
    if (std::strcmp(argv[i], "move") == 0 && i + 2 < argc) {
      failed = HelperMove(argv[i + 1], argv[i + 2]);
      i += 3;
    } else if (std::strcmp(argv[i], "keys") == 0 && i + 1 < argc) {
      failed = HelperKeys(argv[i + 1]);
      i += 2;
    } else if (std::strcmp(argv[i], "launch") == 0 && i + 2 < argc) {
      failed = HelperLaunch(argv[i + 1], argv[i + 2]);
      i += 3;
    } else {
      std::fprintf(stderr, "tarvix_input_helper: bad command at \"%s\"\n", argv[i]);
      return 2;
    }
    if (failed) return 1;
  }
  return 0;
}
