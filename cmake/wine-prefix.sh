#!/bin/sh
# Creates the private Wine prefix named by WINEPREFIX once (user folders kept inside the prefix).
# Safe to call from several processes at once.
#
# KELVARA_WINE_GRAPHICS picks the graphics driver: null (the default: windows work without any X
# server) or x11 (windows drawn on the X server named by DISPLAY, with their own frames, as there
# is no window manager on a bare server).
set -e
graphics="${KELVARA_WINE_GRAPHICS:-null}"
[ -f "$WINEPREFIX/.kelvara-ready" ] && exit 0
mkdir -p "$(dirname "$WINEPREFIX")" "$HOME"
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$WINEPREFIX/.kelvara-ready" ] && exit 0
rm -rf "$WINEPREFIX"
/usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
/usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$graphics" /f </dev/null >/dev/null 2>&1
if [ "$graphics" = x11 ]; then
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    # This Wine does not find its own fonts (package fonts-wine) where Debian installs them; in
    # the prefix's font folder the frames find Marlett for their buttons and the dialogs Tahoma.
    if [ -d /usr/share/wine/fonts ]; then
        cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
    fi
fi
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
