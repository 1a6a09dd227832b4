# Native windows of GNOME Shell through the extension installed with the program.
find_package(PkgConfig REQUIRED)
pkg_check_modules(TK_GNOME_SHELL REQUIRED IMPORTED_TARGET gio-2.0)
target_sources(tk_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/gnome_shell_window_lister.cpp)
target_link_libraries(tk_platform PRIVATE PkgConfig::TK_GNOME_SHELL)
install(DIRECTORY ${CMAKE_CURRENT_LIST_DIR}/extension/
        DESTINATION share/gnome-shell/extensions/tarvokelmora-windows@tarvokelmora)
