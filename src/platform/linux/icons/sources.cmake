# Program icons and executables from the desktop entries that start them.
find_package(PkgConfig REQUIRED)
pkg_check_modules(TK_ICONS REQUIRED IMPORTED_TARGET gio-2.0 gio-unix-2.0)
target_sources(tk_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/desktop_entry_browsers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/desktop_entry_folders.cpp
    ${CMAKE_CURRENT_LIST_DIR}/desktop_entry_icons.cpp
    ${CMAKE_CURRENT_LIST_DIR}/desktop_entry_programs.cpp
    ${CMAKE_CURRENT_LIST_DIR}/window_entries.cpp
)
target_link_libraries(tk_platform PRIVATE PkgConfig::TK_ICONS)
