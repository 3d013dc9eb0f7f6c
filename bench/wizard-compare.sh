#!/usr/bin/env bash
# The real Setup.exe through its wizard and the real Uninstall.exe through its
# window, driven by windriver under Wine, beside the engine alone, cp, rm -rf
# and a peer installer with its progress page (NSIS), side by side in one run:
#   bench/wizard-compare.sh BUILD_NATIVE BUILD_WIN32 [--big-mib M] [--files N,N...] [--rounds R] [--no-peer]
# BUILD_NATIVE holds makesetup and install_bench_data, BUILD_WIN32 Setup.exe,
# Uninstall.exe, windriver.exe and the benchmark programs (the preset build
# folders). Defaults: one file of 1024 MiB, sets of 5000 and 20000 small
# files, 2 timed rounds after a warm-up; the peer runs one round (its
# progress page is slow). Installs makensis (Debian package nsis) when missing.
set -euo pipefail
shopt -s inherit_errexit
here=$(cd "$(dirname "$0")" && pwd)
usage() { sed -n '5p' "$0" | sed 's/^# *//' >&2; exit 2; }
[ $# -ge 2 ] || usage
abs() { (cd "$1" && pwd); }
native=$(abs "$1") win32=$(abs "$2")
shift 2
big_mib=1024 file_sets=5000,20000 rounds=2 peer=1
while [ $# -gt 0 ]; do
    case $1 in
        --big-mib) big_mib=$2; shift 2 ;;
        --files) file_sets=$2; shift 2 ;;
        --rounds) rounds=$2; shift 2 ;;
        --no-peer) peer=0; shift ;;
        *) usage ;;
    esac
done
bench=wizard-compare makesetup=$native/tools/makesetup data_tool=$native/bench/install_bench_data
setup_exe=$win32/Setup.exe uninstall_exe=$win32/Uninstall.exe driver=$win32/bin/windriver.exe
install_bench=$win32/bench/install_bench.exe uninstall_bench=$win32/bench/uninstall_bench.exe
checker=$win32/tests/e2e/layout_check
for f in "$makesetup" "$data_tool" "$setup_exe" "$uninstall_exe" "$driver" "$install_bench" "$uninstall_bench" "$checker"; do
    [ -x "$f" ] || [ -f "$f" ] || { echo "wizard-compare: $f is missing; build both presets" >&2; exit 1; }
done
. "$here/../tests/wine/wine-session.sh"
. "$here/bench-helpers.sh"

if [ $peer = 1 ]; then need_makensis wizard-compare; fi

bench_work wizard-compare
need_kib=$(((big_mib * 4 + 400) * 1024))
free_kib=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
[ "$free_kib" -ge "$need_kib" ] || { echo "wizard-compare: $((need_kib >> 10)) MiB free space needed in $work" >&2; exit 1; }

# Sets: "big" and "nN"; each a source tree $work/SET/tree, our package
# $work/SET/ours.exe (with the uninstaller) and the peer's $work/SET/peer.exe.
sets=(big)
IFS=, read -ra counts <<<"$file_sets"
for n in "${counts[@]}"; do sets+=("n$n"); done
declare -A label
echo "wizard-compare: writing the data and packages in $work"
for set in "${sets[@]}"; do
    mkdir -p "$work/$set"
    if [ "$set" = big ]; then
        "$data_tool" "$work/$set" --only big --big-mib "$big_mib" --no-packages
        mv "$work/$set/big" "$work/$set/tree"
        label[$set]="$big_mib MiB, 1 file"
    else
        "$data_tool" "$work/$set" --only many --files "${set#n}" --no-packages
        mv "$work/$set/many" "$work/$set/tree"
        label[$set]="${set#n} files, $(du -sm "$work/$set/tree" | cut -f1) MB"
    fi
    cat >"$work/$set/package.toml" <<TOML
[package]
name = "Bench $set"
uninstaller = "$uninstall_exe"
[[file]]
source = "tree/**"
TOML
    "$makesetup" build "$work/$set/package.toml" --stub "$setup_exe" -o "$work/$set/ours.exe" -q
    if [ $peer = 1 ]; then
        cat >"$work/$set/peer.nsi" <<NSI
Name "Bench $set"
OutFile "$work/$set/peer.exe"
InstallDir "C:\\bench"
RequestExecutionLevel user
SetCompress off
CRCCheck off
Page directory
Page instfiles
Section
  SetOutPath "\$INSTDIR"
  File /r "$work/$set/tree/*"
SectionEnd
NSI
        makensis -V1 "$work/$set/peer.nsi"
    fi
done

bench_wine_start
declare -A ID
while read -r name id; do ID[$name]=$id; done < <("$checker" ids)
target=$(wine_c bench)

fresh() { rm -rf "$target"; sync; }
declare -A best
check_install() { # set who
    diff -r -q -x uninstall001.dat -x Uninstall.exe "$work/$1/tree" "$target" >/dev/null ||
        { echo "wizard-compare: $2's install of $1 differs from its source" >&2; exit 1; }
}

# ---- installing --------------------------------------------------------------
install_cp() { mkdir "$target" && cp -r "$work/$1/tree/." "$target/"; }
install_engine() {
    wine_timeout 3600 "$install_bench" "$(winpath "$work/$1/ours.exe")" 'C:\bench' </dev/null | tr -d '\r' |
        sed -n 's/.*seconds=\([0-9.]*\).*/\1/p'
}
# The peer: from its Install click (once posted, as for ours) to its Close button.
install_peer() {
    clocked <<EOF
start "$(winpath "$work/$1/peer.exe")" "/D=C:\bench"
wait-window --class #32770 --title-contains "Bench $1" --timeout 600
expect-enabled --text "&Install"
click --text "&Install"
clock
expect-enabled --text "&Close" --timeout 7200
clock
click --text "&Close"
expect-exit-code 0 --timeout 120
EOF
}

echo "wizard-compare: installing (cp, engine, wizard$([ $peer = 1 ] && echo ", peer with its page"); warm-up and $rounds rounds)"
for set in "${sets[@]}"; do
    fresh; install_cp "$set"; fresh; install_engine "$set" >/dev/null  # page cache and Wine's own files
    for ((i = 1; i <= rounds; i++)); do
        fresh; keep_best "cp.$set" "$(seconds install_cp "$set")"
        fresh; keep_best "engine.$set" "$(install_engine "$set")"; check_install "$set" engine
        fresh; keep_best "wizard.$set" "$(install_wizard "$work/$set/ours.exe")"; check_install "$set" wizard
    done
    if [ $peer = 1 ]; then
        fresh; best[peer.$set]=$(install_peer "$set"); check_install "$set" peer
    fi
    echo "  ${label[$set]}: cp ${best[cp.$set]} s, engine ${best[engine.$set]} s, wizard ${best[wizard.$set]} s${best[peer.$set]:+, peer ${best[peer.$set]} s}"
done

# ---- removing ----------------------------------------------------------------
# The removal timed inside the process: without a window, or (--window)
# through the uninstaller's own progress window with no driver watching.
uninstall_windowless() {
    wine_timeout 3600 "$uninstall_bench" 'C:\bench' "$@" </dev/null | tr -d '\r' >"$work/uninstall.out"
    sed -n 's/.*remove_seconds=\([0-9.]*\).*/\1/p' "$work/uninstall.out"
}
# From the Yes in the uninstaller's question to its report. The boxes are
# its working copy's, a program the started one starts.
uninstall_window() {
    clocked <<EOF
start "C:\bench\Uninstall.exe"
expect-exit-code 0 --timeout 120
expect-msgbox --icon question --timeout 120
attach
clock
msgbox-press Yes
expect-msgbox --icon information --timeout 7200
clock
msgbox-press OK
expect-exit-code 0 --timeout 60
EOF
}
expect_removed() { # who
    [ ! -e "$target" ] || { echo "wizard-compare: $1 left $(find "$target" | head -n3)" >&2; exit 1; }
}

small_sets=("${sets[@]:1}")
echo "wizard-compare: removing (rm -rf, windowless, its window in process, the uninstaller; $rounds rounds)"
for set in "${small_sets[@]}"; do
    for ((i = 1; i <= rounds; i++)); do
        fresh; install_cp "$set"; sync
        keep_best "rm.$set" "$(seconds rm -rf "$target")"
        fresh; install_engine "$set" >/dev/null; sync
        keep_best "windowless.$set" "$(uninstall_windowless)"; expect_removed windowless
        fresh; install_engine "$set" >/dev/null; sync
        keep_best "inwindow.$set" "$(uninstall_windowless --window)"; expect_removed "the window in process"
        fresh; install_engine "$set" >/dev/null; sync
        keep_best "window.$set" "$(uninstall_window)"; expect_removed "the uninstaller"
    done
    echo "  ${label[$set]}: rm -rf ${best[rm.$set]} s, windowless ${best[windowless.$set]} s," \
        "its window in process ${best[inwindow.$set]} s, uninstaller ${best[window.$set]} s"
done

# ---- the table ----------------------------------------------------------------
{
    for set in "${sets[@]}"; do
        echo "install|${label[$set]}|${best[cp.$set]}|${best[engine.$set]}|${best[wizard.$set]}|${best[peer.$set]:--}"
    done
    for set in "${small_sets[@]}"; do
        echo "remove|${label[$set]}|${best[rm.$set]}|${best[windowless.$set]}|${best[inwindow.$set]}|${best[window.$set]}"
    done
} | awk -F'|' -v rounds="$rounds" -f "$here/wizard-compare-table.awk"
