#!/usr/bin/env bash
# The compressed form's install against the plain one, side by side in one run:
#   bench/compressed-install.sh BUILD_NATIVE BUILD_WIN32 [--tree DIR] [--rounds R] [--stub NAME=EXE]...
# BUILD_NATIVE holds makesetup, BUILD_WIN32 Setup.exe, windriver.exe, the
# layout checker and bench/install_bench.exe. DIR (default /usr/share/doc) is
# copied with its links followed and packed with compression "none" and
# "best" on the build's Setup.exe, and "best" again on each other stub given
# (another build of the setup program, to weigh one against another). After a
# warm-up, R rounds (default 2) install, in turn, into C:\bench of one prefix:
# the engine alone (install_bench.exe, the Install call timed inside the
# process) with each package, and each package through its wizard (from the
# Install click to the finished page). Prints each best time and its ratio to
# the plain package's, and each stub's size.
set -euo pipefail
shopt -s inherit_errexit
here=$(cd "$(dirname "$0")" && pwd)
usage() { sed -n '3p' "$0" | sed 's/^# *//' >&2; exit 2; }
[ $# -ge 2 ] || usage
abs() { (cd "$1" && pwd); }
native=$(abs "$1") win32=$(abs "$2")
shift 2
tree_source=/usr/share/doc rounds=2
declare -A stub=([best]=$win32/Setup.exe)
stubs=(best)
while [ $# -gt 0 ]; do
    case $1 in
        --tree) tree_source=$2; shift 2 ;;
        --rounds) rounds=$2; shift 2 ;;
        --stub) [[ $2 == ?*=?* ]] || usage; stub[${2%%=*}]=$(abs "$(dirname "${2#*=}")")/$(basename "${2#*=}")
                stubs+=("${2%%=*}"); shift 2 ;;
        *) usage ;;
    esac
done
makesetup=$native/tools/makesetup
bench=compressed-install driver=$win32/bin/windriver.exe checker=$win32/tests/e2e/layout_check
engine=$win32/bench/install_bench.exe
for f in "$makesetup" "$win32/Setup.exe" "$driver" "$checker" "$engine" "${stub[@]}"; do
    [ -f "$f" ] || { echo "compressed-install: $f is missing; build both presets" >&2; exit 1; }
done
. "$here/../tests/wine/wine-session.sh"
. "$here/../tests/support/uninstall-contract.sh"
. "$here/bench-helpers.sh"

bench_work compressed-install

echo "compressed-install: copying $tree_source into $work and packing it"
mkdir "$work/doc"
cp -rL "$tree_source/." "$work/doc/" 2>/dev/null || true
find "$work/doc" ! -type f ! -type d -delete
# Names that differ only in case are one file on Windows: keep the first of each.
find "$work/doc" -type f | sort | awk '{ k = tolower($0) } seen[k]++' | xargs -r -d '\n' rm -f
pack() { # name compression stub
    printf '[package]\nname = "Bench %s"\ncompression = "%s"\n[[file]]\nsource = "doc/**"\n' "$1" "$2" >"$work/$1.toml"
    "$makesetup" build "$work/$1.toml" --stub "$3" -o "$work/$1.exe" -q 2>"$work/pack.err" ||
        { cat "$work/pack.err" >&2; exit 1; }
}
pack plain none "$win32/Setup.exe"
for s in "${stubs[@]}"; do pack "$s" best "${stub[$s]}"; done

bench_wine_start
declare -A ID best
while read -r name id; do ID[$name]=$id; done < <("$checker" ids)
target=$(wine_c bench)
fresh() { rm -rf "$target"; sync; }
check_install() {
    diff -r -q -x "$uninstall_data_file" "$work/doc" "$target" >/dev/null ||
        { echo "compressed-install: the install of $1 differs from its source" >&2; exit 1; }
}
install_engine() {
    wine_timeout 3600 "$engine" "$(winpath "$work/$1.exe")" 'C:\bench' | tr -d '\r' |
        sed -n 's/^seconds=\([0-9.]*\) .*/\1/p'
}

echo "compressed-install: installing (engine and wizard, plain and ${stubs[*]}; a warm-up and $rounds rounds)"
for ((i = 0; i <= rounds; i++)); do
    for who in plain "${stubs[@]}"; do
        fresh; t=$(install_engine "$who"); check_install "$who"
        [ $i -gt 0 ] && keep_best "engine.$who" "$t"
        fresh; t=$(install_wizard "$work/$who.exe"); check_install "$who"
        [ $i -gt 0 ] && keep_best "wizard.$who" "$t"
    done
done
fresh

printf '%d files; best of %d rounds; load average %s\n' "$(find "$work/doc" -type f | wc -l)" "$rounds" \
    "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '  %-12s %12s %10s %8s %10s %8s\n' package "stub bytes" engine ratio wizard ratio
for who in plain "${stubs[@]}"; do
    s=${stub[$who]:-$win32/Setup.exe}
    awk -v w="$who" -v b="$(stat -c %s "$s")" -v e="${best[engine.$who]}" -v e0="${best[engine.plain]}" \
        -v z="${best[wizard.$who]}" -v z0="${best[wizard.plain]}" \
        'BEGIN { printf "  %-12s %12d %9.2fs %8.3f %9.2fs %8.3f\n", w, b, e, e / e0, z, z / z0 }'
done
