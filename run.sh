#!/usr/bin/env bash
# Sets up, builds and runs TarvoKelmora. Usage: ./run.sh
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
scripts/ensure-packages.sh "${BUILD_PACKAGES[@]}"

export LANG=C.UTF-8
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

if [ -x build/tarvokelmora ]; then
    exec scripts/run-program.sh
fi
echo
echo "Built into build/:"
echo "  libtk_core.a      the history core: records, registration, category trees,"
echo "                    the settings file (defualt.ini), removals"
echo "  libtk_platform.a  the Linux desktop backend"
echo "  tests/            unit and desktop tests (run ./test.sh)"
echo "The main window is not built yet, so there is no program to start."
