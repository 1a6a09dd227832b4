# GLib helpers shared by the backend: owning pointers.
find_package(PkgConfig REQUIRED)
pkg_check_modules(TK_GLIB REQUIRED IMPORTED_TARGET gio-2.0)
target_link_libraries(tk_platform PRIVATE PkgConfig::TK_GLIB)
