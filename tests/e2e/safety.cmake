# The history file when things go wrong: kills, a dying X server, an unreadable file in its
# place, many starts at once. One desktop per case, so they may run in parallel.
set(TK_E2E_SAFETY_CASES
    kill_9_after_a_sweep_keeps_what_it_found
    the_x_server_dying_keeps_what_was_found
    a_folder_in_the_place_of_the_history_is_left_alone
    a_pipe_in_the_place_of_the_history_is_left_alone
    a_history_past_the_size_limit_is_left_alone
    ten_starts_at_once_leave_one_program
    a_socket_squatted_under_the_old_name_changes_nothing
)
foreach(case IN LISTS TK_E2E_SAFETY_CASES)
    add_test(NAME e2e.safety.${case}
             COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/test_history_safety.py
                     $<TARGET_FILE:tarvokelmora> SafetyTest.test_${case})
    set_tests_properties(e2e.safety.${case} PROPERTIES LABELS e2e TIMEOUT 300 SKIP_RETURN_CODE 77)
endforeach()
# Rounds of the kill loop: TK_E2E_KILLS at configure time.
set(TK_E2E_KILLS 30 CACHE STRING "Rounds of the end-to-end kill loop")
add_test(NAME e2e.safety.kills_at_random_moments
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/test_history_safety.py
                 $<TARGET_FILE:tarvokelmora> --kills ${TK_E2E_KILLS}
                 SafetyTest.test_kills_at_random_moments_never_break_or_lose_the_history)
set_tests_properties(e2e.safety.kills_at_random_moments PROPERTIES
                     LABELS e2e TIMEOUT 900 SKIP_RETURN_CODE 77)
