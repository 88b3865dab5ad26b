#!/usr/bin/env bash
# Builds a release: the plug-in DLL in release mode and its Windows installer,
# written with their SHA-256 sums to one folder. Both ship without debug
# information; it is kept beside them in <dll>.debug, which the
# stripped DLL names (its .gnu_debuglink) so that gdb finds it.
#
#   scripts/release.sh                       everything, into out/release/
#   scripts/release.sh installer DLL OUTDIR  only the installer, from a DLL
#                                            already built in $TC_BUILD_DIR
#                                            (default build; used by the
#                                            tests); OUTDIR also gets the
#                                            stripped DLL it packages and its
#                                            .debug file
#   scripts/release.sh dll BUILDDIR          only the optimised DLL, in
#                                            BUILDDIR, with the import check
#                                            (used by the test command)
#
# TC_RELEASE_BUILD_DIR (default build-release) and TC_RELEASE_OUT_DIR
# (default out/release) move the build and the output. The product's name,
# version and identifiers come from the build's generated identity, so that
# the installer can never disagree with the DLL about what to remove.
#
# Reproducible: every time stamp the linker, objcopy and the signature write
# is SOURCE_DATE_EPOCH, by default the time of the last commit; NSIS stores
# no file times. One commit built in any two folders gives the same
# SHA256SUMS (scripts/reproducible.sh checks it).
#
# Signed when TC_SIGN_PFX (a PKCS#12 file) and TC_SIGN_PASSWORD are set,
# with an RFC 3161 time stamp when TC_SIGN_TIMESTAMP_URL is set too
# (scripts/sign.sh): the stripped DLL before it is packaged, the uninstaller
# that the setup writes, and the setup. The sums are taken after signing.
# Without a certificate the release is unsigned, and says so.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null) ||
        { echo "not a git checkout: set SOURCE_DATE_EPOCH" >&2; exit 2; }
fi
export SOURCE_DATE_EPOCH

signing() { [ -n "${TC_SIGN_PFX:-}" ]; }
if signing && [ -z "${TC_SIGN_PASSWORD+set}" ]; then
    echo "TC_SIGN_PFX is set but TC_SIGN_PASSWORD is not" >&2
    exit 2
fi

# strip_dll DLL OUTDIR: OUTDIR/$TC_DLL_FILE is DLL without its debug
# sections and symbol table, which go to OUTDIR/$TC_DLL_FILE.debug; its
# exports stay. DLL may be that file.
strip_dll() {
    local objcopy=i686-w64-mingw32-objcopy objdump=i686-w64-mingw32-objdump tmp
    local name=$TC_DLL_FILE
    tmp=$(mktemp -d)
    "$objcopy" --only-keep-debug "$1" "$tmp/$name.debug" &&
        "$objcopy" --strip-all --add-gnu-debuglink="$tmp/$name.debug" "$1" "$tmp/$name" &&
        mv -f "$tmp/$name" "$tmp/$name.debug" "$2/" || { rm -rf "$tmp"; return 1; }
    rm -rf "$tmp"
    if "$objdump" -h "$2/$name" | grep -q '[[:space:]]\.debug_'; then
        echo "debug sections left in $2/$name" >&2
        return 1
    fi
}

# build_installer DLL OUTDIR IDENTITY: writes OUTDIR/<product>Setup-<version>.exe
# around a stripped copy of DLL, left in OUTDIR under its own name; IDENTITY is
# the build's gen/identity folder.
build_installer() {
    local dll out identity=$3
    dll=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
    [ -f "$dll" ] || { echo "no DLL at $1" >&2; return 1; }
    [ -f "$identity/identity.env" ] || { echo "no generated identity in $identity: configure the build" >&2; return 1; }
    # shellcheck source=/dev/null
    source "$identity/identity.env"
    mkdir -p "$2"
    out=$(cd "$2" && pwd)
    strip_dll "$dll" "$out" || { echo "could not strip $dll" >&2; return 1; }
    command -v makensis >/dev/null || { echo "makensis not found: run scripts/deps.sh nsis" >&2; return 1; }
    local setup="$out/${TC_PRODUCT_NAME}Setup-$TC_VERSION.exe" sign=()
    if signing; then
        export TC_SIGN_NAME=$TC_PRODUCT_NAME
        "$here/sign.sh" "$out/$TC_DLL_FILE" || return 1
        sign=("-DSIGN=$here/sign.sh")
    fi
    makensis -V2 -WX "-DDLL=$out/$TC_DLL_FILE" "-DIDENTITY=$identity/identity.nsh" \
        "-DOUTFILE=$setup" "${sign[@]}" "$root/installer/tunecaster.nsi" || return 1
    if signing; then "$here/sign.sh" "$setup" || return 1; fi
}

# build_dll BUILD [fresh]: the optimised DLL in BUILD, warnings as errors,
# through the same import check as the tests'. Fresh, an earlier build's DLL
# goes first: it would keep that build's time stamp.
build_dll() {
    local build=$1
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTC_BUILD_TESTS=OFF >/dev/null
    # shellcheck source=/dev/null
    source "$build/gen/identity/identity.env"
    if [ "${2:-}" = fresh ]; then rm -f "$build/bin/$TC_DLL_FILE"; fi
    cmake --build "$build" -j"$(nproc)" --target tunecaster
    cmake "-DOBJDUMP=i686-w64-mingw32-objdump" "-DDLL=$build/bin/$TC_DLL_FILE" \
        -P "$root/tests/plugin/check_imports.cmake" >/dev/null
}

release() {
    local build=${TC_RELEASE_BUILD_DIR:-$root/build-release}
    local out=${TC_RELEASE_OUT_DIR:-$root/out/release}
    "$here/deps.sh"
    build_dll "$build" fresh
    rm -rf "$out"
    mkdir -p "$out"
    build_installer "$build/bin/$TC_DLL_FILE" "$out" "$build/gen/identity"
    (cd "$out" && sha256sum "$TC_DLL_FILE" "$TC_DLL_FILE.debug" \
        "${TC_PRODUCT_NAME}Setup-$TC_VERSION.exe" > SHA256SUMS)
    echo "Release written to $out:"
    (cd "$out" && ls -l && cat SHA256SUMS)
    if signing; then
        echo "Signed with the certificate in $TC_SIGN_PFX."
    else
        echo "Unsigned: no certificate given (TC_SIGN_PFX), so Windows will name no publisher."
    fi
}

case "${1:-}" in
    "") release ;;
    installer)
        [ $# -eq 3 ] || { echo "usage: $0 installer DLL OUTDIR" >&2; exit 2; }
        build_installer "$2" "$3" "${TC_BUILD_DIR:-$root/build}/gen/identity" ;;
    dll)
        [ $# -eq 2 ] || { echo "usage: $0 dll BUILDDIR" >&2; exit 2; }
        build_dll "$2" ;;
    *) echo "usage: $0 [installer DLL OUTDIR | dll BUILDDIR]" >&2; exit 2 ;;
esac
