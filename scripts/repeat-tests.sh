#!/usr/bin/env bash
# Runs the native and the Windows tests N times each with two busy-looping processes beside
# them, as on a loaded machine, and tells which tests ever failed and how often.
#
#   scripts/repeat-tests.sh N
#
# Installs what it needs and builds the native and win64 presets first (a no-op when they are
# built). Prints one line per test that failed at least once ("win64 NAME: failed K of N runs")
# and, last, "N runs: F failures", F counting every failed test of every run. The exit code is 0
# when F is 0. The whole output of a run that failed is kept in build/PRESET/repeat-run-K.log.
set -euo pipefail
cd "$(dirname "$0")/.."

runs="${1:-}"
if ! [[ "$runs" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: scripts/repeat-tests.sh N   (N runs of each test command, N >= 1)" >&2
    exit 2
fi

scripts/install-deps.sh
for preset in native win64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

busy=()
stop_busy() {
    for pid in "${busy[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
}
trap stop_busy EXIT
for _ in 1 2; do
    ( while :; do :; done ) &
    busy+=("$!")
done

declare -A failed=()
total=0
for ((run = 1; run <= runs; run++)); do
    for preset in native win64; do
        log="build/$preset/Testing/Temporary/LastTestsFailed.log"
        rm -f "$log"
        started=$SECONDS
        run_log="build/$preset/repeat-run.log"
        if ctest --preset "$preset" >"$run_log" 2>&1; then
            outcome="passed"
        else
            outcome="FAILED"
            cp "$run_log" "build/$preset/repeat-run-$run.log"
        fi
        echo "run $run of $runs, $preset: $outcome in $((SECONDS - started)) s"
        [[ "$outcome" == "FAILED" ]] && echo "    its output: build/$preset/repeat-run-$run.log"
        # A failed run names each failed test on a line "NUMBER:NAME".
        if [[ -f "$log" ]]; then
            while IFS= read -r line; do
                name="$preset ${line#*:}"
                failed["$name"]=$((${failed["$name"]:-0} + 1))
                total=$((total + 1))
                echo "    failed: ${line#*:}"
            done <"$log"
        elif [[ "$outcome" == "FAILED" ]]; then
            # ctest itself failed (no test list): count the run as one failure.
            failed["$preset (the test run itself)"]=$((${failed["$preset (the test run itself)"]:-0} + 1))
            total=$((total + 1))
            tail -n 20 "build/$preset/repeat-run.log"
        fi
    done
done

for name in "${!failed[@]}"; do
    echo "$name: failed ${failed[$name]} of $runs runs"
done | sort
echo "$runs runs: $total failures"
[[ "$total" -eq 0 ]]
