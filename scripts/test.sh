#!/usr/bin/env bash
# Builds everything (the optimised DLL too) and runs all the tests under
# Wine, side by side in $TC_TEST_SLOTS slots (default 3), each with a Wine
# prefix and an X display of its own. Arguments go to ctest; the long tests
# (label "long": the ten-minute soak, two release builds compared) and the
# kept faults (label "mutants": scripts/mutants.sh) run only when asked for,
# e.g. scripts/test.sh -L long.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=slots.sh
source "$here/slots.sh"
# Two test commands on one build folder would build it at the same time and
# share its Wine prefixes: the second waits until the first has ended. The
# lock is held by flock itself, never by a program the tests start (a Wine
# server outlives them).
if [ -z "${TC_TEST_COMMAND_LOCKED:-}" ]; then
    mkdir -p "$TC_BUILD_DIR"
    lock=$TC_BUILD_DIR/.test-command.lock
    flock -n "$lock" true || echo "Another test command runs on $TC_BUILD_DIR: waiting for it to end..." >&2
    exec env TC_TEST_COMMAND_LOCKED=1 flock -o "$lock" "$here/test.sh" "$@"
fi
tc_prepare
# The optimised DLL is the one that ships, and the optimiser warns of things
# the debug build does not see: it is built too, warnings as errors, and
# passes the same import check as the release.
"$here/release.sh" dll "$TC_BUILD_DIR/release-check"
tc_slot_displays
tc_slot_prefixes

slots_file=$TC_BUILD_DIR/test-slots.json
{
    printf '{"version": {"major": 1, "minor": 0}, "local": [{"slot": ['
    for ((slot = 0; slot < TC_TEST_SLOTS; slot++)); do
        [ "$slot" -eq 0 ] || printf ', '
        printf '{"id": "%d", "slots": 1}' "$slot"
    done
    printf ']}]}\n'
} >"$slots_file"

labels=(-LE "^(long|mutants)$")
for arg in "$@"; do
    case "$arg" in -L* | --label*) labels=() ;; esac
done
cd "$TC_BUILD_DIR"
ctest --output-on-failure --no-tests=error -j "$TC_TEST_SLOTS" --resource-spec-file "$slots_file" "${labels[@]}" "$@"
