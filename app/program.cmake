# The GUI (ui/ and app/, all Windows and Nuklear) and the program itself.
# Included only for the cross build, and only when nuklear.h was found.
file(GLOB TARVIX_GUI_SOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/ui/*.cpp ${PROJECT_SOURCE_DIR}/app/*.cpp)
list(REMOVE_ITEM TARVIX_GUI_SOURCES
  ${PROJECT_SOURCE_DIR}/app/main_win32.cpp
  ${PROJECT_SOURCE_DIR}/app/nuklear_impl.cpp)

# Nuklear has two -Wextra warnings of its own; its one file goes without ours.
add_library(tarvix_nuklear STATIC ${PROJECT_SOURCE_DIR}/app/nuklear_impl.cpp)
target_include_directories(tarvix_nuklear PUBLIC ${PROJECT_SOURCE_DIR} ${TARVIX_NUKLEAR_INCLUDE})

add_library(tarvix_gui STATIC ${TARVIX_GUI_SOURCES} ${PROJECT_SOURCE_DIR}/app/nk_gdi.h)
target_link_libraries(tarvix_gui PUBLIC tarvix_win tarvix_nuklear gdi32 msimg32 dwmapi
                      PRIVATE tarvix_warnings)

if(EXISTS ${PROJECT_SOURCE_DIR}/app/main_win32.cpp)
  set(_rc "")
  if(EXISTS ${PROJECT_SOURCE_DIR}/app/tarvix.rc)
    set(_rc ${PROJECT_SOURCE_DIR}/app/tarvix.rc)
    set_source_files_properties(${_rc} PROPERTIES OBJECT_DEPENDS
                                "${PROJECT_SOURCE_DIR}/app/tarvix.manifest;${PROJECT_SOURCE_DIR}/app/icon/tarvix.ico")
  endif()
  add_executable(tarvix WIN32 ${PROJECT_SOURCE_DIR}/app/main_win32.cpp ${_rc})
  target_link_libraries(tarvix PRIVATE tarvix_gui tarvix_system_win32 tarvix_pad_bus_win32 winmm
                        tarvix_warnings)
  set(TARVIX_PROGRAM_RC "${_rc}")
endif()
