#!/usr/bin/env bash
# The release as an author meets it: the archives written twice (the same
# bytes), makesetup from the Linux archive and from the .deb building
# packages with no --stub, the CMake example packed by cpack -G External
# through find_package(MakeSetup) and installed by the real wizard under
# Wine, and makesetup.exe from the win32 archive building a package there.
#
#   release-e2e.sh SOURCE_DIR NATIVE_BUILD WIN32_BUILD WINDRIVER LAYOUT_CHECK
set -u
[ $# = 5 ] || { echo "usage: release-e2e.sh SOURCE_DIR NATIVE_BUILD WIN32_BUILD WINDRIVER LAYOUT_CHECK" >&2; exit 2; }
src=$1 native=$2 win32=$3 driver=$4 checker=$5
[ -x "$native/tools/makesetup" ] || { echo "SKIP: no native build at $native (build the native preset first)"; exit 77; }
. "$(dirname "$0")/../wine/wine-session.sh"
. "$(dirname "$0")/../support/uninstall-contract.sh"

note() { echo "[release] $*"; }
contains() { grep -qF -- "$2" "$1" || { fail "$3: no \"$2\" in:"; sed 's/^/    /' "$1" >&2; }; }
tmp=$(mktemp -d "${TMPDIR:-/tmp}/release-e2e.XXXXXX")
finish() {
    trap - EXIT
    wine_session_end
    rm -rf "$tmp"
    [ $failures = 0 ] && echo "release-e2e: all passed"
    exit $((failures > 0))
}
# Steps that everything after them needs end the test when they fail.
must() { "$@" || { fail "$*"; finish; }; }

note "archives, twice with one SOURCE_DATE_EPOCH"
export SOURCE_DATE_EPOCH=1700000000
must "$src/release/make-dist.sh" "$native" "$win32" "$tmp/dist" >"$tmp/dist.txt"
must "$src/release/make-dist.sh" "$native" "$win32" "$tmp/again" >/dev/null
for f in "$tmp"/dist/*; do
    cmp -s "$f" "$tmp/again/$(basename "$f")" || fail "$(basename "$f") differs between two runs"
done
tarball=$(ls "$tmp"/dist/makesetup-*-linux-x86_64.tar.gz)
deb=$(ls "$tmp"/dist/makesetup_*.deb)
zipfile=$(ls "$tmp"/dist/makesetup-*-win32.zip)
[ "$(wc -l <"$tmp/dist.txt")" = 3 ] && [ -f "$tarball" ] && [ -f "$deb" ] && [ -f "$zipfile" ] ||
    { fail "not the three archives:"; ls "$tmp/dist" >&2; finish; }
TZ=UTC tar -tvzf "$tarball" | awk '$2 != "0/0" || $4 != "2023-11-14" || $5 != "22:13"' >"$tmp/odd.txt"
[ -s "$tmp/odd.txt" ] && fail "tar entries not root's at SOURCE_DATE_EPOCH: $(head -3 "$tmp/odd.txt")"
dpkg-deb -f "$deb" Depends >"$tmp/depends.txt"
contains "$tmp/depends.txt" "libc6 (>=" "the .deb's Depends"
contains "$tmp/depends.txt" "libstdc++6" "the .deb's Depends"
dpkg-deb -c "$deb" | awk '$2 != "root/root"' | grep . && fail "the .deb holds entries not owned by root"

note "the Linux archive: the layout, and makesetup with no --stub"
must tar -xzf "$tarball" -C "$tmp"
prefix=$(ls -d "$tmp"/makesetup-*-linux-x86_64)
for f in bin/makesetup share/makesetup/Setup.exe share/makesetup/Uninstall.exe share/doc/makesetup/README.md \
    share/doc/makesetup/LICENSE lib/cmake/MakeSetup/MakeSetupConfig.cmake \
    lib/cmake/MakeSetup/MakeSetupConfigVersion.cmake lib/cmake/MakeSetup/MakeSetupCPackExternal.cmake; do
    [ -f "$prefix/$f" ] || fail "the archive has no $f"
done
cmp -s "$prefix/share/makesetup/Setup.exe" "$win32/Setup.exe" || fail "the archive's Setup.exe is not the win32 build's"

# The demo package from a makesetup of PREFIX: the stub and the uninstaller
# come from PREFIX/share/makesetup; the demo's own program from the win32 build.
demo_from() {
    local tool=$1 out=$2 data=$3
    "$tool" build "$src/examples/demo/package.toml" -D "STUB_DIR=$win32" -o "$out" >"$tmp/out.txt" 2>&1 ||
        { fail "$tool build exit $?: $(cat "$tmp/out.txt")"; return; }
    "$tool" verify "$out" >"$tmp/out.txt" 2>&1 || fail "$tool verify $out: $(cat "$tmp/out.txt")"
    # The stub's copy carries the package's icon and version, so it is not the
    # stub byte for byte: the same build with that stub named must match.
    "$tool" build "$src/examples/demo/package.toml" -D "STUB_DIR=$win32" --stub "$data/Setup.exe" -o "$out.named" -q ||
        fail "$tool build --stub $data/Setup.exe"
    cmp -s "$out" "$out.named" || fail "$out was not built from $data/Setup.exe"
    "$tool" list --json "$out" >"$tmp/list.json"
    local offset
    offset=$(grep -A4 '"FileName": "Uninstall.exe"' "$tmp/list.json" | sed -n 's/.*"Offset": \([0-9]*\).*/\1/p')
    [ -n "$offset" ] && cmp -s <(tail -c +$((offset + 1)) "$out" | head -c "$(stat -c %s "$data/Uninstall.exe")") \
        "$data/Uninstall.exe" || fail "$out does not hold $data/Uninstall.exe"
}
demo_from "$prefix/bin/makesetup" "$tmp/demo.exe" "$prefix/share/makesetup"

# The example configured and packed against an installed makesetup.
cpack_example() {
    local build=$1 prefix_path=$2
    cmake -S "$src/examples/cmake-app" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" -DCMAKE_PREFIX_PATH="$prefix_path" \
        >"$tmp/cmake.txt" 2>&1 || { fail "configure against $prefix_path:"; cat "$tmp/cmake.txt" >&2; return 1; }
    cmake --build "$build" >"$tmp/cmake.txt" 2>&1 || { fail "build of the example:"; cat "$tmp/cmake.txt" >&2; return 1; }
    (cd "$build" && cpack -G External) >"$tmp/cpack.txt" 2>&1 || { fail "cpack:"; cat "$tmp/cpack.txt" >&2; return 1; }
    [ -f "$build/HelloApp-2.1.0-win32.exe" ] && [ -f "$build/HelloApp-2.1.0-win32.toml" ] ||
        { fail "cpack wrote no HelloApp-2.1.0-win32.exe and .toml:"; ls "$build" >&2; return 1; }
}

note "cpack -G External against the Linux archive"
app=$tmp/app
must cpack_example "$app" "$prefix"
setup=$app/HelloApp-2.1.0-win32.exe
"$prefix/bin/makesetup" verify "$setup" >"$tmp/out.txt" 2>&1 || fail "verify: $(cat "$tmp/out.txt")"
contains "$tmp/out.txt" "OK: 5 files" "verify of the cpack output"
"$prefix/bin/makesetup" list "$setup" >"$tmp/list.txt" 2>&1 || fail "list exit $?"
for text in "Hello App" "The Setup Authors" "hello@example.com" "https://example.com/hello" HelloApp.exe greeting.txt \
    readme.txt license.txt Uninstall.exe skCreateGroup skAddItem 'Software\Hello App' '{InstallDir}\data\greeting.txt'; do
    contains "$tmp/list.txt" "$text" "list of the cpack output"
done
# The description kept beside it builds the same bytes again.
"$prefix/bin/makesetup" build "$app/HelloApp-2.1.0-win32.toml" -q -o "$tmp/again.exe" ||
    fail "the kept description does not build"
cmp -s "$setup" "$tmp/again.exe" || fail "the kept description gives other bytes than cpack did"
# What the wizard must install: the example's install rules, run on their own.
cmake --install "$app" --prefix "$tmp/expected" >/dev/null || fail "cmake --install of the example"

note "the .deb, unpacked with dpkg -x"
must dpkg -x "$deb" "$tmp/deb"
demo_from "$tmp/deb/usr/bin/makesetup" "$tmp/demo-deb.exe" "$tmp/deb/usr/share/makesetup"
cmp -s "$tmp/demo.exe" "$tmp/demo-deb.exe" || fail "the .deb's makesetup builds other bytes than the archive's"
if cpack_example "$tmp/app-deb" "$tmp/deb/usr"; then
    "$tmp/deb/usr/bin/makesetup" verify "$tmp/app-deb/HelloApp-2.1.0-win32.exe" >/dev/null 2>&1 ||
        fail "verify of the .deb's cpack output"
fi

note "Wine: the cpack output through the wizard"
wine_session_start || { fail "no Wine session"; finish; }
trap finish EXIT
. "$(dirname "$0")/../e2e/driver-session.sh"
driver_failed=finish
driver_session_prepare
cp "$setup" "$(wine_c HelloSetup.exe)"
drive <<<"$(wizard_install_script 'C:\HelloSetup.exe' \
    'expect-text --class TfrmWelcome --id @edtPath@ --equals "C:\Program Files\Hello App"')"
installed=$(wine_c "Program Files/Hello App")
(cd "$tmp/expected" && find . -type f) >"$tmp/expected.txt"
{ cat "$tmp/expected.txt"; printf './Uninstall.exe\n./%s\n' "$uninstall_data_file"; } | LC_ALL=C sort >"$tmp/wanted.txt"
(cd "$installed" && find . -type f) | LC_ALL=C sort >"$tmp/installed.txt"
diff "$tmp/wanted.txt" "$tmp/installed.txt" >&2 || fail "the installed files are not the example's install rules' files"
while read -r f; do
    cmp -s "$tmp/expected/$f" "$installed/$f" || fail "$f differs from the example's install"
done <"$tmp/expected.txt"
reg=$(wine_reg query 'HKCU\Software\Hello App' </dev/null 2>/dev/null | tr -d '\r')
grep -q '^    InstallDir    REG_SZ    C:\\Program Files\\Hello App$' <<<"$reg" || fail "InstallDir value: $reg"
grep -q '^    Greeting    REG_SZ    C:\\Program Files\\Hello App\\data\\greeting.txt$' <<<"$reg" ||
    fail "Greeting value: $reg"
ls "$(wine_c users)"/*/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs/Hello\ App/Hello\ App.lnk >/dev/null 2>&1 ||
    fail "no Start Menu item Hello App\\Hello App"
# The installed program finds its data where the install rules put it.
greeting=$(tr -d '\r\n' <"$src/examples/cmake-app/data/greeting.txt")
drive <<EOF
start "C:\\Program Files\\Hello App\\bin\\HelloApp.exe"
wait-window --class #32770 --title "Hello App" --timeout $first_window_timeout
EOF
press=OK expect_box "Hello App" "$greeting\\r\\n" information OK
drive <<<"expect-exit-code 0 --timeout 60"

note "Wine: makesetup.exe from the win32 archive"
tools=$(wine_c makesetup)
mkdir -p "$tools" "$(wine_c pkg/data)"
unzip -q "$zipfile" -d "$tmp/zip" && mv "$tmp"/zip/makesetup-*-win32/* "$tools/" || fail "unzip of $zipfile"
for f in makesetup.exe Setup.exe Uninstall.exe README.md LICENSE windriver/windriver.exe windriver/windriver-hook.dll \
    windriver/README.md; do
    [ -f "$tools/$f" ] || fail "the zip has no $f"
done
# The zip's window driver runs on its own (its hook beside it).
wine_timeout 120 "$tools/windriver/windriver.exe" list-windows </dev/null >"$tmp/out.txt" 2>&1 ||
    fail "the zip's windriver.exe: $(cat "$tmp/out.txt")"
cp "$tmp/expected/bin/HelloApp.exe" "$(wine_c pkg/HelloApp.exe)"
cp "$src/examples/cmake-app/data/greeting.txt" "$(wine_c pkg/data/greeting.txt)"
printf '[package]\nname = "Zip Demo"\nuninstaller = true\n[[file]]\nsource = "HelloApp.exe"\n[[file]]\nsource = "data/*"\nfolder = "data"\n' \
    >"$(wine_c pkg/package.toml)"
wine_timeout 120 'C:\makesetup\makesetup.exe' build 'C:\pkg\package.toml' -o 'C:\pkg\ZipDemo.exe' </dev/null \
    >"$tmp/out.txt" 2>&1 || fail "makesetup.exe build exit $?: $(cat "$tmp/out.txt")"
built=$(wine_c pkg/ZipDemo.exe)
"$prefix/bin/makesetup" verify "$built" >"$tmp/out.txt" 2>&1 || fail "verify of makesetup.exe's package: $(cat "$tmp/out.txt")"
contains "$tmp/out.txt" "OK: 3 files" "verify of makesetup.exe's package"
"$prefix/bin/makesetup" build "$(wine_c pkg/package.toml)" --stub "$tools/Setup.exe" -o "$tmp/ZipDemo.exe" -q ||
    fail "native build of the zip's package"
cmp -s "$built" "$tmp/ZipDemo.exe" || fail "makesetup.exe did not take the Setup.exe beside it"

finish
