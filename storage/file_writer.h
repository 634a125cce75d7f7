// One writer thread for every file the program writes. The thread that reads
// the mouse, runs the lock's hook and ticks the output never waits on the
// disk: it turns a record into the file's bytes and hands them over here.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int FILE_WRITE_SLOTS = 4;            // files in flight at once
constexpr size_t FILE_WRITE_PATH_SIZE = 512;   // as every storage path
constexpr size_t FILE_WRITE_TEXT_SIZE = 1024;  // a settings or profile file fits
constexpr int FILE_WRITE_RETRY_COUNT = 5;
constexpr uint32_t FILE_WRITE_RETRY_INTERVAL_MS = 20;
constexpr uint32_t FILE_WRITE_EXIT_WAIT_MS = 5000;  // the exit waits for the writer this long at most
constexpr uint32_t FILE_WRITE_SESSION_END_WAIT_MS = 2000;  // and a session's end (sign-out, shutdown)
// Posted to the window set below whenever a write has ended (WM_APP + 2).
constexpr unsigned FILE_WRITE_DONE_MESSAGE = 0x8002;

enum FileWriteKind { FILE_WRITE_SETTINGS, FILE_WRITE_PROFILE };
enum FileWriteStep { FILE_STEP_TEMP, FILE_STEP_REPLACE };

struct FileWriteResult {
  FileWriteKind kind;
  uint32_t ticket;  // as RequestFileWrite answered
  int status;       // FILE_DONE, or the failed step's result (storage/file_replace.h)
  FileWriteStep step;
};

// Hands a whole file to the writer: it writes "<path>.tmp", flushes it and puts
// it in place of path, and tries again while the file is busy. A request for
// the same path that has not started yet is replaced. Never waits. A ticket
// (never 0) that comes back with the result; 0 when the path or the bytes do
// not fit, or FILE_WRITE_SLOTS files are in flight already.
uint32_t RequestFileWrite(FileWriteKind kind, const char* path, const char* text, size_t length);

// The next result not yet taken; 0 when there is none.
int TakeFileWriteResult(FileWriteResult* result);

// Waits until no request waits or is being written, timeoutMs at most (the
// exit). 1 when none is.
int WaitForFileWrites(uint32_t timeoutMs);

// The window that gets FILE_WRITE_DONE_MESSAGE; null: none is posted, and the
// results wait to be taken.
void SetFileWriteWindow(void* window);
// Posts FILE_WRITE_DONE_MESSAGE (file_writer_win32.cpp; nothing on the host).
void PostFileWriteDone(void* window);
