#!/usr/bin/env bash
# Regenerates docs/screenshots/options.png and about.png: builds the UI test
# program, opens each dialog through the real DLL on a virtual display and
# saves the window as it appears on the screen.
#   scripts/screenshots.sh [build-dir] [display]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
build=${1:-$root/build}
display=${2:-:97}
out=$root/docs/screenshots

cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target tc_ui_e2e >/dev/null

started_xvfb=
if ! pgrep -f "Xvfb $display " >/dev/null; then
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    started_xvfb=$!
    sleep 1
fi
cleanup() { if [ -n "$started_xvfb" ]; then kill "$started_xvfb" 2>/dev/null || true; fi; }
trap cleanup EXIT

export DISPLAY=$display TC_BUILD_DIR=$build
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
[ -d "$WINEPREFIX" ] || "$here/wine-run.sh" wineboot -i >/dev/null 2>&1

# Without a window manager Wine leaves the title bar to nobody; have it draw
# the frame itself for the pictures, and put the setting back afterwards.
wine_x11='HKCU\Software\Wine\X11 Driver'
"$here/wine-run.sh" reg add "$wine_x11" /v Decorated /d N /f >/dev/null 2>&1 || true
"$here/wine-run.sh" reg add "$wine_x11" /v Managed /d N /f >/dev/null 2>&1 || true
restore_wine() {
    "$here/wine-run.sh" reg delete "$wine_x11" /v Decorated /f >/dev/null 2>&1 || true
    "$here/wine-run.sh" reg delete "$wine_x11" /v Managed /f >/dev/null 2>&1 || true
}

work=$(mktemp -d)
trap 'rm -rf "$work"; restore_wine; cleanup' EXIT
TC_SCREENSHOT_DIR=$(WINEDEBUG=-all winepath -w "$work") \
    "$here/wine-run.sh" "$build/bin/tc_ui_e2e.exe" --gtest_also_run_disabled_tests \
    --gtest_filter='DISABLED_Screenshots.*'

mkdir -p "$out"
for name in options about; do
    convert "$work/$name.bmp" "$out/$name.png"
    echo "wrote $out/$name.png"
done
