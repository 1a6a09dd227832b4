# Native Wayland windows against a real headless sway with real Wayland and X11 clients.
add_executable(tk_sway_desktop_tests ${CMAKE_CURRENT_LIST_DIR}/sway_desktop_test.cpp)
target_link_libraries(tk_sway_desktop_tests PRIVATE tk_platform tk_desktop_common tk_test_support
                                                    GTest::gtest_main)
# labwc where the release packages it (Debian 13 on); elsewhere its case says so and skips.
find_program(TK_LABWC labwc)
if(TK_LABWC)
    target_compile_definitions(tk_sway_desktop_tests PRIVATE TK_HAVE_LABWC=1)
endif()
gtest_discover_tests(tk_sway_desktop_tests PROPERTIES LABELS desktop TIMEOUT 120
                     DISCOVERY_TIMEOUT 60)

# Reading sway's tree and merging the two window lists need no compositor.
add_executable(tk_wayland_unit_tests ${CMAKE_CURRENT_LIST_DIR}/wayland_units_test.cpp)
target_link_libraries(tk_wayland_unit_tests PRIVATE tk_platform GTest::gtest_main)
gtest_discover_tests(tk_wayland_unit_tests PROPERTIES LABELS unit TIMEOUT 60 DISCOVERY_TIMEOUT 60)
