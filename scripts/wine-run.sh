#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix (never the
# user's home). Used by ctest as the cross-compiling emulator and by the
# README commands. The prefix lives in $TC_BUILD_DIR (default: ./build).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${TC_BUILD_DIR:-$here/../build}
export WINEPREFIX=${WINEPREFIX:-$(cd "$build" && pwd)/wineprefix}
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
exec wine "$@"
