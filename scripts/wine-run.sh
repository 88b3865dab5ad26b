#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix (never the
# user's home). ctest runs every test program through it: a test runs in the
# Wine prefix and on the display of the slot ctest gave it (scripts/slots.sh).
set -euo pipefail
# shellcheck source=slots.sh
source "$(dirname "${BASH_SOURCE[0]}")/slots.sh"
tc_slot_env
exec wine "$@"
