#!/usr/bin/env bash
# Installs what is needed, builds the three presets (native with sanitizers, 64-bit Windows,
# 32-bit Windows) and runs every test: the native ones directly, then the whole sweep of display
# changes (optimised, bench preset), then a minute of fuzzing of the icon store's reader (fuzz
# preset, Clang), then the Windows ones under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
for preset in native win64 win32; do
    cmake --preset "$preset"
    cmake --build --preset "$preset"
done
ctest --preset native
cmake --preset bench
cmake --build --preset bench --target display_sweep
build/bench/benchmarks/native/display_sweep
scripts/fuzz-store.sh 60
ctest --preset win64
