#!/usr/bin/env bash
# Fuzzes the file readers for a number of seconds in all (default 60), shared evenly between the
# targets: the icon store (store), the journal of counts not saved yet (usage), the layouts remembered per display (layouts), the display
# last arranged (display), the history (history), the named layouts (named) and an exported layout (export); or only the targets
# named. Builds the fuzz preset (Clang with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer), writes the seed corpora with the files' own writers and runs each
# target over its own. Inputs that found new paths are kept in build/fuzz/corpus-NAME for the
# next run. Each target's output goes to build/fuzz/NAME.log and its final stats are printed; a
# crash or a round-trip mismatch fails the script (after the other targets have run) and leaves
# the input in build/fuzz as NAME-crash-*.
#   scripts/fuzz.sh                  about a minute, as scripts/test-all.sh runs it
#   scripts/fuzz.sh 3600             an hour, 12 minutes each
#   scripts/fuzz.sh 600 history      10 minutes of the history's reader
# FUZZ_RUNS=N runs each target for N executions instead, however long that takes:
#   FUZZ_RUNS=10000000 scripts/fuzz.sh 0 layouts
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift $(($# > 0 ? 1 : 0))
declare -A fuzzer=([store]=store [usage]=usage_journal [layouts]=layouts [display]=last_display
    [history]=history [named]=named_layouts
    [export]=exported_layout)
targets=("$@")
[[ $# -gt 0 ]] || targets=(store usage layouts display history named export)
for name in "${targets[@]}"; do
    [[ -n "${fuzzer[$name]:-}" ]] || { echo "no fuzz target $name" >&2; exit 2; }
done
share=$((seconds / ${#targets[@]} > 0 ? seconds / ${#targets[@]} : 1))

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
build=build/fuzz
rm -rf "$build/seeds"
"$build/tests/fuzz/store_seeds" "$build/seeds/store"
"$build/tests/fuzz/places_seeds" "$build/seeds"
if [[ -d "$build/corpus" && ! -e "$build/corpus-store" ]]; then
    mv "$build/corpus" "$build/corpus-store" # where earlier runs kept the store's corpus
fi
cd "$build"

failed=()
for name in "${targets[@]}"; do
    mkdir -p "corpus-$name"
    status=0
    started=$SECONDS
    limit=(-max_total_time="$share")
    what="$share s"
    if [[ -n "${FUZZ_RUNS:-}" ]]; then
        limit=(-runs="$FUZZ_RUNS")
        what="$FUZZ_RUNS executions"
    fi
    echo "== fuzzing $name for $what"
    "tests/fuzz/${fuzzer[$name]}_reader_fuzzer" "${limit[@]}" -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$name-" "corpus-$name" "seeds/$name" \
        >"$name.log" 2>&1 || status=$?
    grep '^stat::' "$name.log" | sed "s/^/$name /" || true
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$name.log")
    echo "== $name: ${executions:-no} executions in $((SECONDS - started)) s," \
        "$([[ $status -eq 0 ]] && echo passed || echo "FAILED (status $status)")"
    if [[ $status -ne 0 ]]; then
        failed+=("$name")
        tail -n 40 "$name.log"
    fi
done
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "== fuzzing failed: ${failed[*]} (inputs in $build, output in $build/NAME.log)" >&2
    exit 1
fi
