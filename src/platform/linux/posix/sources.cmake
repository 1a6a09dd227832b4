# The user's folders (XDG base and user folders, home), the file tests (a launcher is trusted
# only from the applications folders), and the small POSIX file
# helpers the rest of the backend shares.
target_sources(tk_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/desktop_entry_trust.cpp
    ${CMAKE_CURRENT_LIST_DIR}/files.cpp
    ${CMAKE_CURRENT_LIST_DIR}/posix_file_system.cpp
    ${CMAKE_CURRENT_LIST_DIR}/user_folders.cpp
)
