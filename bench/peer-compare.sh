#!/usr/bin/env bash
# Our packaging tool and install engine against a peer installer compiler
# (NSIS's makensis, uncompressed) and against cat and cp, side by side in one
# run, on one disk and in one Wine prefix:
#   bench/peer-compare.sh MAKESETUP INSTALL_BENCH_DATA SETUP_EXE INSTALL_BENCH_EXE
# ROUNDS (default 2) timed rounds follow one warm-up round; each figure is the
# best of its rounds. Takes about 8 minutes on 2 busy cores. BIG_MIB (default 1024) sizes the single-file payload.
# Installs makensis (Debian package nsis) when it is missing.
set -euo pipefail
shopt -s inherit_errexit
here=$(cd "$(dirname "$0")" && pwd)
[ $# -eq 4 ] || { sed -n '5p' "$0" | sed 's/^# *//' >&2; exit 2; }
abs() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
makesetup=$(abs "$1") data_tool=$(abs "$2") stub=$(abs "$3") bench_exe=$(abs "$4")
rounds=${ROUNDS:-2}
big_mib=${BIG_MIB:-1024}
. "$here/../tests/wine/wine-session.sh"
. "$here/../tests/support/uninstall-contract.sh"
. "$here/bench-helpers.sh"

need_makensis peer-compare

bench_work peer-compare
# Sources, three package copies of each set, a cat output and one install.
need_kib=$(((big_mib * 6 + 600) * 1024))
free_kib=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
[ "$free_kib" -ge "$need_kib" ] || {
    echo "peer-compare: $((need_kib >> 20)) GiB free space needed in $work, $((free_kib >> 20)) GiB there" >&2
    exit 1
}

echo "peer-compare: writing the payloads in $work"
"$data_tool" "$work" --folders 200 --big-mib "$big_mib" --no-packages
mkdir "$work/tiny" "$work/pack"
head -c 1024 /dev/urandom >"$work/tiny/one.kb"

# Payloads: set -> source folder (installed as the target folder's contents).
declare -A bytes files
for set in tiny big many; do
    bytes[$set]=$(find "$work/$set" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
    files[$set]=$(find "$work/$set" -type f | wc -l)
done

# One description per set for each packer. The peer copies files only and
# skips its whole-file CRC check, as our engine does; both install into the
# folder given on the command line.
for set in tiny big many; do
    cat >"$work/$set.toml" <<TOML
[package]
name = "Bench $set"
[[file]]
source = "$set/**"
TOML
    cat >"$work/$set.nsi" <<NSI
Name "Bench $set"
OutFile "$work/pack/$set-peer.exe"
InstallDir "C:\\bench"
RequestExecutionLevel user
SetCompress off
CRCCheck off
Section
  SetOutPath "\$INSTDIR"
  File /r "$work/$set/*"
SectionEnd
NSI
done

bench_stdout=$work/last.out  # the engine's own report, read after an install
declare -A best

pack_cat() { { cat "$stub"; find "$work/$1" -type f -print0 | sort -z | xargs -0 cat; } >"$work/pack/$1.cat"; }
pack_ours() { "$makesetup" build "$work/$1.toml" --stub "$stub" -o "$work/pack/$1-ours.exe" -q 2>/dev/null; }
pack_peer() { makensis -V1 "$work/$1.nsi"; }

# All three read the same sources, so one cat warms the page cache for all:
# a warm-up round of the peer would cost a minute and change nothing.
echo "peer-compare: packing (cat, makesetup, makensis; cat warm-up and $rounds rounds)"
for set in tiny big many; do
    pack_cat "$set"
    for ((i = 1; i <= rounds; i++)); do
        for tool in cat ours peer; do
            rm -f "$work/pack/$set.cat" "$work/pack/$set-$tool.exe"; sync
            keep_best "pack.$tool.$set" "$(seconds "pack_$tool" "$set")"
        done
    done
    rm -f "$work/pack/$set.cat"
    "$makesetup" verify "$work/pack/$set-ours.exe" >/dev/null
done

bench_wine_start
target=$(wine_c bench)
install_cp() { mkdir "$target" && cp -r "$work/$1/." "$target/"; }
install_ours() {
    wine_timeout 3600 "$bench_exe" "$(winpath "$work/pack/$1-ours.exe")" 'C:\bench' | tr -d '\r'
}
install_peer() { wine_timeout 3600 "$work/pack/$1-peer.exe" /S '/D=C:\bench'; }
# What an install left must equal its source; our engine adds its uninstall data.
check_install() { # set tool
    local exclude=()
    [ "$2" = ours ] && exclude=(-x $uninstall_data_file)
    diff -r -q "${exclude[@]}" "$work/$1" "$target" >/dev/null ||
        { echo "peer-compare: $2's install of $1 differs from its source" >&2; exit 1; }
}

echo "peer-compare: installing (cp, our engine, peer /S; warm-up and $rounds rounds)"
for set in tiny big many; do
    for ((i = 0; i <= rounds; i++)); do
        for tool in cp ours peer; do
            rm -rf "$target"; sync
            t=$(seconds "install_$tool" "$set")
            check_install "$set" "$tool"
            [ $i -eq 0 ] && continue
            keep_best "install.$tool.$set" "$t"
            [ "$tool" = ours ] && keep_best "engine.$set" "$(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' "$work/last.out")"
        done
    done
done
rm -rf "$target"

# The figures, in the table's order: the tiny set's Wine runs are each
# installer's fixed cost (Wine start-up, opening the package), subtracted
# for the net figures.
stub_size=$(stat -c %s "$stub")
tiny_ours=$(stat -c %s "$work/pack/tiny-ours.exe")
tiny_peer=$(stat -c %s "$work/pack/tiny-peer.exe")
figures() {
    for set in big many; do
        echo "$set ${bytes[$set]} ${files[$set]}" \
            "${best[pack.cat.$set]} ${best[pack.ours.$set]} ${best[pack.peer.$set]}" \
            "${best[install.cp.$set]} ${best[install.ours.$set]} ${best[install.peer.$set]}" \
            "${best[engine.$set]}"
    done
    echo "fixed ${best[install.ours.tiny]} ${best[install.peer.tiny]}"
    echo "stub $stub_size $tiny_ours $tiny_peer"
}
figures | awk -v rounds="$rounds" -f "$here/peer-compare-table.awk"
