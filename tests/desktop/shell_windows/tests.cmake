# The shell's windows: the browsers' session parsers and profile lookup on files the tests make
# (unit); a real file manager on a private bus and the real browsers on a private desktop
# (desktop).
find_package(PkgConfig REQUIRED)
pkg_check_modules(TK_SHELL_WINDOWS_TEST REQUIRED IMPORTED_TARGET gio-2.0 liblz4)
add_executable(tk_browser_session_tests
    ${CMAKE_CURRENT_LIST_DIR}/accessible_folders_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/browser_session_parsers_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/browser_session_shell_windows_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_manager_titles_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/session_files.h
)
target_link_libraries(tk_browser_session_tests PRIVATE tk_platform PkgConfig::TK_SHELL_WINDOWS_TEST
                                                       GTest::gtest_main)
gtest_discover_tests(tk_browser_session_tests PROPERTIES LABELS unit TIMEOUT 60 DISCOVERY_TIMEOUT 60)

add_executable(tk_file_manager_tests ${CMAKE_CURRENT_LIST_DIR}/file_manager_shell_windows_test.cpp
                                     ${CMAKE_CURRENT_LIST_DIR}/file_manager_titles_desktop_test.cpp)
target_link_libraries(tk_file_manager_tests PRIVATE tk_platform tk_desktop_common
                                                    PkgConfig::TK_SHELL_WINDOWS_TEST tk_test_support
                                                    GTest::gtest_main)
gtest_discover_tests(tk_file_manager_tests PROPERTIES LABELS desktop DISCOVERY_TIMEOUT 60)

add_executable(tk_browsers_desktop_tests ${CMAKE_CURRENT_LIST_DIR}/browsers_desktop_test.cpp)
target_link_libraries(tk_browsers_desktop_tests PRIVATE tk_platform tk_desktop_common
                                                        tk_test_support GTest::gtest_main)
gtest_discover_tests(tk_browsers_desktop_tests PROPERTIES LABELS desktop TIMEOUT 120
                     DISCOVERY_TIMEOUT 60)
