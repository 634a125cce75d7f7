// libFuzzer over the readers and the hotkey parser. Beyond the sanitizers: text fields stay terminated,
// numbers finite, the smoothing window within the ring, and a written file reads back to its bytes.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/tuning.h"
#include "input/hotkey_text.h"
#include "input/mouse_choice.h"
#include "storage/file_writer.h"
#include "storage/settings_file.h"

static void Check(bool ok, const char* what) {
  if (!ok) std::fprintf(stderr, "fuzz_readers: %s\n", what), std::abort();
}

// Reads the bytes, then answers what the writer makes of the record.
using Format = size_t (*)(const TuningSettings&, char*, size_t);
static std::string Through(void (*reader)(FILE*), Format writer, std::string bytes) {
  FILE* in = fmemopen(&bytes[0], bytes.size() + 1, "rb");  // a final NUL ends no line, and fmemopen refuses size 0
  reader(in);
  std::fclose(in);
  char text[FILE_WRITE_TEXT_SIZE];
  const size_t length = writer(tuningSettings, text, sizeof text);
  Check(length > 0, "a record does not fit its file");
  return std::string(text, length);
}

static void Fuzz(void (*reader)(FILE*), Format writer, const std::string& bytes) {
  ResetToDefaults();
  const TuningSettings& t = tuningSettings;
  const std::string first = Through(reader, writer, bytes);
  Check(std::memchr(t.hotkeyLock, 0, 32) && std::memchr(t.hotkeyRecenter, 0, 32) && std::memchr(t.profile, 0, 128) &&
            std::memchr(t.steeringMouse, 0, sizeof t.steeringMouse), "a text field lost its terminator");
  MouseIdentity mouse;
  MouseIdentityDecode(t.steeringMouse, &mouse);  // whatever the file holds
  Check(std::isfinite(t.sensitivity) && std::isfinite(t.responseCurve) && std::isfinite(t.autoCenterForce) &&
            std::isfinite(t.steeringLimit), "a number read as infinite or NaN");
  Check(t.smoothing >= 0 && t.smoothing <= STEERING_RING_SLOTS, "smoothing window outside the ring");
  std::memset(&tuningSettings, 0x55, sizeof tuningSettings);  // every field must be read again
  Check(Through(reader, writer, first) == first, "a written file does not read back to its bytes");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  Fuzz(ReadSettingsStream, FormatSettingsText, bytes);
  Fuzz(ReadProfileStream, FormatProfileText, bytes);
  uint32_t modifiers, key;
  ParseHotkey(bytes.c_str(), &modifiers, &key);
  Check(modifiers <= 7 && (key == 0 || (key >= 'A' && key <= 'Z') || (key >= 0x70 && key <= 0x7B)),
        "a hotkey beyond Alt, Ctrl, Shift, the letters and F1 to F12");
  return 0;
}
