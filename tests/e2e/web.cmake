# The web strip with its real browser module, against a local site on a private desktop.
# Without the module (no Qt WebEngine here) the test reports itself skipped; under CI the
# configure stops instead.
tk_require(TARGET tk_webstrip
           WHY "Qt WebEngine (Qt6WebEngineWidgets) was not found: the web strip's browser module is not built and e2e.web_strip cannot run")
if(TARGET tk_webstrip)
    add_test(NAME e2e.web_strip
             COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/test_web_strip.py
                     $<TARGET_FILE:tarvokelmora> $<TARGET_FILE:tk_webstrip>)
else()
    add_test(NAME e2e.web_strip
             COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/test_web_strip.py
                     $<TARGET_FILE:tarvokelmora> none)
endif()
set_tests_properties(e2e.web_strip PROPERTIES LABELS e2e TIMEOUT 300 SKIP_RETURN_CODE 77)
