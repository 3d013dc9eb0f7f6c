# Sourced by the fault scripts that mount file systems for a test's prefix.
#
#   faults_enter_namespace SCRIPT ARGS...
#       re-runs SCRIPT inside a mount namespace of its own (and a user
#       namespace when not root), so no mount outlives the test; returns in
#       the re-run. Exits with 77 (a CTest skip) when no namespace can be had.
#   faults_skip TEXT    reports the skip and exits with 77 (with 1 when a
#                       failure was counted in $failures before it)
#
# Source wine-session.sh first.

faults_skip() {
    # A skip says a facility is missing; after a failure it would hide it.
    if [ "${failures:-0}" != 0 ]; then
        echo "FAIL: $failures failure(s) before the skip ($*)" >&2
        exit 1
    fi
    echo "SKIP: $*"
    exit 77
}

faults_enter_namespace() {
    if [ -n "${FAULTS_IN_NAMESPACE:-}" ]; then
        # Inside a user namespace `id -u` is 0 and would name a template of
        # its own: keep the one booted outside.
        wine_template_dir() { echo "$FAULTS_TEMPLATE"; }
        return 0
    fi
    wine_make_template || exit 1
    FAULTS_TEMPLATE=$(wine_template_dir)
    export FAULTS_TEMPLATE FAULTS_IN_NAMESPACE=1
    local ns
    if [ "$(id -u)" = 0 ]; then
        ns=(unshare --mount --propagation private)
    else
        ns=(unshare --user --map-root-user --mount --propagation private)
    fi
    "${ns[@]}" true 2>/dev/null || faults_skip "no mount namespace (${ns[*]})"
    exec "${ns[@]}" bash "$@"
}
