# Native windows of KDE Plasma: a script KWin runs on our behalf answers over D-Bus.
find_package(PkgConfig REQUIRED)
pkg_check_modules(TK_KWIN REQUIRED IMPORTED_TARGET gio-2.0)
target_sources(tk_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/kwin_window_lister.cpp)
target_link_libraries(tk_platform PRIVATE PkgConfig::TK_KWIN)
