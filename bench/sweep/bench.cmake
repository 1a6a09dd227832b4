# The window pass against wmctrl and readlink processes on a private X server (Linux only).
if(NOT WIN32)
    add_executable(tk_bench_windows
        ${CMAKE_CURRENT_LIST_DIR}/windows_bench.cpp
        ${PROJECT_SOURCE_DIR}/tests/desktop/common/virtual_desktop.cpp
    )
    target_include_directories(tk_bench_windows PRIVATE
        ${PROJECT_SOURCE_DIR}/tests/desktop/common
        ${PROJECT_SOURCE_DIR}/tests/desktop/x11
    )
    # PkgConfig::TK_X11 (xcb, xcb-res) comes from the backend's sources.cmake.
    target_link_libraries(tk_bench_windows PRIVATE tk_platform PkgConfig::TK_X11)
    set_target_properties(tk_bench_windows PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endif()
