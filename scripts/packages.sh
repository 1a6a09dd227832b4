# Package lists shared by run.sh and test.sh.
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
                qt6-base-dev qt6-webengine-dev libxcb1-dev libxcb-res0-dev libxcb-damage0-dev
                libglib2.0-dev liblz4-dev nlohmann-json3-dev
                libwayland-dev libwayland-bin
                fonts-wqy-microhei fonts-arphic-uming qt6-translations-l10n
                dpkg-dev file)
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# Real desktop parts the desktop tests start: X server, window manager, clients.
DESKTOP_PACKAGES=(xvfb openbox xterm x11-utils xdotool wmctrl trayer imagemagick
                  shared-mime-info dbus dbus-daemon nautilus desktop-file-utils
                  firefox-esr chromium python3 at-spi2-core python3-pyatspi
                  python3-gi python3-dbus lintian appstream
                  sway foot xwayland x11-xserver-utils kwin-wayland zenity gnome-shell
                  qt6-wayland nodejs)
# Desktop programs the tests run as a user has them: with what their packages recommend (the
# file managers' I/O plugins, KRunner's result views, the terminal's server pieces).
DESKTOP_PACKAGES_WITH_RECOMMENDS=(dolphin nemo thunar caja pcmanfm-qt gnome-terminal
                                  plasma-workspace)
# The Windows program: cross-build, Wine to test it, wixl to make its installer.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine wine64 locales
                  googletest cmake ninja-build xvfb trayer xdotool x11-utils python3
                  fonts-wqy-microhei imagemagick wixl)
