#!/usr/bin/env bash
# End to end: the real Setup.exe with a payload, under Wine and Xvfb, driven
# through windriver. Each scenario runs in a prefix and display of its own.
#
#   wizard-e2e.sh SCENARIO SETUP_EXE WINDRIVER MAKE_TEST_PACKAGE LAYOUT_CHECK ARTIFACTS
#
# Scenarios: walk, cancel, install-cancel, install-keys, finished-close,
# install-error, live-progress, startup, links. Screenshots of the pages and boxes go to ARTIFACTS as PNG.
set -u
[ $# = 6 ] || { echo "usage: wizard-e2e.sh SCENARIO SETUP_EXE WINDRIVER MAKE_TEST_PACKAGE LAYOUT_CHECK ARTIFACTS" >&2; exit 2; }
scenario=$1 setup_exe=$2 driver=$3 maker=$4 checker=$5 artifacts=$6
. "$(dirname "$0")/../wine/wine-session.sh"
. "$(dirname "$0")/../support/uninstall-contract.sh"

wine_session_start || { echo "wine session did not start" >&2; exit 1; }
work=$WINE_SESSION_DIR
mkdir -p "$artifacts"

. "$(dirname "$0")/driver-session.sh"
e2e_name=$scenario
driver_session_prepare

# The page in front, compared with the layout table (extra NAME=TEXT pairs
# for the texts composed from the package's name).
page() {
    drive <<<"controls --class TfrmWelcome" || return 1
    check_listing "$@"
}
# The same for the listing the last driver script ended with.
check_listing() {
    local name=$1
    shift
    "$checker" page "$name" "$work/out.txt" "$@" || fail "page $name differs from the layout"
}

# A click by message is posted, so the driver never waits for the install a
# click starts, and posted clicks and keys are taken in the order sent.

# The package of scenario KIND, written natively as C:\Setup.exe.
make_package() { "$maker" "$1" "$setup_exe" "$(wine_c Setup.exe)" </dev/null >/dev/null 2>&1 || fail "package $1 not made"; }
# The driver starts Setup.exe: the following steps keep to its process, and
# expect_exit reads its exit code.
start_setup() {
    drive <<<"start C:\\Setup.exe
wait-window --class TfrmWelcome --timeout $first_window_timeout"
}
expect_exit() { drive <<<"expect-exit-code $1 --timeout 60"; }

app_dir=$(wine_c "Program Files/Demo App")
question='Setup is not complete. If you quit now, the program will not be install. \r\nYou may run the setup program again at the another time to complete installation.\r\nExit Setup?'
folder_message='Please enter the full path of the destination folder, beginning with a drive letter (for example C:\\Program Files\\Application) or with a network share (\\\\server\\share\\folder).'
summary=$'Destination location:\r\n     C:\\Program Files\\Demo App\\\r\n \r\nStart Menu folder:\r\n     Demo App'

# Driver lines from the welcome page to the ready page with the default
# folder; posted clicks are taken in order. to_installing then clicks Install
# with the mouse, as a user would (the focus then moves as it does for one),
# once the ready page is in front: a real click lands on whatever is under
# the point, which until then is the destination page's Next.
to_ready='click --class TfrmWelcome --id @btn1Defaul@
click --class TfrmWelcome --id @btn2Defaul@
expect-visible --class TfrmWelcome --id @btn3Defaul@'
to_installing="$to_ready
click --class TfrmWelcome --id @btn3Defaul@ --mouse"

# Answers the cancel question with `answer`; the box names the application.
answer_question() {
    press=$1 expect_box Setup "$question" question Yes,No
}

expect_installed() {
    for f in readme.txt Uninstall.exe data/big.bin data/file7.txt $uninstall_data_file; do
        [ -f "$app_dir/$f" ] || fail "not installed: $f"
    done
    [ "$(stat -c %s "$app_dir/data/big.bin" 2>/dev/null)" = 200000 ] || fail "big.bin has the wrong size"
    local reg
    reg=$(wine_reg query 'HKCU\Software\DemoApp' </dev/null 2>/dev/null | tr -d '\r')
    grep -q '^    Path    REG_SZ    C:\\Program Files\\Demo App$' <<<"$reg" || fail "HKCU Path value: $reg"
    grep -q '^    Exe    REG_SZ    C:\\Program Files\\Demo App\\demo.exe /s {InstallDir}$' <<<"$reg" || fail "HKCU Exe value: $reg"
    reg=$(wine_reg query "$uninstall_registrations\\Demo App" </dev/null 2>/dev/null | tr -d '\r')
    grep -q '^    DisplayName    REG_SZ    Demo App$' <<<"$reg" || fail "uninstall DisplayName: $reg"
    grep -qi '^    UninstallString    REG_SZ    C:\\.*\.EXE$' <<<"$reg" || fail "uninstall UninstallString: $reg"
    [ -f "$(wine_c 'users')"/*/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs/Demo\ App/Read\ me.lnk ] ||
        fail "no Start Menu item Demo App\\Read me"
}

# ---- scenarios ---------------------------------------------------------------

walk() {
    make_package slow
    start_setup
    drive <<'EOF'
expect-window --class TfrmWelcome --title "Setup  - Demo App"
expect-focus --class TfrmWelcome --id @btn1Defaul@
EOF
    page pn1 "lblMsg=Welcome to Demo App setup wizard" "lblMsg2=It will install Demo App on your computer." \
        "lblAuthor=Jane Author" "lblEmail=jane@example.com" "lblWebsite=http://www.example.com/demo"
    shot 1-welcome
    note "welcome: Cancel and the close box ask, No stays"
    drive <<'EOF'
click --class TfrmWelcome --id @Button2@
wait-window --class #32770
EOF
    shot question --class '#32770'
    answer_question No
    drive <<'EOF'
expect-visible --class TfrmWelcome --id @btn1Defaul@
expect-no-window --class #32770
close --class TfrmWelcome
wait-window --class #32770
EOF
    answer_question No

    note "welcome: Escape does nothing; destination: Next, Back, Next again resets the folder box"
    # Keys are taken in order: had Escape opened a box, Alt+N would go to it
    # and the wizard would stay on its welcome page.
    drive <<'EOF'
expect-visible --class TfrmWelcome --id @btn1Defaul@
expect-focus --class TfrmWelcome --id @Button2@
keys --class TfrmWelcome Escape Alt+N
expect-visible --class TfrmWelcome --id @edtPath@
expect-no-window --class #32770
expect-focus --class TfrmWelcome --id @btn2Defaul@
EOF
    page pn2 "lblMsg21=Where should Demo App be installed" \
        "lblMsg22=Setup will install Demo App into the following folder." "edtPath=C:\\Program Files\\Demo App"
    shot 2-destination
    drive <<'EOF'
set-text --class TfrmWelcome --id @edtPath@ --value "D:\Elsewhere"
click --class TfrmWelcome --id @Button6@
expect-visible --class TfrmWelcome --id @btn1Defaul@
expect-focus --class TfrmWelcome --id @btn1Defaul@
expect-hidden --class TfrmWelcome --id @edtPath@
click --class TfrmWelcome --id @btn1Defaul@
expect-text --class TfrmWelcome --id @edtPath@ --equals "C:\Program Files\Demo App"
keys --class TfrmWelcome Escape
set-text --class TfrmWelcome --id @edtPath@ --value "C:\Kept"
click --class TfrmWelcome --id @Button5@
wait-window --class #32770
EOF
    answer_question No
    drive <<'EOF'
expect-text --class TfrmWelcome --id @edtPath@ --equals "C:\Kept"
close --class TfrmWelcome
wait-window --class #32770
EOF
    answer_question No

    note "destination: Browse, cancelled and chosen"
    drive <<'EOF'
expect-text --class TfrmWelcome --id @edtPath@ --equals "C:\Kept"
click --class TfrmWelcome --id @Button4@
picker
expect-disabled --class TfrmWelcome
picker-cancel
expect-enabled --class TfrmWelcome
expect-text --class TfrmWelcome --id @edtPath@ --equals "C:\Kept"
click --class TfrmWelcome --id @Button4@
picker-select C:\windows
picker-ok
expect-enabled --class TfrmWelcome
expect-text --class TfrmWelcome --id @edtPath@ --equals "C:\windows"
EOF

    note "destination: Next refuses an empty, blank or relative folder"
    for folder in '' '   ' 'Demo App' 'C:Demo'; do
        drive <<EOF
set-text --class TfrmWelcome --id @edtPath@ --value "$folder"
click --class TfrmWelcome --id @btn2Defaul@
wait-window --class #32770
EOF
        press=OK expect_box Setup "$folder_message" warning OK
        drive <<'EOF'
expect-visible --class TfrmWelcome --id @edtPath@
expect-hidden --class TfrmWelcome --id @btn3Defaul@
EOF
    done

    note "ready: Enter in the folder box is Next; the summary keeps the backslash"
    drive <<'EOF'
set-text --class TfrmWelcome --id @edtPath@ --value "C:\Program Files\Demo App\"
click --class TfrmWelcome --id @edtPath@ --mouse
keys --class TfrmWelcome Enter
expect-visible --class TfrmWelcome --id @btn3Defaul@
expect-focus --class TfrmWelcome --id @btn3Defaul@
EOF
    page pn3 "lblMsg31=Setup is now ready to begin installing Demo App on your computer" "Memo1=$summary"
    shot 3-ready
    drive <<'EOF'
keys --class TfrmWelcome Escape
set-text --class TfrmWelcome --id @Memo1@ --value "typed over"
click --class TfrmWelcome --id @Button10@
expect-visible --class TfrmWelcome --id @edtPath@
expect-focus --class TfrmWelcome --id @btn2Defaul@
expect-text --class TfrmWelcome --id @edtPath@ --equals "C:\Program Files\Demo App\"
keys --class TfrmWelcome Alt+N
expect-visible --class TfrmWelcome --id @btn3Defaul@
click --class TfrmWelcome --id @Button9@
wait-window --class #32770
EOF
    answer_question No
    drive <<'EOF'
expect-visible --class TfrmWelcome --id @btn3Defaul@
keys --class TfrmWelcome Alt+F4
wait-window --class #32770
EOF
    answer_question No
    page pn3 "lblMsg31=Setup is now ready to begin installing Demo App on your computer" "Memo1=$summary"

    note "installing and finished"
    # While the install runs the wizard answers only between items, so a full
    # listing would span the run; install-error compares the page at rest.
    drive <<EOF
click --class TfrmWelcome --id @btn3Defaul@ --mouse
expect-visible --class TfrmWelcome --id @Button11@
expect-focus --class TfrmWelcome --id @ProgressBar1@
expect-text --class TfrmWelcome --id @lblMsg41@ --equals "Please wait while Setup installs Demo App on your computer."
screenshot --class TfrmWelcome --out $(winpath "$work/4-installing.bmp")
EOF
    convert "$work/4-installing.bmp" "$artifacts/4-installing.png"
    # The shell opens a window for each of the six new program groups, each
    # in a process of its own and in its own time, and the latest takes the
    # front: once all are there, back to the wizard.
    drive <<EOF
expect-visible --class TfrmWelcome --id @btn5Defaul@ --timeout 120
$(for group in 'Demo App' 'Demo App '{0..4}; do
        echo "wait-window --class ExplorerWClass --title \"$group\" --any-process --timeout 120"
    done)
activate --class TfrmWelcome
expect-focus --class TfrmWelcome --id @btn5Defaul@
keys --class TfrmWelcome Escape
EOF
    page pn5 "lblMsg51=Completing the Demo App Setup Wizard" \
        "lblMsg52=Setup has finished installing Demo App on your computer. "
    shot 5-finished
    # The bar runs to the total of 22 items; the two registry values report no
    # progress. A box Escape had opened would hold the wizard open past Finish.
    drive <<'EOF'
send-message --class TfrmWelcome --id @ProgressBar1@ 0x407 0 0 --expect 22
send-message --class TfrmWelcome --id @ProgressBar1@ 0x408 0 0 --expect 20
click --class TfrmWelcome --id @btn5Defaul@
expect-no-window --class #32770 --until-exit
expect-exit-code 0
EOF
    expect_installed
}

cancel() {
    make_package full
    note "welcome: Cancel, Yes"
    start_setup
    drive <<<"click --class TfrmWelcome --id @Button2@"
    answer_question Yes
    expect_exit 0
    note "destination: close box, Yes"
    start_setup
    drive <<'EOF'
click --class TfrmWelcome --id @btn1Defaul@
expect-visible --class TfrmWelcome --id @edtPath@
close --class TfrmWelcome
wait-window --class #32770
EOF
    answer_question Yes
    expect_exit 0
    note "ready: Alt+F4, Yes"
    start_setup
    drive <<EOF
$to_ready
keys --class TfrmWelcome Alt+F4
wait-window --class #32770
EOF
    answer_question Yes
    expect_exit 0
    note "ready: the application is being ended (WM_QUIT): closed without a question"
    start_setup
    drive <<EOF
$to_ready
post-message --class TfrmWelcome 0x12
expect-no-window --class #32770 --until-exit
expect-exit-code 0
EOF
    [ ! -e "$app_dir" ] || fail "a cancelled wizard installed something"
}

install_cancel() {
    make_package slow
    note "Cancel while installing: recorded, no question, closes when done"
    start_setup
    # Every click and key is posted, so the wizard takes them in this order:
    # Install starts the copy, whose first look at the message queue finds
    # Cancel, whatever the copy's speed; the covered Install button and its
    # access keys then reach a running install and must not start another.
    drive <<EOF
$to_ready
click --class TfrmWelcome --id @btn3Defaul@
click --class TfrmWelcome --id @Button11@
click --class TfrmWelcome --id @btn3Defaul@
keys --class TfrmWelcome --post Alt+I Alt+B
expect-visible --class TfrmWelcome --id @Button11@
screenshot --class TfrmWelcome --out $(winpath "$work/4-installing-cancelled.bmp")
expect-no-window --class #32770 --until-exit --timeout 300
expect-exit-code 0
EOF
    convert "$work/4-installing-cancelled.bmp" "$artifacts/4-installing-cancelled.png" 2>/dev/null ||
        fail "screenshot 4-installing-cancelled not converted"
    expect_installed
    note "Cancel's access key while installing: the same"
    start_setup
    # Posted: the shell's folder windows for the first run's groups open
    # late and take the front, so typed keys could reach one of them.
    drive <<EOF
$to_installing
expect-focus --class TfrmWelcome --id @ProgressBar1@
keys --class TfrmWelcome --post Alt+C
expect-no-window --class #32770 --until-exit --timeout 300
expect-exit-code 0
EOF
    note "close box while installing: the same"
    start_setup
    drive <<EOF
$to_ready
click --class TfrmWelcome --id @btn3Defaul@
close --class TfrmWelcome
expect-no-window --class #32770 --until-exit --timeout 300
expect-exit-code 0
EOF
}

install_keys() {
    make_package slow
    note "installing: stray Enter and Space record nothing; the finished page still comes"
    start_setup
    # The slow package pauses five seconds in its group records; the keys
    # are handled between items, and the installing page is still in front
    # after them.
    drive <<EOF
$to_installing
expect-visible --class TfrmWelcome --id @Button11@
expect-focus --class TfrmWelcome --id @ProgressBar1@
keys --class TfrmWelcome Enter
keys --class TfrmWelcome Space Enter Space
expect-visible --class TfrmWelcome --id @Button11@
expect-focus --class TfrmWelcome --id @ProgressBar1@
expect-visible --class TfrmWelcome --id @btn5Defaul@ --timeout 120
click --class TfrmWelcome --id @btn5Defaul@
expect-no-window --class #32770 --until-exit
expect-exit-code 0
EOF
    expect_installed
}

finished_close() {
    make_package full
    start_setup
    drive <<EOF
$to_installing
expect-visible --class TfrmWelcome --id @btn5Defaul@ --timeout 120
close --class TfrmWelcome
expect-no-window --class #32770 --until-exit
expect-exit-code 0
EOF
    expect_installed
}

install_error() {
    make_package failcopy
    note "an install error: event box, the installing page stays, Cancel asks"
    start_setup
    drive <<EOF
$to_installing
wait-window --class #32770 --timeout 120
EOF
    shot event-error --class '#32770'
    expect_box Setup 'Stream read error.' error OK
    drive <<<"msgbox-press OK"
    page pn4 "lblMsg41=Please wait while Setup installs Demo App on your computer." \
        "lblMsg42=Copy file C:\\Program Files\\Demo App\\Uninstall.exe"
    shot 6-install-failed
    # Still the last report: two folders and two files of 17 items.
    drive <<'EOF'
send-message --class TfrmWelcome --id @ProgressBar1@ 0x407 0 0 --expect 17
send-message --class TfrmWelcome --id @ProgressBar1@ 0x408 0 0 --expect 4
EOF
    drive <<<"click --class TfrmWelcome --id @Button11@"
    answer_question No
    drive <<'EOF'
expect-visible --class TfrmWelcome --id @Button11@
close --class TfrmWelcome
wait-window --class #32770
EOF
    answer_question Yes
    expect_exit 0
    [ -f "$app_dir/readme.txt" ] || fail "files copied before the error were removed"
    [ ! -e "$app_dir/$uninstall_data_file" ] || fail "an uninstall data file after a failed install"

    note "an install error with a cancel recorded: error box, then the question"
    start_setup
    # Install and Cancel posted in order: the Cancel is recorded by the
    # install's first look at the message queue, before its error.
    drive <<EOF
$to_ready
click --class TfrmWelcome --id @btn3Defaul@
click --class TfrmWelcome --id @Button11@
EOF
    press=OK expect_box Setup 'Stream read error.' error OK
    answer_question Yes
    expect_exit 0
}

live_progress() {
    make_package many
    note "a copy of thousands of files: the label and the bar change on screen while it runs"
    start_setup
    # The error box must not be up yet after the repaints: they happened
    # during the install.
    drive <<'EOF'
click --class TfrmWelcome --id @btn1Defaul@
click --class TfrmWelcome --id @btn2Defaul@
expect-visible --class TfrmWelcome --id @btn3Defaul@
click --class TfrmWelcome --id @btn3Defaul@
expect-visible --class TfrmWelcome --id @Button11@
expect-text --class TfrmWelcome --id @lblMsg42@ --contains "\data\many\item" --timeout 60
expect-repaints --class TfrmWelcome --id @lblMsg42@ --count 3 --timeout 60
expect-repaints --class TfrmWelcome --id @ProgressBar1@ --count 3 --timeout 60
expect-no-window --class #32770 --timeout 0
EOF
    note "the install stops at the registry: the screen shows the last item and position"
    drive <<'EOF'
wait-window --class #32770 --timeout 400
expect-msgbox --text "Failed to set data for 'Unwritable'" --icon error
expect-text --class TfrmWelcome --id @lblMsg42@ --equals "Copy file C:\Program Files\Demo App\data\many\item2999.dat"
send-message --class TfrmWelcome --id @ProgressBar1@ 0x408 0 0 --expect 3014
expect-drawn --class TfrmWelcome --id @lblMsg42@ --timeout 20
expect-drawn --class TfrmWelcome --id @ProgressBar1@ --timeout 20
EOF
    shot 7-progress-final
    drive <<'EOF'
msgbox-press OK
click --class TfrmWelcome --id @Button11@
wait-window --class #32770
EOF
    answer_question Yes
    expect_exit 0
    [ -f "$app_dir/data/many/item2999.dat" ] || fail "the last of the many files is missing"
}

startup() {
    note "a file table past the end of the file: Application Error, exit code 1"
    make_package badtable
    drive <<<"start C:\\Setup.exe
wait-window --class #32770 --title \"Application Error\" --timeout $first_window_timeout"
    shot application-error --class '#32770'
    drive <<<"msgbox"
    grep -Eq '^text="Exception EReadError in module Setup.exe at [0-9A-F]{8}\.\\r\\nStream read error\.\\r\\n"' "$work/out.txt" ||
        fail "Application Error text: $(cat "$work/out.txt")"
    grep -q '^icon=error' "$work/out.txt" || fail "Application Error icon: $(cat "$work/out.txt")"
    drive <<'EOF'
expect-no-window --class TfrmWelcome
msgbox-press OK
EOF
    expect_exit 1

    note "no payload: exit code 0 and no window"
    cp "$setup_exe" "$(wine_c Bare.exe)"
    wine_timeout 60 'C:\Bare.exe' </dev/null >/dev/null 2>&1
    rc=$?
    [ $rc = 0 ] || fail "the bare stub exits with $rc (124: it showed a window and waited)"
}

links() {
    make_package links
    mkdir -p "$(wine_c probe)"
    printf '@echo clicked> C:\\probe\\web.txt\r\n' >"$(wine_c probe/website.bat)"
    wine_reg add 'HKCR\mailto\shell\open\command' /ve /d 'cmd /c echo %1> C:\probe\mail.txt' /f </dev/null >/dev/null 2>&1
    start_setup
    drive <<'EOF'
click --class TfrmWelcome --id @lblWebsite@ --mouse
expect-file C:\probe\web.txt --timeout 180
click --class TfrmWelcome --id @lblEmail@ --mouse
expect-file C:\probe\mail.txt --timeout 180
click --class TfrmWelcome --id @Button2@
EOF
    answer_question Yes
    expect_exit 0
    grep -q 'mailto:jane@example.com' "$(wine_c probe/mail.txt)" 2>/dev/null ||
        fail "the mail link opened $(cat "$(wine_c probe/mail.txt)" 2>/dev/null)"
}

case $scenario in
    walk) walk ;;
    cancel) cancel ;;
    install-cancel) install_cancel ;;
    install-keys) install_keys ;;
    finished-close) finished_close ;;
    install-error) install_error ;;
    live-progress) live_progress ;;
    startup) startup ;;
    links) links ;;
    *) echo "unknown scenario $scenario" >&2; exit 2 ;;
esac
wine_session_end
scenario_verdict
