#!/usr/bin/env bash
# Installs a demo package (the Inspection test) and checks the result from
# outside the program: the registry with Wine's `reg query`, every extracted file
# against its source with cmp, the Start Menu link and the uninstall data file
# on disk.
set -u
. "$(dirname "$0")/../wine/wine-session.sh"
. "$(dirname "$0")/../support/uninstall-contract.sh"
exe=$1
wine_session_start || exit 125
rc=0
fail() { echo "FAIL: $*"; rc=1; }

# reg query prints "    NAME    REG_SZ    DATA"; this gives DATA.
reg_value() {
    wine_reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        sed -n "s/^    $2    REG_SZ    //p"
}
expect_value() {
    local got
    got=$(reg_value "$1" "$2")
    [ "$got" = "$3" ] || fail "$1 $2 is '$got', expected '$3'"
}

wine_timeout 300 "$exe" --gtest_filter='Inspection.*' || fail "the install"

root="$WINEPREFIX/drive_c/Setup Inspection"
for source in "$root/sources/"*; do
    cmp -s "$source" "$root/Demo App/$(basename "$source")" || fail "$(basename "$source") differs from its source"
done

uninstall="$uninstall_registrations\\Inspection Demo"
expect_value "$uninstall" DisplayName 'Inspection Demo'
expect_value "$uninstall" UninstallString "$(cat "$root/expected-uninstall.txt")"
case $(reg_value "$uninstall" UninstallString) in *'~'*) ;; *) fail "UninstallString is not a short path" ;; esac
expect_value 'HKCU\Software\SetupInspection' Command 'C:\Setup Inspection\Demo App\demo.exe /s {InstallDir}'
expect_value 'HKLM\Software\SetupInspection' Version '1.0'

link=$(find "$WINEPREFIX/drive_c/users" -path '*/Start Menu/Programs/Inspection Demo/Demo App.lnk' | head -n1)
[ -n "$link" ] || fail "no Start Menu link 'Inspection Demo/Demo App.lnk'"

# 7 files, 1 folder, 2 shell items, 2 registry values, the header.
expected_size=$((7 * 776 + 512 + 2 * 1025 + 2 * 1668 + 552))
size=$(stat -c %s "$root/Demo App/$uninstall_data_file" 2>/dev/null || echo missing)
[ "$size" = "$expected_size" ] || fail "$uninstall_data_file is $size bytes, expected $expected_size"

wine_session_end
[ $rc = 0 ] && echo "inspection: all checks passed"
exit $rc
