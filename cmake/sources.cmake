# Source layout: each subsystem folder holds portable files and, named *_win32.cpp,
# the files that need Windows (and *_posix.cpp, their native counterparts). The
# portable ones also build natively for the host tests; the Win32 ones only in
# the cross build.
set(TARVIX_SUBSYSTEMS engine input storage vjoy pad)

set(TARVIX_CORE_SOURCES "")
set(TARVIX_WIN_SOURCES "")
foreach(_dir IN LISTS TARVIX_SUBSYSTEMS)
  file(GLOB _all CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${_dir}/*.cpp)
  foreach(_src IN LISTS _all)
    if(_src MATCHES "_win32\\.cpp$")
      list(APPEND TARVIX_WIN_SOURCES ${_src})
    elseif(_src MATCHES "_posix\\.cpp$")
      if(NOT WIN32)
        list(APPEND TARVIX_CORE_SOURCES ${_src})
      endif()
    else()
      list(APPEND TARVIX_CORE_SOURCES ${_src})
    endif()
  endforeach()
endforeach()

# The system seam's real definition goes into the program only; tests bring
# their own controllable one (tests/support).
set(TARVIX_SYSTEM_SEAM ${PROJECT_SOURCE_DIR}/engine/system_win32.cpp)
list(REMOVE_ITEM TARVIX_WIN_SOURCES ${TARVIX_SYSTEM_SEAM})
set(TARVIX_SYSTEM_SEAM_HEADER ${PROJECT_SOURCE_DIR}/engine/system_seam.h)
# So does the pad's bus seam: the test build links the fake bus (tools/fakebus).
set(TARVIX_PAD_BUS_SEAM ${PROJECT_SOURCE_DIR}/pad/pad_bus_win32.cpp)
list(REMOVE_ITEM TARVIX_WIN_SOURCES ${TARVIX_PAD_BUS_SEAM})

# The file writer's one thread (storage/file_writer.cpp).
find_package(Threads REQUIRED)
add_library(tarvix_core STATIC ${TARVIX_CORE_SOURCES})
target_include_directories(tarvix_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tarvix_core PUBLIC Threads::Threads PRIVATE tarvix_warnings)

if(WIN32)
  add_library(tarvix_win STATIC ${TARVIX_WIN_SOURCES} ${TARVIX_SYSTEM_SEAM_HEADER})
  target_link_libraries(tarvix_win PUBLIC tarvix_core user32 gdi32 shell32 advapi32 ole32 hid
                        PRIVATE tarvix_warnings)
  # Portable storage code calls back into its Win32 half (file replace, profile
  # scan): the two static libraries depend on each other.
  target_link_libraries(tarvix_core PUBLIC tarvix_win)
  add_library(tarvix_system_win32 OBJECT ${TARVIX_SYSTEM_SEAM})
  target_include_directories(tarvix_system_win32 PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(tarvix_system_win32 PRIVATE tarvix_warnings)
  add_library(tarvix_pad_bus_win32 OBJECT ${TARVIX_PAD_BUS_SEAM})
  target_include_directories(tarvix_pad_bus_win32 PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(tarvix_pad_bus_win32 PUBLIC setupapi PRIVATE tarvix_warnings)

  if(TARVIX_HAVE_NUKLEAR AND EXISTS ${PROJECT_SOURCE_DIR}/app/program.cmake)
    include(${PROJECT_SOURCE_DIR}/app/program.cmake)
  endif()
endif()
