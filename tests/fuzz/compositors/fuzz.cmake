# libFuzzer targets for what compositors answer: sway's layout tree, and the window lists the
# KWin script and the GNOME Shell extension send.
tk_require(TARGET tk_compositor_replies
           WHY "no tk_compositor_replies target: the compositor reply fuzzers are left out")
if(TARGET tk_compositor_replies)
    foreach(fuzzer fuzz_sway_tree fuzz_compositor_windows)
        tk_add_fuzzer(${fuzzer} DIR ${CMAKE_CURRENT_LIST_DIR} LIBS tk_compositor_replies)
    endforeach()
endif()
