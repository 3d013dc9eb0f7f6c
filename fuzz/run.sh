#!/usr/bin/env bash
# Runs the libFuzzer harnesses on a seed corpus of real packages.
#   fuzz/run.sh short   about 30 s per harness (CI)
#   fuzz/run.sh long    10 million executions of the package reader, 30 min of the others
# Prints executions, speed and the corpus size per harness; fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-short}
build=build/fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

work=$build/fuzz-work
mkdir -p "$work/seeds" "$work/findings"
"$build/fuzz/make_fuzz_seeds" "$work/seeds/packages"
mkdir -p "$work/seeds/descriptions"
cp examples/demo/package.toml "$work/seeds/descriptions/demo.toml"
awk '/^```toml/{on=1; next} /^```/{on=0} on' README.md >"$work/seeds/descriptions/readme.toml"

# harness  seed-folder  long-run-limit
harnesses=("open_package_fuzzer packages -runs=10000000")
[ -x "$build/fuzz/description_fuzzer" ] && harnesses+=("description_fuzzer descriptions -max_total_time=1800")

status=0
for entry in "${harnesses[@]}"; do
    read -r harness seeds longlimit <<<"$entry"
    corpus=$work/corpus-$harness
    mkdir -p "$corpus" "$work/seeds/$seeds"
    case "$mode" in
        short) limit=-max_total_time=30 ;;
        long) limit=$longlimit ;;
        *) echo "usage: fuzz/run.sh [short|long]" >&2; exit 2 ;;
    esac
    log=$work/$harness.log
    start=$(date +%s)
    if "$build/fuzz/$harness" "$limit" -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
        -artifact_prefix="$work/findings/$harness-" -print_final_stats=1 \
        "$corpus" "$work/seeds/$seeds" >"$log" 2>&1; then
        result=ok
    else
        result=FAILED
        status=1
    fi
    seconds=$(( $(date +%s) - start ))
    runs=$(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$' || echo 0)
    echo "$harness: $result, $runs executions in ${seconds}s ($(( runs / (seconds > 0 ? seconds : 1) ))/s), corpus $(ls "$corpus" | wc -l) inputs"
    [ "$result" = ok ] || tail -n 40 "$log"
done
exit $status
