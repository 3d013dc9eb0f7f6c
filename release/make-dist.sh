#!/usr/bin/env bash
# Writes the release archives from a native and a win32 build (`./setup.sh
# package` runs it with build/native, build/win32 and dist):
#
#   make-dist.sh NATIVE_BUILD WIN32_BUILD OUT_DIR
#
#   makesetup-VERSION-linux-x86_64.tar.gz   the native install (bin/, share/, lib/cmake/)
#   makesetup_VERSION_ARCH.deb              the same below /usr, its Depends from dpkg-shlibdeps
#   makesetup-VERSION-win32.zip             makesetup.exe, Setup.exe, Uninstall.exe side by side,
#                                           and windriver/ (the window driver, its hook and README)
#
# Archives are reproducible: every entry has the time SOURCE_DATE_EPOCH (the
# last commit's when unset), owner root, normalised permissions, and entries
# in byte order. The native build must install the win32 build's programs
# (its MAKESETUP_WIN32_DIR); the script checks it does.
set -euo pipefail
[ $# = 3 ] || { echo "usage: make-dist.sh NATIVE_BUILD WIN32_BUILD OUT_DIR" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
native=$(cd "$1" && pwd)
win32=$(cd "$2" && pwd)
mkdir -p "$3"
out=$(cd "$3" && pwd)
die() { echo "make-dist: $*" >&2; exit 1; }

export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 0)}
export TZ=UTC LC_ALL=C
version=$("$native/tools/makesetup" --version | sed -n 's/^makesetup //p')
[ -n "$version" ] || die "no version from $native/tools/makesetup --version"

stage=$(mktemp -d "${TMPDIR:-/tmp}/make-dist.XXXXXX")
trap 'rm -rf "$stage"' EXIT

# Fixed times and permissions (rwx for the owner as found, read for all).
normalise() {
    chmod -R u+rw,go-w,go+rX "$1"
    find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

# The programs the native install ships must be the win32 build's.
check_programs() {
    local f
    for f in Setup.exe Uninstall.exe; do
        [ -f "$1/$f" ] || die "the native install has no $f: configure $native with -DMAKESETUP_WIN32_DIR=$win32"
        cmp -s "$1/$f" "$win32/$f" || die "$1/$f is not $win32/$f: the native build's MAKESETUP_WIN32_DIR names another build"
    done
}

linux_archive() {
    local name=makesetup-$version-linux-x86_64
    cmake --install "$native" --prefix "$stage/$name" --strip >/dev/null
    check_programs "$stage/$name/share/makesetup"
    normalise "$stage/$name"
    tar --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$SOURCE_DATE_EPOCH" --format=gnu \
        -C "$stage" -cf - "$name" | gzip -9n >"$out/$name.tar.gz"
    echo "$out/$name.tar.gz"
}

debian_package() {
    local arch deb=$stage/deb depends
    arch=$(dpkg --print-architecture)
    DESTDIR=$deb cmake --install "$native" --prefix /usr --strip >/dev/null
    check_programs "$deb/usr/share/makesetup"
    # dpkg-shlibdeps reads the package's name from a debian/control beside it.
    mkdir -p "$stage/shlibs/debian"
    printf 'Source: makesetup\n\nPackage: makesetup\nArchitecture: any\n' >"$stage/shlibs/debian/control"
    depends=$(cd "$stage/shlibs" && dpkg-shlibdeps -O "$deb/usr/bin/makesetup" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
    [ -n "$depends" ] || die "dpkg-shlibdeps found no dependencies of makesetup"
    mkdir -p "$deb/DEBIAN"
    cat >"$deb/DEBIAN/control" <<EOF
Package: makesetup
Version: $version
Architecture: $arch
Maintainer: The Setup authors <setup@example.com>
Installed-Size: $(du -sk --exclude=DEBIAN "$deb" | cut -f1)
Depends: $depends
Section: devel
Priority: optional
Homepage: https://example.com/makesetup
Description: builds self-extracting setup programs for 32-bit Windows
 makesetup turns a package description (TOML) into a setup executable for
 32-bit Windows, lists and verifies packages. It ships the setup program and
 its companion uninstaller, and a CMake package whose CPack integration makes
 cpack -G External build a setup executable of a CMake project.
EOF
    normalise "$deb"
    dpkg-deb --root-owner-group -Zxz --build "$deb" "$out/makesetup_${version}_$arch.deb" >/dev/null
    echo "$out/makesetup_${version}_$arch.deb"
}

windows_archive() {
    local name=makesetup-$version-win32
    cmake --install "$win32" --prefix "$stage/$name" >/dev/null
    local f
    for f in makesetup.exe windriver/windriver.exe windriver/windriver-hook.dll windriver/README.md; do
        [ -f "$stage/$name/$f" ] || die "the win32 install has no $f"
    done
    check_programs "$stage/$name"
    normalise "$stage/$name"
    rm -f "$out/$name.zip"
    (cd "$stage" && find "$name" | sort | zip -X -q -9 -@ "$out/$name.zip")
    echo "$out/$name.zip"
}

linux_archive
debian_package
windows_archive
