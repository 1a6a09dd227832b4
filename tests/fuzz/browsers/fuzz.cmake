# libFuzzer targets for the browsers' session file parsers; they run like the core's fuzzers,
# through RunFuzzer.cmake, on copies of the seeds kept beside them.
function(tk_add_browser_fuzzer name)
    add_executable(${name} ${CMAKE_CURRENT_LIST_DIR}/${name}.cpp)
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}
                               ${PROJECT_SOURCE_DIR}/tests/desktop/browsers)
    target_link_libraries(${name} PRIVATE tk_browser_sessions PkgConfig::TK_FUZZ_LZ4)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    add_dependencies(tk_fuzzers ${name})

    set(dict "${CMAKE_CURRENT_LIST_DIR}/${name}.dict")
    if(NOT EXISTS "${dict}")
        set(dict "")
    endif()
    add_test(NAME ${name}
        COMMAND ${CMAKE_COMMAND}
            -DFUZZER=$<TARGET_FILE:${name}>
            -DSEEDS=${CMAKE_CURRENT_LIST_DIR}/corpus/${name}
            -DREGRESSIONS=${CMAKE_CURRENT_LIST_DIR}/regressions/${name}
            -DWORK=${CMAKE_CURRENT_BINARY_DIR}/work/${name}
            -DDICT=${dict}
            -DSECONDS=${TK_FUZZ_SECONDS}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/RunFuzzer.cmake)
    set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 300)
endfunction()

if(TARGET tk_browser_sessions)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(TK_FUZZ_LZ4 REQUIRED IMPORTED_TARGET liblz4)
    tk_add_browser_fuzzer(fuzz_firefox_session)
    tk_add_browser_fuzzer(fuzz_chromium_session)
endif()
