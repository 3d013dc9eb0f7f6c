#!/usr/bin/env bash
# Unattended install and removal under Wine and Xvfb: Setup.exe /S and
# Uninstall.exe /S, their logs and exit codes, and no window of theirs at any
# moment of a run (the window list is read throughout the run, not at its end).
#
#   unattended-e2e.sh SCENARIO SETUP_EXE UNINSTALL_EXE WINDRIVER MAKESETUP LAYOUT_CHECK
#
# Scenarios:
#   silent    /S /LOG= /D= into a folder with a blank, as winget's manifests
#             that makesetup writes say: the files byte for byte, the registry
#             (with the unattended-removal values, and the registration the
#             manifests name), the Start Menu group and the log; then the
#             QuietUninstallString command removes it all
#   blocked   a folder that cannot be made, and one the folder rules refuse:
#             exit codes 4 and 3, no window, the cause in the log
#   wizard    an argument that is not a switch: the wizard as always
#   upgrade   version 1 through the wizard, 2 and 3 silently over it; the
#             removal leaves nothing of any of them, and the user's file
# MAKESETUP is the native tool.
set -u
[ $# = 6 ] || { echo "usage: unattended-e2e.sh SCENARIO SETUP_EXE UNINSTALL_EXE WINDRIVER MAKESETUP LAYOUT_CHECK" >&2; exit 2; }
scenario=$1 setup_exe=$2 uninstall_exe=$3 driver=$4 tool=$5 checker=$6
. "$(dirname "$0")/../wine/wine-session.sh"
. "$(dirname "$0")/../support/uninstall-contract.sh"

wine_session_start || { echo "wine session did not start" >&2; exit 1; }
work=$WINE_SESSION_DIR
. "$(dirname "$0")/../e2e/driver-session.sh"
e2e_name=unattended-$scenario
driver_session_prepare

# The package NAME (application name APP) from the TOML lines on stdin below
# its [package] table, with the companion uninstaller (for which makesetup
# asks for the unattended-removal values), written as C:\NAME.exe.
make_package() {
    local name=$1 app=$2 src=$work/src-$1
    mkdir -p "$src"
    {
        printf '[package]\nname = "%s"\nauthor = "Jane Author"\nversion = "1.2.3"\nuninstaller = "%s"\n' "$app" "$uninstall_exe"
        printf 'license = "MIT"\ndescription = "A package of the unattended tests"\n'
        cat
    } >"$src/package.toml"
    (cd "$src" && "$tool" build package.toml --stub "$setup_exe" -o "$(wine_c "$name.exe")" -q) ||
        { fail "makesetup could not build $name"; return 1; }
}

# Runs the Windows command line ARGS... in the background (its exit code lands
# in $work/rc) and reads the window list until it has ended: no visible
# window may belong to a process that was not there before (the setup
# program, the uninstaller and its working copy; the shell's own folder
# windows belong to the shell).
pids_of() { sed -n 's/^hwnd=[^ ]* pid=\([1-9][0-9]*\) .*/\1/p' "$1" | sort -u; }
run_watched() {
    drive <<<"list-windows --any-process --hidden"
    tr -d '\r' <"$work/out.txt" >"$work/before.txt"
    wine_background 600 "$@"
    local looks=0 seen=0
    : >"$work/windows.txt"
    while :; do
        local done=0
        kill -0 "$WINE_BACKGROUND" 2>/dev/null || done=1
        drive <<<"list-windows --any-process --hidden"
        tr -d '\r' <"$work/out.txt" >"$work/look.txt"
        looks=$((looks + 1))
        comm -13 <(pids_of "$work/before.txt") <(pids_of "$work/look.txt") | grep -q . && seen=$((seen + 1))
        cat "$work/look.txt" >>"$work/windows.txt"
        [ $done = 1 ] && break
    done
    wait_rc
    local new shown
    # The shell answers a new Program Manager group with a folder window of
    # an explorer process of its own: the shell's, not ours.
    new=$(comm -13 <(pids_of "$work/before.txt") <(pids_of "$work/windows.txt") |
        grep -vxF -f <(grep -E 'class="(ExplorerWClass|CabinetWClass)"' "$work/windows.txt" | pids_of /dev/stdin; echo none) | tr '\n' ' ')
    shown=$(awk -v new=" $new" '/visible=1/ { p = $2; sub("pid=", "", p); if (index(new, " " p " ")) print }' "$work/windows.txt" | sort -u)
    [ -z "$shown" ] || fail "a window of ours was shown: $shown"
    note "$* -> exit $(cat "$work/rc"); window list read $looks times, $seen of them with a process of ours ($new)"
}
expect_rc() { [ "$(cat "$work/rc")" = "$1" ] || fail "exit code $(cat "$work/rc"), wanted $1"; }
# Waits for the program started with wine_background to end.
wait_rc() {
    wine_wait_background
    echo $? >"$work/rc"
}
expect_log() { # FILE PATTERN...: each fixed text is a line (in part) of the log
    local file=$1 text
    shift
    for text in "$@"; do grep -qF -- "$text" "$file" || fail "the log $(basename "$file") lacks: $text"; done
}

# FILE KEY...: the text at that path of a YAML file.
yaml_field() { /usr/bin/python3 -c 'import sys, yaml
v = yaml.safe_load(open(sys.argv[1], encoding="utf-8"))
for k in sys.argv[2:]: v = v[int(k) if k.isdigit() else k]
print(v)' "$@"; }

reg_query() { wine_reg query "$1" </dev/null 2>/dev/null | tr -d '\r'; }
reg_key_exists() { wine_reg query "$1" </dev/null >/dev/null 2>&1; }
reg_value() { reg_query "$1" | sed -n "s/^    $2    REG_[A-Z]*    //p"; }
group_dir() { find "$(wine_c users)" "$(wine_c ProgramData)" -type d -path "*/Start Menu/Programs/$1" 2>/dev/null | head -n1; }
# The QuietUninstallString of APP, as a Windows command line split into words for wine.
quiet_uninstall_words() {
    local command
    command=$(reg_value "$uninstall_registrations\\$1" QuietUninstallString)
    [ -n "$command" ] || { fail "no QuietUninstallString for $1"; return 1; }
    echo "$command"
}

silent() {
    local app="Silent App" dir_win='C:\Deploy Test\Silent App' dir
    dir=$(wine_c 'Deploy Test/Silent App')
    mkdir -p "$work/src-silent/docs"
    head -c 70000 /dev/urandom >"$work/src-silent/tool.dat"
    printf 'read me\r\n' >"$work/src-silent/readme.txt"
    printf 'guide\r\n' >"$work/src-silent/docs/guide.txt"
    make_package silent "$app" <<'EOF' || return
[[file]]
source = "tool.dat"
[[file]]
source = "readme.txt"
[[file]]
source = "docs/guide.txt"
folder = "docs"
[[registry]]
root = "HKCU"
key = 'Software\Silent App'
name = "Home"
value = "{InstallDir}"
[[shell]]
group = "Silent App"
[[shell]]
item = "Read me"
target = "readme.txt"
EOF
    # The command line winget makes from the manifests' switches.
    (cd "$work/src-silent" && "$tool" winget package.toml --stub "$setup_exe" --installer "$(wine_c silent.exe)" \
        --url https://example.com/silent.exe --id Jane.SilentApp -o "$work/winget" -q) ||
        { fail "makesetup winget failed"; return 1; }
    local manifest=$work/winget/Jane.SilentApp.installer.yaml switches
    switches="$(yaml_field "$manifest" InstallerSwitches Silent) $(yaml_field "$manifest" InstallerSwitches Log)"
    switches="$switches $(yaml_field "$manifest" InstallerSwitches InstallLocation)"
    switches=${switches//<LOGPATH>/'C:\silent-install.log'}
    switches=${switches//<INSTALLPATH>/$dir_win}
    note "Setup.exe $switches: into a folder with a blank"
    set -f
    # shellcheck disable=SC2086 # the words of winget's command line
    run_watched 'C:\silent.exe' $switches
    set +f
    expect_rc 0
    for f in tool.dat readme.txt docs/guide.txt; do
        cmp -s "$work/src-silent/$f" "$dir/$f" || fail "$f is not installed byte for byte"
    done
    cmp -s "$uninstall_exe" "$dir/Uninstall.exe" || fail "Uninstall.exe is not the companion uninstaller"
    [ -f "$dir/$uninstall_data_file" ] || fail "no $uninstall_data_file"
    [ -e "$dir/uninstall-history.dat" ] && fail "a first install left earlier installs' records"
    local key="$uninstall_registrations\\$app" uninstall_string quiet kib
    uninstall_string=$(reg_value "$key" UninstallString)
    quiet=$(reg_value "$key" QuietUninstallString)
    [ -n "$uninstall_string" ] && [ "$quiet" = "$uninstall_string /S" ] ||
        fail "QuietUninstallString \"$quiet\" is not UninstallString \"$uninstall_string\" and /S"
    kib=$(( ($(cat "$dir/tool.dat" "$dir/readme.txt" "$dir/docs/guide.txt" "$dir/Uninstall.exe" | wc -c) + 1023) / 1024 ))
    [ "$(reg_value "$key" EstimatedSize)" = "$(printf '0x%x' $kib)" ] ||
        fail "EstimatedSize is $(reg_value "$key" EstimatedSize), wanted $kib KiB"
    for v in NoModify NoRepair; do [ "$(reg_value "$key" $v)" = 0x1 ] || fail "$v is $(reg_value "$key" $v)"; done
    reg_query "$key" | grep -q 'EstimatedSize    REG_DWORD' || fail "EstimatedSize is no DWORD: $(reg_query "$key")"
    [ "$(reg_value "$key" DisplayVersion)" = 1.2.3 ] || fail "DisplayVersion: $(reg_query "$key")"
    [ "$(reg_value 'HKCU\Software\Silent App' Home)" = "$dir_win" ] || fail "the package's value Home is missing"
    # winget finds the install by the manifests' registration.
    [ "$uninstall_registrations\\$(yaml_field "$manifest" ProductCode)" = "$key" ] || fail "ProductCode is not the uninstall key"
    for v in DisplayName Publisher DisplayVersion; do
        [ "$(yaml_field "$manifest" AppsAndFeaturesEntries 0 $v)" = "$(reg_value "$key" $v)" ] ||
            fail "the manifest's $v is not the registry's \"$(reg_value "$key" $v)\""
    done
    [ -f "$(group_dir "$app")/Read me.lnk" ] || fail "no Start Menu item Silent App\\Read me"
    expect_log "$(wine_c 'silent-install.log')" "Install folder $dir_win" "Create directory $dir_win\\docs" \
        "Copy file $dir_win\\tool.dat" "Write registry value HKEY_CURRENT_USER\\Software\\Silent App \"Home\" = \"$dir_win\"" \
        "Write registry value HKEY_LOCAL_MACHINE\\software\\microsoft\\windows\\currentversion\\uninstall\\Silent App \"EstimatedSize\" = dword $kib" \
        "Create Program Manager group \"Silent App\"" "Add Program Manager item \"Read me\" for $dir_win\\readme.txt" \
        "Write uninstall data $dir_win\\$uninstall_data_file" "Installed." "Exit code 0"
    cp "$(wine_c 'silent-install.log')" "$work/silent-install.log"

    note "the QuietUninstallString command: $quiet"
    # shellcheck disable=SC2086 # the command's words, as Windows splits them
    run_watched $quiet
    expect_rc 0
    [ -e "$dir" ] && fail "the install folder is still there: $(ls -R "$dir")"
    [ -d "$(wine_c 'Deploy Test')" ] || fail "the folder above the install folder went too"
    reg_key_exists "$key" && fail "the uninstall registration is still there"
    reg_key_exists 'HKCU\Software\Silent App' && fail "the package's registry key is still there"
    [ -n "$(group_dir "$app")" ] && fail "the Start Menu group is still there"
}

blocked() {
    mkdir -p "$work/src-blocked"
    printf 'x' >"$work/src-blocked/a.txt"
    make_package blocked "Blocked App" <<<$'[[file]]\nsource = "a.txt"' || return
    printf 'a file where the folder should be' >"$(wine_c 'Blocked')"
    note "a folder below a file"
    run_watched 'C:\blocked.exe' /S '/LOG=C:\blocked.log' '/D=C:\Blocked\App'
    expect_rc 4
    expect_log "$(wine_c blocked.log)" 'Error: EInOutError: Unable to create directory "C:\Blocked\App"' \
        "The install stopped at this step." "Exit code 4"
    [ -f "$(wine_c 'Blocked')" ] || fail "the file in the way changed"
    note "a folder the wizard's rules refuse"
    run_watched 'C:\blocked.exe' /S '/LOG=C:\refused.log' '/D=Relative\App'
    expect_rc 3
    expect_log "$(wine_c refused.log)" 'Install folder refused: "Relative\App".' "Nothing has been installed." "Exit code 3"
    cp "$(wine_c blocked.log)" "$work/blocked.log"
}

wizard() {
    mkdir -p "$work/src-wizard"
    printf 'x' >"$work/src-wizard/a.txt"
    make_package wizard "Wizard App" <<<$'[[file]]\nsource = "a.txt"' || return
    mkdir -p "$(wine_c wizard)" && mv "$(wine_c wizard.exe)" "$(wine_c wizard/Setup.exe)"  # the question's title: Setup
    note "an argument that is not a switch shows the wizard"
    wine_background 600 'C:\wizard\Setup.exe' /S /quiet
    drive <<EOF
wait-window --any-process --class TfrmWelcome --title "Setup  - Wizard App" --timeout $first_window_timeout
attach
click --class TfrmWelcome --id @Button2@
EOF
    press=Yes expect_box Setup 'Setup is not complete. If you quit now, the program will not be install. \r\nYou may run the setup program again at the another time to complete installation.\r\nExit Setup?' question Yes,No
    wait_rc
    expect_rc 0
    [ -e "$(wine_c 'Program Files/Wizard App')" ] && fail "the wizard installed without being asked"
}

upgrade() {
    local app="Up App" dir_win='C:\Program Files\Up App' dir v
    dir=$(wine_c 'Program Files/Up App')
    for v in 1 2 3; do mkdir -p "$work/src-up$v" && printf 'a%s' $v >"$work/src-up$v/a.txt"; done
    printf 'b' >"$work/src-up1/b.txt"
    printf 'c' >"$work/src-up2/c.txt"
    printf 'd' >"$work/src-up3/d.txt"
    # Each version's own file, folder, registry value and group.
    make_package up1 "$app" <<'EOF' || return
[[file]]
source = "a.txt"
[[file]]
source = "b.txt"
folder = "one"
[[registry]]
root = "HKCU"
key = 'Software\Up App\One'
name = "V"
value = "1"
[[shell]]
group = "Up App One"
EOF
    make_package up2 "$app" <<'EOF' || return
[[file]]
source = "a.txt"
[[file]]
source = "c.txt"
folder = "two"
[[registry]]
root = "HKCU"
key = 'Software\Up App\Two'
name = "V"
value = "2"
EOF
    make_package up3 "$app" <<'EOF' || return
[[file]]
source = "a.txt"
[[file]]
source = "d.txt"
[[shell]]
group = "Up App Three"
EOF
    note "version 1 through the wizard"
    wine_background 600 'C:\up1.exe'
    drive <<EOF
wait-window --any-process --class TfrmWelcome --title "Setup  - Up App" --timeout $first_window_timeout
attach
$(wizard_install_lines)
wait-exit --timeout 60
EOF
    wait_rc
    expect_rc 0
    [ -f "$dir/one/b.txt" ] || fail "version 1 did not install b.txt"
    note "versions 2 and 3 silently over it"
    run_watched 'C:\up2.exe' /S '/LOG=C:\up2.log'
    expect_rc 0
    expect_log "$(wine_c up2.log)" "Keep earlier installs' records $dir_win\\uninstall-history.dat"
    run_watched 'C:\up3.exe' /S "/D=$dir_win"
    expect_rc 0
    [ "$(cat "$dir/a.txt")" = a3 ] || fail "a.txt is not version 3's"
    printf 'mine' >"$dir/notes.txt"
    note "the registered removal, silently"
    local quiet
    quiet=$(quiet_uninstall_words "$app") || return
    # shellcheck disable=SC2086
    run_watched $quiet '/LOG=C:\up-removal.log'
    expect_rc 0
    [ "$(ls -A "$dir" 2>/dev/null)" = notes.txt ] || fail "the folder holds more than the user's file: $(ls -RA "$dir")"
    for v in One Two; do reg_key_exists "HKCU\\Software\\Up App\\$v" && fail "Software\\Up App\\$v is still there"; done
    for g in "Up App One" "Up App Three"; do [ -n "$(group_dir "$g")" ] && fail "the group $g is still there"; done
    reg_key_exists "$uninstall_registrations\\$app" && fail "the uninstall registration is still there"
    expect_log "$(wine_c up-removal.log)" "Remove file $dir_win\\one\\b.txt" "Remove file $dir_win\\two\\c.txt" \
        "Remove file $dir_win\\d.txt" "(still holds notes.txt)" "Exit code 0"
    cp "$(wine_c up-removal.log)" "$work/up-removal.log"
}

case $scenario in
    silent) silent ;;
    blocked) blocked ;;
    wizard) wizard ;;
    upgrade) upgrade ;;
    *) echo "unknown scenario $scenario" >&2; exit 2 ;;
esac
if [ -n "${UNATTENDED_E2E_LOGS:-}" ]; then mkdir -p "$UNATTENDED_E2E_LOGS" && cp "$work"/*.log "$UNATTENDED_E2E_LOGS"/ 2>/dev/null; fi
wine_session_end
scenario_verdict
