#!/usr/bin/env bash
# Builds the plug-in and the soak program, then runs the real plug-in, loaded
# through its per-user registration, with a song change every second:
#
#   scripts/soak.sh [minutes]        default 2; fractions allowed
#
# Prints handles, USER/GDI objects, windows and private bytes at the start,
# after the warm-up and at the end, and the changes made and delivered.
# Exits non-zero when a change was not delivered or something grew beyond
# the noise allowance the program prints.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
minutes=${1:-2}
source "$here/slots.sh"
tc_prepare sim_soak
wine "$TC_BUILD_DIR/bin/sim_soak.exe" --minutes "$minutes"
