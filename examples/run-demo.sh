#!/usr/bin/env bash
# Builds the example package and runs its Setup.exe under Wine (`./setup.sh demo`).
#
#   examples/run-demo.sh BUILD_DIR
#
# BUILD_DIR holds the native build (BUILD_DIR/native, with the packaging tool)
# and the win32 build (BUILD_DIR/win32, with Setup.exe and windriver.exe).
# With $DISPLAY set, the wizard opens on that display and you click through
# it; without one it runs on a private Xvfb, the driver walks the pages and a
# screenshot of each goes to artifacts/demo/. Either way the script then
# prints what was installed, runs the uninstaller as the uninstall
# registration gives it (you answer its question; on Xvfb the driver answers
# Yes) and prints what is left. Each run uses a fresh Wine prefix of its own,
# deleted afterwards unless WINE_SESSION_KEEP=1.
set -euo pipefail
[ $# = 1 ] || { echo "usage: run-demo.sh BUILD_DIR" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
tool=$build/native/tools/makesetup
stub=$build/win32/Setup.exe
driver=$build/win32/bin/windriver.exe
layout=$build/win32/tests/e2e/layout_check  # control ids by component name
for f in "$tool" "$stub" "$driver" "$layout"; do
    [ -e "$f" ] || { echo "run-demo: $f is missing; build first (./setup.sh build)" >&2; exit 1; }
done

package=$build/demo/DemoSetup.exe
mkdir -p "$build/demo"
"$tool" build "$root/examples/demo/package.toml" --stub "$stub" -o "$package"
echo "run-demo: built $package"

[ -n "${DISPLAY:-}" ] && export WINE_SESSION_USE_DISPLAY=1
. "$root/tests/wine/wine-session.sh"
. "$root/tests/support/uninstall-contract.sh"
wine_session_start
cp "$package" "$(wine_c DemoSetup.exe)"

winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# Walks the wizard with the driver and saves each page as artifacts/demo/N-page.png.
walk_pages() {
    local shots=$root/artifacts/demo script=$WINE_SESSION_DIR/walk.txt
    mkdir -p "$shots"
    declare -A id
    while read -r name n; do id[$name]=$n; done < <("$layout" ids)
    local w="--class TfrmWelcome" out=$WINE_SESSION_DIR
    cat >"$script" <<EOF
start C:\\DemoSetup.exe
wait-window $w --timeout 60
screenshot $w --out $(winpath "$out/1-welcome.bmp")
click $w --id ${id[btn1Defaul]}
expect-visible $w --id ${id[edtPath]}
screenshot $w --out $(winpath "$out/2-destination.bmp")
click $w --id ${id[btn2Defaul]}
expect-visible $w --id ${id[btn3Defaul]}
screenshot $w --out $(winpath "$out/3-ready.bmp")
click $w --id ${id[btn3Defaul]} --mouse
expect-visible $w --id ${id[Button11]}
screenshot $w --out $(winpath "$out/4-installing.bmp")
expect-visible $w --id ${id[btn5Defaul]} --timeout 120
activate $w
screenshot $w --out $(winpath "$out/5-finished.bmp")
click $w --id ${id[btn5Defaul]}
expect-exit-code 0 --timeout 60
EOF
    if ! wine_timeout 300 "$driver" script "$(winpath "$script")" </dev/null; then
        echo "run-demo: the walk through the wizard failed" >&2
        return 1
    fi
    for bmp in "$WINE_SESSION_DIR"/*.bmp; do
        convert "$bmp" "$shots/$(basename "${bmp%.bmp}").png"
    done
    echo "run-demo: screenshots of the pages in $shots"
}

uninstall_string() {
    wine_reg query "$uninstall_registrations\\Demo" /v UninstallString \
        </dev/null 2>/dev/null | tr -d '\r' | sed -n 's/^    UninstallString    REG_SZ    //p'
}

# Runs the uninstaller; the driver answers Yes and OK, with a screenshot of
# each box. The boxes are its working copy's, a program the started one starts.
uninstall_driven() {
    local command=$1 shots=$root/artifacts/demo script=$WINE_SESSION_DIR/uninstall.txt out=$WINE_SESSION_DIR
    cat >"$script" <<EOF
start "$command"
expect-exit-code 0 --timeout 60
wait-window --class #32770 --timeout 60
attach
screenshot --class #32770 --screen --out $(winpath "$out/6-uninstall-question.bmp")
msgbox-press Yes
expect-msgbox --title Demo --buttons OK --timeout 120
screenshot --class #32770 --screen --out $(winpath "$out/7-uninstalled.bmp")
msgbox
msgbox-press OK
expect-exit-code 0 --timeout 60
EOF
    wine_timeout 300 "$driver" script "$(winpath "$script")" </dev/null || {
        echo "run-demo: the uninstaller did not run as expected" >&2
        return 1
    }
    for bmp in "$out"/6-*.bmp "$out"/7-*.bmp; do convert "$bmp" "$shots/$(basename "${bmp%.bmp}").png"; done
}

uninstall() {
    local command
    command=$(uninstall_string)
    [ -n "$command" ] || { echo "run-demo: no uninstall registration, nothing to uninstall"; return 0; }
    echo
    echo "run-demo: uninstalling with the registered UninstallString: $command"
    if [ -n "${WINE_SESSION_USE_DISPLAY:-}" ]; then
        echo "run-demo: the uninstaller asks first; answer Yes to remove the demo, No to keep it"
        wine_timeout 3600 "$command" </dev/null >/dev/null 2>&1 || return 1
        # The work is done by its copy in the temporary folder: wait for the
        # process behind its question to end.
        local probe=$WINE_SESSION_DIR/probe.txt
        printf '%s\n' 'attach --class #32770 --title Demo --any-process --timeout 60' 'wait-exit --timeout 3600' >"$probe"
        wine_timeout 3700 "$driver" script "$(winpath "$probe")" </dev/null >/dev/null || return 1
    else
        uninstall_driven "$command" || return 1
    fi
}

query_key() {
    local out
    if out=$(wine_reg query "$1" </dev/null 2>/dev/null); then
        tr -d '\r' <<<"$out" | sed '/^$/d; s/^/  /'
    else
        echo "  $1: none"
    fi
}

show_installed() {
    local app
    app=$(wine_c "Program Files/Demo")
    echo
    echo "Installed files (C:\\Program Files\\Demo):"
    if [ -d "$app" ]; then (cd "$app" && find . -type f -printf '  %P  (%s bytes)\n' | sort); else echo "  none"; fi
    echo
    echo "Registry:"
    query_key 'HKCU\Software\Demo'
    query_key "$uninstall_registrations\\Demo"
    echo
    echo "Start Menu:"
    local items
    items=$(find "$(wine_c users)" -path '*Start Menu/Programs/Demo*' -printf '%P\n' 2>/dev/null |
        sed 's|^[^/]*/AppData/Roaming/Microsoft/Windows/|  |' | sort)
    echo "${items:-  none}"
    return 0
}

status=0
if [ -n "${WINE_SESSION_USE_DISPLAY:-}" ]; then
    echo "run-demo: the wizard opens on $DISPLAY; click through it (or cancel)"
    wine_timeout 3600 'C:\DemoSetup.exe' </dev/null >/dev/null 2>&1 || status=$?
    echo "run-demo: Setup.exe ended with exit code $status"
else
    echo "run-demo: no display; walking the wizard on a private Xvfb"
    walk_pages || status=1
fi
show_installed
if [ $status = 0 ]; then
    uninstall || status=1
    echo
    echo "After the uninstall:"
    show_installed
fi
[ -n "${WINE_SESSION_KEEP:-}" ] && echo && echo "The Wine prefix stays at $WINEPREFIX"
wine_session_end
exit $status
