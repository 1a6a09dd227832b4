# Package lists shared by run.sh and test.sh.
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
                qt6-base-dev qt6-webengine-dev libxcb1-dev libxcb-res0-dev libxcb-damage0-dev
                libglib2.0-dev liblz4-dev nlohmann-json3-dev
                libwayland-dev libwayland-bin
                fonts-wqy-microhei fonts-arphic-uming qt6-translations-l10n
                dpkg-dev file)
FUZZ_PACKAGES=(clang libclang-rt-dev)
# Real desktop parts the desktop tests start: X server, window manager, clients.
DESKTOP_PACKAGES=(xvfb openbox xterm x11-utils xdotool wmctrl trayer imagemagick
                  shared-mime-info dbus dbus-daemon nautilus desktop-file-utils
                  firefox-esr chromium python3 at-spi2-core python3-pyatspi
                  python3-gi python3-dbus lintian appstream
                  sway foot xwayland x11-xserver-utils kwin-wayland zenity gnome-shell
                  qt6-wayland nodejs gnome-shell-extension-appindicator)
# Desktop programs the tests run as a user has them: with what their packages recommend (the
# file managers' I/O plugins, KRunner's result views, the terminal's server pieces).
DESKTOP_PACKAGES_WITH_RECOMMENDS=(dolphin nemo thunar caja pcmanfm-qt gnome-terminal
                                  plasma-workspace)
# The Windows program: cross-build, Wine to test it, wixl to make its installer.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine wine64 locales
                  googletest cmake ninja-build xvfb trayer xdotool x11-utils python3
                  fonts-wqy-microhei imagemagick wixl)

# What makes the chroots of the other releases (scripts/chroot.sh).
CHROOT_PACKAGES=(mmdebstrap)

# The release these lists are for: this machine's, or the chroot's that scripts/chroot.sh names.
TK_RELEASE=${TK_RELEASE:-$( . /etc/os-release && echo "${VERSION_CODENAME:-unknown}")}

# Debian unstable: the build, the unit tests and the newest desktops (GNOME Shell, KWin, a
# wlroots compositor Debian 12 lacks), not the whole desktop set; trayer is gone there.
SID_DESKTOP_PACKAGES=(xvfb openbox xwayland x11-utils x11-xserver-utils xterm xdotool wmctrl nodejs dbus dbus-daemon python3 python3-gi
                      python3-dbus at-spi2-core python3-pyatspi gnome-shell kwin-wayland labwc
                      foot qt6-wayland shared-mime-info desktop-file-utils
                      gnome-shell-extension-appindicator zenity)

# What the chroot of TK_RELEASE gets, a line per package: Debian 13 the whole desktop set and
# labwc, which Debian 12 lacks.
tk_release_packages() {
    case "$TK_RELEASE" in
        sid) printf '%s\n' "${BUILD_PACKAGES[@]}" "${SID_DESKTOP_PACKAGES[@]}" ;;
        *) printf '%s\n' "${BUILD_PACKAGES[@]}" "${DESKTOP_PACKAGES[@]}" labwc
           printf 'recommends:%s\n' "${DESKTOP_PACKAGES_WITH_RECOMMENDS[@]}" ;;
    esac
}

tk_install_release_packages() {
    local plain=() recommended=() p
    while read -r p; do
        case "$p" in recommends:*) recommended+=("${p#recommends:}") ;; *) plain+=("$p") ;; esac
    done < <(tk_release_packages)
    scripts/ensure-packages.sh "${plain[@]}"
    if [ ${#recommended[@]} -gt 0 ]; then
        scripts/ensure-packages.sh --with-recommends "${recommended[@]}"
    fi
}
