# The built program's detection sweep against a real xterm and nautilus, on a private desktop
# and session bus of the test's own.
add_test(NAME e2e.sweep
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/test_sweep.py
                 $<TARGET_FILE:tarvokelmora>)
set_tests_properties(e2e.sweep PROPERTIES LABELS e2e TIMEOUT 300 SKIP_RETURN_CODE 77)
