# libFuzzer targets for the browsers' session file parsers; they run like the core's fuzzers,
# on copies of the seeds kept beside them.
tk_require(TARGET tk_browser_sessions
           WHY "no tk_browser_sessions target: the session file fuzzers are left out")
if(TARGET tk_browser_sessions)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(TK_FUZZ_LZ4 REQUIRED IMPORTED_TARGET liblz4)
    foreach(fuzzer fuzz_firefox_session fuzz_chromium_session)
        tk_add_fuzzer(${fuzzer} DIR ${CMAKE_CURRENT_LIST_DIR}
                      LIBS tk_browser_sessions PkgConfig::TK_FUZZ_LZ4
                      INCLUDES ${PROJECT_SOURCE_DIR}/tests/desktop/shell_windows)
    endforeach()
endif()
