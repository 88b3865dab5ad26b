#!/usr/bin/env bash
# Builds a release: the plug-in DLL in release mode and its Windows installer,
# written with their SHA-256 sums to one folder.
#
#   scripts/release.sh                       everything, into out/release/
#   scripts/release.sh installer DLL OUTDIR  only the installer, from a DLL
#                                            already built (used by the tests)
#
# TC_RELEASE_BUILD_DIR (default build-release) and TC_RELEASE_OUT_DIR
# (default out/release) move the build and the output.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)

version() {
    sed -n 's/^#define TC_VERSION_TEXT "\(.*\)"$/\1/p' "$root/plugin/version.h"
}

# Prints NAME=VALUE for the identifiers that registration writes, taken from
# the sources that define them, so that the installer can never disagree
# with the DLL about what to remove.
identifiers() {
    awk '
        /uuid\(/ { match($0, /uuid\([^)]*\)/); last = "{" substr($0, RSTART + 5, RLENGTH - 6) "}" }
        /^[ \t]*library[ \t]/ && !libid { libid = last }
        /^[ \t]*interface[ \t]+_PlayerPlugin[ \t]*:/ && !iid { iid = last }
        /^[ \t]*coclass[ \t]+PlayerPlugin/ && !clsid { clsid = last }
        END {
            if (!libid || !iid || !clsid) exit 1
            print "LIBID=" toupper(libid); print "IID=" toupper(iid); print "CLSID=" toupper(clsid)
        }' "$root/plugin/PlayerPlugin.idl"
    sed -n 's/.*\bkProgId = L"\(.*\)";.*/PROGID=\1/p;
            s/.*\bkProgIdVersioned = L"\(.*\)";.*/PROGID_VERSIONED=\1/p' \
        "$root/plugin/Registration.h"
}

# build_installer DLL OUTDIR: writes OUTDIR/TunecasterSetup-<version>.exe.
build_installer() {
    local dll out ver defs=() line
    dll=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
    [ -f "$dll" ] || { echo "no DLL at $1" >&2; return 1; }
    mkdir -p "$2"
    out=$(cd "$2" && pwd)
    ver=$(version)
    [ -n "$ver" ] || { echo "no version in plugin/version.h" >&2; return 1; }
    while IFS= read -r line; do defs+=("-D$line"); done < <(identifiers)
    [ ${#defs[@]} -eq 5 ] || { echo "could not read the identifiers" >&2; return 1; }
    command -v makensis >/dev/null || { echo "makensis not found: run scripts/deps.sh nsis" >&2; return 1; }
    makensis -V2 -WX "-DDLL=$dll" "-DVERSION=$ver" "-DOUTFILE=$out/TunecasterSetup-$ver.exe" \
        "${defs[@]}" "$root/installer/tunecaster.nsi"
}

release() {
    local build=${TC_RELEASE_BUILD_DIR:-$root/build-release}
    local out=${TC_RELEASE_OUT_DIR:-$root/out/release}
    "$here/deps.sh" nsis
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTC_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build" -j"$(nproc)" --target tunecaster
    rm -rf "$out"
    mkdir -p "$out"
    cp "$build/bin/tunecaster.dll" "$out/"
    build_installer "$out/tunecaster.dll" "$out"
    (cd "$out" && sha256sum tunecaster.dll "TunecasterSetup-$(version).exe" > SHA256SUMS)
    echo "Release written to $out:"
    (cd "$out" && ls -l && cat SHA256SUMS)
}

case "${1:-}" in
    "") release ;;
    installer)
        [ $# -eq 3 ] || { echo "usage: $0 installer DLL OUTDIR" >&2; exit 2; }
        build_installer "$2" "$3" ;;
    *) echo "usage: $0 [installer DLL OUTDIR]" >&2; exit 2 ;;
esac
