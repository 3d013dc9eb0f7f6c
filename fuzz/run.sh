#!/usr/bin/env bash
# Runs the libFuzzer harnesses on a seed corpus of real packages.
#   fuzz/run.sh short [PRESET]   20 s, the harnesses side by side (CI)
#   fuzz/run.sh long [PRESET]    10 million executions of the package reader, 30 min of the others
# PRESET is the tree that holds the harnesses: fuzz (optimised, the default) or
# asan (the sanitizer tree, which carries them too; the test command uses it).
# Prints executions, speed and the corpus size per harness; fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-short}
preset=${2:-fuzz}
case "$preset" in fuzz | asan) ;; *) echo "usage: fuzz/run.sh [short|long] [fuzz|asan]" >&2; exit 2 ;; esac
build=build/$preset
cmake --preset "$preset" >/dev/null
cmake --build "$build" --target fuzzers -j2 >/dev/null

work=$build/fuzz-work
mkdir -p "$work/seeds" "$work/findings"
"$build/fuzz/make_fuzz_seeds" "$work/seeds/packages"
mkdir -p "$work/seeds/descriptions"
cp examples/demo/package.toml "$work/seeds/descriptions/demo.toml"
awk '/^```toml/{on=1; next} /^```/{on=0} on' README.md >"$work/seeds/descriptions/readme.toml"

# harness  seed-folder  long-run-limit
harnesses=("open_package_fuzzer packages -runs=10000000")
[ -x "$build/fuzz/description_fuzzer" ] && harnesses+=("description_fuzzer descriptions -max_total_time=1800")

# One harness; prints its line and leaves its exit status.
run_harness() {
    local harness=$1 seeds=$2 limit=$3
    local corpus=$work/corpus-$harness log=$work/$harness.log result start seconds runs
    mkdir -p "$corpus" "$work/seeds/$seeds"
    start=$(date +%s)
    if "$build/fuzz/$harness" "$limit" -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
        -artifact_prefix="$work/findings/$harness-" -print_final_stats=1 \
        "$corpus" "$work/seeds/$seeds" >"$log" 2>&1; then
        result=ok
    else
        result=FAILED
    fi
    seconds=$(( $(date +%s) - start ))
    runs=$(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$' || echo 0)
    echo "$harness: $result, $runs executions in ${seconds}s ($(( runs / (seconds > 0 ? seconds : 1) ))/s), corpus $(ls "$corpus" | wc -l) inputs"
    [ "$result" = ok ] || { tail -n 40 "$log"; return 1; }
}

# The short run is a time budget: the harnesses share it side by side, one
# per core; the long run takes them one after the other.
status=0
pids=()
for entry in "${harnesses[@]}"; do
    read -r harness seeds longlimit <<<"$entry"
    case "$mode" in
        short) run_harness "$harness" "$seeds" -max_total_time=20 >"$work/$harness.line" 2>&1 & pids+=($!) ;;
        long) run_harness "$harness" "$seeds" "$longlimit" || status=1 ;;
        *) echo "usage: fuzz/run.sh [short|long] [fuzz|asan]" >&2; exit 2 ;;
    esac
done
for i in "${!pids[@]}"; do
    read -r harness _ <<<"${harnesses[$i]}"
    wait "${pids[$i]}" || status=1
    cat "$work/$harness.line"
done
exit $status
