#include "storage/file_writer.h"

// The host tests take the results themselves.
void PostFileWriteDone(void*) {}
