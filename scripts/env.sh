# Sourced by the README commands: the build folder, its own Wine prefix, and
# an X display (a private Xvfb when none is set, ended on exit).
TC_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export TC_BUILD_DIR=${TC_BUILD_DIR:-$TC_ROOT/build}
export WINEPREFIX=$TC_BUILD_DIR/wineprefix
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# What every command of the README does first: install what is missing,
# build (the given targets, or everything), and set up the display and the
# Wine prefix.
tc_prepare() {
    "$TC_ROOT/scripts/deps.sh"
    cmake -S "$TC_ROOT" -B "$TC_BUILD_DIR" >/dev/null
    if [ $# -eq 0 ]; then
        cmake --build "$TC_BUILD_DIR" -j"$(nproc)"
    else
        cmake --build "$TC_BUILD_DIR" -j"$(nproc)" --target "$@"
    fi
    tc_display
    tc_wine_prefix
}

tc_cleanup() {
    wineserver -k 2>/dev/null || true
    if [ -n "${TC_XVFB_PID:-}" ]; then kill "$TC_XVFB_PID" 2>/dev/null || true; fi
}

# Starts an Xvfb of our own when no display is set. Without a display Wine's
# windows never come to the front and synthesised keys go nowhere.
tc_display() {
    trap tc_cleanup EXIT
    if [ -n "${DISPLAY:-}" ]; then return; fi
    local n=90
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    TC_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && return; sleep 0.1; done
    echo "Xvfb did not start on :$n" >&2
    return 1
}

# Creates the prefix on first use and keeps Wine's server up for the run.
tc_wine_prefix() {
    mkdir -p "$TC_BUILD_DIR"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating the Wine prefix in $WINEPREFIX (first run only)..."
        wineboot -i >/dev/null 2>&1
    fi
    # A server that is not persistent exits with the last program, and every
    # test would start Wine's services again. -p cannot change a server that
    # runs already (the one wineboot left, say), so end that one first.
    wineserver -k 2>/dev/null || true
    wineserver -p 2>/dev/null || echo "note: Wine's server is not persistent; runs will be slower" >&2
    # The first program after that starts Wine's services, which then live as
    # long as the server and keep the output they inherited open: started by
    # a test under ctest, they would keep ctest waiting for the test's output
    # to close. This program starts them with nothing to hold. It also tells
    # Wine that Xvfb runs no window manager, or Wine waits two seconds for one
    # whenever a window is hidden or closed.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || true
}

# The build tree's path as Wine sees it.
tc_winpath() { winepath -w "$1" 2>/dev/null; }
