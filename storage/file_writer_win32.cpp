#include "storage/file_writer.h"

#include <windows.h>

// Posted, not sent: the writer never waits on the main thread.
void PostFileWriteDone(void* window) { PostMessageA(static_cast<HWND>(window), FILE_WRITE_DONE_MESSAGE, 0, 0); }
