# Cross-build for 64-bit Windows with Debian's mingw-w64 (posix threads), tests run under Wine.
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TK_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix flavour: std::thread and std::mutex need it.
find_program(CMAKE_C_COMPILER NAMES ${TK_MINGW_TRIPLE}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TK_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TK_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: the .exe needs no libstdc++, libgcc or winpthread DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Sections laid out on page boundaries in the file, as in the virtual image: the loader can then
# map them from the file rather than copy them into private memory (Wine copies an image whose
# file alignment is smaller than a page), so resources never drawn (the pictures at other DPIs)
# and code never run take no memory. The static runtime's debug sections are dropped.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--file-alignment,4096")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

# Tests and test discovery run through Wine.
find_program(TK_WINE NAMES wine wine64)
if(TK_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TK_WINE})
endif()
# List the tests when CTest runs rather than at build time, so the build needs no Wine server.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# GoogleTest is built from Debian's source package with this same compiler.
set(GTest_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw-gtest CACHE PATH "GoogleTest built from source")
