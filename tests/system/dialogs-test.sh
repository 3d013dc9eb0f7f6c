#!/usr/bin/env bash
# ConfirmYesNo and BrowseForFolder for real under Wine and Xvfb: windriver
# reads the box and the picker, answers them, and SysProbe writes down what
# the helper returned.
#   dialogs-test.sh WINDRIVER.EXE SYSPROBE.EXE
set -u
. "$(dirname "$0")/../wine/wine-session.sh"
driver=$1
probe=$2
wine_session_start || exit 125

work=$WINE_SESSION_DIR/work
mkdir -p "$work"
PROBE=$(winpath "$probe")
OUT=$(winpath "$work/answer.txt")

# run_case NAME: runs the driver script read from stdin; the probe's answer
# is then in $work/answer.txt and the driver's output in $work/NAME.out.
run_case() {
    local name=$1
    rm -f "$work/answer.txt"
    cat >"$work/$name.txt"
    wine_timeout 180 "$driver" script "$(winpath "$work/$name.txt")" >"$work/$name.out" 2>"$work/$name.err" </dev/null ||
        fail "$name: $(cat "$work/$name.err")"
}
answer() { cat "$work/answer.txt" 2>/dev/null; }

# --- the Yes/No question -----------------------------------------------------
run_case confirm-yes <<EOF
start "$PROBE" confirm "Cancel the setup of Demo?" "$OUT"
expect-msgbox --title Sysprobe --text "Cancel the setup of Demo?" --buttons Yes,No --icon question
expect-focus --text "&Yes"
list-windows --class "#32770"
list-windows --title "Probe Owner"
expect-disabled --title "Probe Owner"
msgbox-press Yes
expect-exit-code 0
EOF
[ "$(answer)" = yes ] || fail "Yes gave \"$(answer)\""
owner=$(sed -n 's/^hwnd=\(0x[0-9A-F]*\) .*title="Probe Owner".*/\1/p' "$work/confirm-yes.out")
grep -q "class=\"#32770\" title=\"Sysprobe\" .* owner=${owner:-none}\$" "$work/confirm-yes.out" ||
    fail "the question box is not owned by the window given (${owner:-not found})"

run_case confirm-no <<EOF
start "$PROBE" confirm "Overwrite?" "$OUT"
expect-msgbox --title Sysprobe --text "Overwrite?" --buttons Yes,No --icon question
msgbox-press No --mouse
expect-exit-code 0
EOF
[ "$(answer)" = no ] || fail "No gave \"$(answer)\""

run_case confirm-enter <<EOF
start "$PROBE" confirm "Enter takes the default button" "$OUT"
expect-msgbox --text "Enter takes the default button"
keys Enter
expect-exit-code 0
EOF
[ "$(answer)" = yes ] || fail "Enter (Yes is the default button) gave \"$(answer)\""

# --- the folder picker ---------------------------------------------------------
# Cancel gives "", the program's windows are disabled meanwhile and enabled
# again afterwards, except the one that was disabled before.
run_case browse-cancel <<EOF
start "$PROBE" browse "Select the destination folder" "" "$OUT"
picker
expect-disabled --title "Probe Window"
expect-disabled --title "Probe Disabled"
list-windows --hidden --title "Probe Application"
list-windows --class "#32770"
picker-cancel
expect-exit-code 0
EOF
printf 'result=\nwindow-enabled=1\ndisabled-window-enabled=0\n' | cmp -s - "$work/answer.txt" ||
    fail "Cancel: the probe wrote \"$(answer)\""
grep -qx 'prompt="Select the destination folder"' "$work/browse-cancel.out" || fail "the picker's prompt is not the title given"
app=$(sed -n 's/^hwnd=\(0x[0-9A-F]*\) .*title="Probe Application".*/\1/p' "$work/browse-cancel.out")
grep -q "class=\"#32770\" .* owner=${app:-none}\$" "$work/browse-cancel.out" ||
    fail "the picker is not owned by the application window ${app:-(not found)}"

# browse_ok NAME ROOT ITEM WANTED TOP: the picker opened at ROOT, ITEM chosen
# in its tree and OK pressed must give WANTED, with TOP the tree's one top item.
browse_ok() {
    local name=$1 root=$2 item=$3 wanted=$4 top=$5
    run_case "$name" <<EOF
start "$PROBE" browse "Pick one" "$root" "$OUT"
picker-tree
picker-select '$item'
picker-ok
expect-exit-code 0
EOF
    [ "$(head -n1 "$work/answer.txt" 2>/dev/null)" = "result=$wanted" ] || fail "$name: OK gave \"$(answer)\""
    [ "$(grep -c '^"' "$work/$name.out")" = 1 ] && grep -q "^\"$top\"" "$work/$name.out" ||
        fail "$name: the tree's one top item is not \"$top\": $(head -n3 "$work/$name.out")"
}
# A root that does not exist shows the whole tree; OK gives the chosen folder.
browse_ok browse-missing-root 'C:\no\such\folder' 'C:\windows' 'C:\windows' Desktop
# An existing root limits the tree to that folder and what lies below it.
browse_ok browse-root 'C:\windows' 'windows\system32' 'C:\windows\system32' windows

wine_session_end
[ $failures = 0 ] && echo "dialog tests passed"
exit $((failures > 0))
