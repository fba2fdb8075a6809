#!/usr/bin/env bash
# Fuzzes the icon store's reader for a number of seconds (default 60): builds the fuzz preset
# (Clang with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer), writes the seed corpus
# with the store's own writer and runs the target over it. Inputs that found new paths are kept
# in build/fuzz/corpus for the next run; a crash or a round-trip mismatch fails the script and
# leaves the input in build/fuzz as crash-*.
#   scripts/fuzz-store.sh          about a minute, as scripts/test-all.sh runs it
#   scripts/fuzz-store.sh 3600     an hour
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
cmake --preset fuzz
cmake --build --preset fuzz
build=build/fuzz
rm -rf "$build/seeds"
mkdir -p "$build/seeds" "$build/corpus"
"$build/tests/fuzz/store_seeds" "$build/seeds"
cd "$build"
tests/fuzz/store_reader_fuzzer -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    corpus seeds
