# The history where the desktop searches: GNOME Shell's search provider and KRunner's runner.
find_package(PkgConfig REQUIRED)
pkg_check_modules(TK_SEARCH REQUIRED IMPORTED_TARGET gio-2.0)
target_sources(tk_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/desktop_search_service.cpp)
target_link_libraries(tk_platform PRIVATE PkgConfig::TK_SEARCH)
