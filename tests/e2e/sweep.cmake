# The built program's detection sweep against a real xterm and nautilus, on a private desktop
# and session bus of the test's own.
add_test(NAME e2e.sweep
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/test_sweep.py
                 $<TARGET_FILE:tarvokelmora>)
set_tests_properties(e2e.sweep PROPERTIES LABELS e2e TIMEOUT 300 SKIP_RETURN_CODE 77)

# The same on a Wayland desktop: a native and an XWayland program under a private headless sway.
# And its web strip there, with the browser helper where it is built.
if(TARGET tk_webstrip_helper)
    set(TK_WAYLAND_HELPER $<TARGET_FILE:tk_webstrip_helper>)
else()
    set(TK_WAYLAND_HELPER none)
endif()
add_test(NAME e2e.wayland_sweep
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/test_wayland_sweep.py
                 $<TARGET_FILE:tarvokelmora> ${TK_WAYLAND_HELPER})
set_tests_properties(e2e.wayland_sweep PROPERTIES LABELS e2e TIMEOUT 300 SKIP_RETURN_CODE 77)

# A GNOME Wayland session as GNOME 49 and later offer only: the shell headless with XWayland on
# demand, its AppIndicator tray, the program's extension in the format the shell loads.
add_test(NAME e2e.gnome_session
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/test_gnome_session.py
                 $<TARGET_FILE:tarvokelmora> ${TK_GNOME_EXTENSIONS_DIR} ${TK_WAYLAND_HELPER})
set_tests_properties(e2e.gnome_session PROPERTIES LABELS e2e TIMEOUT 300 SKIP_RETURN_CODE 77)
