// Nuklear as this program configures it. Every file that uses Nuklear includes
// this header, never nuklear.h directly, so all see the same configuration.
#pragma once

#define NK_INCLUDE_FIXED_TYPES
#define NK_INCLUDE_DEFAULT_ALLOCATOR
#define NK_INCLUDE_STANDARD_VARARGS
#include <nuklear.h>
