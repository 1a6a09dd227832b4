# The Win32 backend: plain C++ over the Windows API, no Qt.
target_sources(tk_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/ansi_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/platform_desktop.cpp
    ${CMAKE_CURRENT_LIST_DIR}/registry_run_store.cpp
    ${CMAKE_CURRENT_LIST_DIR}/shell_file_icons.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32_file_system.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32_shell.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32_shell_windows.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32_window_system.cpp
)
# PSAPI is loaded at run time, not linked.
target_link_libraries(tk_platform PUBLIC shell32 ole32 oleaut32 uuid advapi32 user32 gdi32)
