# The window pass against wmctrl and readlink processes on a private X server (Linux only).
if(NOT WIN32)
    add_executable(tk_bench_windows
        ${CMAKE_CURRENT_LIST_DIR}/windows_bench.cpp
        ${PROJECT_SOURCE_DIR}/tests/desktop/common/virtual_desktop.cpp
    )
    target_include_directories(tk_bench_windows PRIVATE
        ${PROJECT_SOURCE_DIR}/tests/desktop/common
        ${PROJECT_SOURCE_DIR}/tests/desktop/x11
        ${PROJECT_SOURCE_DIR}/tests/support
    )
    # PkgConfig::TK_X11 (xcb, xcb-res) comes from the backend's sources.cmake.
    target_link_libraries(tk_bench_windows PRIVATE tk_platform PkgConfig::TK_X11)
    set_target_properties(tk_bench_windows PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endif()

# The native Wayland window pass under a private headless sway against swaymsg and GIO.
if(NOT WIN32)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(TK_BENCH_GIO REQUIRED IMPORTED_TARGET gio-2.0 gio-unix-2.0)
    find_package(nlohmann_json REQUIRED)
    add_executable(tk_bench_wayland_windows
        ${CMAKE_CURRENT_LIST_DIR}/wayland_windows_bench.cpp
        ${PROJECT_SOURCE_DIR}/tests/desktop/common/session_processes.cpp
        ${PROJECT_SOURCE_DIR}/tests/desktop/common/wlroots_session.cpp
        ${PROJECT_SOURCE_DIR}/tests/desktop/common/virtual_desktop.cpp
    )
    target_include_directories(tk_bench_wayland_windows PRIVATE
        ${PROJECT_SOURCE_DIR}/tests/desktop/common)
    target_link_libraries(tk_bench_wayland_windows PRIVATE tk_platform PkgConfig::TK_X11
                          PkgConfig::TK_BENCH_GIO nlohmann_json::nlohmann_json)
    set_target_properties(tk_bench_wayland_windows PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endif()
