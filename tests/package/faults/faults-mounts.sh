#!/usr/bin/env bash
# Runs the FullDisk and ReadOnlyDrive cases of the engine's fault tests with
# two drives mapped into the test's prefix: X:, a 1 MiB tmpfs, and R:, a
# read-only bind mount holding R:\App\existing.txt; and the read-only
# attribute case, which needs a Wine that honours file permissions.
#
#   faults-mounts.sh ENGINE_FAULTS_EXE
#
# The mounts live in a mount namespace of the test's own (a user namespace
# too when not run as root), so none outlives it. Root there (or root of the
# machine) ignores permissions: Wine keeps the read-only attribute as a file
# mode, so the script drops root's overriding capabilities for all it runs.
# None of these cases may skip. Exit code 77 (a CTest skip) when no namespace
# or mount can be had here.
set -u
[ $# = 1 ] || { echo "usage: faults-mounts.sh ENGINE_FAULTS_EXE" >&2; exit 2; }
exe=$1
. "$(dirname "$0")/../../wine/wine-session.sh"
. "$(dirname "$0")/faults-namespace.sh"
faults_enter_namespace "$0" "$@"
if [ -z "${FAULTS_NO_OVERRIDE:-}" ]; then
    export FAULTS_NO_OVERRIDE=1
    exec setpriv --bounding-set -dac_override,-dac_read_search,-fowner bash "$0" "$@"
fi

wine_session_start || exit 1
full=$WINE_SESSION_DIR/full readonly=$WINE_SESSION_DIR/readonly
unmount() { umount "$full" "$readonly" 2>/dev/null; }
trap 'unmount; wine_session_end' EXIT

mkdir -p "$full" "$readonly/App"
mount -t tmpfs -o size=1m,mode=0777 faults-full "$full" 2>/dev/null || faults_skip "cannot mount a tmpfs"
printf 'kept on a read-only drive\r\n' >"$readonly/App/existing.txt"
{ mount --bind "$readonly" "$readonly" && mount -o remount,bind,ro "$readonly"; } 2>/dev/null ||
    faults_skip "cannot make a read-only bind mount"
# Root ignores permissions, not a read-only mount: prove it before relying on it.
if touch "$readonly/App/probe" 2>/dev/null; then
    echo "FAIL: the read-only mount takes writes" >&2
    exit 1
fi
ln -s "$full" "$WINEPREFIX/dosdevices/x:"
ln -s "$readonly" "$WINEPREFIX/dosdevices/r:"

FAULTS_FULL_DIR='X:' FAULTS_READONLY_DIR='R:\App' \
    wine_timeout 240 "$exe" --gtest_filter='FullDisk.*:ReadOnlyDrive.*:InstallFault.TargetWithTheReadOnlyAttribute*' |
    tee "$WINE_SESSION_DIR/out.txt"
rc=${PIPESTATUS[0]}
[ $rc = 124 ] && echo "faults-mounts: the test program timed out" >&2
if [ $rc = 0 ] && ! grep -q ' 0 skipped\.' "$WINE_SESSION_DIR/out.txt"; then
    echo "FAIL: a case skipped where every one must run" >&2
    exit 1
fi
exit $rc
