# The history file through the private-profile calls, one key at a time, against our INI module.
add_executable(tk_bench_profile ${CMAKE_CURRENT_LIST_DIR}/profile_bench.cpp)
target_include_directories(tk_bench_profile PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(tk_bench_profile PRIVATE tk_core tk_platform)
set_target_properties(tk_bench_profile PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)

# A long history's load and save against the file's own read and write.
add_executable(tk_bench_win_history ${CMAKE_CURRENT_LIST_DIR}/history_bench.cpp)
target_include_directories(tk_bench_win_history PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(tk_bench_win_history PRIVATE tk_core tk_platform)

# The program's first frame and memory at rest against a bare Win32 window.
add_executable(tk_bench_win_bare WIN32 ${CMAKE_CURRENT_LIST_DIR}/bare_window.cpp)
target_compile_definitions(tk_bench_win_bare PRIVATE UNICODE _UNICODE)
target_link_options(tk_bench_win_bare PRIVATE -municode)
target_link_libraries(tk_bench_win_bare PRIVATE tk_common_cfg user32 gdi32)
add_executable(tk_bench_win_startup ${CMAKE_CURRENT_LIST_DIR}/startup_bench.cpp)
target_include_directories(tk_bench_win_startup PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(tk_bench_win_startup PRIVATE tk_core tk_platform psapi comctl32)
set_target_properties(tk_bench_win_history tk_bench_win_bare tk_bench_win_startup PROPERTIES
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
