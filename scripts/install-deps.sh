#!/usr/bin/env bash
# Installs what building and testing Kelvara needs on Debian 12, by package name.
#   scripts/install-deps.sh          build and test tools
#   scripts/install-deps.sh --demo   also Xvfb, the screenshot tools and Wine's own fonts (without
#                                    them the demo's labels and dialogs render in poor fallbacks)
set -euo pipefail

# clang and libclang-rt-14-dev (libFuzzer and the sanitizers' runtimes for Clang, only recommended
# by clang) build the fuzz targets of the file readers; wixl builds the MSI installer.
packages=(cmake ninja-build g++ googletest libbenchmark-dev clang libclang-rt-14-dev
          g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools wine64 zip wixl locales)
if [[ "${1:-}" == "--demo" ]]; then
    packages+=(xvfb xauth x11-apps imagemagick fonts-wine)
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -ne 0 ]] && sudo=(sudo)
"${sudo[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
