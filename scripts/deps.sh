#!/usr/bin/env bash
# Installs what building and running the plug-in needs on Debian 12, and only
# what is missing: safe to run again. Needs root (or sudo).
set -euo pipefail

packages=(cmake make mingw-w64 mingw-w64-tools libwine-dev wine wine32:i386
          xvfb xauth googletest nsis osslsigncode openssl "$@")

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${as_root[@]}" dpkg --add-architecture i386
fi
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
