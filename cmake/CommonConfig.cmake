# Settings every target of the project shares: language level, warnings, definitions.
add_library(tk_common_cfg INTERFACE)
target_compile_features(tk_common_cfg INTERFACE cxx_std_20)
if(MSVC)
    target_compile_options(tk_common_cfg INTERFACE /W4 /utf-8)
else()
    target_compile_options(tk_common_cfg INTERFACE -Wall -Wextra -Wpedantic -Wshadow
                                                   -Wnon-virtual-dtor -Wno-unused-parameter)
endif()
if(WIN32)
    target_compile_definitions(tk_common_cfg INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX
                                                       _WIN32_WINNT=0x0601)
endif()
target_compile_definitions(tk_common_cfg INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII
                                                   QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)

# Optional sanitizer build for the unit tests (ASan + UBSan).
option(TK_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(TK_SANITIZE)
    target_compile_options(tk_common_cfg INTERFACE -fsanitize=address,undefined
                                                   -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(tk_common_cfg INTERFACE -fsanitize=address,undefined)
endif()

# libFuzzer instrumentation (clang only); the fuzz targets link -fsanitize=fuzzer themselves.
option(TK_FUZZ "Build the fuzz targets (needs clang)" OFF)
if(TK_FUZZ)
    target_compile_options(tk_common_cfg INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                                   -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(tk_common_cfg INTERFACE -fsanitize=address,undefined)
endif()

# The distribution's hardening for what we ship. Left out of the sanitizer and fuzz builds: their
# runtimes bring checks of their own and _FORTIFY_SOURCE hides calls from them.
if(NOT MSVC AND NOT TK_SANITIZE AND NOT TK_FUZZ)
    if(WIN32)
        # ASLR with a 64-bit address space and a non-executable heap and stack.
        target_link_options(tk_common_cfg INTERFACE -Wl,--dynamicbase -Wl,--nxcompat
                                                    -Wl,--high-entropy-va)
    else()
        set(CMAKE_POSITION_INDEPENDENT_CODE ON)
        include(CheckPIESupported)
        check_pie_supported()
        target_compile_options(tk_common_cfg INTERFACE -fstack-protector-strong
            # Fortify needs the optimiser; a Debug build would only warn.
            $<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2>)
        target_link_options(tk_common_cfg INTERFACE -Wl,-z,relro -Wl,-z,now)
    endif()
endif()
