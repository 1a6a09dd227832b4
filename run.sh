#!/usr/bin/env bash
# Sets up, builds and runs TarvoKelmora. Usage: ./run.sh
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
scripts/ensure-packages.sh "${BUILD_PACKAGES[@]}"

export LANG=C.UTF-8
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

exec scripts/run-program.sh
