#!/usr/bin/env bash
# A package written in Shift-JIS (code page 932), built by makesetup.exe and
# installed through the real wizard on a Wine prefix that runs the Japanese
# code page: the stored bytes are exact, the files land in folders whose
# names hold a character with 0x5C as its second byte (表, ソ), and the
# companion uninstaller removes the registration of an application so named.
#   makesetup-cp932-e2e.sh SETUP_EXE UNINSTALL_EXE MAKESETUP_EXE WINDRIVER LAYOUT_CHECK ARTIFACTS LOCALE_DIR
set -u
[ $# = 7 ] || { echo "usage: makesetup-cp932-e2e.sh SETUP_EXE UNINSTALL_EXE MAKESETUP_EXE WINDRIVER LAYOUT_CHECK ARTIFACTS LOCALE_DIR" >&2; exit 2; }
setup_exe=$1 uninstall_exe=$2 makesetup=$3 driver=$4 checker=$5 artifacts=$6 locale_dir=$7
here=$(dirname "$0")
export QEMU_RESERVED_VA=0x7fff0000  # 32-bit processes run through qemu-i386 here
. "$here/../wine/wine-session.sh"
. "$here/../support/uninstall-contract.sh"

# Wine takes the code page from the Unix locale and needs it to exist to store
# non-ASCII names; the shared template is booted under the usual locale first.
if [ ! -f "$locale_dir/ja_JP.UTF-8/LC_CTYPE" ]; then
    mkdir -p "$locale_dir"
    localedef -i ja_JP -f UTF-8 "$locale_dir/ja_JP.UTF-8" >/dev/null 2>&1
    [ -f "$locale_dir/ja_JP.UTF-8/LC_CTYPE" ] || { echo "localedef failed (package locales?)" >&2; exit 125; }
fi
wine_make_template || exit 125
export LOCPATH=$locale_dir LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8

wine_session_start || { echo "wine session did not start" >&2; exit 1; }
work=$WINE_SESSION_DIR
mkdir -p "$artifacts"
. "$here/../e2e/driver-session.sh"
e2e_name=cp932
driver_session_prepare

src=$work/src
mkdir -p "$src"
printf 'table\r\n' >"$src/a.txt"
cp "$uninstall_exe" "$src/Uninstall.exe"
cat >"$src/package.toml" <<'EOF'
[package]
name = "表ソフト"
author = "山田ソフト"
codepage = 932
[[file]]
source = "Uninstall.exe"
[[file]]
source = "a.txt"
folder = '表\ソ'
name = "表.txt"
EOF
cp "$setup_exe" "$work/Setup.exe"
wine_timeout 120 "$makesetup" build "$(winpath "$src/package.toml")" --stub "$(winpath "$work/Setup.exe")" \
    -o 'C:\JaSetup.exe' </dev/null >"$work/build.txt" 2>&1 || fail "makesetup.exe build: $(cat "$work/build.txt")"
package=$(wine_c JaSetup.exe)

# The trailer's name and author, byte for byte: 表ソフト and 山田ソフト in Shift-JIS.
field() { tail -c 552 "$package" | head -c $(($1 + $2)) | tail -c "$2" | od -An -tx1 | tr -s ' \n' ' '; }
[ "$(field 4 9)" = " 95 5c 83 5c 83 74 83 67 00 " ] || fail "AppName bytes:$(field 4 9)"
[ "$(field 260 11)" = " 8e 52 93 63 83 5c 83 74 83 67 00 " ] || fail "Author bytes:$(field 260 11)"

drive <<<"$(wizard_install_script 'C:\JaSetup.exe')"
app_dir=$(wine_c "Program Files/表ソフト")
cmp -s "$app_dir/表/ソ/表.txt" "$src/a.txt" || fail "not installed into 表\\ソ: $(find "$(wine_c 'Program Files')" -newer "$src/a.txt" 2>/dev/null | head)"
[ -f "$app_dir/$uninstall_data_file" ] || fail "no $uninstall_data_file in the install folder"
key="$uninstall_registrations\\表ソフト"
reg_has() { wine_reg query "$key" /v "$1" </dev/null >/dev/null 2>&1; }
reg_has UninstallString || fail "no uninstall registration under 表ソフト"
reg_has Publisher || fail "no Publisher under 表ソフト"

# The uninstaller, answered Yes, removes the files and the registration. Its
# short path keeps the driver's input ASCII; the buttons are pressed by id
# (IDYES, IDOK), their texts being Japanese. Its working copy shows the
# question, then the summary: a box that follows the pressed one.
uninstall_string=$(wine_reg query "$key" /v UninstallString </dev/null 2>/dev/null | tr -d '\r' |
    sed -n 's/^    UninstallString    REG_SZ    //p')
case $uninstall_string in
*[!\ -~]*) fail "UninstallString is not a short ASCII path: $uninstall_string" ;;
esac
drive <<EOF
start "$uninstall_string"
expect-exit-code 0
wait-window --class #32770 --timeout $first_window_timeout
attach
msgbox-press 6
wait-window --class #32770 --timeout 120
msgbox-press 1
expect-exit-code 0 --timeout 60
EOF
[ -e "$app_dir/表/ソ/表.txt" ] && fail "the uninstaller left 表\\ソ\\表.txt"
reg_has UninstallString && fail "the uninstaller left the registration under 表ソフト"

wine_session_end
[ $failures = 0 ] && echo "makesetup-cp932-e2e: all passed"
exit $((failures > 0))
