# The drop target component with synthesized drag-and-drop events.
add_executable(tk_drop_tests ${CMAKE_CURRENT_LIST_DIR}/drop_files_target_test.cpp)
set_target_properties(tk_drop_tests PROPERTIES AUTOMOC ON)
target_link_libraries(tk_drop_tests PRIVATE tk_ui Qt6::Test)
add_test(NAME gui.drop_files_target COMMAND tk_drop_tests)
set_tests_properties(gui.drop_files_target PROPERTIES LABELS gui TIMEOUT ${TK_GUI_TEST_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8")
