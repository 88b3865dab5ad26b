# Sourced, through slots.sh, by the scripts that build the product or run
# Windows programs (tests, demo, benchmark, soak, screenshots): where the
# sources and the build live, the Wine environment, and the build itself.
# Never the user's home: everything lives in the build folder. The X
# displays and Wine prefixes that running Windows programs needs come from
# slots.sh.
TC_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export TC_BUILD_DIR=${TC_BUILD_DIR:-$TC_ROOT/build}

# The Wine environment of a slot (0 unless given).
tc_wine_env() {
    local slot=${1:-0}
    if [ "$slot" = 0 ]; then
        export WINEPREFIX=$TC_BUILD_DIR/wineprefix
    else
        export WINEPREFIX=$TC_BUILD_DIR/wineprefix-$slot
    fi
    export WINEARCH=win32
    export WINEDEBUG=${WINEDEBUG:--all}
    # Prefix creation would look for the .NET and HTML engines, which cannot
    # be downloaded here.
    export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
}

# Installs what is missing, then builds the given targets, or everything.
tc_build() {
    "$TC_ROOT/scripts/deps.sh"
    cmake -S "$TC_ROOT" -B "$TC_BUILD_DIR" >/dev/null
    if [ $# -eq 0 ]; then
        cmake --build "$TC_BUILD_DIR" -j"$(nproc)"
    else
        cmake --build "$TC_BUILD_DIR" -j"$(nproc)" --target "$@"
    fi
}

# A path as Wine sees it.
tc_winpath() { winepath -w "$1" 2>/dev/null; }

tc_wine_env 0
