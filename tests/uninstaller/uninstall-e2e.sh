#!/usr/bin/env bash
# End to end under Wine and Xvfb: a package built by makesetup with the
# companion uninstaller is installed through the real wizard, then removed by
# running its "UninstallString". Checks that exactly the package's files,
# empty folders, Start Menu group and registry values go, that what the user
# added and everything outside the install folder stays, and the early ends:
# No, nothing left to do, a missing and a malformed data file.
#
#   uninstall-e2e.sh SETUP_EXE UNINSTALL_EXE MAKESETUP_EXE WINDRIVER LAYOUT_CHECK ARTIFACTS
set -u
[ $# = 6 ] || { echo "usage: uninstall-e2e.sh SETUP_EXE UNINSTALL_EXE MAKESETUP_EXE WINDRIVER LAYOUT_CHECK ARTIFACTS" >&2; exit 2; }
setup_exe=$1 uninstall_exe=$2 makesetup=$3 driver=$4 checker=$5 artifacts=$6
. "$(dirname "$0")/../wine/wine-session.sh"
. "$(dirname "$0")/../support/uninstall-contract.sh"

note() { echo "[uninstall] $*"; }

wine_session_start || { echo "wine session did not start" >&2; exit 1; }
work=$WINE_SESSION_DIR
mkdir -p "$artifacts"
. "$(dirname "$0")/../e2e/driver-session.sh"
e2e_name=uninstall
driver_session_prepare
reg_value() {  # KEY NAME: the value's data, empty when missing
    wine_reg query "$1" /v "$2" </dev/null 2>/dev/null | tr -d '\r' |
        sed -n "s/^    $2    REG_SZ    //p"
}
reg_key_exists() { wine_reg query "$1" </dev/null >/dev/null 2>&1; }

app_dir=$(wine_c "Program Files/Demo App")
app_win='C:\Program Files\Demo App'
group_dir() { find "$(wine_c users)" "$(wine_c ProgramData)" -type d -path '*/Start Menu/Programs/Demo App' 2>/dev/null | head -n1; }

# ---- the package, built as an author would --------------------------------
src=$work/src
mkdir -p "$src/docs" "$src/data/deep"
printf 'MZ demo program' >"$src/demo.exe"
printf 'Demo App read-me\r\n' >"$src/readme.txt"
printf 'guide\r\n' >"$src/docs/guide.txt"
printf 'deep\r\n' >"$src/data/deep/x.txt"
printf '[demo]\r\n' >"$src/demoapp.ini"
cat >"$src/package.toml" <<'EOF'
[package]
name = "Demo App"
author = "Jane Author"
website = "https://example.com/demo"
version = "2.5.1"
display_icon = "demo.exe"
help_link = "https://example.com/help"
uninstaller = true

[[file]]
source = "demo.exe"
[[file]]
source = "readme.txt"
[[file]]
source = "docs/guide.txt"
folder = "docs"
[[file]]
source = "data/deep/x.txt"
folder = 'data\deep'
[[file]]
source = "demoapp.ini"
base = "WindowsDir"

[[registry]]
root = "HKCU"
key = 'Software\DemoApp'
name = "Path"
value = "{InstallDir}"
[[registry]]
root = "HKCU"
key = 'Software\Shared Key'
name = "Theirs"
value = "from Demo App"

[[shell]]
group = "Demo App"
[[shell]]
item = "Read me"
target = "readme.txt"
EOF
cp "$setup_exe" "$work/Setup.exe"
cp "$uninstall_exe" "$work/Uninstall.exe"
wine_timeout 120 "$makesetup" build "$(winpath "$src/package.toml")" --stub "$(winpath "$work/Setup.exe")" \
    -o 'C:\DemoSetup.exe' </dev/null >"$work/build.txt" 2>&1 || { cat "$work/build.txt" >&2; fail "makesetup failed"; }
grep -q 'Uninstall.exe' "$work/build.txt" && fail "makesetup still warns about Uninstall.exe: $(cat "$work/build.txt")"

# What must survive: another program's file and folder, a value beside ours.
mkdir -p "$(wine_c 'Program Files/Other App')"
printf 'keep' >"$(wine_c 'Program Files/Other App/keep.txt')"
wine_reg add 'HKCU\Software\Shared Key' /v Mine /d 'not Demo' /f </dev/null >/dev/null 2>&1

# ---- install through the wizard ------------------------------------------
note "install through the wizard"
drive <<<"$(wizard_install_script 'C:\DemoSetup.exe')"
for f in demo.exe readme.txt docs/guide.txt data/deep/x.txt Uninstall.exe $uninstall_data_file; do
    [ -f "$app_dir/$f" ] || fail "not installed: $f"
done
cmp -s "$app_dir/Uninstall.exe" "$uninstall_exe" || fail "the installed Uninstall.exe is not the companion uninstaller"
[ -n "$(group_dir)" ] || fail "no Start Menu group Demo App after the install"
uninstall_string=$(reg_value "$uninstall_registrations\\Demo App" UninstallString)
[ -n "$uninstall_string" ] || fail "no UninstallString"
note "UninstallString: $uninstall_string"
# The Programs and Features entry makesetup adds beside the registration.
uninstall_key="$uninstall_registrations\\Demo App"
for expected in "DisplayVersion=2.5.1" "Publisher=Jane Author" "URLInfoAbout=https://example.com/demo" \
    "InstallLocation=$app_win" "DisplayIcon=$app_win\demo.exe" "HelpLink=https://example.com/help"; do
    name=${expected%%=*}
    [ "$(reg_value "$uninstall_key" "$name")" = "${expected#*=}" ] ||
        fail "$name is \"$(reg_value "$uninstall_key" "$name")\", expected \"${expected#*=}\""
done
# An uninstall data file extracts through the setup executable it came from.
wine_timeout 120 "$makesetup" extract "$(winpath "$app_dir/$uninstall_data_file")" -o "$(winpath "$work/x")" </dev/null \
    >"$work/extract.txt" 2>&1 && fail "extract of $uninstall_data_file without --from succeeded"
grep -q -- "--from" "$work/extract.txt" || fail "extract without --from: $(cat "$work/extract.txt")"
wine_timeout 120 "$makesetup" extract "$(winpath "$app_dir/$uninstall_data_file")" --from 'C:\DemoSetup.exe' \
    -o "$(winpath "$work/x")" </dev/null >"$work/extract.txt" 2>&1 || fail "extract --from: $(cat "$work/extract.txt")"
for f in demo.exe readme.txt docs/guide.txt data/deep/x.txt; do
    cmp -s "$work/x/InstallDir/$f" "$src/$f" || fail "extract --from: $f differs"
done
cmp -s "$work/x/WindowsDir/demoapp.ini" "$src/demoapp.ini" || fail "extract --from: demoapp.ini differs"

# The user's own files in the install folder and in a package folder.
printf 'mine' >"$app_dir/notes.txt"
printf 'mine' >"$app_dir/docs/mine.txt"
cp "$app_dir/$uninstall_data_file" "$work/saved.dat"

# Everything outside the install folder and the Start Menu group, for the
# comparison afterwards (the temporary folder holds the working copy).
outside() {
    (cd "$WINEPREFIX/drive_c" && find . -path './Program Files/Demo App' -prune -o -path '*/Start Menu/Programs/Demo App' -prune \
        -o -path './users/*/AppData/Local/Temp' -prune -o -path './users/*/Temp' -prune -o -type f -print | sort)
}
outside >"$work/outside-before.txt"

# ---- No removes nothing -----------------------------------------------------
note "the question, answered No"
question="Remove Demo App from C:\\\\Program Files\\\\Demo App?\\r\\n\\r\\nThis removes 4 files, 3 folders (when empty), the Start Menu group \\\"Demo App\\\", 2 registry values and its entry in the list of installed programs. Files you added to the folder stay."
# The uninstaller hands over to a working copy of itself, which shows the
# box: a program the started one started. Only the copy's end says No
# removed nothing.
drive <<EOF
start "$uninstall_string"
expect-exit-code 0
wait-window --class #32770 --timeout $first_window_timeout
attach
EOF
expect_box "Demo App" "$question" question Yes,No
shot uninstall-question --class '#32770' --screen
drive <<<"msgbox-press No
expect-exit-code 0 --timeout 60"
for f in demo.exe readme.txt Uninstall.exe $uninstall_data_file; do [ -f "$app_dir/$f" ] || fail "No removed $f"; done
[ -n "$(reg_value 'HKCU\Software\DemoApp' Path)" ] || fail "No removed a registry value"

# ---- Yes removes the package ------------------------------------------------
note "the question, answered Yes"
drive <<EOF
start "$uninstall_string"
expect-exit-code 0
wait-window --class #32770 --timeout $first_window_timeout
attach
msgbox-press Yes
expect-msgbox --title "Demo App" --buttons OK --timeout 120
EOF
summary="Demo App has been removed from C:\\\\Program Files\\\\Demo App.\\r\\n\\r\\nLeft in place:\\r\\n    C:\\\\Program Files\\\\Demo App\\\\docs (still holds mine.txt)\\r\\n    C:\\\\windows\\\\demoapp.ini (in a system folder: other programs may use it)\\r\\n    C:\\\\Program Files\\\\Demo App (still holds notes.txt)"
expect_box "Demo App" "$summary" information OK
shot uninstall-summary --class '#32770' --screen
drive <<<"msgbox-press OK
expect-exit-code 0 --timeout 60"

for f in demo.exe readme.txt docs/guide.txt data/deep/x.txt Uninstall.exe $uninstall_data_file; do
    [ -e "$app_dir/$f" ] && fail "still there: $f"
done
[ -d "$app_dir/data" ] && fail "the empty folder data is still there"
[ "$(cat "$app_dir/notes.txt" 2>/dev/null)" = mine ] || fail "the user's notes.txt is gone"
[ "$(cat "$app_dir/docs/mine.txt" 2>/dev/null)" = mine ] || fail "the user's docs/mine.txt is gone"
[ -n "$(group_dir)" ] && fail "the Start Menu group is still there: $(group_dir)"
reg_key_exists 'HKCU\Software\DemoApp' && fail "HKCU\\Software\\DemoApp is still there"
[ -z "$(reg_value 'HKCU\Software\Shared Key' Theirs)" ] || fail "the package's value Theirs is still there"
[ "$(reg_value 'HKCU\Software\Shared Key' Mine)" = 'not Demo' ] || fail "the value beside the package's is gone"
reg_key_exists "$uninstall_registrations\\Demo App" && fail "the uninstall registration is still there"
outside >"$work/outside-after.txt"
diff "$work/outside-before.txt" "$work/outside-after.txt" >"$work/outside.diff" || fail "files outside the install folder changed: $(cat "$work/outside.diff")"
pending=$(wine_reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations </dev/null 2>/dev/null | tr -d '\r')
grep -qi 'Uninstall-[0-9]*\.exe' <<<"$pending" || fail "the working copy is not marked for deletion at restart: $pending"

# ---- early ends: nothing to do, no data file, a broken one ------------------
# Runs the uninstaller in the install folder; it ends with one message box,
# expected with TITLE, TEXT and ICON, and pressed, and then with EXIT_CODE.
run_to_message() {
    drive <<EOF
start "C:\Program Files\Demo App\Uninstall.exe"
expect-exit-code 0
wait-window --class #32770 --timeout $first_window_timeout
attach
EOF
    press=OK expect_box "$1" "$2" "$3" OK
    drive <<<"expect-exit-code $4 --timeout 60"
}

note "a second run finds nothing to do"
cp "$work/saved.dat" "$app_dir/$uninstall_data_file"
cp "$uninstall_exe" "$app_dir/Uninstall.exe"
run_to_message "Demo App" 'Demo App is no longer installed in C:\\Program Files\\Demo App: there is nothing to remove.' information 0
[ -f "$app_dir/$uninstall_data_file" ] || fail "nothing to do, yet the data file went"

note "a missing and a malformed data file"
rm -f "$app_dir/$uninstall_data_file"
run_to_message Uninstall 'The uninstall data file \"C:\\Program Files\\Demo App\\'"$uninstall_data_file"'\" is missing, so the uninstaller cannot tell what was installed. Nothing has been removed.' error 1
head -c 1000 /dev/urandom >"$app_dir/$uninstall_data_file"
run_to_message Uninstall 'The uninstall data file \"C:\\Program Files\\Demo App\\'"$uninstall_data_file"'\" cannot be used: it is not an uninstall data file. Nothing has been removed.' error 1
[ -f "$app_dir/Uninstall.exe" ] && [ -f "$app_dir/notes.txt" ] || fail "a failed run removed something"

wine_session_end
[ $failures = 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "uninstall end to end: all checks passed"
