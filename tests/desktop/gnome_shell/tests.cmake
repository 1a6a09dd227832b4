# GNOME Shell, started for real headless with private buses and the program's extension.
find_package(PkgConfig REQUIRED)
pkg_check_modules(TK_GNOME_TEST REQUIRED IMPORTED_TARGET gio-2.0)
add_executable(tk_gnome_shell_desktop_tests ${CMAKE_CURRENT_LIST_DIR}/gnome_shell_desktop_test.cpp)
target_compile_definitions(tk_gnome_shell_desktop_tests PRIVATE
    TK_GNOME_EXTENSION_DIR="${PROJECT_SOURCE_DIR}/src/platform/linux/gnome_shell/extension")
target_link_libraries(tk_gnome_shell_desktop_tests PRIVATE tk_platform tk_desktop_common
                      tk_test_support PkgConfig::TK_GNOME_TEST GTest::gtest_main)
gtest_discover_tests(tk_gnome_shell_desktop_tests PROPERTIES LABELS desktop TIMEOUT 120
                     DISCOVERY_TIMEOUT 60)
