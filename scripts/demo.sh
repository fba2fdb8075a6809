#!/usr/bin/env bash
# The demo: installs what it needs, builds the Windows binaries and shows Kelvara at work on a
# desktop of 40 icons, under Wine on a virtual X screen of 1920 x 1080.
#
#   scripts/demo.sh [FOLDER]     screenshots and the log go to FOLDER (default build/demo); the
#                                screenshots and log of an earlier demo there are replaced
#
# The Windows side is build/win64/bin/kelvara_demo.exe (demo/kelvara_demo.cpp). It runs in a Wine
# prefix of its own, made afresh each time (build/win64/demo-prefix), so Kelvara's start is a
# first start. When it prints "@@screenshot NAME [divide X] [crop WxH+X+Y]" this script takes a screenshot of
# the X screen (or of that part of it) and answers with the file NAME.ack in the folder.
set -euo pipefail
[[ $# -gt 0 ]] && out=$(realpath -m "$1")
cd "$(dirname "$0")/.."
root=$PWD
out=${out:-$root/build/demo}
build=$root/build/win64
started=$SECONDS

echo "== Installing what the demo needs"
scripts/install-deps.sh --demo

echo "== Building the Windows binaries (preset win64)"
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target kelvara_demo

export KELVARA_WINEPREFIX=$build/demo-prefix
export KELVARA_WINEHOME=$build/demo-home
export KELVARA_WINE_GRAPHICS=x11
wine_run=$build/wine-run

stop_wine() {
    if [[ -d "$KELVARA_WINEPREFIX" ]]; then
        WINEPREFIX=$KELVARA_WINEPREFIX /usr/lib/wine/wineserver -k 2>/dev/null || true
        WINEPREFIX=$KELVARA_WINEPREFIX /usr/lib/wine/wineserver -w 2>/dev/null || true
    fi
}
xvfb=
finish() {
    stop_wine
    if [[ -n "$xvfb" ]]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
    fi
    rm -f "$out"/*.ack "$out/.display"
}
trap finish EXIT

stop_wine # a demo that was broken off may have left its Wine running
rm -rf "$KELVARA_WINEPREFIX" "$KELVARA_WINEPREFIX.lock" "$KELVARA_WINEHOME"
mkdir -p "$out"
rm -f "$out"/[0-9][0-9]-*.png "$out/demo.log" # a previous demo's

echo "== Starting an X server of 1920 x 1080 (Xvfb)"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$out/.display" 2>/dev/null &
xvfb=$!
for _ in $(seq 1 100); do
    [[ -s "$out/.display" ]] && break
    sleep 0.1
done
[[ -s "$out/.display" ]] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$out/.display")"

echo "== Making a fresh Wine prefix in $KELVARA_WINEPREFIX"
# The first program of the prefix keeps Wine's background services up for the whole demo.
"$wine_run" start-server "$build/bin/wine_keeper.exe"

log=$out/demo.log
windows_out="Z:${out//\//\\}"
shots=0
launch=() # what the demo program is started with
# Runs kelvara_demo.exe with the arguments, printing its lines into the log and taking each
# screenshot it asks for; its exit code.
run_demo() {
    "${launch[@]}" "$wine_run" "$build/bin/kelvara_demo.exe" --screenshots "$windows_out" "$@" >"$log.raw" 2>&1 &
    local demo=$! line name options file status=0
    while IFS= read -r line; do
        if [[ "$line" == @@screenshot* ]]; then
            read -r _ name options <<<"$line"
            shots=$((shots + 1))
            file=$out/$(printf '%02d' "$shots")-$name.png
            # "divide X" draws where one monitor ends and the next begins (the host draws no
            # edge), "crop WxH+X+Y" keeps that part of the screen.
            local drawn=() cropped=() words=()
            read -r -a words <<<"${options:-}"
            for ((i = 0; i + 1 < ${#words[@]}; i += 2)); do
                case ${words[i]} in
                divide) drawn+=(-stroke '#ffd24a' -strokewidth 4 -draw "line ${words[i+1]},0 ${words[i+1]},4000") ;;
                crop) cropped+=(-crop "${words[i+1]}" +repage) ;;
                esac
            done
            xwd -root -silent -display "$DISPLAY" | convert xwd:- "${drawn[@]}" "${cropped[@]}" "$file"
            touch "$out/$name.ack"
            line="   [screenshot ${file#"$root"/}]"
        fi
        printf '%s\n' "$line" | tee -a "$log"
    done < <(tail -n +1 -F --pid="$demo" "$log.raw" 2>/dev/null)
    wait "$demo" || status=$?
    rm -f "$log.raw"
    return "$status"
}

echo "== Running the demo"
echo
status=0
run_demo || status=$?

# Kelvara speaks its user's language: its menu once more with German as the display language
# for Windows, which Wine takes from the Unix locale.
if [[ $status -eq 0 ]]; then
    echo
    echo "== The menu in German (LC_ALL=de_DE.UTF-8)"
    sh tests/windows/make_locales.sh "$build/locales"
    launch=(env "LOCPATH=$build/locales" LC_ALL=de_DE.UTF-8)
    run_demo --menu-again menu-de || status=$?
fi

echo
echo "== The demo ended with code $status after $((SECONDS - started)) s; log and screenshots in ${out#"$root"/}/"
exit "$status"
