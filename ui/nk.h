// Nuklear as this program configures it. Every file that uses Nuklear includes
// this header, never nuklear.h directly, so all see the same configuration.
#pragma once

#define NK_INCLUDE_FIXED_TYPES
#define NK_INCLUDE_DEFAULT_ALLOCATOR
#define NK_INCLUDE_STANDARD_VARARGS
// Padding inside draw commands is zeroed, so two equal frames are equal bytes
// and the binding can skip drawing a frame that did not change.
#define NK_ZERO_COMMAND_MEMORY
#include <nuklear.h>
