# The web strip with its real browser helper, against a local site on a private desktop.
# Without the helper (no Qt WebEngine here) the test reports itself skipped; under CI the
# configure stops instead.
tk_require(TARGET tk_webstrip_helper
           WHY "Qt WebEngine (Qt6WebEngineWidgets) was not found: the web strip's browser helper is not built and e2e.web_strip cannot run")
if(TARGET tk_webstrip_helper)
    add_test(NAME e2e.web_strip
             COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/test_web_strip.py
                     $<TARGET_FILE:tarvokelmora> $<TARGET_FILE:tk_webstrip_helper>)
else()
    add_test(NAME e2e.web_strip
             COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/test_web_strip.py
                     $<TARGET_FILE:tarvokelmora> none)
endif()
set_tests_properties(e2e.web_strip PROPERTIES LABELS e2e TIMEOUT 420 SKIP_RETURN_CODE 77)
