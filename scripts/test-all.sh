#!/usr/bin/env bash
# Installs what is needed, builds the three presets (native with sanitizers, 64-bit Windows,
# 32-bit Windows: its programs compiled only) and runs every test: the Windows tests under Wine,
# and beside them the native tests, the whole sweep of display changes (optimised, bench
# preset) and a minute of fuzzing of every file reader (fuzz preset, Clang). The Windows
# tests mostly wait for Wine, so the rest runs while they do; their output follows at the end.
# About 9 minutes on a 2-core machine once the packages are installed; each step's time is
# printed.
set -euo pipefail
cd "$(dirname "$0")/.."

step() {
    local started=$SECONDS
    "$@"
    echo "== $* took $((SECONDS - started)) s"
}

began=$SECONDS
scripts/install-deps.sh
for preset in native win64 win32; do
    cmake --preset "$preset" >/dev/null
done
step cmake --build --preset native
step cmake --build --preset win64

windows_log=build/win64/test-all.log
ctest --preset win64 >"$windows_log" 2>&1 &
windows=$!
trap 'kill "$windows" 2>/dev/null || true' EXIT

native_status=0
{
    step ctest --preset native &&
        step cmake --build --preset win32 &&
        cmake --preset bench >/dev/null &&
        step cmake --build --preset bench --target display_sweep &&
        step build/bench/benchmarks/native/display_sweep &&
        step scripts/fuzz.sh 60
} || native_status=$?

windows_status=0
wait "$windows" || windows_status=$?
trap - EXIT
echo "== the Windows tests (ctest --preset win64):"
cat "$windows_log"
echo "== all tests took $((SECONDS - began)) s"
[[ $native_status -eq 0 && $windows_status -eq 0 ]]
