#!/usr/bin/env bash
# Sets up, builds and runs every test. Usage: ./test.sh
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
scripts/ensure-packages.sh "${BUILD_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}" "${DESKTOP_PACKAGES[@]}" \
    "${CHROOT_PACKAGES[@]}"
scripts/ensure-packages.sh --with-recommends "${DESKTOP_PACKAGES_WITH_RECOMMENDS[@]}"

export LANG=C.UTF-8
JOBS=$(nproc)

# Debian 13 and unstable, each in a chroot of its own (scripts/chroot.sh): made while this
# machine builds and tests, then built and tested there in turn. TK_RELEASES picks fewer.
RELEASES=${TK_RELEASES-trixie sid}
mkdir -p build-logs
declare -A making=()
for release in $RELEASES; do
    (start=$SECONDS
     scripts/chroot.sh make "$release"
     echo "== chroot $release: ready after $((SECONDS - start)) s") >"build-logs/chroot-$release.log" 2>&1 &
    making[$release]=$!
done

echo "== build (build/)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$JOBS"

echo "== tests"
(cd build && ctest --output-on-failure -j"$JOBS")

echo "== the Debian package: built, checked, installed, run, removed"
scripts/test-package.sh build

echo "== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTK_SANITIZE=ON -DTK_BENCH=OFF >/dev/null
cmake --build build-asan -j"$JOBS" --target tk_unit_tests
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -L unit -j"$JOBS")

echo "== fuzz targets, a few seconds each (build-fuzz/)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTK_FUZZ=ON -DTK_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$JOBS" --target tk_fuzzers
(cd build-fuzz && ctest --output-on-failure -L fuzz)

echo "== the Windows backend, cross-built with mingw-w64 and run under Wine (build-win/)"
scripts/test-windows.sh

for release in $RELEASES; do
    echo "== Debian $release, in its chroot (build-$release/)"
    if ! wait "${making[$release]}"; then
        tail -50 "build-logs/chroot-$release.log"
        echo "the $release chroot could not be made (build-logs/chroot-$release.log)" >&2
        exit 1
    fi
    tail -1 "build-logs/chroot-$release.log"
    scripts/test-release.sh "$release"
done

echo "All tests passed ($((SECONDS / 60)) min)."
