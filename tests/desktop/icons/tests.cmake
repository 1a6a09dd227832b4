# Program icons, which programs are web browsers, and which entry a window's program is started
# by, against desktop entries in temporary data folders: no display.
pkg_check_modules(TK_ICONS_TEST_GIO REQUIRED IMPORTED_TARGET gio-2.0)
add_executable(tk_icons_tests ${CMAKE_CURRENT_LIST_DIR}/desktop_entry_icons_test.cpp
                              ${CMAKE_CURRENT_LIST_DIR}/desktop_entry_browsers_test.cpp
                              ${CMAKE_CURRENT_LIST_DIR}/window_entries_test.cpp)
target_link_libraries(tk_icons_tests PRIVATE tk_platform tk_desktop_common
                                             PkgConfig::TK_ICONS_TEST_GIO GTest::gtest_main)
gtest_discover_tests(tk_icons_tests PROPERTIES LABELS unit TIMEOUT 60 DISCOVERY_TIMEOUT 60)
