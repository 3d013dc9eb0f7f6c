# Sourced by every script that runs Windows programs under Wine: gives the
# caller a Wine prefix and an X display of its own, and takes both down again.
#
#   wine_session_start      make WINEPREFIX (a clone of a shared, freshly booted
#                           template) and DISPLAY (a private Xvfb), start wineserver
#   wine_session_end        stop every process of the session and delete the prefix
#   wine_timeout SECS CMD   run CMD under Wine, killed after SECS seconds (300 at least)
#   wine_background SECS CMD, wine_wait_background
#                           the same in the background, and the wait for its exit code
#   wine_reg ARGS           Wine's reg.exe, in the registry view of a 32-bit program
#   winpath PATH            the Windows form of a Unix path
#   wine_pause SECS         a poll's pause, without starting a process
#   fail WHY, note WHAT     report a failed check (counted in `failures`) or a
#                           step, naming the caller's `scenario` when it has one
#   scenario_verdict        say whether the scenario passed; its exit status
#
# Background processes never write to the caller's stdout or stderr, so a
# test runner reading them is never kept waiting by a leftover process.

export WINEDEBUG=-all
# No .NET or HTML engine installers: they would pop up dialogs and need a
# network. No winemenubuilder: it would copy the shortcuts a test makes into
# the desktop menus of the Linux user running the tests.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Where 32-bit processes run through qemu-user, a guest address space below
# 2 GiB makes Wine's start-up reservation succeed at once instead of probing
# the upper half 64 KiB at a time (about 50 s per process).
export QEMU_RESERVED_VA=0x7fff0000

WINE_TEMPLATE_RECIPE=2   # bump when the template's preparation changes

wine_template_dir() {
    local version
    version=$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n' '_')
    echo "${WINE_TEMPLATE_ROOT:-${TMPDIR:-/tmp}}/setup-wine-template-$(id -u)-${version}-r${WINE_TEMPLATE_RECIPE}"
}

# Boots one prefix per machine and Wine version, its windows unmanaged;
# later sessions clone it.
wine_make_template() {
    local template lock staging
    template=$(wine_template_dir)
    [ -f "$template/.ready" ] && return 0
    lock="$template.lock"
    exec {lockfd}>"$lock"
    flock "$lockfd"
    if [ ! -f "$template/.ready" ]; then
        staging=$(mktemp -d "$template.staging.XXXXXX")
        (
            export WINEPREFIX=$staging
            unset DISPLAY
            timeout 300 wineboot -i </dev/null >/dev/null 2>&1
            # No window manager runs on Xvfb, so Wine draws the window frames
            # itself, as Windows does. Left managed, every window hidden
            # waits two seconds for a window manager to take it away.
            wine_reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || exit 1
            timeout 60 wineserver -w </dev/null >/dev/null 2>&1
        ) || { rm -rf "$staging"; flock -u "$lockfd"; echo "wine-session: the template prefix could not be prepared" >&2; return 1; }
        rm -rf "$template"
        mv "$staging" "$template"
        touch "$template/.ready"
    fi
    flock -u "$lockfd"
}

# Hard links for the large read-only system folders, real copies for
# everything a program or Wine itself may write (registry, ini files, ...).
wine_clone_template() {
    local template=$1 dest=$2
    cp -al "$template" "$dest"
    rm -f "$dest/.ready"
    # A few cp processes for all the files: a process per file costs seconds
    # per session on a busy machine.
    (
        cd "$template"
        find . -type f -not -name .ready \
            -not -path './drive_c/windows/system32/*' \
            -not -path './drive_c/windows/syswow64/*' \
            -not -path './drive_c/windows/winsxs/*' -print0 |
            xargs -0 -r cp --remove-destination -p --parents -t "$dest"
    )
}

wine_start_display() {
    local fdfile
    fdfile=$(mktemp)
    Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp </dev/null >"$fdfile" 2>/dev/null &
    WINE_SESSION_XVFB=$!
    local n=0
    while [ ! -s "$fdfile" ] && [ $n -lt 100 ]; do sleep 0.1; n=$((n + 1)); done
    [ -s "$fdfile" ] || { echo "wine-session: Xvfb did not start" >&2; rm -f "$fdfile"; return 1; }
    export DISPLAY=":$(head -n1 "$fdfile")"
    rm -f "$fdfile"
}

wine_session_start() {
    wine_make_template || return 1
    WINE_SESSION_DIR=$(mktemp -d "${TMPDIR:-/tmp}/wine-session.XXXXXX")
    export WINEPREFIX=$WINE_SESSION_DIR/prefix
    wine_clone_template "$(wine_template_dir)" "$WINEPREFIX"
    if [ -z "${WINE_SESSION_USE_DISPLAY:-}" ]; then
        wine_start_display || return 1
    fi
    wineserver -p </dev/null >/dev/null 2>&1
    trap wine_session_end EXIT
}

wine_session_end() {
    [ -n "${WINE_SESSION_DIR:-}" ] || return 0
    timeout 30 wineserver -k </dev/null >/dev/null 2>&1 || true
    timeout 30 wineserver -w </dev/null >/dev/null 2>&1 || true
    if [ -n "${WINE_SESSION_XVFB:-}" ]; then
        kill "$WINE_SESSION_XVFB" 2>/dev/null || true
        wait "$WINE_SESSION_XVFB" 2>/dev/null || true
    fi
    if [ -n "${wine_pause_fd:-}" ]; then exec {wine_pause_fd}>&-; wine_pause_fd=; fi
    [ -n "${WINE_SESSION_KEEP:-}" ] || rm -rf "$WINE_SESSION_DIR"
    WINE_SESSION_DIR=
}

# A `sleep` per poll is a fork and an exec twenty times a second, which on
# two cores takes CPU from the programs under test: a read with a time-out on
# a FIFO that this shell holds open for writing itself waits without either.
wine_pause() {
    if [ -z "${wine_pause_fd:-}" ]; then
        local fifo=${WINE_SESSION_DIR:?}/pause
        { [ -p "$fifo" ] || mkfifo "$fifo"; } && exec {wine_pause_fd}<>"$fifo" || { sleep "$1"; return 0; }
    fi
    read -r -t "$1" -u "$wine_pause_fd" _ || true
}

wine_timeout() {
    local seconds=$1
    shift
    # The limit only stops a program that hangs, and no test passes by it;
    # on a busy machine a Wine process can take a minute just to start.
    [ "$seconds" -ge 300 ] || seconds=300
    timeout --kill-after=10 "$seconds" wine "$@"
}

# wine_background SECS CMD...: wine_timeout in the background, so that a
# script can drive or watch the program meanwhile; WINE_BACKGROUND is the
# run's process id. wine_wait_background waits for it and returns its exit
# code (the limit of wine_timeout ends the wait too).
wine_background() {
    wine_timeout "$@" </dev/null >/dev/null 2>&1 &
    WINE_BACKGROUND=$!
}
wine_wait_background() { wait "$WINE_BACKGROUND"; }

# The checks and settings around the programs under test use the 64-bit
# reg.exe where Wine has one: it runs natively, where a 32-bit Wine process
# runs through qemu (about a tenth of the time). /reg:32 keeps the view of
# the registry that the 32-bit programs under test have.
wine_reg() {
    local loader=/usr/lib/wine/wine64
    [ -x "$loader" ] || loader=wine
    timeout --kill-after=10 300 "$loader" reg "$@" /reg:32
}

# How long a program just started may take to show its first window: on a
# busy machine a Wine process can take minutes just to start (over 180 s
# was seen at a load of 20 on 2 cores).
first_window_timeout=300

# Windows path of a Unix path inside the prefix's drive C.
wine_c() { echo "$WINEPREFIX/drive_c/$1"; }

# Windows form of a Unix path (drive Z: is the Unix root).
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# A script that counted failures before sourcing this keeps its count.
: "${failures:=0}"
fail() { echo "FAIL${scenario:+ [$scenario]}: $*" >&2; failures=$((failures + 1)); }
note() { echo "[${scenario:-$(basename "$0" .sh)}] $*"; }
scenario_verdict() {
    [ $failures = 0 ] && echo "[$scenario] passed" || echo "[$scenario] $failures failure(s)"
    [ $failures = 0 ]
}
