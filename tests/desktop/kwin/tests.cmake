# KDE Plasma's compositor, started for real on a virtual output with a private session bus.
find_package(PkgConfig REQUIRED)
pkg_check_modules(TK_KWIN_TEST REQUIRED IMPORTED_TARGET gio-2.0)
add_executable(tk_kwin_desktop_tests ${CMAKE_CURRENT_LIST_DIR}/kwin_desktop_test.cpp)
target_link_libraries(tk_kwin_desktop_tests PRIVATE tk_platform tk_desktop_common tk_test_support
                                                    PkgConfig::TK_KWIN_TEST GTest::gtest_main)
gtest_discover_tests(tk_kwin_desktop_tests PROPERTIES LABELS desktop TIMEOUT 120
                     DISCOVERY_TIMEOUT 60)
