#include "storage/file_replace.h"

#include <windows.h>

static int FileErrorResult(DWORD error) {
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return FILE_BUSY;
  return error == ERROR_ACCESS_DENIED ? FILE_DENIED : FILE_FAILED;
}

int ReplaceFileInOneStep(const char* fromPath, const char* toPath) {
  // A read-only file is not replaced, as Windows itself refuses; Wine would
  // replace it and so undo the user's choice to keep the file as it is.
  DWORD attributes = GetFileAttributesA(toPath);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return FILE_FAILED;
  // Write-through: the call returns only once the rename is on the disk.
  if (MoveFileExA(fromPath, toPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return FILE_DONE;
  // A scanner that holds the file without delete sharing makes the rename
  // answer access denied: that passes too, so it counts as busy here.
  const int result = FileErrorResult(GetLastError());
  return result == FILE_DENIED ? FILE_BUSY : result;
}

int WriteFileToDisk(const char* path, const char* bytes, size_t length) {
  if (fileSeamFaults.writeDelayMs) Sleep(fileSeamFaults.writeDelayMs);
  if (fileSeamFaults.denyWrites) return FILE_DENIED;
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FileErrorResult(GetLastError());
  DWORD wrote = 0;
  int result = WriteFile(file, bytes, static_cast<DWORD>(length), &wrote, nullptr) && wrote == length &&
                       FlushFileBuffers(file)
                   ? FILE_DONE
                   : FILE_FAILED;
  if (!CloseHandle(file)) result = FILE_FAILED;
  return result;
}

int FileIsMissing(const char* path) {
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return 0;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

int DeleteOneFile(const char* path) { return DeleteFileA(path) ? 1 : 0; }

int MakeOneFolder(const char* path) {
  if (fileSeamFaults.denyWrites) return FILE_DENIED;
  if (CreateDirectoryA(path, nullptr)) return FILE_DONE;
  const DWORD error = GetLastError();
  return error == ERROR_ALREADY_EXISTS ? FILE_FAILED : FileErrorResult(error);
}
