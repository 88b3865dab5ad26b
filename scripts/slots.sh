# Sourced by the scripts that run Windows programs: the X displays and the
# Wine prefixes they run on, and their clean-up, in one trap on exit.
#
# The tests run side by side in slots. Each slot has a Wine prefix of its own
# (its own registry and window system) and an X display of its own, so that
# two tests never share a registry, a foreground window or a keyboard. Slot
# 0 is the build's own prefix, which the demo and the other commands use.
# shellcheck source=env.sh
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"

# How many slots the test command runs at once.
TC_TEST_SLOTS=${TC_TEST_SLOTS:-3}

# The slot a test runs in, as ctest hands it over ("id:2,slots:1"); 0 when
# run by hand.
tc_ctest_slot() {
    local group=${CTEST_RESOURCE_GROUP_0_SLOT:-id:0}
    group=${group#id:}
    echo "${group%%,*}"
}

# The environment of the slot the caller runs in: its prefix and its display
# (from TC_SLOT_DISPLAYS, which the test command sets; otherwise $DISPLAY).
tc_slot_env() {
    local slot
    slot=$(tc_ctest_slot)
    tc_wine_env "$slot"
    if [ -n "${TC_SLOT_DISPLAYS:-}" ]; then
        local displays
        read -r -a displays <<<"$TC_SLOT_DISPLAYS"
        export DISPLAY=${displays[$slot]:-${displays[0]}}
    fi
}

TC_STARTED_XVFB=()
TC_STARTED_SERVERS=()

TC_AT_EXIT=()

# Runs a command of the caller's when the script ends, before the servers
# and displays go.
tc_at_exit() { TC_AT_EXIT+=("$1"); }

# The one exit trap: the caller's commands, then Wine's servers, then the
# displays.
tc_cleanup() {
    local action prefix pid
    for action in "${TC_AT_EXIT[@]}"; do eval "$action" || true; done
    for prefix in "${TC_STARTED_SERVERS[@]}"; do
        WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    done
    # Waited for, so that no ended server is left behind as a zombie.
    for pid in "${TC_STARTED_XVFB[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}

# Starts a private Xvfb, which tc_cleanup ends, and sets TC_XVFB_DISPLAY to
# its display. Not to be called in a subshell: the server would outlive the
# script. Without a display Wine's windows never come to the front and
# synthesised keys go nowhere. The server picks a free display itself and
# writes its number once it accepts connections (-displayfd): two commands
# started together never race for one number.
tc_start_xvfb() {
    local ready n=""
    ready=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$ready" >/dev/null 2>&1 &
    TC_STARTED_XVFB+=("$!")
    for _ in $(seq 100); do
        # A whole line: the number and its newline.
        if read -r n <"$ready" && [[ "$n" =~ ^[0-9]+$ ]]; then
            rm -f "$ready"
            TC_XVFB_DISPLAY=":$n"
            return
        fi
        kill -0 "${TC_STARTED_XVFB[-1]}" 2>/dev/null || break
        sleep 0.1
    done
    rm -f "$ready"
    echo "Xvfb did not start" >&2
    return 1
}

# A display for slot 0, the one set already or a private Xvfb, ended on exit.
tc_display() {
    if [ -n "${DISPLAY:-}" ]; then return; fi
    tc_start_xvfb || return 1
    export DISPLAY=$TC_XVFB_DISPLAY
}

# One display per test slot: slot 0 gets the one of tc_display, the others
# private ones.
tc_slot_displays() {
    tc_display || return 1
    local displays=("$DISPLAY") slot
    for ((slot = 1; slot < TC_TEST_SLOTS; slot++)); do
        tc_start_xvfb || return 1
        displays+=("$TC_XVFB_DISPLAY")
    done
    export TC_SLOT_DISPLAYS="${displays[*]}"
}

# Creates a slot's prefix on first use and keeps its Wine server up for the
# run.
tc_wine_prefix() {
    (
        tc_wine_env "${1:-0}"
        mkdir -p "$TC_BUILD_DIR"
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            echo "Creating the Wine prefix $WINEPREFIX (first run only)..."
            wineboot -i >/dev/null 2>&1
        fi
        # A server that is not persistent exits with the last program, and
        # every test would start Wine's services again. -p cannot change a
        # server that runs already (the one wineboot left, say), so end that
        # one first.
        wineserver -k 2>/dev/null || true
        wineserver -p 2>/dev/null || echo "note: Wine's server is not persistent; runs will be slower" >&2
        # The first program after that starts Wine's services, which then
        # live as long as the server and keep the output they inherited open:
        # started by a test under ctest, they would keep ctest waiting for the
        # test's output to close. This program starts them with nothing to
        # hold. It also tells Wine that Xvfb runs no window manager, or Wine
        # waits two seconds for one whenever a window is hidden or closed.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || true
    )
    tc_wine_env "${1:-0}"
    TC_STARTED_SERVERS+=("$WINEPREFIX")
    tc_wine_env 0
}

# Every slot's prefix, made side by side.
tc_slot_prefixes() {
    local slot pids=()
    for ((slot = 0; slot < TC_TEST_SLOTS; slot++)); do
        tc_wine_prefix "$slot" &
        pids+=("$!")
    done
    local failed=0 pid
    for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
    for ((slot = 0; slot < TC_TEST_SLOTS; slot++)); do
        tc_wine_env "$slot"
        TC_STARTED_SERVERS+=("$WINEPREFIX")
    done
    tc_wine_env 0
    return $failed
}

# What every command of the README does first: install what is missing,
# build (the given targets, or everything), and set up the display and the
# Wine prefix of slot 0.
tc_prepare() {
    tc_build "$@"
    tc_display
    tc_wine_prefix 0
}

trap tc_cleanup EXIT
