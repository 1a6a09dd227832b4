# The shell against GIO's real default-application machinery in temporary XDG folders, and
# against a real window manager.
add_executable(tk_launch_recorder ${CMAKE_CURRENT_LIST_DIR}/launch_recorder.cpp)
target_link_libraries(tk_launch_recorder PRIVATE tk_common_cfg)

pkg_check_modules(TK_SHELL_TEST_GLIB REQUIRED IMPORTED_TARGET glib-2.0)
add_executable(tk_shell_tests ${CMAKE_CURRENT_LIST_DIR}/linux_shell_test.cpp
                              ${CMAKE_CURRENT_LIST_DIR}/linux_shell_result_test.cpp)
target_compile_definitions(tk_shell_tests PRIVATE
                           TK_LAUNCH_RECORDER="$<TARGET_FILE:tk_launch_recorder>")
add_dependencies(tk_shell_tests tk_launch_recorder)
target_link_libraries(tk_shell_tests PRIVATE tk_platform tk_desktop_common tk_test_support
                                             PkgConfig::TK_SHELL_TEST_GLIB GTest::gtest_main)
# The launches, trust of desktop entries included, need no display; a scenario's own bound is
# a minute, so ctest's is two.
gtest_discover_tests(tk_shell_tests TEST_FILTER "LaunchTest.*"
                     PROPERTIES LABELS unit TIMEOUT 120 DISCOVERY_TIMEOUT 60)
gtest_discover_tests(tk_shell_tests TEST_FILTER "-LaunchTest.*"
                     PROPERTIES LABELS desktop DISCOVERY_TIMEOUT 60)
