#!/usr/bin/env bash
# Runs the NoProgMan tests in a prefix whose explorer.exe is disabled: without
# it Wine's shell offers no Program Manager DDE service.
set -u
. "$(dirname "$0")/../wine/wine-session.sh"
exe=$1
wine_session_start || exit 125
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;explorer.exe=d"
wine_timeout 300 "$exe" --gtest_filter='NoProgMan.*'
rc=$?
wine_session_end
exit $rc
