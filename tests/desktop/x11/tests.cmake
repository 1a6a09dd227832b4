# The X11 window backend against a private X server, a real window manager and real clients.
add_executable(tk_x11_desktop_tests ${CMAKE_CURRENT_LIST_DIR}/x11_window_system_test.cpp)
target_link_libraries(tk_x11_desktop_tests PRIVATE tk_platform tk_desktop_common GTest::gtest_main)
gtest_discover_tests(tk_x11_desktop_tests PROPERTIES LABELS desktop DISCOVERY_TIMEOUT 60)

# The backend's text decoding and /proc reading need no display.
add_executable(tk_x11_text_tests ${CMAKE_CURRENT_LIST_DIR}/title_text_test.cpp)
target_link_libraries(tk_x11_text_tests PRIVATE tk_platform GTest::gtest_main)
gtest_discover_tests(tk_x11_text_tests PROPERTIES LABELS unit TIMEOUT 60 DISCOVERY_TIMEOUT 60)
