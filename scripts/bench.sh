#!/usr/bin/env bash
# Builds the benchmark and prints the performance figures: the cost of an
# idle tick next to the bare Win32 calls it must make, how long a delivery
# holds the host's thread, and the latency from a title change to the
# display name. Arguments go to the program:
#
#   scripts/bench.sh [--rounds N] [--deliveries N] [--changes N]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/deps.sh"
source "$here/env.sh"
cmake -S "$TC_ROOT" -B "$TC_BUILD_DIR" >/dev/null
cmake --build "$TC_BUILD_DIR" -j"$(nproc)" --target sim_bench
tc_display
tc_wine_prefix
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$TC_BUILD_DIR/CMakeCache.txt")
echo "Build type: ${build_type:-Debug (the default)}"
wine "$TC_BUILD_DIR/bin/sim_bench.exe" "$@"
