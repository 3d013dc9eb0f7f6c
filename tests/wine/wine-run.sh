#!/usr/bin/env bash
# Runs one Windows program under Wine in a prefix and display of its own and
# passes on its exit code. CTest uses it for every cross-built test program.
#   WINE_RUN_TIMEOUT   seconds before the program is killed (default 240)
set -u
. "$(dirname "$0")/wine-session.sh"
[ $# -ge 1 ] || { echo "usage: wine-run.sh PROGRAM [ARGS...]" >&2; exit 2; }
wine_session_start || exit 125
wine_timeout "${WINE_RUN_TIMEOUT:-240}" "$@"
rc=$?
[ $rc = 124 ] && echo "wine-run: $1 timed out" >&2
wine_session_end
exit $rc
