#!/usr/bin/env bash
# GetWinVersion under the Windows versions Wine can pretend to be, each set
# in this test's own prefix; also the probe's application title. The version
# is set where winecfg -v stores it: this Wine's (64-bit) winecfg refuses
# the Windows 9x names.
#   winversion-test.sh SYSPROBE.EXE
set -u
. "$(dirname "$0")/../wine/wine-session.sh"
probe=$1
wine_session_start || exit 125


title=$(wine_timeout 60 "$probe" title </dev/null 2>/dev/null | tr -d '\r')
[ "$title" = Sysprobe ] || fail "application title of SysProbe.exe is \"$title\", wanted Sysprobe"

# Version name, the figures Wine then reports (major.minor platform), the class.
cases=(
    "win95   4.0 1 2"   # wc95 (build 950)
    "win98   4.10 1 5"  # wc98SE (build 2222)
    "winme   4.90 1 7"  # wcMe
    "nt40    4.0 2 1"   # wcNT4
    "win2k   5.0 2 6"   # wc2000
    "winxp   5.1 2 8"   # wcXP
    "win7    6.1 2 8"   # wcXP: from 5 on only minor 0 or not tells
)
for entry in "${cases[@]}"; do
    read -r version figures platform class <<<"$entry"
    wine_reg add 'HKCU\Software\Wine' /v Version /d "$version" /f </dev/null >/dev/null 2>&1 ||
        { fail "cannot set the Windows version $version"; continue; }
    line=$(wine_timeout 60 "$probe" version </dev/null 2>/dev/null | tr -d '\r')
    got_figures=$(sed -n 's/.* major=\([0-9]*\) minor=\([0-9]*\) .*/\1.\2/p' <<<"$line")
    got_platform=$(sed -n 's/.* platform=\([0-9]*\)$/\1/p' <<<"$line")
    # The figures show the version took; then the class is what is tested.
    if [ "$got_figures $got_platform" != "$figures $platform" ]; then
        fail "$version: Wine reported \"$line\", wanted $figures on platform $platform"
    elif [ "${line%% *}" != "class=$class" ]; then
        fail "$version: $line, wanted class=$class"
    else
        echo "ok $version: $line"
    fi
done

wine_session_end
exit $((failures > 0))
