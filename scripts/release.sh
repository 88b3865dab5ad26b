#!/usr/bin/env bash
# Builds a release: the plug-in DLL in release mode and its Windows installer,
# written with their SHA-256 sums to one folder. Both ship without debug
# information; it is kept beside them in tunecaster.dll.debug, which the
# stripped DLL names (its .gnu_debuglink) so that gdb finds it.
#
#   scripts/release.sh                       everything, into out/release/
#   scripts/release.sh installer DLL OUTDIR  only the installer, from a DLL
#                                            already built (used by the tests);
#                                            OUTDIR also gets the stripped DLL
#                                            it packages and its .debug file
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

# strip_dll DLL OUTDIR: OUTDIR/tunecaster.dll is DLL without its debug
# sections and symbol table, which go to OUTDIR/tunecaster.dll.debug; its
# exports stay. DLL may be that file.
strip_dll() {
    local objcopy=i686-w64-mingw32-objcopy objdump=i686-w64-mingw32-objdump tmp
    tmp=$(mktemp -d)
    "$objcopy" --only-keep-debug "$1" "$tmp/tunecaster.dll.debug" &&
        "$objcopy" --strip-all --add-gnu-debuglink="$tmp/tunecaster.dll.debug" "$1" "$tmp/tunecaster.dll" &&
        mv -f "$tmp/tunecaster.dll" "$tmp/tunecaster.dll.debug" "$2/" || { rm -rf "$tmp"; return 1; }
    rm -rf "$tmp"
    if "$objdump" -h "$2/tunecaster.dll" | grep -q '[[:space:]]\.debug_'; then
        echo "debug sections left in $2/tunecaster.dll" >&2
        return 1
    fi
}

# build_installer DLL OUTDIR: writes OUTDIR/TunecasterSetup-<version>.exe
# around a stripped copy of DLL, left as OUTDIR/tunecaster.dll.
build_installer() {
    local dll out ver defs=() line
    dll=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
    [ -f "$dll" ] || { echo "no DLL at $1" >&2; return 1; }
    mkdir -p "$2"
    out=$(cd "$2" && pwd)
    strip_dll "$dll" "$out" || { echo "could not strip $dll" >&2; return 1; }
    dll=$out/tunecaster.dll
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
    build_installer "$build/bin/tunecaster.dll" "$out"
    (cd "$out" && sha256sum tunecaster.dll tunecaster.dll.debug "TunecasterSetup-$(version).exe" > SHA256SUMS)
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
