#!/usr/bin/env bash
# After a ctest run: how many tests were skipped, and why. Names
#   - every test ctest counted as skipped (from its JUnit report), with the
#     "SKIP: reason" lines the test printed;
#   - every GoogleTest case skipped inside a test that ran, with its reason.
# Test output comes from the run's log, which ctest keeps whole.
#   skip-summary.sh BUILD_DIR JUNIT_XML [LABEL]
set -u
log=$1/Testing/Temporary/LastTest.log
junit=$2
label=${3:-$(basename "$1")}
[ -f "$log" ] && [ -f "$junit" ] || { echo "skip summary ($label): no test log or report"; exit 0; }
skipped=$(grep -o '<testcase name="[^"]*"[^>]*status="notrun"' "$junit" | sed 's/^<testcase name="\([^"]*\)".*/\1/')

awk -v label="$label" -v skipped="$skipped" '
    BEGIN { n = split(skipped, names, "\n"); for (i = 1; i <= n; ++i) if (names[i] != "") is_skipped[names[i]] = 1 }
    # A test block starts with "N/M Test: NAME" and ends with its verdict.
    /^[0-9]+\/[0-9]+ Test: / { test = $3; reasons = ""; after_skipped = 0; next }
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
        # The default printer counts them and lists them again at its end.
        if (name ~ /^[0-9]+ tests?,/ || seen[test, name]++) next
        cases[++ncases] = "    " test ": " name ": " (reason ? reason : "no reason given")
        reason = ""
        next
    }
    /^Test (Passed|Failed)/ && test != "" {
        if (test in is_skipped) whole[++nwhole] = "    " test ": " (reasons ? reasons : "no reason given")
        test = ""
    }
    END {
        printf "skip summary (%s): %d test(s) skipped, %d case(s) skipped inside tests that ran\n", label, nwhole, ncases
        for (i = 1; i <= nwhole; ++i) print whole[i]
        for (i = 1; i <= ncases; ++i) print cases[i]
    }
' "$log"
