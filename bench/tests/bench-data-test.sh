#!/usr/bin/env bash
# install_bench_data's layouts and options, as the benchmarks rely on them:
#   bench-data-test.sh INSTALL_BENCH_DATA
set -euo pipefail
tool=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/bench-data-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The peer benchmark's layout: 200 folders of 100 files, no packages.
"$tool" "$work/a" --folders 200 --big-mib 2 --no-packages 2>/dev/null && fail "a missing WORK folder was accepted"
mkdir "$work/a" "$work/b" "$work/c"
"$tool" "$work/a" --folders 200 --big-mib 2 --no-packages
[ "$(find "$work/a/many" -mindepth 1 -maxdepth 1 -type d | wc -l)" = 200 ] || fail "not 200 folders"
[ "$(find "$work/a/many" -type f | wc -l)" = 20000 ] || fail "not 20,000 files"
per_folder=$(find "$work/a/many" -type f -printf '%h\n' | sort | uniq -c | awk '{ print $1 }' | sort -u)
[ "$per_folder" = 100 ] || fail "folders hold $per_folder files, not 100 each"
[ -f "$work/a/many/d199/f19999.dat" ] || fail "the last file is not d199/f19999.dat"
sizes=$(find "$work/a/many" -type f -printf '%s\n' | sort -n | sed -n '1p;$p' | tr '\n' ' ')
read -r smallest largest <<<"$sizes"
[ "$smallest" -ge 1 ] && [ "$largest" -le 8191 ] || fail "file sizes $smallest..$largest outside 1..8191"
[ "$(stat -c %s "$work/a/big/big.bin")" = $((2 << 20)) ] || fail "big.bin is not 2 MiB"
[ -z "$(find "$work/a" -maxdepth 1 -name '*.pkg')" ] || fail "--no-packages wrote a package"

# The default layout, with packages; the data are the same in every run.
"$tool" "$work/b" --big-mib 2
[ "$(find "$work/b/many" -mindepth 1 -maxdepth 1 -type d | wc -l)" = 100 ] || fail "not 100 folders by default"
[ -f "$work/b/many/d99/f19999.dat" ] || fail "the default's last file is not d99/f19999.dat"
for pkg in big many; do [ -s "$work/b/$pkg.pkg" ] || fail "no $pkg.pkg"; done
"$tool" "$work/c" --big-mib 2 --no-packages
diff -r -q "$work/b/many" "$work/c/many" >/dev/null || fail "two runs wrote different files"
cmp -s "$work/b/big/big.bin" "$work/c/big/big.bin" || fail "two runs wrote different big.bin"
cmp -s "$work/a/big/big.bin" "$work/a/many/d000/f00000.dat" && fail "big.bin equals a small file"

# One set of a chosen size: the benchmarks of the wizard and the uninstaller.
mkdir "$work/d" "$work/e"
"$tool" "$work/d" --files 5000 --only many --no-packages
[ "$(find "$work/d/many" -type f | wc -l)" = 5000 ] || fail "--files 5000 did not write 5,000 files"
per_folder=$(find "$work/d/many" -type f -printf '%h\n' | sort | uniq -c | awk '{ print $1 }' | sort -u)
[ "$per_folder" = 50 ] || fail "5,000 files in 100 folders: folders hold $per_folder"
[ ! -e "$work/d/big" ] || fail "--only many wrote big.bin"
"$tool" "$work/e" --only big --big-mib 1
[ "$(stat -c %s "$work/e/big/big.bin")" = $((1 << 20)) ] && [ -s "$work/e/big.pkg" ] || fail "--only big: no 1 MiB big.bin and package"
[ ! -e "$work/e/many" ] && [ ! -e "$work/e/many.pkg" ] || fail "--only big wrote the small files"

# Malformed command lines are refused with the usage and write nothing.
for args in "--folders" "--folders 0" "--folders 3" "--folders 20001" "--folders 1x" \
    "--big-mib 0" "--big-mib 4096" "--big-mib" "--packages" "--files 0" "--files 150" "--files 100000" \
    "--only" "--only both"; do
    mkdir "$work/bad"
    rc=0; "$tool" "$work/bad" $args >/dev/null 2>&1 || rc=$?
    [ $rc = 2 ] || fail "'$args' gave exit code $rc, not 2"
    [ -z "$(ls -A "$work/bad")" ] || fail "'$args' wrote files"
    rmdir "$work/bad"
done
rc=0; "$tool" >/dev/null 2>&1 || rc=$?
[ $rc = 2 ] || fail "no arguments gave exit code $rc"
echo "bench-data-test: ok"
