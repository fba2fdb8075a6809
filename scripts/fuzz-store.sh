#!/usr/bin/env bash
# Fuzzes the icon store's reader alone for a number of seconds (default 60); scripts/fuzz.sh
# fuzzes every file reader.
#   scripts/fuzz-store.sh 3600     an hour
exec "$(dirname "$0")/fuzz.sh" "${1:-60}" store
