#include "storage/file_replace.h"

#include <direct.h>
#include <io.h>
#include <windows.h>

int ReplaceFileInOneStep(const char* fromPath, const char* toPath) {
  // A read-only file is not replaced, as Windows itself refuses; Wine would
  // replace it and so undo the user's choice to keep the file as it is.
  DWORD attributes = GetFileAttributesA(toPath);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return 0;
  // Write-through: the call returns only once the rename is on the disk.
  if (MoveFileExA(fromPath, toPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 1;
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ? FILE_REPLACE_BUSY : 0;
}

int FlushFileToDisk(FILE* file) { return _commit(_fileno(file)) == 0 ? 1 : 0; }

int DeleteOneFile(const char* path) { return DeleteFileA(path) ? 1 : 0; }

int MakeOneFolder(const char* path) { return _mkdir(path) == 0 ? 1 : 0; }
