# Real X drag and drop: a raw XDND source client drags file URIs onto a Qt window whose tree
# has the drop target attached, on a private X server with a window manager.
find_package(Qt6 REQUIRED COMPONENTS Test)

add_executable(tk_xdnd_source ${CMAKE_CURRENT_LIST_DIR}/xdnd_source.cpp)
target_link_libraries(tk_xdnd_source PRIVATE tk_common_cfg PkgConfig::TK_XCB)

add_executable(tk_xdnd_drop_tests ${CMAKE_CURRENT_LIST_DIR}/xdnd_drop_test.cpp)
set_target_properties(tk_xdnd_drop_tests PROPERTIES AUTOMOC ON)
target_compile_definitions(tk_xdnd_drop_tests PRIVATE TK_XDND_SOURCE="$<TARGET_FILE:tk_xdnd_source>")
add_dependencies(tk_xdnd_drop_tests tk_xdnd_source)
target_link_libraries(tk_xdnd_drop_tests PRIVATE tk_ui tk_desktop_common Qt6::Test)
add_test(NAME desktop.xdnd_drop COMMAND tk_xdnd_drop_tests)
set_tests_properties(desktop.xdnd_drop PROPERTIES LABELS desktop TIMEOUT 300
    ENVIRONMENT "LANG=C.UTF-8")
