# What a screen reader reads of the built program, over AT-SPI on a private desktop.
add_test(NAME e2e.accessibility
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/test_accessibility.py
                 $<TARGET_FILE:tarvokelmora>)
set_tests_properties(e2e.accessibility PROPERTIES LABELS e2e TIMEOUT 300 SKIP_RETURN_CODE 77)
