#!/usr/bin/env bash
# Builds everything and runs all the tests under Wine.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/env.sh"
tc_prepare
cd "$TC_BUILD_DIR"
ctest --output-on-failure "$@"
