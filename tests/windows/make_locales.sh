#!/bin/sh
# Compiles the Unix locales of the languages Kelvara speaks into a folder of the build (LOCPATH),
# once: Wine takes the user's display language for Windows from the Unix locale a program starts
# in, and a locale must exist for the C library to take it. Needs localedef and the locale
# sources (Debian's libc-bin and locales).
set -e
folder="$1"
mkdir -p "$folder"
for locale in en_US de_DE fr_FR es_ES pt_BR it_IT pl_PL ja_JP zh_CN ko_KR; do
    [ -d "$folder/$locale.UTF-8" ] || localedef -i "$locale" -f UTF-8 "$folder/$locale.UTF-8"
done
