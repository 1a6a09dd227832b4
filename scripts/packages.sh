# Package lists shared by run.sh and test.sh.
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev)
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# Real desktop parts the desktop tests start: X server, window manager, clients.
DESKTOP_PACKAGES=(libxcb1-dev xvfb openbox xterm x11-utils xdotool wmctrl)
