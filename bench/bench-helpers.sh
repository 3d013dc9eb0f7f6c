# Sourced by the benchmark scripts:
#   seconds CMD...          wall-clock seconds of one run of CMD, printed as
#                           0.0000; CMD's stdout goes to $bench_stdout
#                           (default /dev/null), so only the figure is printed
#   need_makensis NAME      installs the peer compiler makensis (Debian package
#                           nsis) when it is missing; NAME begins the note

seconds() {
    local start end
    start=$(date +%s.%N)
    "$@" >"${bench_stdout:-/dev/null}"
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }'
}

need_makensis() {
    command -v makensis >/dev/null && return 0
    echo "$1: installing makensis (nsis)"
    local apt_get=(apt-get)
    [ "$(id -u)" = 0 ] || apt_get=(sudo apt-get)
    DEBIAN_FRONTEND=noninteractive "${apt_get[@]}" install -y nsis >/dev/null
}
