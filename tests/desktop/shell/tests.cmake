# The shell backend against a real file manager on a private bus, and against desktop entries.
pkg_check_modules(TK_SHELL_TEST_GIO REQUIRED IMPORTED_TARGET gio-2.0)
add_executable(tk_shell_tests
    ${CMAKE_CURRENT_LIST_DIR}/desktop_entry_icons_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_manager_shell_windows_test.cpp
)
target_link_libraries(tk_shell_tests PRIVATE tk_platform tk_desktop_common
                                             PkgConfig::TK_SHELL_TEST_GIO tk_test_support
                                             GTest::gtest_main)
gtest_discover_tests(tk_shell_tests PROPERTIES LABELS desktop DISCOVERY_TIMEOUT 60)
