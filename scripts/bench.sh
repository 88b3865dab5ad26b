#!/usr/bin/env bash
# Builds the benchmark and prints the performance figures: the cost of an
# idle tick next to the bare Win32 calls it must make, how long a delivery
# holds the host's thread, and the latency from a title change to the
# display name. Arguments go to the program:
#
#   scripts/bench.sh [--rounds N] [--deliveries N] [--changes N] [--first-songs N] [--returns N]
#                    [--typing N]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/slots.sh"
tc_prepare sim_bench
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$TC_BUILD_DIR/CMakeCache.txt")
echo "Build type: ${build_type:-Debug (the default)}"
wine "$TC_BUILD_DIR/bin/sim_bench.exe" "$@"
