// The few file-system steps the storage code needs that differ per platform.
// Defined in file_replace_win32.cpp and file_replace_posix.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

// Results of the steps below: done, failed, or why it failed where the user can
// act on it or a later try may pass.
constexpr int FILE_DONE = 1;
constexpr int FILE_FAILED = 0;
// Another program holds the file for the moment (a virus scanner, a
// synchronising client): a later try may pass.
constexpr int FILE_BUSY = -1;
// Refused for good: no rights, or Windows Security's controlled folder access.
constexpr int FILE_DENIED = -2;

// Puts the file at fromPath in place of toPath in one step: afterwards toPath
// is either its old content or the new one, never a mix.
int ReplaceFileInOneStep(const char* fromPath, const char* toPath);

// Creates or truncates path, writes the bytes and pushes them to the disk.
int WriteFileToDisk(const char* path, const char* bytes, size_t length);

// 1 only when path is known not to be there (as against there but unreadable).
int FileIsMissing(const char* path);

// Deletes one file (never a folder). 1 on success.
int DeleteOneFile(const char* path);

// Creates one folder level; an existing folder counts as FILE_FAILED.
int MakeOneFolder(const char* path);

// Faults the tests put into the steps above, which no real disk here can show
// (the tests run as root, and the disk is fast). The program never sets them.
struct FileSeamFaults {
  uint32_t writeDelayMs;  // every WriteFileToDisk takes this long first
  int denyWrites;         // WriteFileToDisk and MakeOneFolder answer FILE_DENIED
};
extern FileSeamFaults fileSeamFaults;
