#!/usr/bin/env bash
# peer-compare-table.awk: which way each ratio goes and what the net times
# subtract, on figures whose results are worked out by hand.
#   peer-table-test.sh
set -euo pipefail
table=$(dirname "$0")/../peer-compare-table.awk
fail() { echo "FAIL: $*" >&2; exit 1; }
# field ROW_PREFIX N : the Nth blank-separated field after the row's label
field() { grep -F -- "$1" | awk -v n="$2" '{ print $n }'; }

out=$(awk -v rounds=2 -f "$table" <<'FIGURES'
big 1073741824 1 0.5 1.0 4.0 1.0 3.0 5.0 0.8
many 80000000 20000 0.4 1.0 20.0 4.0 12.0 21.5 10.0
fixed 1.0 1.5
stub 300000 301024 96000
FIGURES
)
packing=$(sed -n '/^Packing/,/^$/p' <<<"$out")
install=$(sed -n '/^Install into/,/^$/p' <<<"$out")
ratios=$(sed -n '/^Install throughput/,/^$/p' <<<"$out")
expect() { [ "$2" = "$3" ] || fail "$1: got '$2', expected '$3'"; }

# Packing: time ratios, ours over the other.
expect "pack ours/cat, 1 GiB" "$(field '1024 MiB, 1 file' 8 <<<"$packing")" 2.00
expect "pack ours/peer, 1 GiB" "$(field '1024 MiB, 1 file' 9 <<<"$packing")" 0.25
expect "pack ours/peer, many" "$(field '20000 files, 80 MB' 9 <<<"$packing")" 0.05
# Install: net = wall less that installer's own 1 kB run.
row=$(field '1024 MiB, 1 file' 0 <<<"$install")
expect "ours net, 1 GiB" "$(awk '{ print $11 }' <<<"$row")" 2.00
expect "peer net, 1 GiB" "$(awk '{ print $13 }' <<<"$row")" 3.50
expect "cp MB/s, 1 GiB" "$(awk '{ print $6 }' <<<"$row" | tr -d '()')" 1074
row=$(field '20000 files' 0 <<<"$install")
expect "ours net, many" "$(awk '{ print $11 }' <<<"$row")" 11.00
expect "peer net, many" "$(awk '{ print $13 }' <<<"$row")" 20.00
# Throughput ratios: the other's time over ours, so above 1 means ours is faster.
row=$(field '1024 MiB, 1 file' 0 <<<"$ratios")
expect "ratio columns, 1 GiB" "$(awk '{ print $5, $6, $7, $8 }' <<<"$row")" "0.50 1.25 1.67 1.75"
row=$(field '20000 files' 0 <<<"$ratios")
expect "ratio columns, many" "$(awk '{ print $5, $6, $7, $8 }' <<<"$row")" "0.36 0.40 1.79 1.82"
grep -q "ours 301024, peer 96000 (ours/peer 3.14)" <<<"$out" || fail "stub line: $(tail -n1 <<<"$out")"

# A run faster than the fixed cost must not divide by zero or turn negative.
out=$(awk -v rounds=1 -f "$table" <<'FIGURES'
big 1048576 1 0.1 0.1 0.1 0.1 0.9 0.9 0.1
fixed 1.0 1.0
stub 1 1 1
FIGURES
)
row=$(sed -n '/^Install throughput/,/^$/p' <<<"$out" | field '1 MiB, 1 file' 0)
[ -n "$row" ] || fail "no ratio row for a run below the fixed cost"
grep -qE -- '-|inf|nan' <<<"$(awk '{ print $5, $8 }' <<<"$row")" && fail "bad ratios: $row"
echo "peer-table-test: ok"
