#!/usr/bin/env bash
# Cross-builds the core, the Win32 backend, the Windows program (build-win/tarvokelmora.exe) and
# their tests with mingw-w64 (build-win/) and runs them under Wine in a throw-away prefix, on a
# private virtual display; the end-to-end test of the program leaves a picture of that display
# in build-win/wine-desktop.png, and the one at 144 DPI in build-win/wine-dpi144.png. The
# installer and the portable zip are built into build-win/ and installed, run and removed again
# under Wine.
#   scripts/test-windows.sh            build and run the tests
#   TK_WIN_BENCH=1 scripts/test-windows.sh   also run the benchmarks (bench/windows/README.md)
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/packages.sh
scripts/ensure-packages.sh "${WINDOWS_PACKAGES[@]}"

# Wine takes its ANSI code page from the locale: zh_CN gives 936, which the tests rely on.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
    localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi

source scripts/xvfb.sh
WORK=$(mktemp -d /tmp/tk-wine.XXXXXX)
cleanup() {
    if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
    stop_xvfb
    rm -rf "$WORK"
}
trap cleanup EXIT

echo "== Windows cross-build (build-win/)"
cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DTK_GUI_TESTS=OFF -DTK_DESKTOP_TESTS=OFF >/dev/null
cmake --build build-win -j"$(nproc)"
echo "== the installer and the portable zip (build-win/)"
scripts/make-windows-installer.sh build-win

# Wine's windows need an X display; a private one, numbered by the server itself.
start_xvfb "$WORK" 1280x800x24
export WINEPREFIX="$WORK/prefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko installers in a fresh prefix
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
# The server first, its output to the null device: otherwise the services it starts inherit our
# pipes and the tests' output never reaches its end.
wineserver -p >/dev/null 2>&1 &
wineboot -i >/dev/null 2>&1
# COM's table of running objects lives in the RPC service, which Windows always runs. A fresh
# prefix starts it only when first asked, and refuses while its other services are still
# starting ("database locked"); every page the web strip loads then waits 10 s for it on the
# window's thread. Started here, as on Windows.
for _ in $(seq 1 60); do
    case "$(LC_ALL=C wine net start rpcss 2>&1 || true)" in
        *"already running"* | *"started successfully"*) break ;;
    esac
    sleep 1
done

echo "== tests under Wine"
rm -f build-win/wine-desktop.bmp build-win/wine-desktop.png build-win/wine-dpi144.bmp build-win/wine-dpi144.png
status=0
(cd build-win && ctest --output-on-failure -j1 --timeout 300) || status=$?
# The desktop as the end-to-end test saw it, with the program's window on it.
for shot in wine-desktop wine-dpi144; do
    if [ -f "build-win/$shot.bmp" ] && command -v convert >/dev/null; then
        convert "build-win/$shot.bmp" "build-win/$shot.png" && rm -f "build-win/$shot.bmp"
        echo "the Wine desktop with the window: build-win/$shot.png"
    fi
done
if [ "$status" -ne 0 ]; then exit "$status"; fi

if [ "${TK_WIN_BENCH:-0}" = 1 ]; then
    echo "== benchmark: history through the private-profile calls against ours"
    wine build-win/bench/tk_bench_profile.exe 2>/dev/null
    echo "== benchmark: a 100,000-entry load and save against the file's own parse and write"
    wine build-win/bench/tk_bench_win_history.exe 2>/dev/null
    echo "== benchmark: first frame and private memory against a bare Win32 window"
    wine build-win/bench/tk_bench_win_startup.exe 2>/dev/null
fi
