#!/usr/bin/env bash
# The setup program's zstd decoder built each way, side by side in one run:
#   bench/decode-speed.sh BUILD_WIN32 [--tree DIR] [--stream FILE] [--rounds R]
# BUILD_WIN32 holds bench/decode_bench_{size,hot,hotx2,speed}.exe (target
# decode_bench). The stream is FILE, or each distinct content of DIR (default
# /usr/share/doc, links followed) compressed as "best" does (level 18, a
# 32 MiB window, long matches). After a warm-up, R rounds (default 3) decode
# it under Wine with each build in turn; prints each build's best time, its
# ratio to the "size" build, and its program's size against that one's.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
usage() { sed -n '3p' "$0" | sed 's/^# *//' >&2; exit 2; }
[ $# -ge 1 ] || usage
win32=$(cd "$1" && pwd)
shift
tree=/usr/share/doc stream='' rounds=3
while [ $# -gt 0 ]; do
    case $1 in
        --tree) tree=$2; shift 2 ;;
        --stream) stream=$2; shift 2 ;;
        --rounds) rounds=$2; shift 2 ;;
        *) usage ;;
    esac
done
tunings=(size hot hotx2 speed)
for t in "${tunings[@]}"; do
    [ -f "$win32/bench/decode_bench_$t.exe" ] || { echo "decode-speed: build the target decode_bench" >&2; exit 1; }
done
. "$here/../tests/wine/wine-session.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/decode-speed.XXXXXX")
cleanup() { wine_session_end; rm -rf "$work"; }
trap cleanup EXIT
if [ -z "$stream" ]; then
    echo "decode-speed: compressing the distinct contents of $tree"
    stream=$work/stream.zst
    find -L "$tree" -type f -print0 2>/dev/null | xargs -0 sha256sum 2>/dev/null | sort -k1,1 -u | cut -c67- |
        tr '\n' '\0' | xargs -0 cat | zstd -q -18 --long=25 -T2 -o "$stream"
fi
wine_session_start
trap cleanup EXIT

declare -A best
decode() { # tuning -> "seconds bytes"
    wine_timeout 3600 "$win32/bench/decode_bench_$1.exe" "$(winpath "$stream")" | tr -d '\r' |
        sed -n 's/^seconds=\([0-9.]*\) bytes=\([0-9]*\)$/\1 \2/p'
}
decode size >/dev/null  # warm-up: Wine and the page cache
for ((i = 1; i <= rounds; i++)); do
    for t in "${tunings[@]}"; do
        read -r s bytes < <(decode "$t")
        [ -n "$s" ] || { echo "decode-speed: decode_bench_$t failed" >&2; exit 1; }
        if [ -z "${best[$t]:-}" ] || awk -v a="${best[$t]}" -v b="$s" 'BEGIN { exit !(b < a) }'; then best[$t]=$s; fi
    done
done
printf 'stream %d bytes -> %d bytes; best of %d rounds; load average %s\n' \
    "$(stat -c %s "$stream")" "$bytes" "$rounds" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '  %-8s %10s %8s %12s\n' build seconds ratio "bytes added"
base=$(stat -c %s "$win32/bench/decode_bench_size.exe")
for t in "${tunings[@]}"; do
    awk -v t="$t" -v s="${best[$t]}" -v b="${best[size]}" -v d=$(($(stat -c %s "$win32/bench/decode_bench_$t.exe") - base)) \
        'BEGIN { printf "  %-8s %10.2f %8.3f %12d\n", t, s, s / b, d }'
done
