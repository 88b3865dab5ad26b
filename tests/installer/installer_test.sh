#!/usr/bin/env bash
# The Windows installer end to end under Wine. Each scenario builds the
# installer from this build tree's DLL with scripts/release.sh, runs it
# silently, checks the files and keys, lets the simulated host load the
# plug-in through the registration alone, uninstalls, and checks that exactly
# what the installer added is gone: the registry and the user folders are
# compared whole with how they were before. The uninstaller's give-back of
# the user's own quick text 09, the refusals of the setup and the
# uninstaller while Messenger has the plug-in loaded, the all-users folder
# rule, and what a run with administrator rights leaves in %TEMP% are
# checked with them. Wine gives every program administrator rights:
# TC_TEST_AS_STANDARD_USER=1 makes the setup and the uninstaller take the
# road of a user without them. The windows are driven by
# tc_installer_driver.exe, built beside the tests.
#
#   installer_test.sh SOURCE_DIR BUILD_DIR SCENARIO
#
# Scenarios: per-user, all-users, failures (and refusals: a newer version
# installed, Windows older than 7), moves (a second folder, another
# program's files), restart (files left to the next restart), signed (a
# release signed with a throwaway certificate, and the setup built twice).
set -euo pipefail

src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
scenario=$3

export TC_BUILD_DIR=$build
# shellcheck source=../../scripts/slots.sh
source "$src/scripts/slots.sh"
# The prefix and display of the slot ctest gave this test (the test command
# prepares them); by hand, slot 0's.
tc_slot_env
# The product's names, as the build generated them for the setup.
# shellcheck source=/dev/null
source "$build/gen/identity/identity.env"
work=$build/installer-test/$scenario
rm -rf "$work"
mkdir -p "$work"

settings_key="HKCU\\$TC_SETTINGS_KEY"
saved_key="$settings_key\\SavedQuickText09"
# The add-on's root under HKEY_CURRENT_USER, and a user's quick-text slot.
addon_root='Software\Venmoor\Kestrix2'
slot_of() { echo "$addon_root\\$1\\Preferences\\QuickTexts\\QuickText$2"; }
host_slot_key="HKCU\\$(slot_of someone@example.com 01)"
uninst_subkey="Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$TC_PRODUCT_NAME"
uninstaller="Uninstall $TC_PRODUCT_NAME.exe"
progid=$TC_PROGID
dll_file=$TC_DLL_FILE

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
die() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "--- $*"; }

wine_run() { "$src/scripts/wine-run.sh" "$@"; }
# Runs PROGRAM (in DIR) through cmd with its switches as they are: Wine
# quotes an argument with a space, and the setup reads neither "/D=..." nor
# "_?=..." in quotes.
wine_cmdline() {  # DIR PROGRAM SWITCHES...
    local dir=$1; shift
    (cd "$dir" && wine_run cmd /c "$*")
}
driver() { wine_run "$build/bin/tc_installer_driver.exe" "$@"; }
winpath() { winepath -w "$1" 2>/dev/null; }
unixpath() { winepath -u "$1" 2>/dev/null; }

# --- The display and the prefix ------------------------------------------
holder_pid=
cleanup() {
    if [ -n "$holder_pid" ]; then touch "$work/release"; fi
    tc_cleanup
}
if [ -z "${DISPLAY:-}" ]; then tc_display; fi
trap cleanup EXIT
[ -f "$WINEPREFIX/system.reg" ] || die "no Wine prefix at $WINEPREFIX: run scripts/test.sh"

# --- Registry helpers ----------------------------------------------------
key_exists() { wine_run reg query "$1" >/dev/null 2>&1; }

# reg_value KEY NAME: the value's data as reg prints it ("" names the default).
reg_value() {
    local out
    if [ -z "$2" ]; then out=$(wine_run reg query "$1" /ve 2>/dev/null) || return 1
    else out=$(wine_run reg query "$1" /v "$2" 2>/dev/null) || return 1
    fi
    local name=${2:-(Default)}
    printf '%s\n' "$out" | tr -d '\r' | awk -v n="$name" '
        { line = $0; sub(/^    /, "", line) }
        index(line, n "    REG_") == 1 {
            rest = substr(line, length(n) + 5); sub(/^REG_[A-Z_]+    /, "", rest)
            if (rest ~ /^REG_[A-Z_]+$/) rest = ""
            print rest; found = 1; exit
        }
        END { exit !found }'
}

expect_value() {  # KEY NAME EXPECTED
    local got
    if ! got=$(reg_value "$1" "$2"); then fail "$1 [$2] is missing"; return; fi
    [ "$got" = "$3" ] || fail "$1 [$2] is '$got', expected '$3'"
}

# export_reg KEY FILE [filtered]: the key's whole tree as UTF-8 text (empty
# when the key does not exist). Filtered, it leaves out the plug-in's settings
# and the host's keys, which the plug-in itself writes while it runs: those
# are the user's and are checked on their own; and Wine's own keeping of the
# desktop's state, which any program with windows changes.
user_trees=("HKEY_CURRENT_USER\\$TC_SETTINGS_KEY" 'HKEY_CURRENT_USER\Software\Venmoor'
            'HKEY_CURRENT_USER\Software\Wine\Temporary System Parameters')
export_reg() {
    local tmp="$work/export.reg" skip=
    rm -f "$tmp"
    if ! wine_run reg export "$1" "$(winpath "$tmp")" /y >/dev/null 2>&1; then : >"$2"; return; fi
    [ "${3:-}" = filtered ] && skip=$(printf '%s\n' "${user_trees[@]}")
    iconv -f UTF-16 -t UTF-8 "$tmp" | tr -d '\r' | awk -v skip="$skip" '
        BEGIN { n = split(skip, s, "\n") }
        /^\[/ {
            drop = 0
            for (i = 1; i <= n; i++)
                if (s[i] != "" && (index($0, "[" s[i] "]") == 1 || index($0, "[" s[i] "\\") == 1)) drop = 1
        }
        !drop' >"$2"
}

# Leaves out the keys of the add-on's quick-text slots 09, which the
# uninstaller gives back: those are checked on their own.
without_slots09() { awk '/^\[/ { drop = ($0 ~ /\\QuickText09\]$/) } !drop' "$1"; }

without_profile() {  # NAME: the add-on's keys of that sign-in name left out
    local leaf=${addon_root##*\\}
    awk -v p="\\\\$leaf\\\\$1" '/^\[/ { drop = index($0, p "]") > 0 || index($0, p "\\") > 0 } !drop'
}

snapshot() {  # NAME: the registry hives and the user and program folders
    export_reg 'HKCU' "$work/$1.hkcu" filtered
    export_reg 'HKLM\Software' "$work/$1.hklm" filtered
    (cd "$WINEPREFIX/drive_c" && find users "Program Files" -path 'users/*/Temp' -prune -o -print |
        sort) >"$work/$1.files"
}

expect_same() {  # BEFORE AFTER WHAT
    local part
    for part in hkcu hklm files; do
        if ! diff -u "$work/$1.$part" "$work/$2.$part" >"$work/$2.$part.diff"; then
            fail "$3: $part differs from before:"
            head -40 "$work/$2.$part.diff" >&2
        fi
    done
}

# --- Installer steps -----------------------------------------------------
build_setup() {  # DLL OUTDIR: prints the setup's path
    "$src/scripts/release.sh" installer "$1" "$2" >&2 || die "the installer did not build"
    ls "$2"/"$TC_PRODUCT_NAME"Setup-*.exe
}

# Runs the registered QuietUninstallString as a deployment tool does (the
# command line as it is, no shell) and expects its exit code, 0 unless
# given, of which Wine passes on the low eight bits: the command must return
# only once the uninstall is done.
quiet_uninstall() {  # ROOT (HKCU or HKLM) [CODE]
    local cmd rc=0
    cmd=$(reg_value "$1\\$uninst_subkey" QuietUninstallString) || { fail "no QuietUninstallString in $1"; return; }
    driver run "$cmd" || rc=$?
    [ "$rc" -eq $((${2:-0} % 256)) ] || fail "the quiet uninstall ($cmd) exited with $rc, expected ${2:-0}"
}

# Run in place, the uninstaller leaves its own file to a copy of it that
# deletes it once the uninstaller has ended.
await_gone() {  # FILE(unix)
    for _ in $(seq 300); do
        [ -e "$1" ] || return 0
        sleep 0.1
    done
    fail "$1 was still there 30 s after the uninstall"
}

# Runs a copy of the uninstaller with _?= so that it works in place and we
# wait for it: the way scripts uninstall synchronously.
uninstall_in_place() {  # INSTDIR(windows) ARGS...
    local dir=$1; shift
    cp "$(unixpath "$dir\\$uninstaller")" "$work/Uninstall-copy.exe"
    wine_cmdline "$work" Uninstall-copy.exe "$@" "_?=$dir" || fail "the uninstaller exited with $?"
}

# The same, expecting the exit code CODE, of which Wine passes on the low
# eight bits.
uninstall_in_place_fails() {  # CODE INSTDIR(windows) ARGS...
    local code=$1 dir=$2 rc=0; shift 2
    cp "$(unixpath "$dir\\$uninstaller")" "$work/Uninstall-copy.exe"
    wine_cmdline "$work" Uninstall-copy.exe "$@" "_?=$dir" || rc=$?
    [ "$rc" -eq $((code % 256)) ] || fail "the uninstaller exited with $rc, expected $code"
}

# The registration that the host sees: the ProgID leads to the class, whose
# in-process server must be the installed DLL.
expect_registration() {  # ROOT DLL(windows)
    local clsid
    clsid=$(reg_value "$1\\Software\\Classes\\$progid\\CLSID" "") || { fail "$progid is not registered under $1"; return; }
    expect_value "$1\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" "" "$2"
    expect_value "$1\\Software\\Classes\\CLSID\\$clsid\\ProgID" "" "$progid.1"
}

# The registration's trees under the registry root, as the build lists them
# for the setup.
mapfile -t registration_trees < <(sed -n 's/^ *!insertmacro \${action} [0-9]* "\(.*\)"$/\1/p' \
                                  "$build/gen/identity/identity.nsh")
[ "${#registration_trees[@]}" -gt 0 ] || die "no registration trees in the build's identity.nsh"
interface_tree=$(printf '%s\n' "${registration_trees[@]}" | grep '\\Interface\\')

export_registration() {  # ROOT FILE: every key and value of the trees
    local tree
    : >"$2"
    for tree in "${registration_trees[@]}"; do
        export_reg "$1\\$tree" "$work/tree.reg"
        grep -v '^Windows Registry Editor' "$work/tree.reg" >>"$2" || true
    done
}

# Runs a Windows program with Wine's record of every DLL that it and the
# programs it starts load, and sets $loaded_from to the lines of those
# loaded from FOLDER; returns the program's exit code.
loaded_from=
run_recording_loads() {  # FOLDER(windows) PROGRAM ARGS...
    local folder=$1 rc=0; shift
    WINEDEBUG=+loaddll wine_run "$@" 2>"$work/loads.trace" || rc=$?
    loaded_from=$(sed 's/\\\\/\\/g' "$work/loads.trace" | grep -iF "Loaded L\"$folder\\" || true)
    return "$rc"
}

# The deletes that Windows holds for the next restart, one path a line.
pending_deletes() {
    wine_run reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
        /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' |
        sed -n 's/.*REG_MULTI_SZ *//p' | sed 's/\\0/\n/g' | sed 's/^\\??\\//' | grep -v '^$' || true
}

expect_entry() {  # ROOT INSTDIR(windows)
    local k="$1\\$uninst_subkey"
    expect_value "$k" DisplayName "$TC_PRODUCT_NAME"
    expect_value "$k" DisplayVersion "1.0.0.0"
    expect_value "$k" Publisher "$TC_PUBLISHER"
    expect_value "$k" UninstallString "\"$2\\$uninstaller\" _?=$2"
    expect_value "$k" QuietUninstallString "\"$2\\$uninstaller\" /S _?=$2"
    expect_value "$k" DisplayIcon "$2\\$dll_file,0"
    expect_value "$k" URLInfoAbout "http://www.example.com/"
    expect_value "$k" HelpLink "mailto:dorvin@example.com"
    expect_value "$k" NoModify 0x1
    expect_value "$k" NoRepair 0x1
}

# The DLL installed is the one released beside the setup, stripped; the
# folder holds nothing else but the uninstaller and the files named.
expect_installed_files() {  # INSTDIR(windows) [OTHER FILES...]
    local dir
    dir=$(unixpath "$1")
    [ -d "$dir" ] || { fail "no folder $1"; return; }
    cmp -s "$dir/$dll_file" "$work/setup/$dll_file" || fail "$1\\$dll_file is not the packaged DLL"
    if i686-w64-mingw32-objdump -h "$dir/$dll_file" | grep -q '[[:space:]]\.debug_'; then
        fail "$1\\$dll_file carries debug sections"
    fi
    [ -f "$dir/$uninstaller" ] || fail "no $1\\$uninstaller"
    [ "$(ls "$dir" | sort | tr '\n' '|')" = "$(printf '%s\n' "$uninstaller" "$dll_file" "${@:2}" | sort | tr '\n' '|')" ] ||
        fail "$1 holds other files than expected: $(ls "$dir" | tr '\n' '|')"
}

# The simulated host creates the plug-in from the registry alone and a song
# change of the simulated player reaches the simulated messenger.
host_finds_plugin() {
    local host="$build/bin/sim_host.exe"
    if [ ! -f "$host" ]; then
        echo "PENDING: $host is not built yet; the host step is skipped"
        return
    fi
    wine_run "$host" --expect-song-change || fail "the simulated host did not see a song change (exit $?)"
}

seed_user_state() {
    wine_run reg add "$settings_key\\Data" /v TagPl /d "kept tag" /f >/dev/null
    wine_run reg add "$settings_key\\Data" /v onOff /d 1 /f >/dev/null
    wine_run reg add "$host_slot_key" /v Message /d "hello" /f >/dev/null
}

expect_user_state_kept() {
    expect_value "$settings_key\\Data" TagPl "kept tag"
    expect_value "$host_slot_key" Message "hello"
}

# --- The user's own quick text 09 --------------------------------------
slot09() { echo "HKCU\\$(slot_of "$1" 09)"; }
saved_users=(alice@example.com bob@example.com)

# Two users' own slot 09 as the plug-in found them, the copies it kept of
# them (the same values, "Saved" written last), and the slots then
# overwritten as the plug-in does, with its record of that write: one held
# a text of the user's own with AutoSend off, the other no text at all.
seed_saved_slots() {
    local name
    wine_run reg add "$(slot09 alice@example.com)" /v Message /d "my own text" /f >/dev/null
    wine_run reg add "$(slot09 alice@example.com)" /v AutoSend /t REG_DWORD /d 0 /f >/dev/null
    wine_run reg add "$(slot09 bob@example.com)" /v AutoSend /t REG_DWORD /d 0 /f >/dev/null
    wine_run reg add "$saved_key\\alice@example.com" /v Message /d "my own text" /f >/dev/null
    wine_run reg add "$saved_key\\alice@example.com" /v AutoSend /t REG_DWORD /d 0 /f >/dev/null
    wine_run reg add "$saved_key\\bob@example.com" /v AutoSend /t REG_DWORD /d 0 /f >/dev/null
    for name in "${saved_users[@]}"; do
        wine_run reg add "$saved_key\\$name" /v Saved /t REG_DWORD /d 1 /f >/dev/null
        wine_run reg add "$saved_key\\$name" /v Written /d "/name Ann listening: (!WAT)" /f >/dev/null
        export_reg "$(slot09 "$name")" "$work/slot-$name.own"
        wine_run reg add "$(slot09 "$name")" /v Message /d "/name Ann listening: (!WAT)" /f >/dev/null
        wine_run reg add "$(slot09 "$name")" /v AutoSend /t REG_DWORD /d 1 /f >/dev/null
    done
}

expect_slots_given_back() {
    local name
    for name in "${saved_users[@]}"; do
        export_reg "$(slot09 "$name")" "$work/slot-$name.now"
        cmp -s "$work/slot-$name.own" "$work/slot-$name.now" ||
            fail "$name's slot 09 is not as it was: $(diff "$work/slot-$name.own" "$work/slot-$name.now" | tr '\n' ' ')"
    done
    if key_exists "$saved_key"; then fail "the copies of the slots are still there"; fi
}

# Leaves out the copies of the slots, which the uninstaller gives back.
without_saved_slots() { awk '/^\[/ { drop = index($0, "\\SavedQuickText09") > 0 } !drop' "$1"; }

# --- A running Messenger -------------------------------------------------
# Keeps DLL loaded in a process of its own until release_plugin; with
# "open", keeps the file open as a virus scanner may, so that it cannot be
# deleted.
hold_plugin() {  # DLL(windows) [hold|open]
    rm -f "$work/held" "$work/release"
    driver "${2:-hold}" "$1" "$(winpath "$work")\\held" "$(winpath "$work")\\release" &
    holder_pid=$!
    for _ in $(seq 600); do
        [ -e "$work/held" ] && return
        kill -0 "$holder_pid" 2>/dev/null || break
        sleep 0.1
    done
    die "nothing could keep $1 loaded or open"
}

release_plugin() {
    touch "$work/release"
    if [ -n "$holder_pid" ]; then wait "$holder_pid" || true; fi
    holder_pid=
}

# The question on screen asks to close Messenger, with Retry and Cancel; the
# plug-in is let go and Retry pressed, as a user who closed Messenger does.
answer_close_messenger() {
    local question
    question=$(driver await Retry) || { fail "no question while Messenger has the plug-in loaded"; return; }
    grep -q "Close Messenger" <<<"$question" && grep -qx Cancel <<<"$question" ||
        fail "the question does not ask to close Messenger, with Retry and Cancel: $question"
    release_plugin
    driver press Retry >/dev/null || fail "Retry could not be pressed"
}

# Starts from a prefix with nothing of ours in it: no install left by an
# earlier, interrupted run, and no registration left by other tests (they
# share this prefix), which the before-and-after comparison would count.
forget_earlier_runs() {
    local root dir dll
    for root in HKCU HKLM; do
        dir=$(reg_value "$root\\$uninst_subkey" InstallLocation) || continue
        if [ -f "$(unixpath "$dir\\$uninstaller")" ]; then uninstall_in_place "$dir" /S; fi
        wine_run reg delete "$root\\$uninst_subkey" /f >/dev/null 2>&1 || true
    done
    rm -rf "$(unixpath "$user_dir")" "$(unixpath "${user_dir}Elsewhere")" "$(unixpath "${user_dir}Signed")" \
           "$(unixpath "$localappdata\\SharedTools")" "$(unixpath "$machine_dir")" \
           "$(unixpath "$machine_dir Custom")"
    dll=$(winpath "$build/bin/$dll_file")
    wine_run regsvr32 /u /s /n /i:user "$dll" >/dev/null 2>&1 || true
    wine_run regsvr32 /u /s "$dll" >/dev/null 2>&1 || true
    wine_run reg delete "$settings_key" /f >/dev/null 2>&1 || true
    wine_run reg delete 'HKCU\Software\Venmoor' /f >/dev/null 2>&1 || true
    rm -f "$temp/$TC_PRODUCT_NAME "*.log
    # Windows always has these; a fresh Wine prefix gets them only with the
    # first per-user registration, whose removal rightly leaves them.
    for key in CLSID Interface TypeLib; do
        wine_run reg add "HKCU\\Software\\Classes\\$key" /f >/dev/null
    done
}

localappdata=$(wine_run cmd /c 'echo %LOCALAPPDATA%' | tr -d '\r')
temp=$(unixpath "$(wine_run cmd /c 'echo %TEMP%' | tr -d '\r')")
programfiles=$(wine_run cmd /c 'echo %ProgramFiles%' | tr -d '\r')
user_dir="$localappdata\\$TC_PRODUCT_NAME"
machine_dir="$programfiles\\$TC_PRODUCT_NAME"
[ -n "$localappdata" ] && [ -n "$programfiles" ] && [ -n "$temp" ] || die "Wine did not tell the user folders"

# The plain log of the last setup or uninstall. Every program has
# administrator rights under Wine, and a run with them writes a new log each
# time, whose name nobody could have prepared; never the fixed name of a run
# without them.
log_of() {  # setup|uninstall
    ls -t "$temp/$TC_PRODUCT_NAME $1 "*.log 2>/dev/null | head -1
}

# The plain log of the last setup or uninstall ends with its exit code.
expect_log() {  # setup|uninstall CODE
    local log
    log=$(log_of "$1")
    [ -f "$log" ] || { fail "no $1 log in %TEMP%"; return; }
    [ "$(tail -1 "$log" | tr -d '\r')" = "exit code $2" ] ||
        fail "the $1 log does not end with its exit code $2: $(tail -3 "$log" | tr '\r\n' '  ')"
    if [ -e "$temp/$TC_PRODUCT_NAME $1.log" ]; then
        fail "a run with administrator rights wrote its $1 log under a fixed name"
    fi
}

temp_listing() { (cd "$temp" && LC_ALL=C ls); }

# Nothing of ours stays in %TEMP% after an uninstall but its log: what a run
# with administrator rights cannot remove at once (Windows does not let a
# running program's file go) is to go at the next restart. Awaited: the copy
# that removes the uninstaller schedules its own removal last.
expect_temp_clean() {  # LISTING-BEFORE
    local left pending entry unsettled
    for _ in $(seq 60); do
        left=$(temp_listing | LC_ALL=C comm -13 "$1" - | grep -v "^$TC_PRODUCT_NAME .*\.log\$" || true)
        pending=$(wine_run reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
                  /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' || true)
        unsettled=
        while IFS= read -r entry; do
            # Gone meanwhile: Wine acts on the restart list when its server starts.
            if [ -n "$entry" ] && [ -e "$temp/$entry" ] && ! grep -qF "Temp\\$entry" <<<"$pending"; then
                unsettled+="$entry; "
            fi
        done <<<"$left"
        [ -z "$unsettled" ] && return 0
        sleep 0.5
    done
    fail "left in %TEMP% after the uninstall (hang guard: 30 s): $unsettled"
}

# Runs the setup silently with SWITCHES, expecting exit code CODE.
setup_exits() {  # CODE SWITCHES...
    local code=$1 rc=0; shift
    wine_cmdline "$work/setup" "$(basename "$setup")" "$@" || rc=$?
    [ "$rc" -eq $((code % 256)) ] || fail "the setup $* exited with $rc, expected $code"
}

[ -f "$build/bin/$dll_file" ] || die "build the DLL first: $build/bin/$dll_file"
[ -f "$build/bin/tc_installer_driver.exe" ] || die "build tc_installer_driver first"
step "building the installer"
setup=$(build_setup "$build/bin/$dll_file" "$work/setup")
forget_earlier_runs
seed_user_state

case "$scenario" in
per-user)
    snapshot before
    step "installing silently for the current user, with administrator rights as every program has them under Wine: the log says whose profile"
    wine_run "$setup" /S || fail "the installer exited with $?"
    expect_log setup 0
    grep -q "^This setup runs with administrator rights, as .*: it installs $TC_PRODUCT_NAME for that Windows account alone, in its profile" \
        "$(log_of setup)" || fail "the setup's log does not say whose profile it installs into: $(tr '\r\n' '  ' <"$(log_of setup)")"
    expect_installed_files "$user_dir"
    expect_entry HKCU "$user_dir"
    expect_registration HKCU "$user_dir\\$dll_file"
    key_exists "HKLM\\$uninst_subkey" && fail "a per-user install wrote a machine-wide uninstall entry"
    key_exists "HKLM\\Software\\Classes\\$progid" && fail "a per-user install registered machine-wide"

    step "installing again over it loads nothing from the install folder, which the user can write"
    run_recording_loads "$user_dir" "$setup" /S || fail "installing over an earlier install exited with $?"
    [ -z "$loaded_from" ] || fail "the setup loaded code from the install folder: $loaded_from"
    grep -q "written as data, the DLL is not run" "$(log_of setup)" || fail "the setup's log does not say how it registers"
    expect_installed_files "$user_dir"
    expect_entry HKCU "$user_dir"
    expect_registration HKCU "$user_dir\\$dll_file"

    step "the registration the setup writes is the one the DLL writes, value for value"
    export_registration HKCU "$work/registration.setup"
    for tree in "${registration_trees[@]}"; do wine_run reg delete "HKCU\\$tree" /f >/dev/null 2>&1 || true; done
    # The way the setup registered before: the DLL runs, from the install
    # folder, and the record shows it.
    run_recording_loads "$user_dir" regsvr32 /s /n /i:user "$user_dir\\$dll_file" || fail "regsvr32 exited with $?"
    [ -n "$loaded_from" ] || fail "the record of loaded DLLs does not show regsvr32 loading the plug-in"
    export_registration HKCU "$work/registration.dll"
    diff -u "$work/registration.dll" "$work/registration.setup" >"$work/registration.diff" ||
        fail "the setup's registration differs from the DLL's: $(head -30 "$work/registration.diff")"

    step "the simulated host loads the installed plug-in and lists its four commands"
    host_finds_plugin
    if [ -f "$build/bin/sim_host.exe" ]; then
        commands=$(wine_run "$build/bin/sim_host.exe" | tr -d '\r')
        for command in /xwinampoptions /xwinampabout /xwinampon /xwinampoff; do
            grep -qF "$command" <<<"$commands" || fail "the host does not list $command: $commands"
        done
    fi
    expect_user_state_kept

    step "uninstalling with the registered quiet command, keeping the settings"
    dir=$(unixpath "$user_dir")
    echo "mine" >"$dir/my notes.txt"
    seed_saved_slots
    export_reg "$settings_key" "$work/settings-before"
    export_reg 'HKCU\Software\Venmoor' "$work/host-before"
    temp_listing >"$work/temp-before"
    WINEDEBUG=+loaddll quiet_uninstall HKCU 2>"$work/loads.trace"
    grep '^FAIL' "$work/loads.trace" >&2 || true
    await_gone "$dir/$uninstaller"
    expect_log uninstall 0
    expect_temp_clean "$work/temp-before"
    # The copy that removes the uninstaller unpacks NSIS's plug-ins into its
    # own folder, held since its creation: the only folder of plug-ins made
    # for them in %TEMP% is the uninstaller's own.
    plugin_dirs=$(sed 's/\\\\/\\/g' "$work/loads.trace" | sed -n 's/.*Loaded L"\(.*\)\\System\.dll".*/\1/Ip' | sort -u)
    [ "$(grep -c '\\ns[^\\]*\.tmp$' <<<"$plugin_dirs")" = 1 ] &&
        grep -q "[\\]$TC_PRODUCT_NAME [0-9A-F]\{8\}\$" <<<"$plugin_dirs" ||
        fail "the plug-ins were not loaded from the uninstaller's folder and the copy's own: $plugin_dirs"
    [ "$(ls "$dir")" = "my notes.txt" ] || fail "the uninstaller removed the user's file or left its own: $(ls "$dir")"
    rm -f "$dir/my notes.txt"
    rmdir "$dir"
    export_reg "$settings_key" "$work/settings-after"
    export_reg 'HKCU\Software\Venmoor' "$work/host-after"
    expect_slots_given_back
    [ -s "$work/settings-after" ] && cmp -s <(without_saved_slots "$work/settings-before") "$work/settings-after" ||
        fail "the uninstaller changed the user's settings without being asked"
    # The host signed in as Ann, whose slot the plug-in made: it goes, and
    # the keys made for it with it.
    cmp -s <(without_slots09 "$work/host-before" | without_profile ann@example.com) \
           <(without_slots09 "$work/host-after") ||
        fail "the uninstaller changed the host's keys"
    key_exists "HKCU\\$addon_root\\ann@example.com" &&
        fail "the slot the plug-in made left keys behind"
    snapshot after
    expect_same before after "after the uninstall"

    step "reinstalling finds the settings; uninstalling with /REMOVESETTINGS removes them"
    wine_run "$setup" /S || fail "the second install exited with $?"
    expect_registration HKCU "$user_dir\\$dll_file"
    expect_user_state_kept
    uninstall_in_place "$user_dir" /S /REMOVESETTINGS
    key_exists "$settings_key" && fail "/REMOVESETTINGS left $settings_key"
    key_exists "$host_slot_key" || fail "/REMOVESETTINGS removed the host's keys"
    [ -e "$dir" ] && fail "the install folder is still there: $(ls "$dir")"
    snapshot after
    expect_same before after "after the uninstall with /REMOVESETTINGS"

    step "an install in a folder of the user's choice is updated there"
    other_dir="$localappdata\\${TC_PRODUCT_NAME}Elsewhere"
    wine_run "$setup" /S "/D=$other_dir" || fail "installing with /D exited with $?"
    wine_run "$setup" /S || fail "updating it exited with $?"
    expect_installed_files "$other_dir"
    expect_entry HKCU "$other_dir"
    expect_registration HKCU "$other_dir\\$dll_file"
    [ -e "$dir" ] && fail "the update installed a second copy in $user_dir"
    uninstall_in_place "$other_dir" /S
    snapshot after
    expect_same before after "after uninstalling from the chosen folder"

    step "while Messenger has the plug-in loaded, a silent uninstall exits with 32 and changes nothing"
    wine_run "$setup" /S || fail "the installer exited with $?"
    seed_saved_slots
    hold_plugin "$user_dir\\$dll_file"
    snapshot held
    export_reg "$settings_key" "$work/settings-held"
    export_reg 'HKCU\Software\Venmoor' "$work/host-held"
    cp "$dir/$dll_file" "$work/held.dll"
    uninstall_in_place_fails 32 "$user_dir" /S
    expect_log uninstall 32
    quiet_uninstall HKCU 32
    setup_exits 32 /S
    expect_log setup 32
    snapshot held-after
    expect_same held held-after "after the uninstall, the quiet uninstall and the setup refused while Messenger ran"
    export_reg "$settings_key" "$work/settings-held-after"
    export_reg 'HKCU\Software\Venmoor' "$work/host-held-after"
    cmp -s "$work/settings-held" "$work/settings-held-after" || fail "the refused uninstall changed the settings"
    cmp -s "$work/host-held" "$work/host-held-after" || fail "the refused uninstall changed the host's keys"
    cmp -s "$work/held.dll" "$dir/$dll_file" || fail "the refused uninstall changed the DLL"

    step "with its pages, the setup asks to close Messenger, and goes on after Retry; its pages say whose profile, and that the options are to be saved once"
    (rc=0; wine_run "$setup" || rc=$?; echo "$rc" >"$work/setup.rc") &
    setup_pid=$!
    answer_close_messenger
    page=$(driver press Install) || fail "no Install button after Retry"
    grep -q "runs with administrator rights, as .*for that Windows account alone, in its profile" <<<"$page" ||
        fail "the folder page does not say whose profile: $page"
    driver press "Next >" >/dev/null && page=$(driver press Finish) || fail "the setup did not finish"
    grep -q "/xwinampoptions" <<<"$page" && grep -qF "Save!!!" <<<"$page" ||
        fail "the last page does not say to save the options once: $page"
    wait "$setup_pid"
    [ "$(cat "$work/setup.rc")" = 0 ] || fail "the setup exited with $(cat "$work/setup.rc")"
    expect_entry HKCU "$user_dir"

    step "with its pages, it asks to close Messenger when that was started after the confirmation, and goes on after Retry"
    release_plugin
    cp "$dir/$uninstaller" "$work/Uninstall-copy.exe"
    (rc=0; wine_cmdline "$work" Uninstall-copy.exe "_?=$user_dir" || rc=$?; echo "$rc" >"$work/uninstaller.rc") &
    uninstaller_pid=$!
    driver press "Next >" >/dev/null || fail "no confirmation page"
    hold_plugin "$user_dir\\$dll_file"
    driver press Uninstall >/dev/null || fail "no Uninstall button"
    answer_close_messenger
    driver press Close >/dev/null || fail "the uninstall did not finish"
    wait "$uninstaller_pid"
    [ "$(cat "$work/uninstaller.rc")" = 0 ] || fail "the uninstaller exited with $(cat "$work/uninstaller.rc")"
    expect_slots_given_back
    snapshot after
    expect_same before after "after the uninstall that waited for Messenger"

    step "a newer text of the user's own in slot 09 stays at the uninstall; the copy goes"
    wine_run "$setup" /S || fail "the installer exited with $?"
    seed_saved_slots
    wine_run reg add "$(slot09 alice@example.com)" /v Message /d "my newer text" /f >/dev/null
    quiet_uninstall HKCU
    expect_value "$(slot09 alice@example.com)" Message "my newer text"
    export_reg "$(slot09 bob@example.com)" "$work/slot-bob.now"
    cmp -s "$work/slot-bob@example.com.own" "$work/slot-bob.now" || fail "bob's slot 09 was not given back"
    key_exists "$saved_key" && fail "the copies of the slots are still there"
    await_gone "$dir/$uninstaller"
    ;;

all-users)
    snapshot before
    step "without administrator rights, /ALLUSERS is refused with 740"
    export TC_TEST_AS_STANDARD_USER=1
    setup_exits 740 /S /ALLUSERS
    unset TC_TEST_AS_STANDARD_USER
    expect_log setup 740

    step "installing silently for all users"
    wine_run "$setup" /S /ALLUSERS || fail "the installer exited with $?"
    expect_installed_files "$machine_dir"
    expect_entry HKLM "$machine_dir"
    expect_registration HKLM "$machine_dir\\$dll_file"
    key_exists "HKCU\\$uninst_subkey" && fail "an all-users install wrote a per-user uninstall entry"
    key_exists "HKCU\\Software\\Classes\\$progid" && fail "an all-users install registered per user"
    [ -e "$(unixpath "$user_dir")" ] && fail "an all-users install wrote to $user_dir"

    step "the simulated host loads the installed plug-in"
    host_finds_plugin

    step "uninstalling with the registered quiet command"
    quiet_uninstall HKLM
    await_gone "$(unixpath "$machine_dir")"
    expect_user_state_kept
    snapshot after
    expect_same before after "after the uninstall"

    step "run with administrator rights by another account than the one signed in (a deployment tool, say): no account's quick text or settings are touched, and the log says what is left"
    wine_run "$setup" /S /ALLUSERS || fail "the installer exited with $?"
    seed_saved_slots
    export_reg "$settings_key" "$work/settings-other"
    export_reg 'HKCU\Software\Venmoor' "$work/host-other"
    TC_TEST_SESSION_ACCOUNT='OTHERPC\someone' uninstall_in_place "$machine_dir" /S /REMOVESETTINGS
    await_gone "$(unixpath "$machine_dir")"
    expect_log uninstall 0
    export_reg "$settings_key" "$work/settings-other-after"
    export_reg 'HKCU\Software\Venmoor' "$work/host-other-after"
    cmp -s "$work/settings-other" "$work/settings-other-after" ||
        fail "the uninstall by another account changed the settings or the copies of the slots"
    cmp -s "$work/host-other" "$work/host-other-after" || fail "the uninstall by another account changed the slots"
    grep -qF "while OTHERPC\\someone is signed in to this Windows session: it gives no account's quick text 09 back" "$(log_of uninstall)" &&
        grep -q "^Left for every other Windows account .*SavedQuickText09" "$(log_of uninstall)" ||
        fail "the log does not say what was left: $(tr '\r\n' '  ' <"$(log_of uninstall)")"
    wine_run reg delete "$saved_key" /f >/dev/null
    for name in "${saved_users[@]}"; do wine_run reg delete "$(slot09 "$name")" /f >/dev/null; done
    snapshot after
    expect_same before after "after the uninstall by another account"

    step "uninstalled without administrator rights: the install folder's uninstaller gets them, and the first run gives the quick texts back"
    wine_run "$setup" /S /ALLUSERS || fail "the installer exited with $?"
    seed_saved_slots
    temp_listing >"$work/temp-before"
    export TC_TEST_AS_STANDARD_USER=1
    # Refused by the part with rights while Messenger has the plug-in
    # loaded, the first run changes nothing of the user's either.
    hold_plugin "$machine_dir\\$dll_file"
    export_reg "$settings_key" "$work/settings-held"
    quiet_uninstall HKLM 32
    export_reg "$settings_key" "$work/settings-held-after"
    cmp -s "$work/settings-held" "$work/settings-held-after" ||
        fail "the refused uninstall without administrator rights changed the settings"
    release_plugin
    quiet_uninstall HKLM
    unset TC_TEST_AS_STANDARD_USER
    await_gone "$(unixpath "$machine_dir")"
    expect_slots_given_back
    expect_user_state_kept
    expect_log uninstall 0
    tr -d '\r' <"$(log_of uninstall)" >"$work/asked.log"
    started=$(sed -n 's/^Asking for administrator rights for "\([^"]*\)".*/\1/p' "$work/asked.log")
    [ "$started" = "$machine_dir\\$uninstaller" ] ||
        fail "the run with administrator rights was started from '$started', not from the install folder"
    # That run's lines lie between its own start and its end; the give-back
    # comes once, after them.
    elevated=$(grep -n '^command line: .*/ELEVATED=' "$work/asked.log" | cut -d: -f1)
    ended=$(grep -n '^The part with administrator rights ended with exit code 0' "$work/asked.log" | cut -d: -f1)
    given=$(grep -n '^Giving back your own quick text 09' "$work/asked.log" | cut -d: -f1)
    [ -n "$elevated" ] && [ -n "$ended" ] && [ "$(wc -w <<<"$given")" = 1 ] &&
        [ "$elevated" -lt "$ended" ] && [ "$ended" -lt "$given" ] ||
        fail "the quick texts were not given back by the first run alone, after the part with rights: $(tr '\n' '|' <"$work/asked.log")"
    expect_temp_clean "$work/temp-before"
    snapshot after
    expect_same before after "after the uninstall without administrator rights"

    step "a folder outside the program folder is refused with 161, however it is written"
    for outside in "C:\\users\\Public\\$TC_PRODUCT_NAME" "$programfiles\\..\\users\\Public\\$TC_PRODUCT_NAME" \
                   "${programfiles}X\\$TC_PRODUCT_NAME" "$programfiles"; do
        rc=0
        wine_cmdline "$work/setup" "$(basename "$setup")" /S /ALLUSERS "/D=$outside" || rc=$?
        [ "$rc" -eq 161 ] || fail "/ALLUSERS /D=$outside exited with $rc, expected 161"
    done
    snapshot after
    expect_same before after "after the refused folders"

    step "with its pages, a folder outside is refused on the folder page"
    (wine_run "$setup" /ALLUSERS || true) &
    setup_pid=$!
    driver set-text Install "C:\\users\\Public\\$TC_PRODUCT_NAME" >/dev/null || fail "no folder page"
    driver press Install >/dev/null || fail "no Install button"
    refusal=$(driver press OK) || fail "the folder outside was not refused"
    grep -q "program folder" <<<"$refusal" && grep -qF "($programfiles)" <<<"$refusal" ||
        fail "the refusal does not say why, naming the program folder: $refusal"
    driver press Cancel >/dev/null && driver press Yes >/dev/null || fail "the setup could not be closed"
    wait "$setup_pid"
    snapshot after
    expect_same before after "after the folder refused on the page"

    step "a folder inside the program folder is accepted in any case and spelling, and used by its full name"
    custom="$programfiles\\$TC_PRODUCT_NAME Custom"
    wine_cmdline "$work/setup" "$(basename "$setup")" /S /ALLUSERS \
        "/D=${programfiles,,}\\Other\\..\\$TC_PRODUCT_NAME Custom\\" || fail "the installer exited with $?"
    expect_installed_files "$custom"
    location=$(reg_value "HKLM\\$uninst_subkey" InstallLocation) || location=
    [ "${location,,}" = "${custom,,}" ] || fail "installed to '$location', expected '$custom'"
    quiet_uninstall HKLM
    await_gone "$(unixpath "$custom")"
    snapshot after
    expect_same before after "after uninstalling from the folder of that name"
    ;;

failures)
    snapshot before
    step "a registration that cannot be written fails the install with 3 and leaves nothing behind"
    # No lasting key can be made under a volatile one: the last of the trees
    # refuses, after the others were written.
    driver volatile-key "$interface_tree" >/dev/null || die "could not make a volatile key"
    snapshot volatile
    setup_exits 3 /S
    snapshot after
    expect_same volatile after "after the failed install"
    wine_run reg delete "HKCU\\$interface_tree" /f >/dev/null

    step "a failed install over a registration made by hand, with a DLL in the install folder, leaves both as they were"
    # A DLL without the registration entry points stands for the user's.
    printf 'int tc_not_a_plugin;\n' >"$work/not-a-plugin.c"
    i686-w64-mingw32-gcc -shared -o "$work/$dll_file" "$work/not-a-plugin.c" ||
        die "could not build a DLL of another kind"
    mkdir -p "$(unixpath "$user_dir")" "$(unixpath "$localappdata\\SharedTools")"
    cp "$work/$dll_file" "$(unixpath "$user_dir")/"
    by_hand="$localappdata\\SharedTools\\$dll_file"
    cp "$build/bin/$dll_file" "$(unixpath "$by_hand")"
    wine_run regsvr32 /s /n /i:user "$by_hand" || fail "registering by hand failed"
    # Its values change before the one that refuses, and must come back.
    driver deny-write "$interface_tree\\TypeLib" >/dev/null || die "could not protect the registration"
    snapshot by-hand
    setup_exits 3 /S
    cmp -s "$(unixpath "$user_dir\\$dll_file")" "$work/$dll_file" ||
        fail "the failed install changed the DLL that was there"
    snapshot after
    expect_same by-hand after "after the failed install over a registration made by hand"
    wine_run regsvr32 /u /s /n /i:user "$by_hand" || true
    rm -rf "$(unixpath "$user_dir")" "$(unixpath "$localappdata\\SharedTools")"

    step "a failed upgrade leaves the earlier install uninstallable"
    other_setup=$(build_setup "$work/$dll_file" "$work/other-setup")
    wine_run "$setup" /S || fail "the installer exited with $?"
    driver deny-write "$interface_tree\\TypeLib" >/dev/null || die "could not protect the registration"
    rc=0
    wine_run "$other_setup" /S || rc=$?
    [ "$rc" -eq 3 ] || fail "the upgrade that could not register exited with $rc, expected 3"
    expect_entry HKCU "$user_dir"
    expect_registration HKCU "$user_dir\\$dll_file"
    [ -f "$(unixpath "$user_dir\\$uninstaller")" ] || fail "the failed upgrade removed the uninstaller"
    cmp -s "$(unixpath "$user_dir\\$dll_file")" "$work/setup/$dll_file" ||
        fail "the failed upgrade did not put the earlier DLL back"
    uninstall_in_place "$user_dir" /S
    snapshot after
    expect_same before after "after uninstalling what the failed upgrade left"

    step "an install whose DLL was deleted by hand still uninstalls cleanly and gives the quick texts back"
    wine_run "$setup" /S || fail "the installer exited with $?"
    expect_registration HKCU "$user_dir\\$dll_file"
    seed_saved_slots
    rm -f "$(unixpath "$user_dir\\$dll_file")"
    uninstall_in_place "$user_dir" /S
    expect_slots_given_back
    snapshot after
    expect_same before after "after uninstalling the damaged install"

    step "a quick text that cannot be given back is kept with the settings; the rest is uninstalled, with 1013"
    wine_run "$setup" /S || fail "the installer exited with $?"
    # The slot holds the plug-in's last write but admits no values.
    wine_run reg add "$(slot09 carol@example.com)" /v Message /d "/name Carol" /f >/dev/null
    driver deny-write "$(slot_of carol@example.com 09)" >/dev/null ||
        die "could not protect carol's slot"
    wine_run reg add "$saved_key\\carol@example.com" /v Message /d "carol's own text" /f >/dev/null
    wine_run reg add "$saved_key\\carol@example.com" /v Saved /t REG_DWORD /d 1 /f >/dev/null
    wine_run reg add "$saved_key\\carol@example.com" /v Written /d "/name Carol" /f >/dev/null
    export_reg "$settings_key" "$work/settings-before"
    uninstall_in_place_fails 1013 "$user_dir" /S /REMOVESETTINGS
    export_reg "$settings_key" "$work/settings-after"
    cmp -s "$work/settings-before" "$work/settings-after" ||
        fail "the settings that hold the copy were changed: $(diff "$work/settings-before" "$work/settings-after" | tr '\n' ' ')"
    snapshot after
    expect_same before after "after the uninstall that could not give a quick text back"
    expect_log uninstall 1013
    wine_run reg delete "$settings_key" /f >/dev/null
    wine_run reg delete 'HKCU\Software\Venmoor' /f >/dev/null

    step "a newer version installed: the setup asks, silently refuses with 1638, and changes nothing, unless /ALLOWDOWNGRADE"
    wine_run "$setup" /S || fail "the installer exited with $?"
    wine_run reg add "HKCU\\$uninst_subkey" /v DisplayVersion /d 9.0.0.0 /f >/dev/null
    snapshot newer
    setup_exits 1638 /S
    (rc=0; wine_run "$setup" || rc=$?; echo "$rc" >"$work/setup.rc") &
    setup_pid=$!
    question=$(driver press No) || fail "with its pages, the setup did not ask before a downgrade"
    grep -q "9.0.0.0" <<<"$question" || fail "the question does not name the newer version: $question"
    wait "$setup_pid"
    [ "$(cat "$work/setup.rc")" = $((1638 % 256)) ] || fail "the declined downgrade exited with $(cat "$work/setup.rc")"
    snapshot after
    expect_same newer after "after the refused downgrades"
    setup_exits 0 /S /ALLOWDOWNGRADE
    expect_entry HKCU "$user_dir"
    uninstall_in_place "$user_dir" /S
    snapshot after
    expect_same before after "after the downgrade and its uninstall"

    step "Windows reported as Vista: the setup refuses with 1150 and installs nothing"
    appdefaults="HKCU\\Software\\Wine\\AppDefaults\\$(basename "$setup")"
    wine_run reg add "$appdefaults" /v Version /d vista /f >/dev/null
    setup_exits 1150 /S
    expect_log setup 1150
    grep -q "Windows 7" "$(log_of setup)" || fail "the refusal does not name Windows 7"
    wine_run reg delete "$appdefaults" /f >/dev/null
    snapshot after
    expect_same before after "after the setup refused on Vista"
    ;;

moves)
    snapshot before
    step "a second install into another folder moves the install there: one copy is left"
    other_dir="$localappdata\\${TC_PRODUCT_NAME}Elsewhere"
    wine_run "$setup" /S || fail "the installer exited with $?"
    cp "$(unixpath "$user_dir\\$uninstaller")" "$work/first-uninstaller.exe"
    setup_exits 0 /S "/D=$other_dir"
    expect_installed_files "$other_dir"
    expect_entry HKCU "$other_dir"
    expect_registration HKCU "$other_dir\\$dll_file"
    [ -e "$(unixpath "$user_dir")" ] && fail "the first folder is still there: $(ls "$(unixpath "$user_dir")")"

    step "the first folder's uninstaller finds no install of this account there: it refuses with 161 and touches nothing, the quick texts neither"
    seed_saved_slots
    snapshot moved
    export_reg "$settings_key" "$work/settings-moved"
    rc=0
    wine_cmdline "$work" first-uninstaller.exe /S "_?=$user_dir" || rc=$?
    [ "$rc" -eq 161 ] || fail "the first folder's uninstaller exited with $rc, expected 161"
    expect_log uninstall 161
    snapshot after
    expect_same moved after "after the first folder's uninstaller"
    export_reg "$settings_key" "$work/settings-after"
    cmp -s "$work/settings-moved" "$work/settings-after" || fail "the first folder's uninstaller changed the settings"
    expect_value "$(slot09 alice@example.com)" Message "/name Ann listening: (!WAT)"

    step "a folder with another program's Uninstall.exe: their files stay byte for byte"
    foreign_dir="$localappdata\\SharedTools"
    foreign=$(unixpath "$foreign_dir")
    rm -rf "$foreign"
    mkdir -p "$foreign"
    head -c 4096 /dev/urandom >"$foreign/Uninstall.exe"
    echo "their notes" >"$foreign/notes.txt"
    cp "$foreign/Uninstall.exe" "$work/their-uninstaller"
    setup_exits 0 /S "/D=$foreign_dir"
    expect_installed_files "$foreign_dir" Uninstall.exe notes.txt
    cmp -s "$foreign/Uninstall.exe" "$work/their-uninstaller" || fail "the setup changed their Uninstall.exe"
    [ -e "$(unixpath "$other_dir")" ] && fail "the install moved, but its old folder is still there"
    quiet_uninstall HKCU
    await_gone "$foreign/$uninstaller"
    [ "$(ls "$foreign" | tr '\n' '|')" = "Uninstall.exe|notes.txt|" ] || fail "the uninstall left or took files: $(ls "$foreign")"
    cmp -s "$foreign/Uninstall.exe" "$work/their-uninstaller" || fail "the uninstall changed their Uninstall.exe"
    rm -rf "$foreign"
    snapshot after
    expect_same before after "after the moves and the uninstall"
    ;;

restart)
    snapshot before
    step "a DLL that another program holds open goes at the next restart: the uninstall exits with 3010 and says so"
    wine_run "$setup" /S || fail "the installer exited with $?"
    hold_plugin "$user_dir\\$dll_file" open
    quiet_uninstall HKCU 3010
    release_plugin
    expect_log uninstall 3010
    grep -qF "$user_dir\\$dll_file could not be removed now: Windows deletes it at the next restart" "$(log_of uninstall)" ||
        fail "the log does not name the file left to the restart: $(tr '\r\n' '  ' <"$(log_of uninstall)")"
    await_gone "$(unixpath "$user_dir\\$uninstaller")"
    pending_deletes | grep -qixF "$user_dir\\$dll_file" || fail "Windows holds no delete of the DLL: $(pending_deletes)"

    step "without administrator rights, a setup run before that restart refuses with 350 and changes nothing"
    snapshot pending
    pending_deletes >"$work/pending-before"
    export TC_TEST_AS_STANDARD_USER=1
    setup_exits 350 /S
    unset TC_TEST_AS_STANDARD_USER
    expect_log setup 350
    snapshot after
    expect_same pending after "after the setup refused before the restart"
    pending_deletes | grep -qixF "$user_dir\\$dll_file" || fail "the refused setup took the DLL off Windows' list for the restart"

    step "with them, it takes its files off Windows' list for the restart and keeps them"
    setup_exits 0 /S
    expect_installed_files "$user_dir"
    expect_entry HKCU "$user_dir"
    left=$(pending_deletes | grep -iF "$user_dir" || true)
    [ -z "$left" ] || fail "Windows would still delete at the restart: $left"
    others_gone=$(grep -v -iF "$user_dir" "$work/pending-before" | sort | comm -23 - <(pending_deletes | sort))
    [ -z "$others_gone" ] || fail "the setup took others' entries off Windows' list for the restart: $others_gone"
    quiet_uninstall HKCU
    await_gone "$(unixpath "$user_dir")"
    snapshot after
    expect_same before after "after the reinstall and its uninstall"
    ;;

signed)
    step "signed with a throwaway certificate: the DLL, the setup and the uninstaller it writes"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
        -subj "/CN=Tunecaster throwaway test signer" -addext extendedKeyUsage=codeSigning 2>/dev/null ||
        die "could not make a certificate"
    openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.pfx" \
        -passout pass:throwaway || die "could not make a PKCS#12 file"
    TC_SIGN_PFX="$work/cert.pfx" TC_SIGN_PASSWORD=throwaway \
        "$src/scripts/release.sh" installer "$build/bin/$dll_file" "$work/signed" >/dev/null ||
        die "the signed installer did not build"
    signed_setup=$(ls "$work"/signed/"$TC_PRODUCT_NAME"Setup-*.exe)
    signed_dir="$localappdata\\${TC_PRODUCT_NAME}Signed"
    wine_cmdline "$work/signed" "$(basename "$signed_setup")" /S "/D=$signed_dir" || fail "the signed setup exited with $?"
    cmp -s "$(unixpath "$signed_dir\\$dll_file")" "$work/signed/$dll_file" ||
        fail "the installed DLL is not the signed one"
    for file in "$work/signed/$dll_file" "$signed_setup" "$(unixpath "$signed_dir\\$uninstaller")"; do
        osslsigncode verify -CAfile "$work/cert.pem" -in "$file" >"$work/verify.log" 2>&1 ||
            fail "$(basename "$file") is not signed, or its signature does not match: $(tail -3 "$work/verify.log" | tr '\n' ' ')"
    done
    osslsigncode verify -CAfile "$work/cert.pem" -in "$work/setup/$dll_file" >/dev/null 2>&1 &&
        fail "the check passes a DLL that nobody signed"
    uninstall_in_place "$signed_dir" /S

    step "the setup built again in another folder is the same, byte for byte"
    again=$(build_setup "$build/bin/$dll_file" "$work/again/setup folder")
    cmp -s "$setup" "$again" || fail "two setups built from one DLL differ"
    ;;

*) die "unknown scenario $scenario" ;;
esac

wine_run reg delete "$settings_key" /f >/dev/null 2>&1 || true
wine_run reg delete 'HKCU\Software\Venmoor' /f >/dev/null 2>&1 || true
if [ "$failures" -ne 0 ]; then
    echo "$scenario: $failures check(s) failed" >&2
    exit 1
fi
echo "$scenario: all checks passed"
