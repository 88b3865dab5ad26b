#!/usr/bin/env bash
# Regenerates docs/screenshots/options.png and about.png: builds the UI test
# program, opens each dialog through the real DLL on a virtual display and
# saves the window as it appears on the screen.
#   scripts/screenshots.sh
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=slots.sh
source "$here/slots.sh"
out=$TC_ROOT/docs/screenshots
"$TC_ROOT/scripts/deps.sh" imagemagick
tc_prepare tc_ui_e2e

# Without a window manager Wine leaves the title bar to nobody: have it draw
# the frame itself for the pictures. Every setting changed here is put back
# as it was afterwards (the tests rely on Managed being N).
wine_x11='HKCU\Software\Wine\X11 Driver'
saved=()
setting() { wine reg query "$wine_x11" /v "$1" 2>/dev/null | tr -d '\r' | awk -v n="$1" '$1 == n { print $3 }'; }
for name in Decorated Managed; do saved+=("$name=$(setting "$name")"); done
restore_wine() {
    local entry name value
    for entry in "${saved[@]}"; do
        name=${entry%%=*}
        value=${entry#*=}
        if [ -n "$value" ]; then
            wine reg add "$wine_x11" /v "$name" /d "$value" /f >/dev/null 2>&1 || true
        else
            wine reg delete "$wine_x11" /v "$name" /f >/dev/null 2>&1 || true
        fi
    done
}
wine reg add "$wine_x11" /v Decorated /d N /f >/dev/null 2>&1
wine reg add "$wine_x11" /v Managed /d N /f >/dev/null 2>&1

work=$(mktemp -d)
tc_at_exit 'rm -rf "$work"'
tc_at_exit restore_wine
TC_SCREENSHOT_DIR=$(tc_winpath "$work") \
    wine "$TC_BUILD_DIR/bin/tc_ui_e2e.exe" --gtest_also_run_disabled_tests \
    --gtest_filter='DISABLED_Screenshots.*'

mkdir -p "$out"
for name in options about; do
    convert "$work/$name.bmp" "$out/$name.png"
    echo "wrote $out/$name.png"
done
