#!/bin/sh
# Creates the private Wine prefix named by WINEPREFIX once (null graphics driver, user folders
# kept inside the prefix). Safe to call from several processes at once.
set -e
[ -f "$WINEPREFIX/.kelvara-ready" ] && exit 0
mkdir -p "$(dirname "$WINEPREFIX")" "$HOME"
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$WINEPREFIX/.kelvara-ready" ] && exit 0
rm -rf "$WINEPREFIX"
/usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
/usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
# The first server must end before the prefix is used, or the next programs start slowly.
/usr/lib/wine/wineserver -w
# wineboot links Desktop, Documents and the other user folders to the Unix home; files made on
# the test desktop must stay inside the prefix.
for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then
        rm "$link"
        mkdir -p "$link"
    fi
done
touch "$WINEPREFIX/.kelvara-ready"
