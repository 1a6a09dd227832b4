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
