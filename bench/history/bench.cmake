# History benchmark: registration, save and load with the indexed lookups against the plain
# linear scans, in one run.
add_executable(tk_bench_history
    ${CMAKE_CURRENT_LIST_DIR}/history_bench.cpp
    ${CMAKE_CURRENT_LIST_DIR}/workload.cpp
)
target_include_directories(tk_bench_history PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(tk_bench_history PRIVATE tk_core)
set_target_properties(tk_bench_history PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)

# Removing one entry, against a fresh load of the same history.
add_executable(tk_bench_removal
    ${CMAKE_CURRENT_LIST_DIR}/removal_bench.cpp
    ${CMAKE_CURRENT_LIST_DIR}/workload.cpp
)
target_include_directories(tk_bench_removal PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(tk_bench_removal PRIVATE tk_core)
set_target_properties(tk_bench_removal PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)

# Searching the history (shown text and pinyin), against a plain scan of the shown texts.
add_executable(tk_bench_search
    ${CMAKE_CURRENT_LIST_DIR}/search_bench.cpp
    ${CMAKE_CURRENT_LIST_DIR}/workload.cpp
)
target_link_libraries(tk_bench_search PRIVATE tk_core)
set_target_properties(tk_bench_search PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
