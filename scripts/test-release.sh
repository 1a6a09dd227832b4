#!/usr/bin/env bash
# Builds and tests the program on another Debian release, inside its chroot (scripts/chroot.sh):
#   scripts/test-release.sh trixie   Debian 13: the whole suite and the package
#   scripts/test-release.sh sid      Debian unstable: the build, the unit tests and the newest
#                                    desktops (GNOME Shell, KWin, labwc, the page tabs' names)
# Each release builds once, into build-RELEASE/ of the source tree. Needs root.
set -euo pipefail
cd "$(dirname "$0")/.."

# The tests sid runs beyond the unit tests: its GNOME Shell, KWin and a wlroots compositor
# Debian 12 lacks, each with a sweep recording a native window, and the controls' names.
SID_TESTS='GnomeShell|KWin|Labwc|e2e.accessibility|e2e.gnome_session'

if [ "${1:-}" != "--inside" ]; then
    release=${1:?usage: scripts/test-release.sh trixie|sid}
    scripts/chroot.sh make "$release"
    start=$SECONDS
    status=0
    scripts/chroot.sh run "$release" /bin/bash -c "cd /src && scripts/test-release.sh --inside $release" ||
        status=$?
    echo "== $release: $((SECONDS - start)) s in the chroot (build and tests), status $status"
    exit "$status"
fi

release=$2
build=build-$release
export LANG=C.UTF-8
JOBS=$(nproc)
echo "== $release: $(g++ --version | head -1); Qt $(pkg-config --modversion Qt6Core 2>/dev/null || echo '?');" \
     "$(cmake --version | head -1)"

# A call the newest Qt or GLib has deprecated fails the build here.
configure=(cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
           -DCMAKE_CXX_FLAGS=-Werror=deprecated-declarations)
case "$release" in
    trixie)
        # The benchmarks are built on the newest compiler (sid); here they would only cost time.
        "${configure[@]}" -DTK_BENCH=OFF >/dev/null
        cmake --build "$build" -j"$JOBS"
        (cd "$build" && ctest --output-on-failure -j"$JOBS")
        scripts/test-package.sh "$build"
        ;;
    sid)
        # Not every desktop of the whole suite is installed here: the configure may not insist.
        env -u CI "${configure[@]}" >/dev/null
        cmake --build "$build" -j"$JOBS"
        (cd "$build" && ctest --output-on-failure -j"$JOBS" -L unit &&
            ctest --output-on-failure -R "$SID_TESTS")
        ;;
esac
