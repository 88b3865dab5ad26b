#!/usr/bin/env bash
# Builds everything and runs all the tests under Wine.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/deps.sh"
source "$here/env.sh"
tc_configure_and_build
tc_display
tc_wine_prefix
cd "$TC_BUILD_DIR"
ctest --output-on-failure "$@"
