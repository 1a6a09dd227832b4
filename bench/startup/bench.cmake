# Start-up benchmark: time to the first frame and peak memory of the program against a bare
# Qt Widgets window, both started on a private X server in one run.
find_package(PkgConfig REQUIRED)
pkg_check_modules(TK_BENCH_STARTUP_XCB IMPORTED_TARGET xcb xcb-damage)
if(NOT TK_BENCH_STARTUP_XCB_FOUND)
    message(STATUS "tk_bench_startup is not built: it needs xcb-damage (libxcb-damage0-dev)")
    return()
endif()
find_package(Qt6 REQUIRED COMPONENTS Widgets)

# The reference, built with the same settings as the program.
add_executable(tk_bench_startup_window ${CMAKE_CURRENT_LIST_DIR}/bare_window.cpp)
target_link_libraries(tk_bench_startup_window PRIVATE tk_common_cfg Qt6::Widgets)

add_executable(tk_bench_startup
    ${CMAKE_CURRENT_LIST_DIR}/startup_bench.cpp
    ${CMAKE_CURRENT_LIST_DIR}/frame_watcher.cpp
    ${CMAKE_CURRENT_LIST_DIR}/history_file.cpp
    ${PROJECT_SOURCE_DIR}/tests/desktop/common/virtual_desktop.cpp
)
target_include_directories(tk_bench_startup PRIVATE ${PROJECT_SOURCE_DIR}/tests/desktop/common)
target_link_libraries(tk_bench_startup PRIVATE tk_core PkgConfig::TK_BENCH_STARTUP_XCB)
target_compile_definitions(tk_bench_startup PRIVATE
    TK_PROGRAM_PATH="$<TARGET_FILE:tarvokelmora>"
    TK_REFERENCE_PATH="$<TARGET_FILE:tk_bench_startup_window>")
add_dependencies(tk_bench_startup tarvokelmora tk_bench_startup_window)
set_target_properties(tk_bench_startup tk_bench_startup_window PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
