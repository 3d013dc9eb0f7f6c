# What the setup program leaves for its uninstaller, as the test scripts
# expect to find it: the build writes these names from
# package/UninstallContract.h into BUILD/tests/support/uninstall-contract.sh.
# The scripts take the native build's (the one whose makesetup they run), or
# the file UNINSTALL_CONTRACT names.
# shellcheck shell=bash
# shellcheck source=/dev/null
uninstall_contract=${UNINSTALL_CONTRACT:-$(dirname "${BASH_SOURCE[0]}")/../../build/native/tests/support/uninstall-contract.sh}
[ -f "$uninstall_contract" ] || { echo "no $uninstall_contract: build the native preset first" >&2; exit 1; }
. "$uninstall_contract"
