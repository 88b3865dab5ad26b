#!/usr/bin/env bash
# Puts each fault of tests/mutants.txt alone into a copy of the sources,
# builds what its tests need, runs them, and reports whether they caught it.
# The sources themselves are never changed: the copy lives in
# $TC_BUILD_DIR/mutants, with a build of its own that stays between runs, so
# that each fault costs one file's compilation and the links of its tests.
#
#   scripts/mutants.sh [WORD]          every fault (or those whose "fault:"
#                                      line holds WORD); non-zero when any
#                                      is not caught
#   scripts/mutants.sh --scan REGEX [WORD]
#                                      runs every test whose ctest name
#                                      matches REGEX under each fault instead,
#                                      and lists those that fail: the tests
#                                      to name in a new entry
#
# Run by the test command (scripts/test.sh -L mutants) it takes the slot
# ctest gave it; run by hand it uses slot 0.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=slots.sh
source "$here/slots.sh"

scan=""
if [ "${1:-}" = --scan ]; then
    scan=${2:?--scan needs a ctest name pattern}
    shift 2
fi
only=${1:-}

list=$TC_ROOT/tests/mutants.txt
work=$TC_BUILD_DIR/mutants
copy=$work/src
build=$work/build
logs=$work/logs
mkdir -p "$copy" "$build" "$logs"

die() {
    echo "mutants: $*" >&2
    exit 2
}

# One run at a time: the copy and its build are shared.
exec 9>"$work/lock"
flock -n 9 || die "another run uses $work"

# --- The list -------------------------------------------------------------

faults=() files=() froms=() tos=() tests=()
add_entry() {
    [ -n "$e_fault$e_file$e_from$e_tests" ] || return 0
    if [ -z "$e_fault" ] || [ -z "$e_file" ] || [ -z "$e_from" ] || [ -z "$e_tests" ] || [ "$e_has_to" != 1 ]; then
        die "$list:$e_line: an entry needs fault, file, from, to and tests"
    fi
    if [ -z "$only" ] || [[ "$e_fault" == *"$only"* ]]; then
        faults+=("$e_fault") files+=("$e_file") froms+=("$e_from") tos+=("$e_to") tests+=("$e_tests")
    fi
}
e_fault="" e_file="" e_from="" e_to="" e_tests="" e_has_to=0 e_line=0 n=0
while IFS= read -r line || [ -n "$line" ]; do
    n=$((n + 1))
    case "$line" in
    '#'*) continue ;;
    '')
        add_entry
        e_fault="" e_file="" e_from="" e_to="" e_tests="" e_has_to=0
        continue
        ;;
    esac
    [ -n "$e_fault$e_file$e_from$e_tests" ] || e_line=$n
    key=${line%%:*}
    value=${line#*:}
    value=${value# }
    case "$key" in
    fault) e_fault=$value ;;
    file) e_file=$value ;;
    from) e_from=$value ;;
    to) e_to=$value e_has_to=1 ;;
    tests) e_tests=$value ;;
    *) die "$list:$n: unknown line: $line" ;;
    esac
done <"$list"
add_entry
[ ${#faults[@]} -gt 0 ] || die "no fault in $list${only:+ matches \"$only\"}"

# --- The copy of the sources ----------------------------------------------

# Files are copied only when their text differs, and then with a new time,
# so that the copy's build sees what changed and nothing else. Files gone
# from the sources go from the copy too: the build picks test files up by
# folder.
sync_copy() {
    local f wanted
    wanted=$(mktemp)
    (cd "$TC_ROOT" && git ls-files -co --exclude-standard) | sort >"$wanted"
    while IFS= read -r f; do
        [ -f "$TC_ROOT/$f" ] || continue
        if ! cmp -s "$TC_ROOT/$f" "$copy/$f"; then
            mkdir -p "$(dirname "$copy/$f")"
            cp "$TC_ROOT/$f" "$copy/$f"
        fi
    done <"$wanted"
    (cd "$copy" && find . -type f | sed 's|^\./||' | sort) | comm -13 "$wanted" - |
        while IFS= read -r f; do rm -f "$copy/$f"; done
    rm -f "$wanted"
}

# The file a fault is in comes back from the sources, with a new time, even
# when the run is stopped half-way.
mutated=""
restore() {
    if [ -n "$mutated" ]; then
        cp "$TC_ROOT/$mutated" "$copy/$mutated"
        mutated=""
    fi
}
tc_at_exit restore
trap 'exit 130' INT
trap 'exit 143' TERM

# Puts fault $1 into the copy; fails, saying why in $why, when its text is
# not there exactly once.
why=""
apply() {
    local i=$1 path=$copy/${files[$1]} text rest count=0
    [ -f "$path" ] || { why="no such file: ${files[$i]}"; return 1; }
    text=$(cat "$path"; printf x)
    text=${text%x}
    rest=$text
    while [[ "$rest" == *"${froms[$i]}"* ]]; do
        rest=${rest#*"${froms[$i]}"}
        count=$((count + 1))
    done
    [ "$count" = 1 ] || { why="\"${froms[$i]}\" occurs $count times in ${files[$i]}, not once"; return 1; }
    mutated=${files[$i]}
    printf '%s' "${text%%"${froms[$i]}"*}${tos[$i]}${text#*"${froms[$i]}"}" >"$path"
}

# --- Building and running tests -------------------------------------------

# The test program that holds a GoogleTest test, from its ctest name
# (area.Suite.Name) and the folder its source is in.
program_of() {
    local area=${1%%.*} rest=${1#*.} suite test kinds=() kind
    suite=${rest%%.*}
    test=${rest#*.}
    for kind in unit e2e; do
        if grep -lqPz "TEST(_F)?\(\s*\Q$suite\E,\s*\Q$test\E\s*\)" "$TC_ROOT"/tests/"$area"/$kind/*.cpp 2>/dev/null; then
            kinds+=("$kind")
        fi
    done
    [ ${#kinds[@]} = 1 ] || { echo "cannot tell which program runs $1" >&2; return 1; }
    echo "tc_${area}_${kinds[0]}"
}

# Builds the given targets in the copy's build; its log goes to $1.
build_targets() {
    local log=$1
    shift
    local target=()
    [ $# = 0 ] || target=(--target "$@")
    cmake --build "$build" -j"$(nproc)" "${target[@]}" >"$log" 2>&1
}

slot=$(tc_ctest_slot)
slots_file=$work/slot.json
printf '{"version": {"major": 1, "minor": 0}, "local": [{"slot": [{"id": "%s", "slots": 1}]}]}\n' "$slot" >"$slots_file"

# Runs the tests whose names match the regex $2 in the copy's build, log to
# $1; prints the names of those that failed. Fails when the tests did not
# run, or not as many as $3 (when given).
failing_tests() {
    local log=$1 regex=$2 expected=${3:-} ran
    rm -f "$build/Testing/Temporary/LastTestsFailed.log"
    (cd "$build" && ctest --output-on-failure --no-tests=error --resource-spec-file "$slots_file" -R "$regex") >"$log" 2>&1 || true
    ran=$(sed -n 's/.* tests failed out of \([0-9]*\)$/\1/p' "$log")
    [ -n "$ran" ] || { echo "mutants: the tests did not run, see $log" >&2; return 1; }
    [ -z "$expected" ] || [ "$ran" = "$expected" ] ||
        { echo "mutants: $ran tests ran, not $expected, see $log" >&2; return 1; }
    if [ -f "$build/Testing/Temporary/LastTestsFailed.log" ]; then
        sed 's/^[0-9]*://' "$build/Testing/Temporary/LastTestsFailed.log"
    fi
}

regex_of() {
    local names=() t
    for t in "$@"; do names+=("${t//./\\.}"); done
    local IFS='|'
    echo "^(${names[*]})\$"
}

# --- The run --------------------------------------------------------------

# Run by hand, slot 0 needs its display and prefix; under the test command
# they are up already, and used by other tests meanwhile.
if [ -z "${CTEST_RESOURCE_GROUP_0_SLOT:-}" ]; then
    tc_display
    tc_wine_prefix 0
fi
# The copy's tests run in the slot's prefix of the real build.
prefix_name=wineprefix
[ "$slot" = 0 ] || prefix_name=wineprefix-$slot
ln -sfn "$TC_BUILD_DIR/$prefix_name" "$build/$prefix_name"

sync_copy
cmake -S "$copy" -B "$build" >"$logs/configure.log" 2>&1 || die "configuring the copy failed, see $logs/configure.log"

targets_of_entry() {
    local t
    for t in ${tests[$1]}; do program_of "$t" || return 1; done | sort -u
}

# Without any fault the named tests must pass, or a failure says nothing.
if [ -z "$scan" ]; then
    all_tests=() all_targets=()
    for i in "${!faults[@]}"; do
        read -r -a names <<<"${tests[$i]}"
        all_tests+=("${names[@]}")
        t=$(targets_of_entry "$i") || die "entry \"${faults[$i]}\": a test name is stale"
        read -r -a t <<<"$(tr '\n' ' ' <<<"$t")"
        all_targets+=("${t[@]}")
    done
    mapfile -t all_tests < <(printf '%s\n' "${all_tests[@]}" | sort -u)
    mapfile -t all_targets < <(printf '%s\n' "${all_targets[@]}" | sort -u)
    echo "Building and running the named tests without a fault..."
    build_targets "$logs/clean-build.log" "${all_targets[@]}" || die "the copy does not build, see $logs/clean-build.log"
    failed=$(failing_tests "$logs/clean-tests.log" "$(regex_of "${all_tests[@]}")" "${#all_tests[@]}") ||
        die "see above"
    [ -z "$failed" ] || die "these tests fail without any fault, see $logs/clean-tests.log: $failed"
else
    echo "Building everything..."
    build_targets "$logs/clean-build.log" || die "the copy does not build, see $logs/clean-build.log"
fi

caught=0 missed=()
for i in "${!faults[@]}"; do
    log=$logs/fault-$((i + 1))
    echo "[$((i + 1))/${#faults[@]}] ${faults[$i]} (${files[$i]})"
    if ! apply "$i"; then
        echo "    STALE: $why"
        missed+=("${faults[$i]} (stale entry)")
        continue
    fi
    if [ -n "$scan" ]; then
        if ! build_targets "$log-build.log"; then
            echo "    BROKEN: does not build, see $log-build.log"
        else
            failed=$(failing_tests "$log-tests.log" "$scan") || failed="(did not run)"
            echo "    failing: ${failed:-none}" | tr '\n' ' '
            echo
        fi
        restore
        continue
    fi
    read -r -a names <<<"${tests[$i]}"
    read -r -a targets <<<"$(targets_of_entry "$i" | tr '\n' ' ')"
    if ! build_targets "$log-build.log" "${targets[@]}"; then
        echo "    BROKEN: does not build, see $log-build.log"
        missed+=("${faults[$i]} (does not build)")
    elif ! failed=$(failing_tests "$log-tests.log" "$(regex_of "${names[@]}")" "${#names[@]}"); then
        missed+=("${faults[$i]} (tests did not run)")
    else
        passed=()
        for t in "${names[@]}"; do
            grep -qxF "$t" <<<"$failed" || passed+=("$t")
        done
        if [ ${#passed[@]} = 0 ]; then
            echo "    caught"
            caught=$((caught + 1))
        else
            echo "    NOT caught: ${passed[*]} passed, see $log-tests.log"
            missed+=("${faults[$i]}")
        fi
    fi
    restore
done

[ -z "$scan" ] || exit 0
echo
echo "$caught of ${#faults[@]} caught"
for m in "${missed[@]}"; do echo "  not caught: $m"; done
[ ${#missed[@]} = 0 ]
