#!/usr/bin/env bash
# The install engine under Wine against cp, side by side in one run:
#   bench/install-throughput.sh INSTALL_BENCH_DATA INSTALL_BENCH_EXE
# Makes a 1 GiB single-file package and a 20,000-file package (with their
# source trees), then in alternating rounds (ROUNDS, default 3) copies each
# source with cp and installs each package with install_bench.exe into the
# same folder on the same disk, and prints the best time of each, the ratio
# and the install's peak memory. Installed trees are compared with their
# sources at the end. BIG_MIB (default 1024) sizes the single file; ONLY=big
# or ONLY=many runs one set.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
data_tool=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
bench_exe=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
rounds=${ROUNDS:-3}
sets=${ONLY:-big many}
data_options=(--big-mib "${BIG_MIB:-1024}")
[ -n "${ONLY:-}" ] && data_options+=(--only "$ONLY")
. "$here/../tests/wine/wine-session.sh"
. "$here/../tests/support/uninstall-contract.sh"
. "$here/bench-helpers.sh"

bench_work install-bench
echo "install-bench: writing the data sets and packages in $work"
"$data_tool" "$work" "${data_options[@]}"
bench_wine_start

best() { if [ -z "$1" ] || awk -v a="$1" -v b="$2" 'BEGIN { exit !(b < a) }'; then echo "$2"; else echo "$1"; fi; }
fresh() { rm -rf "$work/out"; sync; }

copy_big() { mkdir "$work/out" && cp "$work/big/big.bin" "$work/out/"; }
copy_many() { cp -r "$work/many" "$work/out"; }
# Runs the install and keeps its report; the time is the one it measures
# around Install, so Wine's start-up is not counted.
install_pkg() {
    wine_timeout 3600 "$bench_exe" "$(winpath "$work/$1.pkg")" "$(winpath "$work/out")" | tr -d '\r' >"$work/$1.report"
    sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' "$work/$1.report"
}

declare -A best_cp best_install
for set in $sets; do
    fresh; "copy_$set"; fresh; install_pkg "$set" >/dev/null  # warm the page cache and Wine
    for ((i = 1; i <= rounds; i++)); do
        fresh; best_cp[$set]=$(best "${best_cp[$set]:-}" "$(seconds "copy_$set")")
        fresh; best_install[$set]=$(best "${best_install[$set]:-}" "$(install_pkg "$set")")
    done
    # The last install is still in place: check it against the source.
    if [ "$set" = big ]; then cmp "$work/big/big.bin" "$work/out/big.bin"
    else diff -r -q -x $uninstall_data_file "$work/many" "$work/out"; fi
done

report() { # set label bytes
    local set=$1 bytes=$3 c=${best_cp[$1]} s=${best_install[$1]} line
    line=$(cat "$work/$set.report")
    awk -v label="$2" -v c="$c" -v s="$s" -v n="$bytes" -v line="$line" -v r="$rounds" 'BEGIN {
        split(line, f, /[ =]/); for (i = 1; i in f; i += 2) m[f[i]] = f[i + 1]
        printf "%s: install %.2f s (%.0f MB/s), cp %.2f s (%.0f MB/s), install/cp time ratio %.2f (best of %d)\n",
            label, s, n / s / 1e6, c, n / c / 1e6, s / c, r
        printf "    install peak working set %.1f MiB (%.1f MiB before Install), peak private bytes %.1f MiB\n",
            m["peak_ws"] / 1048576, m["peak_ws_before"] / 1048576, m["peak_private"] / 1048576
    }'
}
[ -d "$work/big" ] && report big "${BIG_MIB:-1024} MiB, 1 file" "$(stat -c %s "$work/big/big.bin")"
[ -d "$work/many" ] && report many "20,000 files" "$(find "$work/many" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')"
echo "load average $(cut -d' ' -f1-3 /proc/loadavg)"
