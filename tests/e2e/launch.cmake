# Clicks on history entries open them through the real default-application set-up, made by
# the test in private XDG folders, on a private desktop.
add_test(NAME e2e.launch
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/test_launch.py
                 $<TARGET_FILE:tarvokelmora>)
set_tests_properties(e2e.launch PROPERTIES LABELS e2e TIMEOUT 300 SKIP_RETURN_CODE 77)

# The history where the desktop searches: the search provider and the runner over a private
# session bus, and the bus starting the program when none runs.
add_test(NAME e2e.desktop_search
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/test_desktop_search.py
                 $<TARGET_FILE:tarvokelmora>)
set_tests_properties(e2e.desktop_search PROPERTIES LABELS e2e TIMEOUT 300 SKIP_RETURN_CODE 77)
