#!/usr/bin/env bash
# Shared contents and solid compression against a peer installer compiler's
# solid LZMA (NSIS's makensis, a black box), side by side in one run:
#   bench/compression-compare.sh BUILD_NATIVE BUILD_WIN32 [--tree DIR] [--big-mib M] [--rounds R]
# BUILD_NATIVE holds makesetup, BUILD_WIN32 Setup.exe, windriver.exe and the
# layout checker (the preset build folders). DIR (default /usr/share/doc) is
# copied with its links followed, as both packers would read it; M (default
# 512) sizes the single file for the copy loop against cp; R (default 2)
# timed rounds follow a warm-up, and each figure is the best of its rounds.
# Installs makensis (Debian package nsis) when it is missing.
set -euo pipefail
shopt -s inherit_errexit
here=$(cd "$(dirname "$0")" && pwd)
usage() { sed -n '3p' "$0" | sed 's/^# *//' >&2; exit 2; }
[ $# -ge 2 ] || usage
abs() { (cd "$1" && pwd); }
native=$(abs "$1") win32=$(abs "$2")
shift 2
tree_source=/usr/share/doc big_mib=512 rounds=2
while [ $# -gt 0 ]; do
    case $1 in
        --tree) tree_source=$2; shift 2 ;;
        --big-mib) big_mib=$2; shift 2 ;;
        --rounds) rounds=$2; shift 2 ;;
        *) usage ;;
    esac
done
makesetup=$native/tools/makesetup
[ -x "$makesetup" ] || makesetup=$native/tools/cli/makesetup
bench=compression-compare setup_exe=$win32/Setup.exe driver=$win32/bin/windriver.exe checker=$win32/tests/e2e/layout_check
for f in "$makesetup" "$setup_exe" "$driver" "$checker"; do
    [ -f "$f" ] || { echo "compression-compare: $f is missing; build both presets" >&2; exit 1; }
done
. "$here/../tests/wine/wine-session.sh"
. "$here/../tests/support/uninstall-contract.sh"
. "$here/bench-helpers.sh"
need_makensis compression-compare

bench_work compression-compare

echo "compression-compare: copying $tree_source and writing a $big_mib MiB file into $work"
mkdir "$work/doc" "$work/big"
# Links are followed; one that leads nowhere is left out, as neither packer could read it.
cp -rL "$tree_source/." "$work/doc/" 2>/dev/null || true
find "$work/doc" ! -type f ! -type d -delete
# Names that differ only in case are one file on Windows, where the later
# would replace the earlier: keep the first of each, so installs compare whole.
find "$work/doc" -type f | sort | awk '{ k = tolower($0) } seen[k]++' | xargs -r -d '\n' rm -f
head -c $((big_mib << 20)) /dev/urandom >"$work/big/big.bin"
files=$(find "$work/doc" -type f | wc -l)
bytes=$(find "$work/doc" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
# Each distinct content counted once.
distinct=$(find "$work/doc" -type f -print0 | xargs -0 sha256sum | sort -k1,1 -u |
    cut -c67- | tr '\n' '\0' | xargs -0 stat -c %s | awk '{ s += $1 } END { print s }')

describe() { # name tree compression
    cat >"$work/$1.toml" <<TOML
[package]
name = "Bench $1"
compression = "$3"
[[file]]
source = "$2/**"
TOML
}
describe plain doc none
describe best doc best
describe fast doc fast
describe big big none
describe small small none
# The peer's script: NAME, then the line that takes the files.
peer_script() {
    cat >"$work/$1.nsi" <<NSI
Name "Bench $1"
OutFile "$work/$1.exe"
InstallDir "C:\\bench"
RequestExecutionLevel user
SetCompressor /SOLID lzma
CRCCheck off
Section
  SetOutPath "\$INSTDIR"
  $2
SectionEnd
NSI
}
peer_script peer "File /r \"$work/doc/*\""
peer_script tiny "File \"$work/tiny.kb\""
head -c 1024 /dev/urandom >"$work/tiny.kb"
mkdir "$work/small" && cp "$work/tiny.kb" "$work/small/"

declare -A best
# Its warnings (no uninstaller in the tree) are shown only when it fails.
pack() { "$makesetup" build "$work/$1.toml" --stub "$setup_exe" -o "$work/$1.exe" -q 2>"$work/pack.err" ||
    { cat "$work/pack.err" >&2; return 1; }; }
pack_peer() { makensis -V1 "$work/peer.nsi"; }

echo "compression-compare: packing (makesetup none, fast, best; makensis solid LZMA; $rounds rounds)"
find "$work/doc" -type f -print0 | xargs -0 cat >/dev/null  # the page cache, for every packer alike
for ((i = 1; i <= rounds; i++)); do
    for who in plain fast best; do rm -f "$work/$who.exe"; keep_best "pack.$who" "$(seconds pack "$who")"; done
    rm -f "$work/peer.exe"; keep_best pack.peer "$(seconds pack_peer)"
done
pack big
pack small
makensis -V1 "$work/tiny.nsi"
for who in plain fast best; do "$makesetup" verify "$work/$who.exe" >/dev/null; done

# The plain package's file data: the file less the stub, the tables and the trailer.
tables=$("$makesetup" list --json "$work/plain.exe" | awk -F'[:,]' '
    /"FileCount"/ { s += $2 * 776 } /"DirCount"/ { s += $2 * 512 }
    /"ShellCount"/ { s += $2 * 1025 } /"RegCount"/ { s += $2 * 1668 } END { print s }')
stub_size=$(stat -c %s "$setup_exe")
plain_data=$(($(stat -c %s "$work/plain.exe") - stub_size - tables - 552))

bench_wine_start
declare -A ID
while read -r name id; do ID[$name]=$id; done < <("$checker" ids)
target=$(wine_c bench)
fresh() { rm -rf "$target"; sync; }

install_peer() { wine_timeout 3600 "$work/$1.exe" /S '/D=C:\bench'; }
install_cp() { mkdir "$target" && cp "$work/big/big.bin" "$target/"; }
check_install() { # tree who
    diff -r -q -x "$uninstall_data_file" "$work/$1" "$target" >/dev/null ||
        { echo "compression-compare: $2's install differs from its source" >&2; exit 1; }
}

echo "compression-compare: installing (wizard plain and best, peer /S; cp and the wizard with one file; warm-up and $rounds rounds)"
for ((i = 0; i <= rounds; i++)); do
    for who in plain best; do
        fresh; t=$(install_wizard "$work/$who.exe"); check_install doc "$who"
        [ $i -gt 0 ] && keep_best "install.$who" "$t"
    done
    fresh; t=$(seconds install_peer peer); check_install doc peer
    fresh; t0=$(seconds install_peer tiny)
    [ $i -gt 0 ] && keep_best install.peer "$t" && keep_best install.tiny "$t0"
    fresh; t=$(seconds install_cp)
    [ $i -gt 0 ] && keep_best copy.cp "$t"
    fresh; t=$(install_wizard "$work/big.exe"); cmp -s "$work/big/big.bin" "$target/big.bin" ||
        { echo "compression-compare: the wizard's copy of big.bin differs" >&2; exit 1; }
    [ $i -gt 0 ] && keep_best copy.wizard "$t"
    fresh; t=$(install_wizard "$work/small.exe")
    [ $i -gt 0 ] && keep_best copy.small "$t"
done
fresh

size() { stat -c %s "$work/$1.exe"; }
awk -v files="$files" -v bytes="$bytes" -v distinct="$distinct" -v plain_data="$plain_data" \
    -v plain="$(size plain)" -v fast="$(size fast)" -v best_size="$(size best)" -v peer="$(size peer)" \
    -v pack_plain="${best[pack.plain]}" -v pack_fast="${best[pack.fast]}" -v pack_best="${best[pack.best]}" \
    -v pack_peer="${best[pack.peer]}" -v i_plain="${best[install.plain]}" -v i_best="${best[install.best]}" \
    -v i_peer="${best[install.peer]}" -v i_tiny="${best[install.tiny]}" -v stub="$stub_size" \
    -v cp="${best[copy.cp]}" -v wizard="${best[copy.wizard]}" -v small="${best[copy.small]}" \
    -v big_mib="$big_mib" -v rounds="$rounds" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" '
function mb(n) { return sprintf("%.1f MB", n / 1e6) }
function row(what, ours, theirs, ratio, goal) { printf "  %-44s %-22s %-22s %-8s %s\n", what, ours, theirs, ratio, goal }
BEGIN {
    printf "%d files, %s (%s of distinct contents); best of %d rounds\n", files, mb(bytes), mb(distinct), rounds
    row("", "ours", "other", "ratio", "goal")
    row("setup size, compression \"best\" vs peer LZMA", mb(best_size), mb(peer), sprintf("%.3f", best_size / peer), "<= 1")
    row("setup size, \"fast\" / \"none\"", mb(fast), mb(plain), "", "")
    row("packing \"best\" vs peer (both cores)", sprintf("%.2f s", pack_best), sprintf("%.2f s", pack_peer),
        sprintf("%.3f", pack_best / pack_peer), "<= 1")
    row("packing \"fast\" / \"none\"", sprintf("%.2f s", pack_fast), sprintf("%.2f s", pack_plain), "", "")
    row("wizard install, best vs none", sprintf("%.2f s", i_best), sprintf("%.2f s", i_plain),
        sprintf("%.3f", i_best / i_plain), "<= 1.25")
    row("wizard install best vs peer /S (net)", sprintf("%.2f s", i_best), sprintf("%.2f s", i_peer - i_tiny),
        sprintf("%.3f", i_best / (i_peer - i_tiny)), "< 1")
    row("plain file data vs distinct contents", mb(plain_data), mb(distinct), sprintf("%.4f", plain_data / distinct), "<= 1.01")
    row("stub (Setup.exe, decoder included)", stub " bytes", "98144 bytes", sprintf("%.3f", stub / 98144), "<= 1")
    row(sprintf("%d MiB file, cp vs wizard", big_mib), sprintf("%.2f s", wizard), sprintf("%.2f s", cp),
        sprintf("%.3f", cp / wizard), ">= 0.9 (cp/wizard)")
    printf "the wizard with a 1 kB file %.2f s (its fixed cost: the other steps, the pages, the driver'"'"'s polling);" \
        " the %d MiB copy less that %.2f s, cp/(wizard less it) %.3f\n", small, big_mib, wizard - small, cp / (wizard - small)
    printf "load average at the end %s\n", load
    printf "peer /S wall %.2f s, its 1 kB package %.2f s (Wine start-up and its fixed cost, taken off for net)\n", i_peer, i_tiny
}'
