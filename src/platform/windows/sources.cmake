# The Win32 backend: plain C++ over the Windows API, no Qt.
target_sources(tk_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/ansi_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/platform_desktop.cpp
)
target_link_libraries(tk_platform PRIVATE shell32 ole32 oleaut32 uuid advapi32)
