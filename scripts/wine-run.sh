#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix (never the
# user's home). ctest runs every test program through it: a test runs in the
# Wine prefix and on the display of the slot ctest gave it (scripts/env.sh).
set -euo pipefail
# shellcheck source=env.sh
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
tc_slot_env
exec wine "$@"
