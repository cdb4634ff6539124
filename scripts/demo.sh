#!/usr/bin/env bash
# Builds the plug-in and tovana, then runs the bundled voice sample through
# every built-in preset of every effect (see README, Quick start).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
scripts/ensure-packages.sh "${TOVANA_BUILD_PACKAGES[@]}"

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target tovana ZentrixTvn
exec build/bin/tovana demo "$@"
