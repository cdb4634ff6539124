#!/usr/bin/env bash
# Cross-builds the 32-bit Windows plug-in and command-line host:
# build-win32/bin/ZentrixTvn.xfm and build-win32/bin/tovana.exe.
# As root it installs the cross compiler first; otherwise it prints the
# apt-get line to run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/ensure-packages.sh cmake make g++ g++-mingw-w64-i686-posix binutils-mingw-w64-i686

cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVANA_BUILD_TESTS=OFF -DTOVANA_BUILD_BENCH=OFF >/dev/null
cmake --build build-win32 -j"$(nproc)" --target ZentrixTvn tovana
# The editor needs no debugging information; it is most of the file.
for file in build-win32/bin/ZentrixTvn.xfm build-win32/bin/tovana.exe; do
    i686-w64-mingw32-strip --strip-debug "$file"
    echo "Built $(pwd)/$file ($(stat -c %s "$file") bytes)"
done
