#!/usr/bin/env bash
# The README's "Ship your own program", as written: its commands, taken from
# the section verbatim, run in one shell in a folder holding the release
# archive (written by make-dist.sh), a program and its readme, with HOME
# there too. The wizard that `wine Notes-setup.exe` opens and the
# uninstaller's question are answered by windriver, as a person would; then
# the install, its registration and the removal are checked.
#
#   quick-start.sh SOURCE_DIR NATIVE_BUILD WIN32_BUILD WINDRIVER LAYOUT_CHECK
set -u
[ $# = 5 ] || { echo "usage: quick-start.sh SOURCE_DIR NATIVE_BUILD WIN32_BUILD WINDRIVER LAYOUT_CHECK" >&2; exit 2; }
src=$(realpath "$1") native=$(realpath "$2") win32=$(realpath "$3") driver=$4 checker=$5
[ -x "$native/tools/makesetup" ] || { echo "SKIP: no native build at $native (build the native preset first)"; exit 77; }
. "$(dirname "$0")/../wine/wine-session.sh"
. "$(dirname "$0")/../support/uninstall-contract.sh"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/quick-start.XXXXXX")
work=$tmp/home
mkdir -p "$work"
finish() {
    trap - EXIT
    [ -n "${script_pid:-}" ] && kill "$script_pid" 2>/dev/null
    wine_session_end
    rm -rf "$tmp"
    [ $failures = 0 ] && echo "quick-start: all passed"
    exit $((failures > 0))
}
trap finish EXIT

# The section's fenced blocks: the toml one is package.toml, the sh ones the script.
awk -v toml="$work/package.toml" -v sh="$tmp/quick-start-commands.sh" '
    /^## / { inside = ($0 == "## Ship your own program") }
    inside && /^```/ { if (kind) kind = ""; else kind = substr($0, 4); next }
    inside && kind == "toml" { print > toml }
    inside && kind == "sh" { print > sh }
' "$src/README.md"
[ -s "$work/package.toml" ] && [ -s "$tmp/quick-start-commands.sh" ] ||
    { fail "no package.toml and commands in the README's \"Ship your own program\""; finish; }
grep -q '^wine Notes-setup.exe$' "$tmp/quick-start-commands.sh" ||
    { fail "the quick start runs no \"wine Notes-setup.exe\""; finish; }

# What the author starts with: the release archive, a program and its readme.
SOURCE_DATE_EPOCH=1700000000 "$src/release/make-dist.sh" "$native" "$win32" "$tmp/dist" >/dev/null ||
    { fail "make-dist.sh"; finish; }
cp "$tmp"/dist/makesetup-*-linux-x86_64.tar.gz "$work/"
cp "$win32/examples/demo/Demo.exe" "$work/Notes.exe"
printf 'Notes 1.2.3: take notes.\r\n' >"$work/readme.txt"

wine_session_start || { fail "no Wine session"; finish; }
trap finish EXIT
# The README's prefix, $HOME/.wine-notes, is this session's (a clone of the
# booted template: a new prefix would take a minute to make).
ln -s "$WINEPREFIX" "$work/.wine-notes"
. "$(dirname "$0")/../e2e/driver-session.sh"
driver_failed=finish
driver_session_prepare

(cd "$work" && HOME=$work bash -e "$tmp/quick-start-commands.sh") >"$tmp/commands.txt" 2>&1 &
script_pid=$!

# The wizard, as a person clicks through it; then the uninstaller's question
# and its summary, both shown by the working copy. The commands start them,
# not the driver: each is found by its title and then attached.
drive <<EOF
wait-window --class TfrmWelcome --title "Setup  - Notes" --any-process --timeout 600
attach
$(wizard_install_lines 'expect-text --class TfrmWelcome --id @edtPath@ --equals "C:\Program Files\Notes"')
expect-exit-code 0 --timeout 60
EOF
installed=$(wine_c "Program Files/Notes")
for f in Notes.exe readme.txt Uninstall.exe "$uninstall_data_file"; do
    [ -f "$installed/$f" ] || fail "not installed: $f"
done
cmp -s "$installed/Notes.exe" "$work/Notes.exe" || fail "the installed Notes.exe differs from the author's"
drive <<EOF
wait-window --class #32770 --title Notes --any-process --timeout 600
attach
msgbox-press Yes
expect-msgbox --title Notes --buttons OK --timeout 120
msgbox-press OK
expect-exit-code 0 --timeout 60
EOF
wait "$script_pid" || fail "the quick start's commands ended with exit code $?"
script_pid=
[ -e "$installed" ] && fail "the uninstaller left $(find "$installed" | head -5)"

# What the commands printed: the checks the README promises.
out=$tmp/commands.txt
for text in "Notes-setup.exe: OK" "Notes-signed.exe: OK" "Signature verification: ok" "Notes.exe" "readme.txt"; do
    grep -qF -- "$text" "$out" || { fail "the quick start printed no \"$text\":"; sed 's/^/    /' "$out" >&2; break; }
done
# The uninstall command in its short form, as the README says (Wine's short names are its own).
grep -qE '^    UninstallString    REG_SZ    C:\\[A-Z0-9~]{1,8}\\Notes\\[A-Z0-9~]{1,8}\.EXE.?$' "$out" ||
    fail "no short UninstallString in: $(grep UninstallString "$out")"
finish
