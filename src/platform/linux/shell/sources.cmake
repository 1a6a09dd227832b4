# Shell windows through the file manager's bus interface, program icons from desktop entries.
find_package(PkgConfig REQUIRED)
pkg_check_modules(TK_SHELL_GIO REQUIRED IMPORTED_TARGET gio-2.0 gio-unix-2.0)
target_sources(tk_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/desktop_entry_icons.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_manager_shell_windows.cpp
)
target_link_libraries(tk_platform PRIVATE PkgConfig::TK_SHELL_GIO)
