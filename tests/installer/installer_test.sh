#!/usr/bin/env bash
# The Windows installer end to end under Wine. Each scenario builds the
# installer from this build tree's DLL with scripts/release.sh, runs it
# silently, checks the files and keys, lets the simulated host load the
# plug-in through the registration alone, uninstalls, and checks that exactly
# what the installer added is gone: the registry and the user folders are
# compared whole with how they were before. The uninstaller's give-back of
# the user's own quick text 09, its refusal while Messenger has the plug-in
# loaded, and the all-users folder rule are checked with them; the windows
# are driven by tc_installer_driver.exe, built beside the tests.
#
#   installer_test.sh SOURCE_DIR BUILD_DIR SCENARIO
#
# Scenarios: per-user, all-users, failures.
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
work=$build/installer-test/$scenario
rm -rf "$work"
mkdir -p "$work"

settings_key="HKCU\\Software\\Dorvin's Tunecaster"
saved_key="$settings_key\\SavedQuickText09"
host_slot_key='HKCU\Software\Venmoor\Kestrix2\someone@example.com\Preferences\QuickTexts\QuickText01'
uninst_subkey='Software\Microsoft\Windows\CurrentVersion\Uninstall\Tunecaster'
progid='Tunecaster.PlayerPlugin'

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
user_trees=("HKEY_CURRENT_USER\\Software\\Dorvin's Tunecaster" 'HKEY_CURRENT_USER\Software\Venmoor'
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
    ls "$2"/TunecasterSetup-*.exe
}

# Runs the registered QuietUninstallString as Windows would and waits for
# the uninstaller's copy in the temporary folder, which carries on after the
# launched program has returned: the uninstall entry goes last.
quiet_uninstall() {  # ROOT (HKCU or HKLM)
    local cmd exe args
    cmd=$(reg_value "$1\\$uninst_subkey" QuietUninstallString) || { fail "no QuietUninstallString in $1"; return; }
    exe=${cmd#\"}; exe=${exe%%\"*}
    args=${cmd##*\"}
    # shellcheck disable=SC2086
    wine_run "$exe" $args || fail "the uninstaller ($cmd) exited with $?"
    for _ in $(seq 120); do
        key_exists "$1\\$uninst_subkey" || { sleep 1; return; }
        sleep 0.5
    done
    fail "the uninstall entry in $1 was still there after 60 s"
}

# Runs a copy of the uninstaller with _?= so that it works in place and we
# wait for it: the way scripts uninstall synchronously.
uninstall_in_place() {  # INSTDIR(windows) ARGS...
    local dir=$1; shift
    cp "$(unixpath "$dir\\Uninstall.exe")" "$work/Uninstall-copy.exe"
    wine_cmdline "$work" Uninstall-copy.exe "$@" "_?=$dir" || fail "the uninstaller exited with $?"
}

# The same, expecting the exit code CODE, of which Wine passes on the low
# eight bits.
uninstall_in_place_fails() {  # CODE INSTDIR(windows) ARGS...
    local code=$1 dir=$2 rc=0; shift 2
    cp "$(unixpath "$dir\\Uninstall.exe")" "$work/Uninstall-copy.exe"
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

expect_entry() {  # ROOT INSTDIR(windows)
    local k="$1\\$uninst_subkey"
    expect_value "$k" DisplayName "Tunecaster"
    expect_value "$k" DisplayVersion "1.0.0.0"
    expect_value "$k" Publisher "Dorvin's Tunecaster"
    expect_value "$k" UninstallString "\"$2\\Uninstall.exe\""
    expect_value "$k" QuietUninstallString "\"$2\\Uninstall.exe\" /S"
    expect_value "$k" NoModify 0x1
    expect_value "$k" NoRepair 0x1
}

# The DLL installed is the one released beside the setup, stripped.
expect_installed_files() {  # INSTDIR(windows)
    local dir
    dir=$(unixpath "$1")
    [ -d "$dir" ] || { fail "no folder $1"; return; }
    cmp -s "$dir/tunecaster.dll" "$work/setup/tunecaster.dll" || fail "$1\\tunecaster.dll is not the packaged DLL"
    if i686-w64-mingw32-objdump -h "$dir/tunecaster.dll" | grep -q '[[:space:]]\.debug_'; then
        fail "$1\\tunecaster.dll carries debug sections"
    fi
    [ -f "$dir/Uninstall.exe" ] || fail "no $1\\Uninstall.exe"
    [ "$(ls "$dir" | sort | tr '\n' ' ')" = "Uninstall.exe tunecaster.dll " ] ||
        fail "$1 holds more than the DLL and the uninstaller: $(ls "$dir")"
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
slot09() { echo "HKCU\\Software\\Venmoor\\Kestrix2\\$1\\Preferences\\QuickTexts\\QuickText09"; }
saved_users=(alice@example.com bob@example.com)

# Two users' own slot 09 as the plug-in found them, the copies it kept of
# them (the same values, "Saved" written last), and the slots then
# overwritten as the plug-in does: one held a text of the user's own with
# AutoSend off, the other no text at all.
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
# Keeps DLL loaded in a process of its own until release_plugin.
hold_plugin() {  # DLL(windows)
    rm -f "$work/held" "$work/release"
    driver hold "$1" "$(winpath "$work")\\held" "$(winpath "$work")\\release" &
    holder_pid=$!
    for _ in $(seq 600); do
        [ -e "$work/held" ] && return
        kill -0 "$holder_pid" 2>/dev/null || break
        sleep 0.1
    done
    die "nothing could keep $1 loaded"
}

release_plugin() {
    touch "$work/release"
    wait "$holder_pid" || true
    holder_pid=
}

# Starts from a prefix with no Tunecaster in it: no install left by an
# earlier, interrupted run, and no registration left by other tests (they
# share this prefix), which the before-and-after comparison would count.
forget_earlier_runs() {
    local root dir dll
    for root in HKCU HKLM; do
        dir=$(reg_value "$root\\$uninst_subkey" InstallLocation) || continue
        if [ -f "$(unixpath "$dir\\Uninstall.exe")" ]; then uninstall_in_place "$dir" /S; fi
        wine_run reg delete "$root\\$uninst_subkey" /f >/dev/null 2>&1 || true
    done
    rm -rf "$(unixpath "$user_dir")" "$(unixpath "${user_dir}Elsewhere")" "$(unixpath "$machine_dir")" \
           "$(unixpath "$machine_dir Custom")"
    dll=$(winpath "$build/bin/tunecaster.dll")
    wine_run regsvr32 /u /s /n /i:user "$dll" >/dev/null 2>&1 || true
    wine_run regsvr32 /u /s "$dll" >/dev/null 2>&1 || true
    wine_run reg delete "$settings_key" /f >/dev/null 2>&1 || true
    wine_run reg delete 'HKCU\Software\Venmoor' /f >/dev/null 2>&1 || true
    # Windows always has these; a fresh Wine prefix gets them only with the
    # first per-user registration, whose removal rightly leaves them.
    for key in CLSID Interface TypeLib; do
        wine_run reg add "HKCU\\Software\\Classes\\$key" /f >/dev/null
    done
}

localappdata=$(wine_run cmd /c 'echo %LOCALAPPDATA%' | tr -d '\r')
programfiles=$(wine_run cmd /c 'echo %ProgramFiles%' | tr -d '\r')
user_dir="$localappdata\\Tunecaster"
machine_dir="$programfiles\\Tunecaster"
[ -n "$localappdata" ] && [ -n "$programfiles" ] || die "Wine did not tell the user folders"

[ -f "$build/bin/tunecaster.dll" ] || die "build the DLL first: $build/bin/tunecaster.dll"
[ -f "$build/bin/tc_installer_driver.exe" ] || die "build tc_installer_driver first"
step "building the installer"
setup=$(build_setup "$build/bin/tunecaster.dll" "$work/setup")
forget_earlier_runs
seed_user_state

case "$scenario" in
per-user)
    snapshot before
    step "installing silently for the current user"
    wine_run "$setup" /S || fail "the installer exited with $?"
    expect_installed_files "$user_dir"
    expect_entry HKCU "$user_dir"
    expect_registration HKCU "$user_dir\\tunecaster.dll"
    key_exists "HKLM\\$uninst_subkey" && fail "a per-user install wrote a machine-wide uninstall entry"
    key_exists "HKLM\\Software\\Classes\\$progid" && fail "a per-user install registered machine-wide"

    step "installing again over it"
    wine_run "$setup" /S || fail "installing over an earlier install exited with $?"
    expect_installed_files "$user_dir"
    expect_entry HKCU "$user_dir"
    expect_registration HKCU "$user_dir\\tunecaster.dll"

    step "the simulated host loads the installed plug-in"
    host_finds_plugin
    expect_user_state_kept

    step "uninstalling with the registered quiet command, keeping the settings"
    dir=$(unixpath "$user_dir")
    echo "mine" >"$dir/my notes.txt"
    seed_saved_slots
    export_reg "$settings_key" "$work/settings-before"
    export_reg 'HKCU\Software\Venmoor' "$work/host-before"
    quiet_uninstall HKCU
    [ "$(ls "$dir")" = "my notes.txt" ] || fail "the uninstaller removed the user's file or left its own: $(ls "$dir")"
    rm -f "$dir/my notes.txt"
    rmdir "$dir"
    export_reg "$settings_key" "$work/settings-after"
    export_reg 'HKCU\Software\Venmoor' "$work/host-after"
    expect_slots_given_back
    [ -s "$work/settings-after" ] && cmp -s <(without_saved_slots "$work/settings-before") "$work/settings-after" ||
        fail "the uninstaller changed the user's settings without being asked"
    cmp -s <(without_slots09 "$work/host-before") <(without_slots09 "$work/host-after") ||
        fail "the uninstaller changed the host's keys"
    snapshot after
    expect_same before after "after the uninstall"

    step "reinstalling finds the settings; uninstalling with /REMOVESETTINGS removes them"
    wine_run "$setup" /S || fail "the second install exited with $?"
    expect_registration HKCU "$user_dir\\tunecaster.dll"
    expect_user_state_kept
    uninstall_in_place "$user_dir" /S /REMOVESETTINGS
    key_exists "$settings_key" && fail "/REMOVESETTINGS left $settings_key"
    key_exists "$host_slot_key" || fail "/REMOVESETTINGS removed the host's keys"
    [ -e "$dir" ] && fail "the install folder is still there: $(ls "$dir")"
    snapshot after
    expect_same before after "after the uninstall with /REMOVESETTINGS"

    step "an install in a folder of the user's choice is updated there"
    other_dir="$localappdata\\TunecasterElsewhere"
    wine_run "$setup" /S "/D=$other_dir" || fail "installing with /D exited with $?"
    wine_run "$setup" /S || fail "updating it exited with $?"
    expect_installed_files "$other_dir"
    expect_entry HKCU "$other_dir"
    expect_registration HKCU "$other_dir\\tunecaster.dll"
    [ -e "$dir" ] && fail "the update installed a second copy in $user_dir"
    uninstall_in_place "$other_dir" /S
    snapshot after
    expect_same before after "after uninstalling from the chosen folder"

    step "while Messenger has the plug-in loaded, a silent uninstall exits with 32 and changes nothing"
    wine_run "$setup" /S || fail "the installer exited with $?"
    seed_saved_slots
    hold_plugin "$user_dir\\tunecaster.dll"
    snapshot held
    export_reg "$settings_key" "$work/settings-held"
    export_reg 'HKCU\Software\Venmoor' "$work/host-held"
    cp "$dir/tunecaster.dll" "$work/held.dll"
    uninstall_in_place_fails 32 "$user_dir" /S
    snapshot held-after
    expect_same held held-after "after the uninstall refused while Messenger ran"
    export_reg "$settings_key" "$work/settings-held-after"
    export_reg 'HKCU\Software\Venmoor' "$work/host-held-after"
    cmp -s "$work/settings-held" "$work/settings-held-after" || fail "the refused uninstall changed the settings"
    cmp -s "$work/host-held" "$work/host-held-after" || fail "the refused uninstall changed the host's keys"
    cmp -s "$work/held.dll" "$dir/tunecaster.dll" || fail "the refused uninstall changed the DLL"

    step "with its pages, it asks to close Messenger when that was started after the confirmation, and goes on after Retry"
    release_plugin
    cp "$dir/Uninstall.exe" "$work/Uninstall-copy.exe"
    (rc=0; wine_cmdline "$work" Uninstall-copy.exe "_?=$user_dir" || rc=$?; echo "$rc" >"$work/uninstaller.rc") &
    uninstaller_pid=$!
    driver press "Next >" >/dev/null || fail "no confirmation page"
    hold_plugin "$user_dir\\tunecaster.dll"
    driver press Uninstall >/dev/null || fail "no Uninstall button"
    question=$(driver await Retry) || fail "no question while Messenger has the plug-in loaded"
    grep -q "Close Messenger" <<<"$question" && grep -qx Cancel <<<"$question" ||
        fail "the question does not ask to close Messenger, with Retry and Cancel: $question"
    release_plugin
    driver press Retry >/dev/null || fail "Retry could not be pressed"
    driver press Close >/dev/null || fail "the uninstall did not finish"
    wait "$uninstaller_pid"
    [ "$(cat "$work/uninstaller.rc")" = 0 ] || fail "the uninstaller exited with $(cat "$work/uninstaller.rc")"
    expect_slots_given_back
    snapshot after
    expect_same before after "after the uninstall that waited for Messenger"
    ;;

all-users)
    snapshot before
    step "installing silently for all users"
    wine_run "$setup" /S /ALLUSERS || fail "the installer exited with $?"
    expect_installed_files "$machine_dir"
    expect_entry HKLM "$machine_dir"
    expect_registration HKLM "$machine_dir\\tunecaster.dll"
    key_exists "HKCU\\$uninst_subkey" && fail "an all-users install wrote a per-user uninstall entry"
    key_exists "HKCU\\Software\\Classes\\$progid" && fail "an all-users install registered per user"
    [ -e "$(unixpath "$user_dir")" ] && fail "an all-users install wrote to $user_dir"

    step "the simulated host loads the installed plug-in"
    host_finds_plugin

    step "uninstalling with the registered quiet command"
    quiet_uninstall HKLM
    expect_user_state_kept
    snapshot after
    expect_same before after "after the uninstall"

    step "a folder outside the program folder is refused with 161, however it is written"
    for outside in 'C:\users\Public\Tunecaster' "$programfiles\\..\\users\\Public\\Tunecaster" \
                   "${programfiles}X\\Tunecaster" "$programfiles"; do
        rc=0
        wine_cmdline "$work/setup" "$(basename "$setup")" /S /ALLUSERS "/D=$outside" || rc=$?
        [ "$rc" -eq 161 ] || fail "/ALLUSERS /D=$outside exited with $rc, expected 161"
    done
    snapshot after
    expect_same before after "after the refused folders"

    step "with its pages, a folder outside is refused on the folder page"
    (wine_run "$setup" /ALLUSERS || true) &
    setup_pid=$!
    driver set-text Install 'C:\users\Public\Tunecaster' >/dev/null || fail "no folder page"
    driver press Install >/dev/null || fail "no Install button"
    refusal=$(driver press OK) || fail "the folder outside was not refused"
    grep -q "program folder" <<<"$refusal" || fail "the refusal does not say why: $refusal"
    driver press Cancel >/dev/null && driver press Yes >/dev/null || fail "the setup could not be closed"
    wait "$setup_pid"
    snapshot after
    expect_same before after "after the folder refused on the page"

    step "a folder inside the program folder is accepted in any case and spelling, and used by its full name"
    custom="$programfiles\\Tunecaster Custom"
    wine_cmdline "$work/setup" "$(basename "$setup")" /S /ALLUSERS \
        "/D=${programfiles,,}\\Other\\..\\Tunecaster Custom\\" || fail "the installer exited with $?"
    expect_installed_files "$custom"
    location=$(reg_value "HKLM\\$uninst_subkey" InstallLocation) || location=
    [ "${location,,}" = "${custom,,}" ] || fail "installed to '$location', expected '$custom'"
    quiet_uninstall HKLM
    snapshot after
    expect_same before after "after uninstalling from the folder of that name"
    ;;

failures)
    snapshot before
    step "a DLL that cannot register fails the install and leaves nothing behind"
    # A DLL without the registration entry points.
    printf 'int tc_not_a_plugin;\n' >"$work/not-a-plugin.c"
    i686-w64-mingw32-gcc -shared -o "$work/tunecaster.dll" "$work/not-a-plugin.c" ||
        die "could not build a DLL that cannot register"
    bad_setup=$(build_setup "$work/tunecaster.dll" "$work/bad-setup")
    rc=0
    wine_run "$bad_setup" /S || rc=$?
    [ "$rc" -ne 0 ] || fail "the install reported success although registration failed"
    snapshot after
    expect_same before after "after the failed install"

    step "a failed install into a folder with a DLL registered by hand leaves that DLL and its registration"
    mkdir -p "$(unixpath "$user_dir")"
    cp "$build/bin/tunecaster.dll" "$(unixpath "$user_dir")/"
    wine_run regsvr32 /s /n /i:user "$user_dir\\tunecaster.dll" || fail "registering by hand failed"
    snapshot by-hand
    rc=0
    wine_run "$bad_setup" /S || rc=$?
    [ "$rc" -ne 0 ] || fail "the install reported success although registration failed"
    cmp -s "$(unixpath "$user_dir\\tunecaster.dll")" "$build/bin/tunecaster.dll" ||
        fail "the failed install changed the DLL that was there"
    snapshot after
    expect_same by-hand after "after the failed install over a DLL registered by hand"
    wine_run regsvr32 /u /s /n /i:user "$user_dir\\tunecaster.dll" || true
    rm -rf "$(unixpath "$user_dir")"

    step "a failed upgrade leaves the earlier install uninstallable"
    wine_run "$setup" /S || fail "the installer exited with $?"
    rc=0
    wine_run "$bad_setup" /S || rc=$?
    [ "$rc" -ne 0 ] || fail "the upgrade reported success although registration failed"
    expect_entry HKCU "$user_dir"
    [ -f "$(unixpath "$user_dir\\Uninstall.exe")" ] || fail "the failed upgrade removed the uninstaller"
    cmp -s "$(unixpath "$user_dir\\tunecaster.dll")" "$work/setup/tunecaster.dll" ||
        fail "the failed upgrade did not put the earlier DLL back"
    uninstall_in_place "$user_dir" /S
    snapshot after
    expect_same before after "after uninstalling what the failed upgrade left"

    step "an install whose DLL was deleted by hand still uninstalls cleanly and gives the quick texts back"
    wine_run "$setup" /S || fail "the installer exited with $?"
    expect_registration HKCU "$user_dir\\tunecaster.dll"
    seed_saved_slots
    rm -f "$(unixpath "$user_dir\\tunecaster.dll")"
    uninstall_in_place "$user_dir" /S
    expect_slots_given_back
    snapshot after
    expect_same before after "after uninstalling the damaged install"

    step "a quick text that cannot be given back is kept with the settings; the rest is uninstalled, with 1013"
    wine_run "$setup" /S || fail "the installer exited with $?"
    # The slot's parent admits no lasting key, so the slot cannot be made.
    wine_run reg add 'HKCU\Software\Venmoor\Kestrix2\carol@example.com\Preferences' /f >/dev/null
    driver volatile-key 'Software\Venmoor\Kestrix2\carol@example.com\Preferences\QuickTexts' >/dev/null ||
        die "could not make a volatile key"
    wine_run reg add "$saved_key\\carol@example.com" /v Message /d "carol's own text" /f >/dev/null
    wine_run reg add "$saved_key\\carol@example.com" /v Saved /t REG_DWORD /d 1 /f >/dev/null
    export_reg "$settings_key" "$work/settings-before"
    uninstall_in_place_fails 1013 "$user_dir" /S /REMOVESETTINGS
    export_reg "$settings_key" "$work/settings-after"
    cmp -s "$work/settings-before" "$work/settings-after" ||
        fail "the settings that hold the copy were changed: $(diff "$work/settings-before" "$work/settings-after" | tr '\n' ' ')"
    snapshot after
    expect_same before after "after the uninstall that could not give a quick text back"
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
