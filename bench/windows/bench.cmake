# The history file through the private-profile calls, one key at a time, against our INI module.
add_executable(tk_bench_profile ${CMAKE_CURRENT_LIST_DIR}/profile_bench.cpp)
target_include_directories(tk_bench_profile PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(tk_bench_profile PRIVATE tk_core tk_platform)
set_target_properties(tk_bench_profile PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
