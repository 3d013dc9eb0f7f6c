#!/usr/bin/env bash
# Runs the libFuzzer harnesses on a seed corpus of real packages.
#   fuzz/run.sh short [PRESET [HARNESS...]]   20 s, the harnesses side by side (CI)
#   fuzz/run.sh long [PRESET [HARNESS...]]    10 million executions of the package reader, 30 min of the others
# PRESET is the tree that holds the harnesses: fuzz (optimised, the default) or
# asan (the sanitizer tree, which carries them too; the test command uses it).
# HARNESS names limit the run to those harnesses (default: all).
# Prints executions, speed and the corpus size per harness; fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-short}
preset=${2:-fuzz}
only=("${@:3}")
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

# Real images: a stub laid out as ours, a package built on it (plain and
# compressed), the package signed (not sealed) and sealed, the compressed one
# sealed, the bare stub signed, and the win32 build's programs when that tree
# is there. Their signatures alone seed the signature reader too.
make_image_seeds() {
    local images=$work/seeds/images scratch=$work/seed-scratch
    # osslsigncode writes no file over an existing one: each run makes them anew.
    rm -rf "$scratch" "$images" "$work/seeds/signatures"
    mkdir -p "$images" "$scratch"
    "$build/tests/tools/make_test_stub" "$images/stub.exe"
    for exe in build/win32/Setup.exe build/win32/Uninstall.exe; do
        if [ -f "$exe" ]; then cp "$exe" "$images/win32-$(basename "$exe")"; fi
    done
    printf 'data' >"$scratch/a.txt"
    printf '[package]\nname = "Seed"\n[[file]]\nsource = "a.txt"\nfolder = "doc"\n' >"$scratch/seed.toml"
    "$build/tools/makesetup" build "$scratch/seed.toml" --stub "$images/stub.exe" -o "$images/package.exe" -q 2>/dev/null
    "$build/tools/makesetup" build "$scratch/seed.toml" --stub "$images/stub.exe" -o "$images/package-best.exe" -q \
        --compression best 2>/dev/null
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$scratch/key.pem" -out "$scratch/cert.pem" \
        -subj "/CN=Fuzz Seed/O=Seeds" -days 2 >/dev/null 2>&1
    local sign="osslsigncode sign -certs $scratch/cert.pem -key $scratch/key.pem -h sha256"
    $sign -in "$images/stub.exe" -out "$images/stub-signed.exe" >/dev/null
    if [ -f "$images/win32-Setup.exe" ]; then
        $sign -in "$images/win32-Setup.exe" -out "$images/win32-Setup-signed.exe" >/dev/null
    fi
    $sign -in "$images/package.exe" -out "$images/package-signed.exe" >/dev/null
    "$build/tools/makesetup" seal "$images/package-signed.exe" -o "$images/package-sealed.exe" >/dev/null
    $sign -in "$images/package-best.exe" -out "$scratch/best-signed.exe" >/dev/null
    "$build/tools/makesetup" seal "$scratch/best-signed.exe" -o "$images/package-best-sealed.exe" >/dev/null
    mkdir -p "$work/seeds/signatures"
    for signed in stub-signed package-sealed; do
        osslsigncode extract-signature -in "$images/$signed.exe" -out "$work/seeds/signatures/$signed.der" >/dev/null
    done
    cp "$images"/package*.exe "$work/seeds/packages/"
    rm -rf "$scratch"
}
make_image_seeds

# harness  seed-folders  longest-input  long-run-limit (the images are larger:
# a signature sits at their end, the resources near it)
harnesses=("open_package_fuzzer packages 65536 -runs=10000000"
    "description_fuzzer descriptions 65536 -max_total_time=1800"
    "signature_fuzzer images,signatures 262144 -max_total_time=1800"
    "pe_image_fuzzer images 262144 -max_total_time=1800"
    "extract_fuzzer packages 65536 -max_total_time=1800")
if [ ${#only[@]} -gt 0 ]; then
    chosen=()
    for entry in "${harnesses[@]}"; do
        for name in "${only[@]}"; do [ "${entry%% *}" = "$name" ] && chosen+=("$entry"); done
    done
    harnesses=("${chosen[@]}")
fi

# One harness; prints its line and leaves its exit status.
run_harness() {
    local harness=$1 seeds=$2 longest=$3 limit=$4
    local corpus=$work/corpus-$harness log=$work/$harness.log result start seconds runs folder
    local folders=()
    mkdir -p "$corpus"
    for folder in ${seeds//,/ }; do
        mkdir -p "$work/seeds/$folder"
        folders+=("$work/seeds/$folder")
    done
    start=$(date +%s)
    if "$build/fuzz/$harness" "$limit" -max_len="$longest" -rss_limit_mb=2048 -timeout=10 \
        -artifact_prefix="$work/findings/$harness-" -print_final_stats=1 \
        "$corpus" "${folders[@]}" >"$log" 2>&1; then
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
    read -r harness seeds longest longlimit <<<"$entry"
    case "$mode" in
        short) run_harness "$harness" "$seeds" "$longest" -max_total_time=20 >"$work/$harness.line" 2>&1 & pids+=($!) ;;
        long) run_harness "$harness" "$seeds" "$longest" "$longlimit" || status=1 ;;
        *) echo "usage: fuzz/run.sh [short|long] [fuzz|asan]" >&2; exit 2 ;;
    esac
done
for i in "${!pids[@]}"; do
    read -r harness _ <<<"${harnesses[$i]}"
    wait "${pids[$i]}" || status=1
    cat "$work/$harness.line"
done
exit $status
