# Rest benchmark: the memory of the program's whole process tree with the web strip shown and
# at rest, and its CPU time at rest, against a bare Qt Widgets window in the same run.
if(NOT TARGET tk_webstrip_helper OR NOT TARGET tk_bench_startup_window)
    message(STATUS "tk_bench_rest is not built: it needs the web strip's helper and the start-up benchmark's window")
    return()
endif()
add_executable(tk_bench_rest_history
    ${CMAKE_CURRENT_LIST_DIR}/write_history.cpp
    ${PROJECT_SOURCE_DIR}/bench/startup/history_file.cpp)
target_include_directories(tk_bench_rest_history PRIVATE ${PROJECT_SOURCE_DIR}/bench/startup)
target_link_libraries(tk_bench_rest_history PRIVATE tk_core)
set_target_properties(tk_bench_rest_history PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)

# The benchmark itself is a script over the private desktop the end-to-end tests use.
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/bench/tk_bench_rest CONTENT
"#!/bin/sh
exec /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/rest_bench.py \\
    --program $<TARGET_FILE:tarvokelmora> --helper $<TARGET_FILE:tk_webstrip_helper> \\
    --reference $<TARGET_FILE:tk_bench_startup_window> \\
    --history-writer $<TARGET_FILE:tk_bench_rest_history> \"$@\"
" FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
add_custom_target(tk_bench_rest DEPENDS tarvokelmora tk_webstrip_helper tk_bench_startup_window
                                        tk_bench_rest_history)
