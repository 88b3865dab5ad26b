#!/usr/bin/env bash
# Signs Windows programs and DLLs in place with Authenticode, when a
# certificate is given; used by scripts/release.sh, and by NSIS for the
# uninstaller the setup writes.
#
#   scripts/sign.sh FILE...
#
# TC_SIGN_PFX        a PKCS#12 file with the certificate and its private key
# TC_SIGN_PASSWORD   its password
# TC_SIGN_TIMESTAMP_URL  optional: an RFC 3161 time-stamp server, so that
#                    the signature stays valid after the certificate expires
# TC_SIGN_NAME       optional: the program's name in the signature, which
#                    Windows shows in its prompt for administrator rights
#                    (scripts/release.sh sets it to the product's name)
# TC_SIGN_URL        optional: a web address for more information, in the
#                    signature
#
# The signing time is SOURCE_DATE_EPOCH when set: without a time-stamp
# server, one commit and one certificate give the same signed bytes.
set -euo pipefail

[ -n "${TC_SIGN_PFX:-}" ] || { echo "sign.sh: TC_SIGN_PFX is not set" >&2; exit 2; }
[ -f "$TC_SIGN_PFX" ] || { echo "sign.sh: no certificate at $TC_SIGN_PFX" >&2; exit 2; }
command -v osslsigncode >/dev/null || { echo "sign.sh: osslsigncode not found: run scripts/deps.sh" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The password goes through a file only this user can read, never through
# the command line, which every process can see.
(umask 077 && printf '%s' "${TC_SIGN_PASSWORD:-}" >"$work/password")
args=(sign -pkcs12 "$TC_SIGN_PFX" -readpass "$work/password" -h sha256)
[ -n "${TC_SIGN_NAME:-}" ] && args+=(-n "$TC_SIGN_NAME")
[ -n "${TC_SIGN_URL:-}" ] && args+=(-i "$TC_SIGN_URL")
[ -n "${SOURCE_DATE_EPOCH:-}" ] && args+=(-time "$SOURCE_DATE_EPOCH")
[ -n "${TC_SIGN_TIMESTAMP_URL:-}" ] && args+=(-ts "$TC_SIGN_TIMESTAMP_URL")

for file in "$@"; do
    osslsigncode "${args[@]}" -in "$file" -out "$work/signed" >"$work/log" 2>&1 ||
        { cat "$work/log" >&2; echo "sign.sh: could not sign $file" >&2; exit 1; }
    cat "$work/signed" >"$file"
    rm -f "$work/signed"
    echo "signed $file"
done
