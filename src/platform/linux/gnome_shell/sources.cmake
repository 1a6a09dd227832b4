# Native windows of GNOME Shell through the extension installed with the program.
find_package(PkgConfig REQUIRED)
pkg_check_modules(TK_GNOME_SHELL REQUIRED IMPORTED_TARGET gio-2.0)
target_sources(tk_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/gnome_shell_window_lister.cpp)
target_link_libraries(tk_platform PRIVATE PkgConfig::TK_GNOME_SHELL)

# The extension in both formats the shells load: a script up to 44, a module from 45. Each
# is made of its format's head and tail around the one window list, under its own uuid; a
# shell loads the one its version accepts, and the program names that one to the user.
file(READ ${CMAKE_CURRENT_LIST_DIR}/extension/window_list.js TK_WINDOW_LIST_JS)
set(TK_GNOME_EXTENSIONS_DIR ${PROJECT_BINARY_DIR}/gnome-shell-extensions CACHE INTERNAL "")
foreach(format legacy module)
    if(format STREQUAL "legacy")
        set(uuid tarvokelmora-windows@tarvokelmora)
    else()
        set(uuid tarvokelmora-windows-45@tarvokelmora)
    endif()
    configure_file(${CMAKE_CURRENT_LIST_DIR}/extension/${format}/extension.js.in
                   ${TK_GNOME_EXTENSIONS_DIR}/${uuid}/extension.js @ONLY)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/extension/${format}/metadata.json
                   ${TK_GNOME_EXTENSIONS_DIR}/${uuid}/metadata.json COPYONLY)
    install(DIRECTORY ${TK_GNOME_EXTENSIONS_DIR}/${uuid} DESTINATION share/gnome-shell/extensions)
endforeach()
