# Nuklear is an installed header, as a distribution package would install it.
# It is copied into the build tree so that the cross compiler sees that one
# header and nothing else of /usr/local/include.
set(NUKLEAR_INCLUDE_DIR "" CACHE PATH "Folder holding nuklear.h")
set(TARVIX_NUKLEAR_SHA256 2e3b7c3f6528cd8e43aeae87e343fe9ca529b6f7380a99ebb63a41cf1d4a1552)

set(_nk_dirs ${NUKLEAR_INCLUDE_DIR} /usr/local/include /usr/include)
set(TARVIX_HAVE_NUKLEAR OFF)
foreach(_dir IN LISTS _nk_dirs)
  if(_dir AND EXISTS "${_dir}/nuklear.h")
    file(SHA256 "${_dir}/nuklear.h" _nk_sum)
    if(NOT _nk_sum STREQUAL TARVIX_NUKLEAR_SHA256)
      message(WARNING "nuklear.h in ${_dir} is not release 4.13.3 (sha256 ${_nk_sum}); using it anyway")
    endif()
    configure_file("${_dir}/nuklear.h" "${CMAKE_BINARY_DIR}/nuklear-include/nuklear.h" COPYONLY)
    set(TARVIX_NUKLEAR_INCLUDE "${CMAKE_BINARY_DIR}/nuklear-include")
    set(TARVIX_HAVE_NUKLEAR ON)
    break()
  endif()
endforeach()

if(WIN32 AND NOT TARVIX_HAVE_NUKLEAR)
  message(WARNING "Nuklear (nuklear.h) not found: the GUI and tarvix.exe will NOT be built; everything else is.")
endif()
