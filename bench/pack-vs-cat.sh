#!/usr/bin/env bash
# Packing 1 GiB with makesetup against cat of the same bytes, in one run.
#   bench/pack-vs-cat.sh MAKESETUP [MIB]
# Writes a file of MIB (default 1024) MiB of random data, then times, in
# alternating rounds, `cat stub data > out` and `makesetup build` of a
# description holding that file with the same stub, and prints each one's
# best time and their ratio. Both read the data from the page cache and write
# to the same file system; the ratio is what makesetup's copying, tables and
# CRC-32 cost over a plain copy.
set -euo pipefail
. "$(dirname "$0")/bench-helpers.sh"
tool=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
mib=${2:-1024}
rounds=${ROUNDS:-3}
work=$(mktemp -d "${TMPDIR:-/tmp}/pack-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

{ printf MZ; head -c 2000000 /dev/urandom; } >stub.exe
head -c $((mib << 20)) /dev/urandom >data.bin
printf 'uninstaller' >Uninstall.exe
cat >bench.toml <<'TOML'
[package]
name = "Bench"
[[file]]
source = "Uninstall.exe"
[[file]]
source = "data.bin"
TOML

run_cat() { cat stub.exe Uninstall.exe data.bin >cat.out; }
run_pack() { "$tool" build bench.toml --stub stub.exe -o pack.out -q; }
best() { # current candidate
    if [ -z "$1" ] || awk -v a="$1" -v b="$2" 'BEGIN { exit !(b < a) }'; then echo "$2"; else echo "$1"; fi
}

run_cat; run_pack  # warm the page cache and the disk's allocation
best_cat= best_pack=
for ((i = 1; i <= rounds; i++)); do
    rm -f cat.out pack.out; sync
    best_cat=$(best "$best_cat" "$(seconds run_cat)")
    rm -f cat.out pack.out; sync
    best_pack=$(best "$best_pack" "$(seconds run_pack)")
done
"$tool" verify pack.out >/dev/null
printf 'pack %d MiB: makesetup %.2f s, cat %.2f s, ratio %.2f (best of %d rounds each)\n' \
    "$mib" "$best_pack" "$best_cat" "$(awk -v p="$best_pack" -v c="$best_cat" 'BEGIN { print p / c }')" "$rounds"
