// The few file-system steps the storage code needs that differ per platform.
// Defined in file_replace_win32.cpp and file_replace_posix.cpp.
#pragma once

#include <cstdio>

// Puts the file at fromPath in place of toPath in one step: afterwards toPath
// is either its old content or the new one, never a mix. 1 on success,
// FILE_REPLACE_BUSY when another program holds toPath for the moment (a virus
// scanner, a synchronising client) so that a later try may pass, 0 otherwise.
constexpr int FILE_REPLACE_BUSY = -1;
int ReplaceFileInOneStep(const char* fromPath, const char* toPath);

// Pushes what was written to an open stream (already fflush'ed) to the disk.
int FlushFileToDisk(FILE* file);

// Deletes one file (never a folder). 1 on success.
int DeleteOneFile(const char* path);

// Creates one folder level; an existing folder counts as failure. 1 on success.
int MakeOneFolder(const char* path);
