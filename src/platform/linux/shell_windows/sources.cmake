# The shell's windows: folder windows through the file manager's bus interface, their titles or
# the accessibility bus, web pages of the running browsers read from their session files.
find_package(PkgConfig REQUIRED)
pkg_check_modules(TK_SHELL_WINDOWS REQUIRED IMPORTED_TARGET gio-2.0 liblz4)
find_package(nlohmann_json REQUIRED)
# The readers of what browsers and the file manager leave and answer, on their own, so the fuzz
# targets need none of the backend.
add_library(tk_browser_sessions STATIC
    ${CMAKE_CURRENT_LIST_DIR}/accessible_folders.cpp
    ${CMAKE_CURRENT_LIST_DIR}/browser_locks.cpp
    ${CMAKE_CURRENT_LIST_DIR}/browser_places.cpp
    ${CMAKE_CURRENT_LIST_DIR}/browser_session.cpp
    ${CMAKE_CURRENT_LIST_DIR}/chromium_session.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_manager_locations.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_manager_titles.cpp
    ${CMAKE_CURRENT_LIST_DIR}/firefox_session.cpp
)
target_link_libraries(tk_browser_sessions PUBLIC tk_core PkgConfig::TK_SHELL_WINDOWS
                      PRIVATE nlohmann_json::nlohmann_json)
target_sources(tk_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/accessible_folder_windows.cpp
    ${CMAKE_CURRENT_LIST_DIR}/browser_session_shell_windows.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_manager_shell_windows.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_manager_title_windows.cpp
)
target_link_libraries(tk_platform PRIVATE tk_browser_sessions PkgConfig::TK_SHELL_WINDOWS tk_x11_properties)
