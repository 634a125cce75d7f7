#include "tests/support/storage_files.h"

#include <cstdio>

const char DEFAULT_SETTINGS_BYTES[] =
    "sensitivity=45.0\r\nresponseCurve=1.50\r\nsmoothing=2\r\nautoCenterForce=5.0\r\n"
    "steeringLimit=100.0\r\nstartMin=1\r\nstartWithWindows=0\r\naccelBrakeMode=1\r\n"
    "hotkeyLock=F4\r\nhotkeyRecenter=^R\r\nprofile=Default\r\n";
const char DEFAULT_PROFILE_BYTES[] =
    "sensitivity=45.0\r\nresponseCurve=1.50\r\nsmoothing=2\r\nautoCenterForce=5.0\r\n"
    "steeringLimit=100.0\r\ncurveOnSteering=1\r\n";

std::string ReadFileBytes(const std::string& path) {
  std::string bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return bytes;
  char chunk[1024];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
  std::fclose(file);
  return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool whole = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && whole;
}
