# The shell: launches through GIO's default applications and direct spawns, the table of
# special folders, showing the desktop through the window manager.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(TK_SHELL REQUIRED IMPORTED_TARGET gio-2.0 gio-unix-2.0 xcb)
target_sources(tk_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/linux_shell.cpp
    ${CMAKE_CURRENT_LIST_DIR}/linux_shell_x11.cpp
    ${CMAKE_CURRENT_LIST_DIR}/folder_places.cpp
)
target_link_libraries(tk_platform PRIVATE PkgConfig::TK_SHELL Threads::Threads)
