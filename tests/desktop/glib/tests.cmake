# The GLib helpers need no display.
pkg_check_modules(TK_GLIB_TEST REQUIRED IMPORTED_TARGET glib-2.0)
add_executable(tk_glib_tests ${CMAKE_CURRENT_LIST_DIR}/glib_test.cpp)
target_link_libraries(tk_glib_tests PRIVATE tk_platform PkgConfig::TK_GLIB_TEST tk_test_support GTest::gtest_main)
gtest_discover_tests(tk_glib_tests PROPERTIES LABELS unit TIMEOUT 60 DISCOVERY_TIMEOUT 60)
