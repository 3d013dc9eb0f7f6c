#!/usr/bin/env bash
# Runs the screen-saver tests of each version class in one prefix, setting the
# Windows version Wine reports before each. (winecfg -v cannot pick 98 or 3.1
# in a 64-bit prefix: it restarts as the 64-bit program, which lists only NT
# versions; it writes the same registry value as here.)
set -u
. "$(dirname "$0")/../wine/wine-session.sh"
exe=$1
wine_session_start || exit 125
rc=0
run_as() {
    local version=$1 filter=$2
    wine_reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null || { rc=1; return; }
    echo "== Windows version $version: $filter"
    wine_timeout 300 "$exe" --gtest_filter="$filter" || rc=1
}
run_as win98 'ScreenSaverWin9x.*'
# system.ini as Wine left it on disk, read from outside the program.
tr -d '\r' <"$WINEPREFIX/drive_c/windows/system.ini" |
    awk '/^\[/ { boot = ($0 == "[boot]") } boot && $0 == "SCRNSAVE.EXE=" { found = 1 } END { exit !found }' ||
    { echo "system.ini has no empty SCRNSAVE.EXE entry"; rc=1; }
run_as win2k 'ScreenSaverWin2000.*'
run_as win31 'ScreenSaverClass0.*'
wine_session_end
exit $rc
