#include "storage/file_replace.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

static int FileErrorResult() {
  if (errno == EACCES || errno == EPERM || errno == EROFS) return FILE_DENIED;
  return errno == EBUSY || errno == ETXTBSY ? FILE_BUSY : FILE_FAILED;
}

int ReplaceFileInOneStep(const char* fromPath, const char* toPath) {
  return rename(fromPath, toPath) == 0 ? FILE_DONE : FileErrorResult();
}

int WriteFileToDisk(const char* path, const char* bytes, size_t length) {
  if (fileSeamFaults.writeDelayMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(fileSeamFaults.writeDelayMs));
  }
  if (fileSeamFaults.denyWrites) return FILE_DENIED;
  int file = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (file < 0) return FileErrorResult();
  int result = FILE_DONE;
  for (size_t done = 0; done < length && result == FILE_DONE;) {
    ssize_t wrote = write(file, bytes + done, length - done);
    if (wrote <= 0) result = wrote < 0 ? FileErrorResult() : FILE_FAILED;
    else done += static_cast<size_t>(wrote);
  }
  if (result == FILE_DONE && fsync(file) != 0) result = FILE_FAILED;
  if (close(file) != 0 && result == FILE_DONE) result = FILE_FAILED;
  return result;
}

int FileIsMissing(const char* path) {
  struct stat info;
  return stat(path, &info) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

int DeleteOneFile(const char* path) { return unlink(path) == 0 ? 1 : 0; }

int MakeOneFolder(const char* path) {
  if (fileSeamFaults.denyWrites) return FILE_DENIED;
  if (mkdir(path, 0777) == 0) return FILE_DONE;
  return errno == EEXIST ? FILE_FAILED : FileErrorResult();
}
