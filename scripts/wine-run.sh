#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix (never the
# user's home). ctest runs every test program through it: a test runs in the
# Wine prefix and on the display of the slot ctest gave it (scripts/slots.sh).
set -euo pipefail
# shellcheck source=slots.sh
source "$(dirname "${BASH_SOURCE[0]}")/slots.sh"
tc_slot_env

# A test program writes the exit code it chose into this file just before it
# ends itself. Wine's own teardown of the process, after that point, has been
# seen to crash now and then under load; such a crash is not the test's
# result, the code it chose is. A program that never wrote the file, or died
# before it did, keeps whatever Wine reports.
exit_file=$(mktemp)
tc_at_exit 'rm -f "$exit_file"'
export TC_EXIT_FILE="Z:${exit_file//\//\\}"
status=0
wine "$@" || status=$?
chosen=$(tr -d "\r" <"$exit_file" 2>/dev/null || true)
if [ "$status" -ge 128 ] && [[ "$chosen" =~ ^[0-9]+$ ]]; then
    echo "wine-run: Wine's teardown ended with $status after the program chose $chosen" >&2
    status=$chosen
fi
exit "$status"
