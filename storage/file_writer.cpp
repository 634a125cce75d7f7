// The writer thread and its one piece of shared state: a request slot per file
// and the result each slot came to, under one mutex. Everything else of the
// storage code stays on the main thread.
#include "storage/file_writer.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "storage/file_replace.h"

FileSeamFaults fileSeamFaults;

namespace {

struct FileWriteSlot {
  int queued;   // a request waits in path/text
  int writing;  // the writer has taken it
  int resultReady;
  FileWriteKind kind;
  uint32_t ticket;
  char path[FILE_WRITE_PATH_SIZE];
  char text[FILE_WRITE_TEXT_SIZE];
  size_t length;
  FileWriteResult result;
};

struct FileWriterShared {
  std::mutex lock;
  std::condition_variable wake;  // a request came
  std::condition_variable idle;  // nothing is pending any more
  FileWriteSlot slots[FILE_WRITE_SLOTS];
  uint32_t lastTicket;
  void* window;
  int started;
};

// Made once and never destroyed: the thread may still wait on it while the
// process ends.
FileWriterShared& Shared() {
  static FileWriterShared* shared = new FileWriterShared();
  return *shared;
}

int SlotPending(const FileWriteSlot& slot) { return slot.queued || slot.writing; }

void SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The temporary file, the flush and the replace, again while the file is busy.
FileWriteResult WriteReplacing(const char* path, const char* text, size_t length) {
  char tempPath[FILE_WRITE_PATH_SIZE + 4];
  std::snprintf(tempPath, sizeof tempPath, "%s.tmp", path);
  FileWriteResult result = {};
  for (int attempt = 0;; ++attempt) {
    result.step = FILE_STEP_TEMP;
    result.status = WriteFileToDisk(tempPath, text, length);
    if (result.status == FILE_DONE) {
      result.step = FILE_STEP_REPLACE;
      result.status = ReplaceFileInOneStep(tempPath, path);
    }
    if (result.status == FILE_DONE) return result;
    DeleteOneFile(tempPath);
    if (result.status != FILE_BUSY || attempt == FILE_WRITE_RETRY_COUNT) return result;
    SleepMs(FILE_WRITE_RETRY_INTERVAL_MS);
  }
}

void RunFileWriter() {
  FileWriterShared& s = Shared();
  char path[FILE_WRITE_PATH_SIZE];
  char text[FILE_WRITE_TEXT_SIZE];
  std::unique_lock<std::mutex> held(s.lock);
  for (;;) {
    FileWriteSlot* slot = nullptr;
    for (FileWriteSlot& candidate : s.slots) {
      if (candidate.queued) slot = &candidate;
    }
    if (!slot) {
      s.idle.notify_all();
      s.wake.wait(held);
      continue;
    }
    slot->queued = 0;
    slot->writing = 1;
    const FileWriteKind kind = slot->kind;
    const uint32_t ticket = slot->ticket;
    const size_t length = slot->length;
    std::memcpy(path, slot->path, sizeof path);
    std::memcpy(text, slot->text, length);
    held.unlock();
    FileWriteResult result = WriteReplacing(path, text, length);
    held.lock();
    result.kind = kind;
    result.ticket = ticket;
    slot->writing = 0;
    slot->result = result;
    slot->resultReady = 1;
    if (s.window) PostFileWriteDone(s.window);
  }
}

}  // namespace

uint32_t RequestFileWrite(FileWriteKind kind, const char* path, const char* text, size_t length) {
  if (!path[0] || std::strlen(path) >= FILE_WRITE_PATH_SIZE || length > FILE_WRITE_TEXT_SIZE) return 0;
  FileWriterShared& s = Shared();
  std::lock_guard<std::mutex> held(s.lock);
  // The file's own slot first, so its writes keep their order; else a free one.
  FileWriteSlot* slot = nullptr;
  for (FileWriteSlot& candidate : s.slots) {
    if ((candidate.queued || candidate.writing || candidate.resultReady) &&
        std::strcmp(candidate.path, path) == 0) {
      slot = &candidate;
    }
  }
  for (FileWriteSlot& candidate : s.slots) {
    if (!slot && !candidate.queued && !candidate.writing && !candidate.resultReady) slot = &candidate;
  }
  if (!slot) return 0;
  if (++s.lastTicket == 0) s.lastTicket = 1;
  slot->queued = 1;
  slot->kind = kind;
  slot->ticket = s.lastTicket;
  std::snprintf(slot->path, sizeof slot->path, "%s", path);
  std::memcpy(slot->text, text, length);
  slot->length = length;
  if (!s.started) {
    s.started = 1;
    std::thread(RunFileWriter).detach();
  }
  s.wake.notify_one();
  return slot->ticket;
}

int TakeFileWriteResult(FileWriteResult* result) {
  FileWriterShared& s = Shared();
  std::lock_guard<std::mutex> held(s.lock);
  for (FileWriteSlot& slot : s.slots) {
    if (!slot.resultReady) continue;
    *result = slot.result;
    slot.resultReady = 0;
    return 1;
  }
  return 0;
}

int WaitForFileWrites(uint32_t timeoutMs) {
  FileWriterShared& s = Shared();
  std::unique_lock<std::mutex> held(s.lock);
  return s.idle.wait_for(held, std::chrono::milliseconds(timeoutMs), [&s] {
    for (const FileWriteSlot& slot : s.slots) {
      if (SlotPending(slot)) return false;
    }
    return true;
  });
}

void SetFileWriteWindow(void* window) {
  FileWriterShared& s = Shared();
  std::lock_guard<std::mutex> held(s.lock);
  s.window = window;
}
