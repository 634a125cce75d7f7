// Random input for the settings reader, the profile reader and the hotkey
// parser. Built as a libFuzzer target with clang, and with TARVIX_RANDOM_DRIVER
// as a bounded random-input program for the host build (g++, sanitizers).
//
// Beyond "no crash, no sanitizer report", each input is checked for what the
// sanitizers cannot see inside one record: every text field keeps its
// terminator, the readers leave alone the fields they do not own, numbers
// stay finite, the smoothing window stays within the ring, and what the
// writers produce reads back to the same bytes.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/steering.h"
#include "engine/tuning.h"
#include "input/hotkey_text.h"
#include "storage/profile_store.h"
#include "storage/settings_file.h"

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "fuzz_readers: %s\n", what);
  std::abort();
}

void Check(bool condition, const char* what) {
  if (!condition) Fail(what);
}

// Stream over a copy of the input; fmemopen refuses a zero size, so an empty
// input gets a one-byte buffer read as empty.
FILE* OpenInput(const std::string& bytes, std::string* storage) {
  *storage = bytes.empty() ? std::string(1, '\0') : bytes;
  FILE* file = fmemopen(&(*storage)[0], storage->size(), "rb");
  if (!file) Fail("fmemopen failed");
  if (bytes.empty()) std::fgetc(file);  // now at its end
  return file;
}

void ReadWith(void (*reader)(FILE*), const std::string& bytes) {
  std::string storage;
  FILE* file = OpenInput(bytes, &storage);
  reader(file);
  std::fclose(file);
}

std::string WriteWith(void (*writer)(FILE*)) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* file = open_memstream(&buffer, &size);
  if (!file) Fail("open_memstream failed");
  writer(file);
  std::fclose(file);
  std::string bytes(buffer, size);
  std::free(buffer);
  return bytes;
}

bool Terminated(const char* field, size_t size) { return std::memchr(field, 0, size) != nullptr; }

void CheckRecord() {
  const TuningSettings& t = tuningSettings;
  Check(Terminated(t.hotkeyLock, sizeof t.hotkeyLock), "hotkeyLock lost its terminator");
  Check(Terminated(t.hotkeyRecenter, sizeof t.hotkeyRecenter), "hotkeyRecenter lost its terminator");
  Check(Terminated(t.profile, sizeof t.profile), "profile lost its terminator");
  Check(std::isfinite(t.sensitivity) && std::isfinite(t.responseCurve) &&
            std::isfinite(t.autoCenterForce) && std::isfinite(t.steeringLimit),
        "a number read as infinite or NaN");
  Check(t.smoothing >= 0 && t.smoothing <= STEERING_RING_SLOTS, "smoothing window outside the ring");
  const SteeringState& s = steeringState;
  Check(s.ringIndex >= 0 && s.ringIndex < STEERING_RING_SLOTS, "ring index outside the ring");
  Check(s.ringCount >= 0 && s.ringCount <= STEERING_RING_SLOTS, "ring count outside the ring");
}

// Values no reader produces, to see which fields a reader really wrote.
void Scramble() {
  TuningSettings& t = tuningSettings;
  t.sensitivity = -1234.5f;
  t.responseCurve = -1234.5f;
  t.autoCenterForce = -1234.5f;
  t.steeringLimit = -1234.5f;
  t.curveOnSteering = -77;
  t.startMin = -77;
  t.startWithWindows = -77;
  t.accelBrakeMode = -77;
  SetSmoothingWindow(t.smoothing == 0 ? 1 : 0);
  std::strcpy(t.hotkeyLock, "\n");
  std::strcpy(t.hotkeyRecenter, "\n");
  std::strcpy(t.profile, "\n");
}

void FuzzSettings(const std::string& bytes) {
  ResetToDefaults();
  tuningSettings.curveOnSteering = 7;  // not a settings key
  steeringState.profileModified = 1;
  ReadWith(ReadSettingsStream, bytes);
  CheckRecord();
  Check(tuningSettings.curveOnSteering == 7, "settings reader touched curveOnSteering");
  Check(steeringState.profileModified == 0, "settings reader left profileModified set");

  // Whatever was read is written as eleven lines that read back to the same:
  // every field, scrambled in between, must be read again from them.
  const std::string first = WriteWith(WriteSettingsStream);
  Scramble();
  ReadWith(ReadSettingsStream, first);
  Check(WriteWith(WriteSettingsStream) == first, "settings file does not read back to its bytes");
}

void FuzzProfile(const std::string& bytes) {
  ResetToDefaults();
  TuningSettings& t = tuningSettings;
  std::memset(t.hotkeyLock, 'L', sizeof t.hotkeyLock - 1);
  std::memset(t.hotkeyRecenter, 'R', sizeof t.hotkeyRecenter - 1);
  std::memset(t.profile, 'P', sizeof t.profile - 1);
  t.startMin = 5;
  t.startWithWindows = 6;
  t.accelBrakeMode = 7;
  ReadWith(ReadProfileStream, bytes);
  CheckRecord();
  Check(std::strspn(t.hotkeyLock, "L") == sizeof t.hotkeyLock - 1 &&
            std::strspn(t.hotkeyRecenter, "R") == sizeof t.hotkeyRecenter - 1 &&
            std::strspn(t.profile, "P") == sizeof t.profile - 1,
        "profile reader touched a text field");
  Check(t.startMin == 5 && t.startWithWindows == 6 && t.accelBrakeMode == 7,
        "profile reader touched an option");

  const std::string first = WriteWith(WriteProfileStream);
  Scramble();
  ReadWith(ReadProfileStream, first);
  Check(WriteWith(WriteProfileStream) == first, "profile file does not read back to its bytes");
}

void FuzzHotkey(const std::string& bytes) {
  // The whole input as one text, and its first 31 characters as a stored field.
  for (size_t limit : {bytes.size(), static_cast<size_t>(31)}) {
    std::string text = bytes.substr(0, limit);
    uint32_t modifiers = 99;
    uint32_t key = 99;
    ParseHotkey(text.c_str(), &modifiers, &key);
    Check((modifiers & ~(HOTKEY_MOD_ALT | HOTKEY_MOD_CONTROL | HOTKEY_MOD_SHIFT)) == 0,
          "hotkey modifiers outside Alt, Ctrl, Shift");
    Check(key == 0 || (key >= 'A' && key <= 'Z') || (key >= 0x70 && key <= 0x7B),
          "hotkey key is neither a letter nor F1..F12");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  FuzzSettings(bytes);
  FuzzProfile(bytes);
  FuzzHotkey(bytes);
  return 0;
}

#ifdef TARVIX_RANDOM_DRIVER
// Without libFuzzer: the seed files named on the command line, then a fixed
// number of inputs built from a fixed seed, half of them edited seeds and half
// assembled from nothing.
#include <dirent.h>

#include <random>
#include <vector>

namespace {

std::vector<std::string> ReadSeeds(const char* folder) {
  std::vector<std::string> seeds;
  DIR* listing = opendir(folder);
  if (!listing) return seeds;
  while (dirent* entry = readdir(listing)) {
    if (entry->d_name[0] == '.') continue;
    std::string path = std::string(folder) + "/" + entry->d_name;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) continue;
    std::string bytes;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    std::fclose(file);
    seeds.push_back(bytes);
  }
  closedir(listing);
  return seeds;
}

const char* const PIECES[] = {
    "sensitivity", "responseCurve", "smoothing", "autoCenterForce", "steeringLimit",
    "curveOnSteering", "startMin", "startWithWindows", "accelBrakeMode", "hotkeyLock",
    "hotkeyRecenter", "profile", "=", "=", "=", "\r\n", "\n", "\r", " ", "\t", "1e999", "-1e39",
    "nan", "-inf", "INF", "0x1p200", "99999999999999999999", "-2147483649", "45.37", "1.5",
    "F12", "^+!x", "My Car", "-", "+", "."};

// Edits a seed, or an empty text, with pieces that matter to the readers, runs
// long enough to cross a field or the 255 limit, and random bytes.
std::string Mutate(std::string bytes, std::mt19937& random) {
  const int edits = 1 + static_cast<int>(random() % 24);
  for (int i = 0; i < edits; ++i) {
    const size_t at = random() % (bytes.size() + 1);
    switch (random() % 5) {
      case 0:
        if (at < bytes.size()) bytes[at] = static_cast<char>(random() % 256);
        break;
      case 1:
        if (at < bytes.size()) bytes.erase(at, 1 + random() % 16);
        break;
      case 2:
        bytes.insert(at, std::to_string(static_cast<int>(random()) % 100000));
        break;
      case 3:
        bytes.insert(at, random() % 300, "a =\r\n9x"[random() % 7]);
        break;
      default:
        bytes.insert(at, PIECES[random() % (sizeof PIECES / sizeof PIECES[0])]);
        break;
    }
  }
  return bytes;
}

void Run(const std::string& bytes) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <seed folder> [inputs] [random seed]\n", argv[0]);
    return 2;
  }
  std::vector<std::string> seeds = ReadSeeds(argv[1]);
  if (seeds.empty()) {
    std::fprintf(stderr, "fuzz_readers: no seed files in %s\n", argv[1]);
    return 2;
  }
  long inputs = argc > 2 ? std::atol(argv[2]) : 20000;
  unsigned long seed = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 20240611ul;
  std::mt19937 random(static_cast<std::mt19937::result_type>(seed));

  for (const std::string& bytes : seeds) Run(bytes);
  Run(std::string());
  for (long i = 0; i < inputs; ++i) {
    Run(Mutate(random() % 2 ? seeds[random() % seeds.size()] : std::string(), random));
  }
  std::printf("fuzz_readers: %zu seeds and %ld random inputs, no fault\n", seeds.size(), inputs);
  return 0;
}
#endif
