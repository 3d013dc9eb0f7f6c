#!/usr/bin/env bash
# After a ctest run: how many tests were skipped, and why. Reads the run's
# log (BUILD_DIR/Testing/Temporary/LastTest.log) and names
#   - every test ctest counted as skipped, with the "SKIP: reason" lines it printed;
#   - every GoogleTest case skipped inside a test that ran, with its reason.
#   skip-summary.sh BUILD_DIR [LABEL]
set -u
log=$1/Testing/Temporary/LastTest.log
label=${2:-$(basename "$1")}
[ -f "$log" ] || { echo "skip summary ($label): no test log at $log"; exit 0; }

awk -v label="$label" '
    # A test block starts with "N/M Test: NAME" and ends with its verdict.
    /^[0-9]+\/[0-9]+ Test: / { test = $3; reasons = ""; cases = ""; after_skipped = 0; next }
    # A script says why it skips.
    /^SKIP: / { reasons = reasons (reasons ? "; " : "") substr($0, 7); next }
    # GoogleTest: "Skipped: reason" (plain printer), or "FILE:LINE: Skipped" then the reason.
    /^Skipped: / { reason = substr($0, 10); next }
    /: Skipped$/ { after_skipped = 1; next }
    after_skipped { reason = $0; after_skipped = 0; next }
    /^\[ *SKIPPED *\] [^ ]+/ {
        name = $0
        sub(/^\[ *SKIPPED *\] /, "", name)
        sub(/ \(.*$/, "", name)
        if (name ~ /^[0-9]+ tests?,/ || seen[test, name]++) next  # the default printer repeats them at its end
        cases = cases "\n    " test ": " name ": " (reason ? reason : "no reason given")
        reason = ""
        next
    }
    /^Test Skipped\.?$|^Test Not Run\.?$|Skipped\.$/ && test != "" {
        whole[++nwhole] = "    " test ": " (reasons ? reasons : "no reason given")
        test = ""
        next
    }
    /^Test (Passed|Failed)/ && test != "" {
        if (cases) { part[++npart] = substr(cases, 2); ncases += gsub(/\n/, "\n", cases) }
        test = ""
        next
    }
    END {
        printf "skip summary (%s): %d test(s) skipped, %d case(s) skipped inside tests that ran\n", label, nwhole, ncases
        for (i = 1; i <= nwhole; ++i) print whole[i]
        for (i = 1; i <= npart; ++i) print part[i]
    }
' "$log"
