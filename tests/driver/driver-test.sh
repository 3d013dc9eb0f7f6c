#!/usr/bin/env bash
# windriver against its own target window, under Wine and Xvfb: one script
# that works every kind of command, then the failures a script must report.
#   driver-test.sh WINDRIVER.EXE DRIVER_TARGET.EXE
set -u
. "$(dirname "$0")/../wine/wine-session.sh"
driver=$1
target=$2
wine_session_start || exit 125

work=$WINE_SESSION_DIR/work
mkdir -p "$work"

# Runs the driver; its stdout goes to $work/out, stderr to $work/err.
drive() {
    # Only a safety net: every wait inside the driver has its own time-out.
    wine_timeout 600 "$driver" "$@" >"$work/out" 2>"$work/err" </dev/null
}

cat >"$work/main.txt" <<EOF
# Every command family against the target window.
start "$(winpath "$target")"
wait-window --title "Driver Target" --timeout $first_window_timeout
expect-focus --id 101
expect-text --id 103 --equals ready
set-text --id 101 --value Ann
click Greet
expect-text --id 103 --equals "Hello, Ann"
set-text --id 101 --value ""
click --mouse --id 101
expect-focus --id 101
type "Bob & Co"
expect-text --id 101 --equals "Bob & Co"
keys Enter
expect-text --id 103 --equals "Hello, Bob & Co"
keys Tab
expect-focus --text "&Greet"
keys Shift+Tab
expect-focus --id 101
expect-disabled --text Off
expect-enabled --id 104
expect-hidden --text Unseen
expect-visible --control-class Button --index 2
controls
keys Alt+A
msgbox
expect-msgbox --title "Target question" --text "Proceed with the test?" --buttons Yes,No --icon question
msgbox-press Yes
expect-no-window --class "#32770"
expect-text --title "Driver Target" --id 103 --equals "answer yes"
click --mouse --id 104
expect-msgbox --buttons Yes,No
msgbox-press No --mouse
expect-text --title "Driver Target" --id 103 --equals "answer no"
click "&Browse..."
expect-disabled --title "Driver Target"
picker
picker-select 'C:\windows\system32'
picker-ok
expect-enabled --title "Driver Target"
expect-text --id 103 --equals 'picked C:\windows\system32'
click "&Browse..."
picker-cancel
expect-text --title "Driver Target" --id 103 --equals "picked nothing"
screenshot --out "$(winpath "$work/window.bmp")"
screenshot --screen --out "$(winpath "$work/screen.bmp")"
screenshot --client --out "$(winpath "$work/client.bmp")"
keys --post Escape
expect-text --id 103 --equals escape
keys Alt+F4
expect-exit-code 7
EOF
drive script "$(winpath "$work/main.txt")" || fail "main script: $(cat "$work/err")"
grep -q 'class="Edit" text="Bob & Co" rect=10,10,210,34 visible=1 enabled=1 focus=1' "$work/out" ||
    fail "controls did not list the edit box with its client rectangle and focus"
grep -qx 'icon=question' "$work/out" || fail "msgbox did not recognise the question icon"
grep -qx 'prompt="Pick a test folder"' "$work/out" || fail "picker did not read its prompt"

# The window's picture: a 24-bit .bmp as large as the window, not one colour.
check_bitmap() {
    local file=$1 size
    [ -f "$file" ] || { fail "$file was not written"; return; }
    [ "$(head -c 2 "$file")" = BM ] || fail "$file is not a bitmap"
    size=$(identify -format '%wx%h' "$file" 2>/dev/null)
    [ "$size" = "$2" ] || fail "$file is $size, wanted $2"
    [ "$(identify -format '%k' "$file" 2>/dev/null)" -gt 4 ] || fail "$file shows nearly nothing"
}
check_bitmap "$work/window.bmp" 340x180
# The client area: the size the driver reported, inside the window's frame.
client_size=$(sed -n 's/^saved .*client.bmp \([0-9]*x[0-9]*\)$/\1/p' "$work/out")
check_bitmap "$work/client.bmp" "$client_size"
w=${client_size%x*} h=${client_size#*x}
[ "${w:-0}" -gt 300 ] && [ "$w" -lt 340 ] && [ "${h:-0}" -gt 120 ] && [ "$h" -lt 180 ] ||
    fail "the client area is $client_size, not inside the 340x180 window"
check_bitmap "$work/screen.bmp" 1024x768

# Failing expectations stop the script with exit code 1 and name the line.
# The target lives until the close below (the session's end stops it at the latest).
wine_timeout 600 "$target" >/dev/null 2>&1 </dev/null &
printf '%s\n' "wait-window --title \"Driver Target\" --timeout $first_window_timeout" 'expect-text --id 103 --equals "not ready" --timeout 0.5' \
    'echo unreachable' >"$work/fails.txt"
drive script "$(winpath "$work/fails.txt")"
[ $? = 1 ] || fail "a failed expectation did not give exit code 1"
grep -q 'fails.txt:2: expect-text: control 0x[0-9A-F]* shows "ready", wanted "not ready"' "$work/err" ||
    fail "the failure message is unclear: $(cat "$work/err")"
grep -q unreachable "$work/out" && fail "the script went on after a failure"

drive expect-no-window --title "Driver Target" --timeout 0.5
[ $? = 1 ] || fail "expect-no-window passed while the window is there"
# A box that comes only after the check has begun is still seen: the program
# has not ended, and a box shows up before it does.
printf '%s\n' "start \"$(winpath "$target")\"" "wait-window --title \"Driver Target\" --timeout $first_window_timeout" 'click --id 104' \
    'expect-no-window --class #32770 --until-exit --timeout 60' >"$work/late.txt"
drive script "$(winpath "$work/late.txt")"
[ $? = 1 ] && grep -Eq 'late.txt:4: expect-no-window: window class="#32770" program=[0-9]* appeared' "$work/err" ||
    fail "expect-no-window --until-exit missed a box that came late: $(cat "$work/err")"
printf '%s\n' 'close --title "Driver Target"' 'wait-gone --title "Driver Target" --timeout 60' >"$work/close.txt"
drive script "$(winpath "$work/close.txt")" || fail "close did not close the window: $(cat "$work/err")"

drive wait-window --title "Nobody" --timeout 0.5
[ $? = 1 ] && grep -q 'no window title="Nobody" within 0.5 s' "$work/err" || fail "a missing window was not reported"
drive clik --id 1
[ $? = 2 ] && grep -q 'unknown command "clik"' "$work/err" || fail "an unknown command was not a usage error"
# Unknown options and keys are usage errors as well: DriverParseTest.

# Waits that cannot mean one window are refused at once (a wait would run
# into the safety net): a class in any process, a wait for nothing.
printf '%s\n' 'echo ran' 'expect-no-window --class #32770 --any-process' >"$work/any.txt"
drive script "$(winpath "$work/any.txt")"
[ $? = 2 ] && grep -q 'any.txt:2: expect-no-window: --any-process wants the window named' "$work/err" &&
    ! grep -q ran "$work/out" || fail "a class in any process was not refused before the script ran: $(cat "$work/err")"
drive wait-window --class "#32770" --timeout 60
[ $? = 2 ] && grep -q 'no program was started or attached' "$work/err" ||
    fail "a class with no program was not refused: $(cat "$work/err")"
drive wait-gone --timeout 60
[ $? = 2 ] && grep -q 'wait-gone: wants a window' "$work/err" || fail "a wait-gone for nothing was not refused: $(cat "$work/err")"

wine_session_end
[ $failures = 0 ] && echo "driver tests passed"
exit $((failures > 0))
