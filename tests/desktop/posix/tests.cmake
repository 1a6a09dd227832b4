# The user's folders and the file helpers need no display.
add_executable(tk_posix_tests
    ${CMAKE_CURRENT_LIST_DIR}/files_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/user_folders_test.cpp
)
target_link_libraries(tk_posix_tests PRIVATE tk_platform GTest::gtest_main)
gtest_discover_tests(tk_posix_tests PROPERTIES LABELS unit TIMEOUT 60 DISCOVERY_TIMEOUT 60)
