#!/usr/bin/env bash
# The plain package of a tree with each distinct content stored once, against
# the same tree packed by a makesetup that stores every file's bytes, in one run:
#   bench/dedup-size.sh MAKESETUP [BASELINE_MAKESETUP] [DIR]
# DIR (default /usr/share/doc) is copied with its links followed, so a licence
# reached through twenty links is twenty files with the same bytes. Both tools
# pack it with the same stub. Without a baseline tool the size without
# sharing is taken as the package's size plus the bytes `verify` reports
# shared (the same file, only the extra copies left out). Also prints the
# tree's distinct contents beside the package's file data (the file less the
# stub, the tables and the trailer), which should be no larger.
set -euo pipefail
[ $# -ge 1 ] || { sed -n '4p' "$0" | sed 's/^# *//' >&2; exit 2; }
abs() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
tool=$(abs "$1")
baseline=${2:+$(abs "$2")}
tree=${3:-/usr/share/doc}
work=$(mktemp -d "${TMPDIR:-/tmp}/dedup-size.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

mkdir doc
cp -rL "$tree/." doc/ 2>/dev/null || true
find doc ! -type f ! -type d -delete  # links that lead nowhere
{ printf MZ; head -c 100000 /dev/zero; } >stub.exe
cat >doc.toml <<'TOML'
[package]
name = "Bench doc"
registration = false
[[file]]
source = "doc/**"
TOML

# Its warnings (targets met twice, no uninstaller) are shown only when it fails.
pack() { "$1" build doc.toml --stub stub.exe -o "$2" -q 2>pack.err || { cat pack.err >&2; exit 1; }; }

files=$(find doc -type f | wc -l)
bytes=$(find doc -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
distinct=$(find doc -type f -print0 | xargs -0 sha256sum | sort -k1,1 -u | cut -c67- | tr '\n' '\0' |
    xargs -0 stat -c %s | awk '{ s += $1 } END { print s + 0 }')

pack "$tool" ours.exe
ours=$(stat -c %s ours.exe)
shared=$("$tool" verify ours.exe | sed -n 's/.*; \([0-9]*\) bytes shared by files with the same data.*/\1/p')
shared=${shared:-0}
if [ -n "$baseline" ]; then
    pack "$baseline" before.exe
    before=$(stat -c %s before.exe) how="built by $(basename "$baseline")"
else
    before=$((ours + shared)) how="size + shared bytes"
fi
# File data: from the stub's end to the first table.
data=$(("$("$tool" list --json ours.exe | sed -n 's/^ *"FileOffset": \([0-9]*\).*/\1/p')" - $(stat -c %s stub.exe)))

printf '%s: %d files, %d bytes, %d bytes of distinct contents\n' "$tree" "$files" "$bytes" "$distinct"
printf '  %-58s %11d bytes\n' "before, every file's bytes ($how)" "$before" \
    "after, each content once" "$ours" "  of it shared (verify)" "$shared"
awk -v b="$before" -v a="$ours" -v d="$data" -v u="$distinct" 'BEGIN {
    printf "  after/before size ratio %.3f; file data / distinct contents %.4f\n", a / b, d / u }'
