#!/usr/bin/env bash
# One entry point for a fresh Debian machine: installs what is missing, builds
# the native and the Win32 configurations, then runs the demo or the tests.
#
#   ./setup.sh demo    build everything and run the example package's Setup.exe under Wine
#   ./setup.sh test    build and run every test: the Win32 suites under Wine,
#                      the native suites under ASan and UBSan, and a short
#                      fuzzing run of the harnesses built with them
#   ./setup.sh build   only install and build
#   ./setup.sh package build everything and write the release archives into dist/
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD

packages=(
    build-essential cmake ninja-build git googletest libgtest-dev
    libtomlplusplus-dev libcli11-dev nlohmann-json3-dev
    zlib1g-dev libz-mingw-w64-dev  # makesetup's checksum, native and in makesetup.exe
    libzstd-dev  # the compressed package form natively; its source is built for mingw (fetch_sources)
    g++-mingw-w64-i686-posix mingw-w64-i686-dev
    wine wine32:i386 wine64 fonts-wine xvfb x11-apps imagemagick
    python3-pefile  # an independent reader of the resources makesetup writes
    python3-yaml python3-jsonschema  # the winget manifests read back and checked against their format
    locales  # ja_JP sources: a test compiles its own locale for code page 932
    clang    # the libFuzzer harnesses
    zip unzip dpkg-dev  # the release archives: the win32 zip, the .deb and its Depends
    libssl-dev openssl osslsigncode  # signature digests; signing in the tests
)

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

install_packages() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} = 0 ] && return
    echo "setup: installing ${missing[*]}"
    dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
    # A mirror in mid-sync fails one index now and then; the lists it did
    # fetch are usually enough, and the install below says if they are not.
    as_root apt-get update -qq || echo "setup: apt-get update reported errors; trying with the lists it has" >&2
    apt_install "${missing[@]}" || {
        # With one architecture's security index missing (a mirror in
        # mid-sync), amd64 and i386 libraries cannot be matched: take the
        # security suite's versions only where nothing else has the package.
        echo "setup: retrying with the security suite at low priority" >&2
        local prefs
        prefs=$(mktemp)
        printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' >"$prefs"
        chmod 644 "$prefs"
        apt_install -o Dir::Etc::Preferences="$prefs" -o Dir::Etc::PreferencesParts=/dev/null "${missing[@]}"
        rm -f "$prefs"
    }
}

apt_install() {
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

# Debian's zstd source, unpacked outside the tree for CMake to build its
# decoder for mingw (cmake/Zstd.cmake): the version libzstd-dev has, or, where
# the archive cannot hand out that one's source, the newest it can. Kept in a
# cache that every checkout on this machine shares, and fetched again only when
# libzstd-dev's version changes.
source_cache=${SETUP_SOURCE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/selfextracting-setup}
fetch_sources() {
    local wanted stamp=$source_cache/libzstd.for
    wanted=$(dpkg-query -W -f='${Version}' libzstd-dev)
    [ -d "$source_cache/libzstd" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$wanted" ] && return
    enable_source_indexes
    local work=$source_cache/libzstd.new version
    for version in $( (echo "$wanted"; apt-cache showsrc libzstd | sed -n 's/^Version: //p' | sort -rV) | awk '!seen[$0]++'); do
        rm -rf "$work"
        mkdir -p "$work"
        echo "setup: fetching Debian's zstd source $version into $source_cache"
        (cd "$work" && apt-get source -qq --only-source "libzstd=$version" >/dev/null 2>&1) || continue
        rm -rf "$source_cache/libzstd"
        mv "$work"/libzstd-*/ "$source_cache/libzstd"
        rm -rf "$work"
        echo "$wanted" >"$stamp"
        return
    done
    echo "setup: Debian's zstd source cannot be fetched" >&2
    exit 1
}

# Adds a source index (deb-src) beside each package index the machine's apt
# configuration names, with the same options, unless it reads source indexes
# already.
enable_source_indexes() {
    apt-get indextargets --format '$(IDENTIFIER)' | grep -qx Sources && return
    echo "setup: adding source indexes beside this machine's package indexes"
    local list=/etc/apt/sources.list.d/selfextracting-setup-sources
    as_root rm -f "$list.list" "$list.sources"
    local file
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ ! -e "$file" ] || sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$file"
    done | as_root tee "$list.list" >/dev/null
    # Files of one paragraph per entry: each paragraph whose types name deb, as deb-src.
    for file in /etc/apt/sources.list.d/*.sources; do
        [ ! -e "$file" ] || awk -v RS= -v ORS='\n\n' '/(^|\n)Types:[^\n]*[[:space:]]deb([[:space:]\n]|$)/ {
                sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print }' "$file"
    done | as_root tee "$list.sources" >/dev/null
    as_root apt-get update -qq || echo "setup: apt-get update reported errors; trying with the lists it has" >&2
}

# Wine runs 32-bit Windows programs in a 32-bit Linux process. Some kernels
# (virtual machines with IA-32 emulation switched off) refuse those; there the
# i386 loader is run through qemu's user-mode emulator instead.
enable_i386_processes() {
    /lib/ld-linux.so.2 --version >/dev/null 2>&1 && return
    echo "setup: this kernel runs no 32-bit processes; registering qemu-i386 for them"
    dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q 'install ok installed' ||
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends qemu-user-static >/dev/null
    [ -e /proc/sys/fs/binfmt_misc/register ] || as_root mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
    [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] ||
        printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
        as_root tee /proc/sys/fs/binfmt_misc/register >/dev/null
    /lib/ld-linux.so.2 --version >/dev/null 2>&1 || { echo "setup: 32-bit processes still fail to start" >&2; exit 1; }
}

# Builds the native and the Win32 trees; given a target, only that of the
# native tree (the test command: the programs the Win32 tests run, since the
# native suites run in the sanitizer tree).
build() {
    cmake --preset native >/dev/null
    cmake --build --preset native ${1:+--target "$1"}
    cmake --preset win32 >/dev/null
    cmake --build --preset win32
}

# One ctest preset (each runs two tests at a time, see CMakePresets.json),
# then what it skipped and why; ctest's verdict is kept.
run_ctest() {
    local rc=0 report=$root/build/$1/ctest-junit.xml
    ctest --preset "$1" --output-junit "$report" || rc=$?
    bash "$root/tests/skip-summary.sh" "$root/build/$1" "$report" "$1"
    return $rc
}

build_asan() {
    cmake --preset asan >/dev/null
    cmake --build --preset asan
}

# Runs a step of the test command and keeps how long it took.
phase_times=()
phase() {
    local name=$1 start=$SECONDS rc=0
    shift
    "$@" || rc=$?
    phase_times+=("$name $((SECONDS - start)) s")
    return $rc
}

start=$SECONDS
install_packages
fetch_sources
enable_i386_processes
if [ "${1:-build}" = test ]; then build win32_test_programs; else build; fi
phase_times+=("build $((SECONDS - start)) s")

case "${1:-build}" in
    build) ;;
    demo)  exec "$root/examples/run-demo.sh" "$root/build" ;;
    package) "$root/release/make-dist.sh" "$root/build/native" "$root/build/win32" "$root/dist" ;;
    test)
        # Every phase runs, and the command fails if any did.
        rc=0
        phase win32 run_ctest win32 || rc=$?
        if phase asan-build build_asan; then
            phase asan run_ctest asan || rc=$?
            phase fuzz "$root/fuzz/run.sh" short asan || rc=$?  # the harnesses built with the sanitizer tree
        else
            rc=1
        fi
        echo "setup: test phases: ${phase_times[*]}"
        exit $rc
        ;;
    *) echo "usage: $0 [build|demo|test|package]" >&2; exit 2 ;;
esac
