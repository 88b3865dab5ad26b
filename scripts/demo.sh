#!/usr/bin/env bash
# Builds everything and runs the scripted demo: the simulated messenger and
# chat add-on load the real plug-in through its per-user registration, the
# player plays, pauses, stops and exits, and the display name follows.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/slots.sh"
tc_prepare
# shellcheck source=/dev/null
source "$TC_BUILD_DIR/gen/identity/identity.env"
dll=$(tc_winpath "$TC_BUILD_DIR/bin/$TC_DLL_FILE")
echo "Registering $dll for the current user (regsvr32 /n /i:user)..."
wine regsvr32 /s /n /i:user "$dll"
wine "$TC_BUILD_DIR/bin/sim_host.exe" --demo
