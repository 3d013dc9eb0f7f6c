#!/usr/bin/env bash
# Faults met by the real Setup.exe under Wine and Xvfb, driven by windriver.
# Each scenario runs in a prefix and display of its own.
#
#   faults-e2e.sh SCENARIO SETUP_EXE WINDRIVER MAKE_FAULT_PACKAGE LAYOUT_CHECK
#
#   cancel-copy      Cancel while files are copied: the install goes on, no
#                    question, the window closes by itself once it is done
#   full-disk        the install folder on a 4 MiB drive X: (a tmpfs), Cancel
#                    pressed while copying: the write error box, then the
#                    question; No keeps the installing page
#   truncated        Setup.exe's own file cut short while its files are copied
#   second-instance  a second Setup.exe started while the first copies
#   damaged-stream   the same files packed compressed (makesetup from
#                    $MAKESETUP), a byte of the stream changed halfway: the
#                    read error box as for a cut package
#
# full-disk needs a mount namespace; without one it exits with 77 (a skip).
set -u
[ $# = 5 ] || { echo "usage: faults-e2e.sh SCENARIO SETUP_EXE WINDRIVER MAKE_FAULT_PACKAGE LAYOUT_CHECK" >&2; exit 2; }
scenario=$1 setup_exe=$2 driver=$3 maker=$4 checker=$5
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../wine/wine-session.sh"
. "$here/../support/uninstall-contract.sh"
. "$here/../package/faults/faults-namespace.sh"
[ "$scenario" = full-disk ] && faults_enter_namespace "$0" "$@"

wine_session_start || { echo "wine session did not start" >&2; exit 1; }
work=$WINE_SESSION_DIR
. "$here/driver-session.sh"
driver_session_prepare
driver_failed=finish
on_end=:  # what a scenario must undo before the prefix goes
finish() {
    eval "$on_end"
    wine_session_end
    scenario_verdict
    exit
}

# The cancel question: a script shows it with `msgbox` ($ask), answers it, and
# check_question compares what it printed.
question='Setup is not complete. If you quit now, the program will not be install. \r\nYou may run the setup program again at the another time to complete installation.\r\nExit Setup?'
ask='wait-window --class #32770
msgbox'
check_question() {
    local seen wanted
    seen=$(grep -E '^(title|text|icon|buttons)=' "$work/out.txt" | tr -d '\r')
    wanted=$(printf 'title="Setup"\ntext="%s"\nicon=question\nbuttons="Yes,No"' "$question")
    [ "$seen" = "$wanted" ] || fail "the question differs:"$'\n'"  seen:   ${seen//$'\n'/ | }"$'\n'"  wanted: ${wanted//$'\n'/ | }"
}
# The event error box with TEXT, pressed.
error_box() {
    printf 'wait-window --class #32770 --timeout 120\nexpect-msgbox --title Setup --text "%s" --icon error --buttons OK\nmsgbox-press OK\n' "$1"
}

setup_c=$(wine_c Setup.exe)
expected=$work/expected
app_dir=$(wine_c "Program Files/Fault Demo")
"$maker" "$setup_exe" "$setup_c" "$expected" </dev/null >/dev/null 2>&1 ||
    { fail "package not made"; finish; }
data_files=$(ls "$expected/data" | wc -l)
items=$((2 + 2 + data_files))  # folders and files: the copy step's last position

# The driver starts Setup.exe: the following steps keep to its process, and
# expect_exit reads its exit code.
start_setup() {
    drive <<<"start C:\\Setup.exe
wait-window --class TfrmWelcome --timeout $first_window_timeout"
}
expect_exit() { drive <<<"expect-exit-code $1 --timeout 60"; }
# Cancel on the failed page, Yes to the question: the program ends with 0.
quit_from_failed_page() {
    drive <<EOF
click --class TfrmWelcome --id @Button11@
$ask
msgbox-press Yes
EOF
    check_question
    expect_exit 0
}
# The Windows process id in the listing the last driver script ended with.
listed_pid() { sed -n 's/.* pid=\([0-9]*\) .*/\1/p' "$work/out.txt" | head -n1; }

# Welcome, destination (FOLDER, or the default), ready page of the Setup.exe
# with process id PID (or the one started).
to_ready() {
    local window="--class TfrmWelcome${2:+ --pid $2}" folder=
    [ -n "${1:-}" ] && folder="set-text $window --id @edtPath@ --value \"$1\""
    drive <<EOF
wait-window $window --timeout $first_window_timeout
click $window --id @btn1Defaul@
expect-visible $window --id @edtPath@
$folder
click $window --id @btn2Defaul@
expect-visible $window --id @btn3Defaul@
EOF
}
# Install is clicked with the mouse (a click by message would wait for the
# whole install). The wizard answers only between items, so what follows in
# the same script happens while the data files are copied.
install_click='click --class TfrmWelcome --id @btn3Defaul@ --mouse
expect-text --class TfrmWelcome --id @lblMsg42@ --contains "\data\part" --timeout 60'

# The progress bar's position into $at.
read_position() {
    drive <<<"send-message --class TfrmWelcome --id @ProgressBar1@ 0x408 0 0"
    at=$(sed -n 's/^result=//p' "$work/out.txt" | tr -d '\r')
}

# The registry keys the install writes, as `reg query` lists them.
registry_keys() {
    {
        wine_reg query "$uninstall_registrations\\Fault Demo"
        wine_reg query 'HKCU\Software\FaultDemo'
    } </dev/null 2>/dev/null | tr -d '\r' >"$work/reg.txt"
}
expect_all_installed() {
    diff -r "$expected" "$app_dir" -x $uninstall_data_file -x uninstall-history.dat >"$work/diff.txt" 2>&1 ||
        fail "the install differs from the package: $(head -n5 "$work/diff.txt")"
    [ -f "$app_dir/$uninstall_data_file" ] || fail "no $uninstall_data_file"
    registry_keys
    grep -q '^    DisplayName    REG_SZ    Fault Demo$' "$work/reg.txt" || fail "no uninstall registration: $(cat "$work/reg.txt")"
    grep -q '^    Path    REG_SZ    C:\\Program Files\\Fault Demo$' "$work/reg.txt" || fail "HKCU\\Software\\FaultDemo Path not written"
}
# What a failed install must not have done: the steps after the copy; and no
# temporary file of its own left beside the targets.
expect_stopped_in_copy() {
    local dir=$1
    [ ! -e "$dir/$uninstall_data_file" ] || fail "an uninstall data file after a failed install"
    registry_keys
    grep -q 'REG_SZ' "$work/reg.txt" && fail "the registry step ran: $(cat "$work/reg.txt")"
    [ -z "$(ls "$dir/data" | grep -v '^part[0-9]*\.bin$')" ] || fail "leftover files: $(ls "$dir/data" | grep -v '^part')"
}
# The installing page after an install error: Cancel is its only way on.
failed_page='expect-visible --class TfrmWelcome --id @Button11@
expect-hidden --class TfrmWelcome --id @btn5Defaul@'

# How the install of Setup.exe PID ended, into $outcome: "finished" (the
# finished page in front), "error" (a message box) or empty (still running
# after a minute).
end_state() {
    local n
    outcome=
    for ((n = 0; n < 30; n++)); do
        drive <<EOF
list-windows --pid $1
controls --class TfrmWelcome --pid $1
EOF
        if grep -q 'class="#32770"' "$work/out.txt"; then
            outcome=error
        elif grep -q " id=${ID[btn5Defaul]} .* visible=1 " "$work/out.txt"; then
            outcome=finished
        else
            sleep 1
            continue
        fi
        return
    done
}

# ---- scenarios ---------------------------------------------------------------

cancel_copy() {
    start_setup
    to_ready
    # Both clicks are posted, so the wizard takes them in order: Install
    # starts the copy, and the copy's first look at the message queue finds
    # Cancel. No race with the copy's speed.
    drive <<EOF
click --class TfrmWelcome --id @btn3Defaul@
click --class TfrmWelcome --id @Button11@
EOF
    # Recorded, Cancel closes the window once the install is done; the
    # question would keep it open, an unrecorded Cancel leave the finished page.
    drive <<'EOF'
wait-gone --class TfrmWelcome --timeout 300
expect-no-window --class #32770 --until-exit
expect-exit-code 0
EOF
    expect_all_installed
}

full_disk() {
    local drive_dir=$work/x
    mkdir -p "$drive_dir"
    mount -t tmpfs -o size=4m,mode=0777 faults-x "$drive_dir" 2>/dev/null || { wine_session_end; faults_skip "cannot mount a tmpfs"; }
    on_end="umount '$drive_dir' 2>/dev/null"
    trap 'eval "$on_end"; wine_session_end' EXIT
    ln -s "$drive_dir" "$WINEPREFIX/dosdevices/x:"
    local x_app=$drive_dir/Fault\ Demo

    note "Cancel while copying, then the disk fills: the write error box, then the question"
    start_setup
    to_ready 'X:\Fault Demo'
    drive <<EOF
$install_click
click --class TfrmWelcome --id @Button11@
$(error_box 'Stream write error.')
$ask
msgbox-press No
$failed_page
expect-text --class TfrmWelcome --id @lblMsg42@ --starts-with "Copy file X:\Fault Demo\data\part"
send-message --class TfrmWelcome --id @ProgressBar1@ 0x408 0 0
EOF
    at=$(sed -n 's/^result=//p' "$work/out.txt" | tr -d '\r')
    note "the disk was full after step $at of $items"
    [ -n "$at" ] && [ "$at" -gt 4 ] && [ "$at" -lt "$items" ] || fail "position after the error: '$at'"
    local i name
    for ((i = 0; i < at - 4; i++)); do  # after two folders and two files
        name=data/part$(printf %03d $i).bin
        cmp -s "$expected/$name" "$x_app/$name" || fail "$name, reported copied, differs"
    done
    cmp -s "$expected/readme.txt" "$x_app/readme.txt" || fail "readme.txt differs"
    check_question
    expect_stopped_in_copy "$x_app"
    note "No: the installing page stays, and a close request asks again"
    drive <<EOF
close --class TfrmWelcome
$ask
msgbox-press Yes
EOF
    check_question
    expect_exit 0
    [ -f "$x_app/readme.txt" ] || fail "the files copied before the error were removed"
}

truncated() {
    # An earlier install's copy of the file the cut reaches into, which the
    # failed run must leave as it was.
    mkdir -p "$app_dir/data"
    printf 'an older part004\r\n' >"$app_dir/data/part004.bin"
    local stub_size
    stub_size=$(stat -c %s "$setup_exe")
    start_setup
    # The package is open and its tables read: cut it inside the fifth data file.
    truncate -s $((stub_size + 5 * 49152)) "$setup_c" || fail "cannot cut the package"
    to_ready
    drive <<EOF
click --class TfrmWelcome --id @btn3Defaul@ --mouse
$(error_box 'Stream read error.')
$failed_page
expect-text --class TfrmWelcome --id @lblMsg42@ --equals "Copy file C:\Program Files\Fault Demo\data\part003.bin"
EOF
    [ "$(cat "$app_dir/data/part004.bin")" = $'an older part004\r' ] || fail "the failed run changed part004.bin"
    [ ! -e "$app_dir/data/part005.bin" ] || fail "part005.bin, wholly cut off, was created"
    expect_stopped_in_copy "$app_dir"
    quit_from_failed_page
}

second_instance() {
    start_setup
    local first second=
    first=$(listed_pid)
    # The second runs outside the driver, which keeps to the first: it is
    # named by its process id from here on.
    wine_background 600 'C:\Setup.exe'
    local second_run=$WINE_BACKGROUND n
    for ((n = 0; n < 30 && ${#second} == 0; n++)); do
        drive <<<"list-windows --class TfrmWelcome --any-process"
        second=$(sed -n 's/.* pid=\([0-9]*\) .*/\1/p' "$work/out.txt" | grep -vx "$first" | head -n1)
    done
    [ -n "$first" ] && [ -n "$second" ] || { fail "two wizards expected: $(cat "$work/out.txt")"; finish; }
    note "two wizards of one package: processes $first and $second"
    drive <<<"expect-text --class TfrmWelcome --pid $second --id @lblMsg@ --equals \"Welcome to Fault Demo setup wizard\""
    to_ready "" "$first"
    to_ready "" "$second"
    note "both install into one folder at once"
    # The two windows lie one on the other, so the clicks go by message.
    drive <<EOF
click --class TfrmWelcome --pid $first --id @btn3Defaul@
expect-text --class TfrmWelcome --pid $first --id @lblMsg42@ --contains "\data\part" --timeout 60
click --class TfrmWelcome --pid $second --id @btn3Defaul@
expect-visible --class TfrmWelcome --pid $second --id @Button11@
send-message --class TfrmWelcome --pid $first --id @ProgressBar1@ 0x408 0 0
EOF
    note "the second began while the first stood at step $(sed -n 's/^result=//p' "$work/out.txt" | tr -d '\r') of $items"
    local pid finished=0
    for pid in $first $second; do
        end_state "$pid"
        note "Setup.exe $pid: $outcome"
        case $outcome in
            finished)
                finished=$((finished + 1))
                drive <<<"click --class TfrmWelcome --pid $pid --id @btn5Defaul@"
                ;;
            error)
                # The other had the file open: refused, not overwritten.
                drive <<<"msgbox --pid $pid"
                grep -Eq '^text="Cannot create file \\"C:\\\\Program Files\\\\Fault Demo\\\\[^"]*\\". Sharing violation\."' \
                    "$work/out.txt" || fail "Setup.exe $pid: $(cat "$work/out.txt")"
                drive <<EOF
msgbox-press OK --pid $pid
close --class TfrmWelcome --pid $pid
wait-window --class #32770 --pid $pid
msgbox-press Yes --pid $pid
EOF
                ;;
            *) fail "Setup.exe $pid neither finished nor failed" ;;
        esac
    done
    expect_exit 0
    local second_rc=0
    wait "$second_run" || second_rc=$?
    [ $second_rc = 0 ] || fail "the second Setup.exe: exit code $second_rc"
    [ $finished -ge 1 ] || fail "neither install finished"
    expect_all_installed
    [ -z "$(ls "$app_dir" "$app_dir/data" | grep -i '\.tmp$')" ] || fail "temporary files left: $(ls "$app_dir")"
}

damaged_stream() {
    local pack=$work/pack
    mkdir -p "$pack"
    cp -r "$expected" "$pack/files"
    printf '[package]\nname = "Fault Demo"\ncompression = "fast"\nregistration = false\n[[file]]\nsource = "files/**"\n' \
        >"$pack/package.toml"
    "$MAKESETUP" build "$pack/package.toml" --stub "$setup_exe" -o "$setup_c" -q 2>/dev/null || { fail "not packed"; return; }
    local offset size
    read -r offset size < <("$MAKESETUP" list --json "$setup_c" |
        awk -F'[:,]' '/"StreamOffset"/ { o = $2 } /"StreamSize"/ { s = $2 } END { print o + 0, s + 0 }')
    [ "$size" -gt 0 ] || { fail "no stream in the package"; return; }
    printf '\xff' | dd of="$setup_c" bs=1 seek=$((offset + size / 2)) conv=notrunc status=none
    start_setup
    to_ready
    drive <<EOF
click --class TfrmWelcome --id @btn3Defaul@ --mouse
$(error_box 'Stream read error.')
$failed_page
EOF
    expect_stopped_in_copy "$app_dir"
    quit_from_failed_page
}

case $scenario in
    cancel-copy) cancel_copy ;;
    full-disk) full_disk ;;
    truncated) truncated ;;
    second-instance) second_instance ;;
    damaged-stream) damaged_stream ;;
    *) echo "unknown scenario $scenario" >&2; exit 2 ;;
esac
finish
