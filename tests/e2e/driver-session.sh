# Shared by the end-to-end scripts: windriver working in a Wine session.
# Source it after wine-session.sh and wine_session_start. The script sets
# `driver` (windriver.exe), `checker` (the layout checker, whose ids replace
# @name@ in driver scripts) and a `fail` function; `artifacts` and
# `e2e_name` name the screenshot of a failed driver script, and
# `driver_failed` what follows it (default: end the session, exit 1).

# Control ids by component name come from the layout checker.
declare -A ID
driver_session_prepare() {
    [ -x "$checker" ] || { echo "no layout checker at $checker" >&2; exit 1; }
    local name id
    while read -r name id; do ID[$name]=$id; done < <("$checker" ids)
    driver_serve_start
}

# One driver process serves every `drive` of the session (`windriver serve`):
# a Wine process start costs seconds where Wine runs through qemu. Its scripts
# share one context, as one long script would: the program a script started
# (`start`) or took (`attach`) is the one later scripts look in and wait for,
# with the programs it started; the window a script used last is the next
# one's. A class alone never names a window in any process.
driver_serve_dir= driver_serve_pid= driver_served=0
driver_serve_start() {
    driver_serve_dir=$WINE_SESSION_DIR/serve
    mkdir -p "$driver_serve_dir"
    wine_timeout 3600 "$driver" serve "$(winpath "$driver_serve_dir")" </dev/null >/dev/null 2>&1 &
    driver_serve_pid=$!
}
# Hands the script file to the server and waits for its exit code; the output
# goes to OUT. Returns 1 with a message when the server is gone or silent.
driver_serve_run() {
    local script=$1 out=$2 deadline=$((SECONDS + $3)) n=$((driver_served + 1))
    driver_served=$n
    local base=$driver_serve_dir/$n
    cp "$script" "$base.txt.part" && mv "$base.txt.part" "$base.txt"
    while [ ! -f "$base.rc" ]; do
        if ! kill -0 "$driver_serve_pid" 2>/dev/null; then
            echo "windriver serve ended before script $n was done" >"$out"
            return 1
        fi
        [ $SECONDS -lt $deadline ] || { echo "windriver serve: script $n took over $3 s" >"$out"; return 1; }
        wine_pause 0.05
    done
    cp "$base.out" "$out"
    return "$(tr -dc 0-9 <"$base.rc")"
}
expand_ids() {
    local text key
    text=$(cat)
    for key in "${!ID[@]}"; do text=${text//@$key@/${ID[$key]}}; done
    printf '%s\n' "$text"
}

default_driver_failed() {
    # What was on screen and running when the script gave up, seen by a new
    # driver process: a window that is there now but was not found in time
    # tells a slow start from a window the driver could not see.
    {
        echo "    windows now:"
        wine_timeout 60 "$driver" list-windows </dev/null 2>&1 | tr -d '\r' | sed 's/^/      /'
        echo "    Windows processes now:"
        ps -eo etimes=,args= | grep -E '[.](exe|EXE)' | grep -v grep | sed 's/^ */      /' | cut -c1-160
    } >&2
    if [ -n "${artifacts:-}" ]; then
        wine_timeout 60 "$driver" screenshot --screen --out "$(winpath "$WINE_SESSION_DIR/failed.bmp")" \
            </dev/null >/dev/null 2>&1 &&
            convert "$WINE_SESSION_DIR/failed.bmp" "$artifacts/failed-${e2e_name:-e2e}.png" 2>/dev/null
    fi
    wine_session_end
    exit 1
}
driver_failed=default_driver_failed

# Runs the driver script on stdin; its output stays in $WINE_SESSION_DIR/out.txt.
# A failed script ends the scenario: later steps would only time out.
driver_step=0
drive() {
    driver_step=$((driver_step + 1))
    local script=$WINE_SESSION_DIR/script-$driver_step.txt out=$WINE_SESSION_DIR/out.txt
    expand_ids >"$script"
    if [ -n "$driver_serve_pid" ]; then
        driver_serve_run "$script" "$out" 600 && return 0
    else
        wine_timeout 600 "$driver" script "$(winpath "$script")" </dev/null >"$out" 2>&1 && return 0
    fi
    fail "driver script $driver_step failed:"
    sed 's/^/    /' "$out" >&2
    "$driver_failed"
}

# A screenshot (the picture once steady) of WINDOW (driver options, by default
# the wizard) as ARTIFACTS/NAME.png.
shot() {
    local name=$1
    shift
    drive <<<"screenshot ${*:---class TfrmWelcome} --out $(winpath "$WINE_SESSION_DIR/$name.bmp")" || return 1
    convert "$WINE_SESSION_DIR/$name.bmp" "$artifacts/$name.png" 2>/dev/null || fail "screenshot $name not converted"
}

# Driver lines that take the wizard on screen from its welcome page through
# an install into the default folder and close its finished page. LINES, when
# given, run while the destination page shows.
wizard_install_lines() {
    local extra
    printf '%s\n' 'click --class TfrmWelcome --id @btn1Defaul@' 'expect-visible --class TfrmWelcome --id @edtPath@'
    for extra in "$@"; do printf '%s\n' "$extra"; done
    printf '%s\n' 'click --class TfrmWelcome --id @btn2Defaul@' 'expect-visible --class TfrmWelcome --id @btn3Defaul@' \
        'click --class TfrmWelcome --id @btn3Defaul@' \
        'expect-visible --class TfrmWelcome --id @btn5Defaul@ --timeout 120' \
        'click --class TfrmWelcome --id @btn5Defaul@'
}

# Driver lines that start the setup program EXE (a Windows path), install
# through its wizard (LINES as above) and expect it to end with exit code 0.
wizard_install_script() {
    local exe=$1
    shift
    printf '%s\n' "start \"$exe\"" "wait-window --class TfrmWelcome --timeout $first_window_timeout"
    wizard_install_lines "$@"
    echo 'expect-exit-code 0 --timeout 60'
}

# The message box on screen, compared whole with TITLE, TEXT (driver quoting:
# \r\n, \\), ICON and BUTTONS; further arguments are options of `msgbox`.
# With `press` set, the same driver run then presses that button (one Wine
# process fewer).
expect_box() {
    local title=$1 text=$2 icon=$3 buttons=$4 seen wanted
    shift 4
    drive <<<"msgbox $*${press:+
msgbox-press $press $*}" || return 1
    seen=$(grep -E '^(title|text|icon|buttons)=' "$WINE_SESSION_DIR/out.txt" | tr -d '\r')
    wanted=$(printf 'title="%s"\ntext="%s"\nicon=%s\nbuttons="%s"' "$title" "$text" "$icon" "$buttons")
    [ "$seen" = "$wanted" ] || fail "message box differs:"$'\n'"  seen:   ${seen//$'\n'/ | }"$'\n'"  wanted: ${wanted//$'\n'/ | }"
}
