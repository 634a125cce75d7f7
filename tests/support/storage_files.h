// Files as bytes, for the tests of the settings and profile files: read and
// written in binary mode, so line ends are compared as they lie on disk.
#pragma once

#include <string>

// What the writers produce from the defaults.
extern const char DEFAULT_SETTINGS_BYTES[];
extern const char DEFAULT_PROFILE_BYTES[];

// The whole file; "" when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// False when the file could not be written whole.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
