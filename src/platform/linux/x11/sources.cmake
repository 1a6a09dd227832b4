# The X11 window backend: top-level windows through xcb, processes through /proc, and the one
# helper every part of the backend opens an X display with.
find_package(PkgConfig REQUIRED)
# GLOBAL, so that executables elsewhere in the tree can link the static library.
pkg_check_modules(TK_X11 REQUIRED IMPORTED_TARGET GLOBAL xcb xcb-res)
# The property readers on their own, so that the fuzz targets need no X library.
add_library(tk_x11_properties STATIC
    ${CMAKE_CURRENT_LIST_DIR}/compound_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/x11_properties.cpp
)
target_link_libraries(tk_x11_properties PUBLIC tk_core)
target_sources(tk_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/x11_client_list.cpp
    ${CMAKE_CURRENT_LIST_DIR}/x11_titled_windows.cpp
    ${CMAKE_CURRENT_LIST_DIR}/x11_window_system.cpp
    ${CMAKE_CURRENT_LIST_DIR}/x_connection.cpp
)
target_link_libraries(tk_platform PRIVATE tk_x11_properties PkgConfig::TK_X11)
