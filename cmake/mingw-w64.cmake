# Cross build for 64-bit Windows with MinGW-w64. The -posix compilers carry
# std::thread, which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARVIX_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARVIX_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARVIX_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TARVIX_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARVIX_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the Windows test programs through Wine as if they were native.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)

# No MinGW runtime DLLs beside the exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
