#!/usr/bin/env bash
# Builds the benchmark and prints the performance figures: the cost of an
# idle tick next to the bare Win32 calls it must make, called directly and
# as a host's message loop dispatches the DLL's own timer, how long a
# delivery holds the host's thread, and the latency from a title change to
# the display name. Arguments go to the program:
#
#   scripts/bench.sh [--rounds N] [--deliveries N] [--changes N] [--first-songs N] [--returns N]
#                    [--typing N] [--host-ticks N] [--host-phase MS] [--host-breakdown] [--dll PATH]
#
# The host's view loads the optimised DLL, the one that ships (built here as
# the test command builds it), unless --dll names another (a Windows path).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/slots.sh"
tc_prepare sim_bench
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$TC_BUILD_DIR/CMakeCache.txt")
echo "Build type: ${build_type:-Debug (the default)}"
dll=()
if [[ " $* " != *" --dll "* ]]; then
    release=$TC_BUILD_DIR/release-check
    "$here/release.sh" dll "$release" >/dev/null
    # shellcheck source=/dev/null
    source "$release/gen/identity/identity.env"
    dll=(--dll "$(tc_winpath "$release/bin/$TC_DLL_FILE")")
    echo "DLL of the host's view: optimised, $release/bin/$TC_DLL_FILE"
fi
wine "$TC_BUILD_DIR/bin/sim_bench.exe" "${dll[@]}" "$@"
