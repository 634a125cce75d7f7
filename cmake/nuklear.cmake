# Nuklear is an installed header, as a distribution package would install it.
# It is copied into the build tree so that the cross compiler sees that one
# header and nothing else of /usr/local/include. Where none is installed, the
# pinned release is downloaded into the build tree and checked; a failed or
# mismatched download leaves the GUI out, as a missing header does.
set(NUKLEAR_INCLUDE_DIR "" CACHE PATH "Folder holding nuklear.h")
set(TARVIX_NUKLEAR_SHA256 2e3b7c3f6528cd8e43aeae87e343fe9ca529b6f7380a99ebb63a41cf1d4a1552)
set(TARVIX_NUKLEAR_URL "https://raw.githubusercontent.com/Immediate-Mode-UI/Nuklear/v4.13.3/nuklear.h")

set(_nk_dirs ${NUKLEAR_INCLUDE_DIR} /usr/local/include /usr/include)
set(_nk_header "")
foreach(_dir IN LISTS _nk_dirs)
  if(_dir AND EXISTS "${_dir}/nuklear.h")
    file(SHA256 "${_dir}/nuklear.h" _nk_sum)
    if(NOT _nk_sum STREQUAL TARVIX_NUKLEAR_SHA256)
      message(WARNING "nuklear.h in ${_dir} is not release 4.13.3 (sha256 ${_nk_sum}); using it anyway")
    endif()
    set(_nk_header "${_dir}/nuklear.h")
    break()
  endif()
endforeach()

set(_nk_why "")
set(_nk_download "${CMAKE_BINARY_DIR}/nuklear-download/nuklear.h")
if(NOT _nk_header AND EXISTS "${_nk_download}")
  file(SHA256 "${_nk_download}" _nk_sum)
  if(_nk_sum STREQUAL TARVIX_NUKLEAR_SHA256)
    set(_nk_header "${_nk_download}")  # fetched by an earlier configure
  endif()
endif()
# Only the Windows builds draw the GUI; the host and fuzz builds never need it.
if(NOT _nk_header AND WIN32 AND NOT TARVIX_FUZZ)
  # No hash argument: with one, a failed download would stop the configure.
  file(DOWNLOAD "${TARVIX_NUKLEAR_URL}" "${_nk_download}.part" STATUS _nk_status TIMEOUT 30)
  list(GET _nk_status 0 _nk_code)
  if(NOT _nk_code EQUAL 0)
    list(GET _nk_status 1 _nk_error)
    set(_nk_why "its download failed (${_nk_error})")
  else()
    file(SHA256 "${_nk_download}.part" _nk_sum)
    if(_nk_sum STREQUAL TARVIX_NUKLEAR_SHA256)
      file(RENAME "${_nk_download}.part" "${_nk_download}")
      set(_nk_header "${_nk_download}")
    else()
      set(_nk_why "the downloaded file is not release 4.13.3 (sha256 ${_nk_sum})")
    endif()
  endif()
  file(REMOVE "${_nk_download}.part")
endif()

set(TARVIX_HAVE_NUKLEAR OFF CACHE INTERNAL "nuklear.h found or fetched: the GUI and tarvix.exe are built")
if(_nk_header)
  configure_file("${_nk_header}" "${CMAKE_BINARY_DIR}/nuklear-include/nuklear.h" COPYONLY)
  set(TARVIX_NUKLEAR_INCLUDE "${CMAKE_BINARY_DIR}/nuklear-include")
  set(TARVIX_HAVE_NUKLEAR ON CACHE INTERNAL "nuklear.h found or fetched: the GUI and tarvix.exe are built")
endif()

if(WIN32 AND NOT TARVIX_HAVE_NUKLEAR)
  message(WARNING "Nuklear (nuklear.h) not installed and ${_nk_why}: the GUI and tarvix.exe will NOT be built; everything else is.")
endif()
