# Sourced by the benchmark scripts:
#   seconds CMD...          wall-clock seconds of one run of CMD, printed as
#                           0.0000; CMD's stdout goes to $bench_stdout
#                           (default /dev/null), so only the figure is printed
#   need_makensis NAME      installs the peer compiler makensis (Debian package
#                           nsis) when it is missing; NAME begins the note
#   keep_best KEY SECONDS   keeps the lower figure of KEY in the caller's
#                           associative array `best`
#   bench_work NAME         makes the work folder `work` (NAME.XXXXXX in TMPDIR)
#                           and, on exit, ends the Wine session and removes it
#   bench_wine_start        starts the Wine session, keeping that exit step
# and for the scripts that drive the wizard under Wine, which set `bench` (the
# name in messages), `work`, `driver` (windriver.exe) and the array `ID` of the
# wizard's control ids:
#   clocked                 runs the driver script on stdin; prints the seconds
#                           between its two `clock` lines
#   install_wizard EXE      installs EXE through its wizard into C:\bench;
#                           prints the seconds from the Install click (the
#                           clock reads once the click is posted, so the
#                           driver's search for the button is not counted)
#                           until the driver sees the finished page

seconds() {
    local start end
    start=$(date +%s.%N)
    "$@" >"${bench_stdout:-/dev/null}"
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }'
}

need_makensis() {
    command -v makensis >/dev/null && return 0
    echo "$1: installing makensis (nsis)"
    local apt_get=(apt-get)
    [ "$(id -u)" = 0 ] || apt_get=(sudo apt-get)
    DEBIAN_FRONTEND=noninteractive "${apt_get[@]}" install -y nsis >/dev/null
}

keep_best() {
    if [ -z "${best[$1]:-}" ] || awk -v a="${best[$1]}" -v b="$2" 'BEGIN { exit !(b < a) }'; then best[$1]=$2; fi
}

bench_work() {
    work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
    trap bench_cleanup EXIT
}
bench_cleanup() { wine_session_end; rm -rf "$work"; }
# wine_session_start sets its own exit step, which would leave the work folder.
bench_wine_start() {
    wine_session_start
    trap bench_cleanup EXIT
}

clocked() {
    local script=$work/script.txt
    cat >"$script"
    wine_timeout 7200 "$driver" script "$(winpath "$script")" </dev/null >"$work/driver.out" 2>&1 ||
        { echo "$bench: driver script failed:" >&2; sed 's/^/    /' "$work/driver.out" >&2; exit 1; }
    tr -d '\r' <"$work/driver.out" | sed -n 's/^clock=//p' | awk 'NR == 1 { a = $1 } NR == 2 { printf "%.4f", $1 - a }'
}

install_wizard() {
    clocked <<EOF
start "$(winpath "$1")"
wait-window --class TfrmWelcome --timeout 120
click --id ${ID[btn1Defaul]}
expect-visible --id ${ID[edtPath]}
set-text --id ${ID[edtPath]} --value "C:\bench"
click --id ${ID[btn2Defaul]}
expect-visible --id ${ID[btn3Defaul]}
click --id ${ID[btn3Defaul]}
clock
expect-visible --id ${ID[btn5Defaul]} --timeout 7200
clock
click --id ${ID[btn5Defaul]}
expect-exit-code 0 --timeout 120
EOF
}
