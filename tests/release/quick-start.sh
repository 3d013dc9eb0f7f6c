#!/usr/bin/env bash
# The README's "Ship your own program", as written: its commands and its
# windriver scripts, taken from the section verbatim, run in one shell in a
# folder holding the release archives (written by make-dist.sh), a program
# and its readme, with HOME there too; then what they printed, the install's
# registration and the removal are checked.
#
#   quick-start.sh SOURCE_DIR NATIVE_BUILD WIN32_BUILD
set -u
[ $# = 3 ] || { echo "usage: quick-start.sh SOURCE_DIR NATIVE_BUILD WIN32_BUILD" >&2; exit 2; }
src=$(realpath "$1") native=$(realpath "$2") win32=$(realpath "$3")
[ -x "$native/tools/makesetup" ] || { echo "SKIP: no native build at $native (build the native preset first)"; exit 77; }
. "$(dirname "$0")/../wine/wine-session.sh"
. "$(dirname "$0")/../support/uninstall-contract.sh"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/quick-start.XXXXXX")
work=$tmp/home
mkdir -p "$work"
finish() {
    trap - EXIT
    wine_session_end
    rm -rf "$tmp"
    [ $failures = 0 ] && echo "quick-start: all passed"
    exit $((failures > 0))
}
trap finish EXIT

# The section's fenced blocks: the toml one is package.toml, the sh ones the
# commands, each text one the file its first line names ("# NAME: ...").
awk -v dir="$work" -v sh="$tmp/quick-start-commands.sh" '
    /^## / { inside = ($0 == "## Ship your own program") }
    inside && /^```/ { if (kind) kind = ""; else { kind = substr($0, 4); file = "" }; next }
    inside && kind == "toml" { print > (dir "/package.toml") }
    inside && kind == "sh" { print > sh }
    inside && kind == "text" && file == "" { file = dir "/" substr($2, 1, length($2) - 1) }
    inside && kind == "text" { print > file }
' "$src/README.md"
for f in package.toml install.txt uninstall.txt; do
    [ -s "$work/$f" ] || { fail "no $f in the README's \"Ship your own program\""; finish; }
done

# What the author starts with: the release archive, a program and its readme.
SOURCE_DATE_EPOCH=1700000000 "$src/release/make-dist.sh" "$native" "$win32" "$tmp/dist" >/dev/null ||
    { fail "make-dist.sh"; finish; }
cp "$tmp"/dist/makesetup-*-linux-x86_64.tar.gz "$tmp"/dist/makesetup-*-win32.zip "$work/"
cp "$win32/examples/demo/Demo.exe" "$work/Notes.exe"
printf 'Notes 1.2.3: take notes.\r\n' >"$work/readme.txt"

wine_session_start || { fail "no Wine session"; finish; }
trap finish EXIT
# The README's prefix, $HOME/.wine-notes, is this session's (a clone of the
# booted template: a new prefix would take a minute to make).
ln -s "$WINEPREFIX" "$work/.wine-notes"

# xvfb-run stands for a display; the session has one of its own already.
mkdir -p "$tmp/bin"
printf '#!/bin/sh\nwhile [ "${1#-}" != "$1" ]; do shift; done\nexec "$@"\n' >"$tmp/bin/xvfb-run"
chmod +x "$tmp/bin/xvfb-run"
(cd "$work" && HOME=$work PATH="$tmp/bin:$PATH" timeout 1200 bash -e "$tmp/quick-start-commands.sh") \
    >"$tmp/commands.txt" 2>&1 ||
    { fail "the quick start's commands ended with exit code $?:"; tail -n 20 "$tmp/commands.txt" | sed 's/^/    /' >&2; }
installed=$(wine_c "Program Files/Notes")
[ -e "$installed" ] && fail "the uninstaller left $(find "$installed" | head -5)"

# What the commands printed: the checks the README promises.
out=$tmp/commands.txt
for text in "Notes-setup.exe: OK" "Notes-signed.exe: OK" "Signature verification: ok" \
    Notes.exe readme.txt Uninstall.exe "$uninstall_data_file"; do
    grep -qF -- "$text" "$out" || { fail "the quick start printed no \"$text\":"; sed 's/^/    /' "$out" >&2; break; }
done
# The uninstall command in its short form, as the README says (Wine's short names are its own).
grep -qE '^    UninstallString    REG_SZ    C:\\[A-Z0-9~]{1,8}\\Notes\\[A-Z0-9~]{1,8}\.EXE.?$' "$out" ||
    fail "no short UninstallString in: $(grep UninstallString "$out")"
finish
