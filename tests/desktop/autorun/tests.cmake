# Start at log-on: the autostart entries in temporary folders,
# checked against the desktop-entry validator and GLib's own launcher when present.
pkg_check_modules(TK_AUTORUN_TEST_GIO REQUIRED IMPORTED_TARGET gio-unix-2.0)
add_executable(tk_autorun_tests ${CMAKE_CURRENT_LIST_DIR}/xdg_autostart_store_test.cpp)
target_link_libraries(tk_autorun_tests PRIVATE tk_platform PkgConfig::TK_AUTORUN_TEST_GIO
                                               tk_test_support GTest::gtest_main)
gtest_discover_tests(tk_autorun_tests PROPERTIES LABELS unit TIMEOUT 60 DISCOVERY_TIMEOUT 60)
