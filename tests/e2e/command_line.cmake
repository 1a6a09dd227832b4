# The program's command line, and sessions without a display, without a tray, or on Wayland.
set(TK_E2E_CLI_CASES
    WithoutDisplayTest.test_help_version_and_mistakes_need_no_display
    WithoutDisplayTest.test_no_usable_display_is_said_in_both_languages_not_aborted
    WithoutDisplayTest.test_quit_with_nothing_running
    WithoutDisplayTest.test_no_home_or_a_shared_private_folder_ends_at_once
    OnDesktopTest.test_named_history_show_and_quit_without_a_tray
    OnDesktopTest.test_wayland_session_with_xwayland_runs_on_x11_and_says_so
)
foreach(case IN LISTS TK_E2E_CLI_CASES)
    string(REGEX REPLACE ".*\\.test_" "" name ${case})
    add_test(NAME e2e.command_line.${name}
             COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/test_command_line.py
                     $<TARGET_FILE:tarvokelmora> ${case})
    set_tests_properties(e2e.command_line.${name} PROPERTIES LABELS e2e TIMEOUT 300
                         SKIP_RETURN_CODE 77)
endforeach()
