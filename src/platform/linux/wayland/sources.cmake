# Native Wayland windows: the wlroots foreign-toplevel list (client code generated from the
# protocol description kept here) and, on sway, process ids from its IPC.
# wayland-scanner writes the client code in C.
enable_language(C)
find_package(PkgConfig REQUIRED)
pkg_check_modules(TK_WAYLAND REQUIRED IMPORTED_TARGET GLOBAL wayland-client)
pkg_get_variable(TK_WAYLAND_SCANNER_FROM_PC wayland-scanner wayland_scanner)
find_program(TK_WAYLAND_SCANNER NAMES wayland-scanner HINTS "${TK_WAYLAND_SCANNER_FROM_PC}"
             REQUIRED)

set(tk_toplevel_xml
    ${CMAKE_CURRENT_LIST_DIR}/protocols/wlr-foreign-toplevel-management-unstable-v1.xml)
set(tk_wayland_generated ${CMAKE_BINARY_DIR}/generated/wayland)
add_custom_command(
    OUTPUT ${tk_wayland_generated}/foreign-toplevel-client.h
           ${tk_wayland_generated}/foreign-toplevel-protocol.c
    COMMAND ${CMAKE_COMMAND} -E make_directory ${tk_wayland_generated}
    COMMAND ${TK_WAYLAND_SCANNER} client-header ${tk_toplevel_xml}
            ${tk_wayland_generated}/foreign-toplevel-client.h
    COMMAND ${TK_WAYLAND_SCANNER} private-code ${tk_toplevel_xml}
            ${tk_wayland_generated}/foreign-toplevel-protocol.c
    DEPENDS ${tk_toplevel_xml}
    COMMENT "Generating the foreign-toplevel client code"
    VERBATIM)

# What compositors answer, parsed on its own so the fuzz targets need none of the backend.
find_package(nlohmann_json REQUIRED)
add_library(tk_compositor_replies STATIC
    ${CMAKE_CURRENT_LIST_DIR}/compositor_window_list.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sway_frame.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sway_tree.cpp
)
target_link_libraries(tk_compositor_replies PUBLIC tk_core PRIVATE nlohmann_json::nlohmann_json)

# The generated C stays out of the C++ targets' flags.
add_library(tk_wayland_protocols OBJECT ${tk_wayland_generated}/foreign-toplevel-protocol.c)
target_link_libraries(tk_wayland_protocols PRIVATE PkgConfig::TK_WAYLAND)

target_sources(tk_platform PRIVATE
    $<TARGET_OBJECTS:tk_wayland_protocols>
    ${tk_wayland_generated}/foreign-toplevel-client.h
    ${CMAKE_CURRENT_LIST_DIR}/foreign_toplevels.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sway_ipc.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wlroots_window_lister.cpp
)
target_include_directories(tk_platform PRIVATE ${tk_wayland_generated})
target_link_libraries(tk_platform PRIVATE tk_compositor_replies PkgConfig::TK_WAYLAND)
