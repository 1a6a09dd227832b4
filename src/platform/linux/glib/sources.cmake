# GLib helpers the backend shares: owning pointers, the key-file reader, GLib's log routed to
# the program's diagnostics.
find_package(PkgConfig REQUIRED)
pkg_check_modules(TK_GLIB REQUIRED IMPORTED_TARGET gio-2.0)
target_sources(tk_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/bus_connection.cpp
    ${CMAKE_CURRENT_LIST_DIR}/desktop_settings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/glib_log.cpp
    ${CMAKE_CURRENT_LIST_DIR}/key_file.cpp
)
target_link_libraries(tk_platform PRIVATE PkgConfig::TK_GLIB)
