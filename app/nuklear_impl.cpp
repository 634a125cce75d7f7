// Nuklear's implementation, compiled once, without our warning flags.
#define NK_IMPLEMENTATION
#include "ui/nk.h"
