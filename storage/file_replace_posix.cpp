#include "storage/file_replace.h"

#include <errno.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

int ReplaceFileInOneStep(const char* fromPath, const char* toPath) {
  if (rename(fromPath, toPath) == 0) return 1;
  return errno == EBUSY || errno == ETXTBSY ? FILE_REPLACE_BUSY : 0;
}

int FlushFileToDisk(FILE* file) { return fsync(fileno(file)) == 0 ? 1 : 0; }

int DeleteOneFile(const char* path) { return unlink(path) == 0 ? 1 : 0; }

int MakeOneFolder(const char* path) { return mkdir(path, 0777) == 0 ? 1 : 0; }
