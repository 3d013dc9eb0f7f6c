#!/usr/bin/env bash
# The CPack script on its own, natively: a project with awkward CPACK_ values
# and two components, packed by cpack -G External with the build's makesetup.
# The description must carry every value unchanged into the package (quotes,
# backslashes, a literal ${, a contact with a name), one setup executable of
# all components by default and one per component with IGNORE; the kept
# description must build alone from another folder, and makesetup's errors
# name the variable. Then a small project through find_package(MakeSetup)
# from an installed layout: its executable in the top folder, named win32.
#   cpack-external.sh MAKESETUP SCRIPT MAKE_TEST_STUB CONFIG_DIR
set -u
[ $# = 4 ] || { echo "usage: cpack-external.sh MAKESETUP SCRIPT MAKE_TEST_STUB CONFIG_DIR" >&2; exit 2; }
tool=$(realpath "$1") script=$(realpath "$2") make_stub=$(realpath "$3") config=$(realpath "$4")
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
contains() { grep -qF -- "$2" "$1" || { fail "$3: no \"$2\" in:"; sed 's/^/    /' "$1" >&2; }; }
lacks() { grep -qF -- "$2" "$1" && { fail "$3: \"$2\" in:"; sed 's/^/    /' "$1" >&2; }; }
# The version resource holds its texts in UTF-16.
has_utf16() { python3 -c 'import sys; sys.exit(sys.argv[2].encode("utf-16-le") not in open(sys.argv[1], "rb").read())' "$1" "$2"; }

mkdir -p "$work/src"
# A real PE stub: the version key makes makesetup write a version resource.
"$make_stub" "$work/stub.exe" || { echo "FAIL: no test stub" >&2; exit 1; }
printf 'MZ an uninstaller for the test' >"$work/Remover.exe"
cat >"$work/src/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.19)
project(Odd VERSION 3.1.4.1 LANGUAGES NONE)
file(WRITE ${CMAKE_BINARY_DIR}/tool.exe "MZ tool")
file(WRITE ${CMAKE_BINARY_DIR}/guide.txt "a guide")
install(FILES ${CMAKE_BINARY_DIR}/tool.exe DESTINATION bin COMPONENT app)
install(FILES ${CMAKE_BINARY_DIR}/guide.txt DESTINATION "doc/it's" COMPONENT docs)
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME "Odd \"Quoted\" ${NOT_A_DEFINE}")
set(CPACK_PACKAGE_VENDOR "O'Brien & Co")
set(CPACK_PACKAGE_CONTACT "Pat O'Brien <pat@example.com>")
set(CPACK_PACKAGE_ICON "${CMAKE_SOURCE_DIR}/banner.bmp")
set(CPACK_PACKAGE_EXECUTABLES tool "Run the tool" extra.exe "Extra")
set(CPACK_MAKESETUP_START_MENU_FOLDER "Odd Tools")
set(CPACK_MAKESETUP_COPYRIGHT "(c) 2026 O'Brien & Co")
set(CPACK_MAKESETUP_HELP_LINK "https://example.com/odd?help=1;more")
set(CPACK_MAKESETUP_LICENSE "MIT OR Apache-2.0")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Odd tools for O'Brien's \"odd\" jobs")
set(CPACK_MAKESETUP_UNINSTALLER "${REMOVER}")
set(CPACK_MAKESETUP_REGISTRY HKCU "Software/Odd/Paths" Home "{InstallDir}\\bin" HKLM "Software\\Odd" "" "tab\there")
set(CPACK_MAKESETUP_EXTRA "[[folder]]\npath = 'cache'")
set(CPACK_MAKESETUP_STUB "${STUB}")
set(CPACK_MAKESETUP_EXECUTABLE "${MAKESETUP}")
set(CPACK_EXTERNAL_PACKAGE_SCRIPT "${SCRIPT}")
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_PACKAGE_FILE_NAME odd)
include(CPack)
EOF
string='$'
cmake -S "$work/src" -B "$work/b" -DSTUB="$work/stub.exe" -DREMOVER="$work/Remover.exe" -DMAKESETUP="$tool" \
    -DSCRIPT="$script" -DNOT_A_DEFINE="${string}{HOME}" >"$work/out.txt" 2>&1 || { cat "$work/out.txt"; exit 1; }

(cd "$work/b" && cpack -G External) >"$work/out.txt" 2>&1 || { fail "cpack:"; cat "$work/out.txt" >&2; }
[ -f "$work/b/odd.exe" ] && [ -f "$work/b/odd.toml" ] || { fail "no odd.exe and odd.toml"; ls "$work/b" >&2; exit 1; }
"$tool" verify "$work/b/odd.exe" >"$work/verify.txt" 2>&1 || fail "verify: $(cat "$work/verify.txt")"
# tool.exe, guide.txt and the uninstaller; cache (which makes the install folder), bin, doc\it's;
# the two values given and the Programs and Features entry's version, publisher, location,
# icon (the first executable), help link and the request for the unattended-removal values.
contains "$work/verify.txt" "OK: 3 files, 3 folders, 3 shell items, 8 registry values" "one package of both components"
"$tool" list --json "$work/b/odd.exe" >"$work/list.json"
for text in '"AppName": "Odd \"Quoted\" ${HOME}"' '"Author": "O'"'"'Brien & Co"' '"Email": "pat@example.com"' \
    '"SubDir": "doc\\it'"'"'s"' '"FileName": "Uninstall.exe"' '"Caption": "Odd Tools"' '"Caption": "Run the tool"' \
    '"FileName": "tool.exe"' '"FileName": "extra.exe"' '"SubDir": "bin"' \
    '"Key": "Software\\Odd\\Paths"' '"ValueData": "3.1.4"' '"ValueData": "O'"'"'Brien & Co"' '"ValueData": "{InstallDir}\\bin"' '"ValueData": "tab\there"' '"SubDir": "cache"' \
    '"ValueData": "{InstallDir}\\bin\\tool.exe"' '"ValueData": "https://example.com/odd?help=1;more"'; do
    contains "$work/list.json" "$text" "list of the package"
done
# The uninstaller is the one named, the banner no icon.
offset=$(grep -A4 '"FileName": "Uninstall.exe"' "$work/list.json" | sed -n 's/.*"Offset": \([0-9]*\).*/\1/p')
[ "$(tail -c +$((offset + 1)) "$work/b/odd.exe" | head -c 30)" = "MZ an uninstaller for the test" ] ||
    fail "the package does not hold CPACK_MAKESETUP_UNINSTALLER"
grep -q '^icon' "$work/b/odd.toml" && fail "a .bmp CPACK_PACKAGE_ICON became the icon"
# CPack's version is MAJOR.MINOR.PATCH of the project's: the tweak number stays out.
contains "$work/b/odd.toml" "version = '3.1.4'" "the description"
has_utf16 "$work/b/odd.exe" "(c) 2026 O'Brien & Co" || fail "no CPACK_MAKESETUP_COPYRIGHT in the version resource"
# The kept description reads only what lies beside it: no staging folder, no absolute path.
lacks "$work/b/odd.toml" "_CPack_Packages" "the kept description"
lacks "$work/b/odd.toml" "= '/" "the kept description"
mkdir "$work/elsewhere" && cp -r "$work/b/odd.toml" "$work/b/odd.files" "$work/elsewhere/"

# One setup executable per component.
cmake -DCPACK_COMPONENTS_GROUPING=IGNORE "$work/b" >/dev/null 2>&1
(cd "$work/b" && cpack -G External) >"$work/out.txt" 2>&1 || { fail "cpack, IGNORE:"; cat "$work/out.txt" >&2; }
for component in app docs; do
    [ -f "$work/b/odd-$component.exe" ] && [ -f "$work/b/odd-$component.toml" ] || fail "no odd-$component.exe and .toml"
done
"$tool" list --json "$work/b/odd-app.exe" >"$work/app.json" 2>&1
contains "$work/app.json" '"FileName": "tool.exe"' "the app component's package"
lacks "$work/app.json" '"FileName": "guide.txt"' "the app component's package"
"$tool" list --json "$work/b/odd-docs.exe" >"$work/docs.json" 2>&1
contains "$work/docs.json" '"FileName": "guide.txt"' "the docs component's package"

# makesetup's errors about lines made from variables name them.
cp "$work/b/CPackConfig.cmake" "$work/config.cmake"
printf '%s\n' 'set(CPACK_MAKESETUP_EXECUTABLES_DIRECTORY "bin/..")' 'set(CPACK_MAKESETUP_EXTRA "[[folder]]\npath = '"'a/../b'"'")' \
    >>"$work/b/CPackConfig.cmake"
(cd "$work/b" && cpack -G External) >"$work/out.txt" 2>&1 && fail "cpack took a target with .."
contains "$work/out.txt" "(from CPACK_PACKAGE_EXECUTABLES, CPACK_MAKESETUP_EXECUTABLES_DIRECTORY)" "a wrong executables folder"
contains "$work/out.txt" "(from CPACK_MAKESETUP_EXTRA)" "a wrong CPACK_MAKESETUP_EXTRA"
cp "$work/config.cmake" "$work/b/CPackConfig.cmake"

# A registry list that is not groups of four is refused with its name.
sed -i 's|^set(CPACK_MAKESETUP_REGISTRY .*|set(CPACK_MAKESETUP_REGISTRY "HKCU;Software")|' "$work/b/CPackConfig.cmake"
(cd "$work/b" && cpack -G External) >"$work/out.txt" 2>&1 && fail "cpack took a registry list of two"
contains "$work/out.txt" "CPACK_MAKESETUP_REGISTRY holds 2 items, not groups of four" "cpack's refusal"

# The kept pair builds the same bytes with its inputs and the staging folder gone.
rm -rf "$work/b/_CPack_Packages" "$work/stub.exe" "$work/Remover.exe"
(cd / && "$tool" build "$work/elsewhere/odd.toml" -q -o "$work/again.exe") 2>"$work/out.txt" ||
    fail "the kept description does not build: $(cat "$work/out.txt")"
cmp -s "$work/b/odd.exe" "$work/again.exe" || fail "the kept description gives other bytes than cpack did"
# Its licence and description, which the package does not hold, go into winget's manifests.
(cd / && "$tool" winget "$work/elsewhere/odd.toml" --installer "$work/again.exe" --url https://example.com/odd.exe \
    --id OBrien.Odd -o "$work/winget" -q) 2>"$work/out.txt" || fail "winget from the kept description: $(cat "$work/out.txt")"
contains "$work/winget/OBrien.Odd.locale.en-US.yaml" "License: MIT OR Apache-2.0" "the manifest of CPACK_MAKESETUP_LICENSE"
contains "$work/winget/OBrien.Odd.locale.en-US.yaml" "ShortDescription: \"Odd tools for O'Brien's \\\"odd\\\" jobs\"" \
    "the manifest of CPACK_PACKAGE_DESCRIPTION_SUMMARY"

# find_package(MakeSetup) from an installed layout, in a project built without
# a Windows toolchain; its executable in the top folder, written "." and "".
prefix=$work/prefix
mkdir -p "$prefix/bin" "$prefix/share/makesetup" "$prefix/lib/cmake/MakeSetup"
cp "$tool" "$prefix/bin/makesetup"
"$make_stub" "$prefix/share/makesetup/Setup.exe" || fail "no test stub"
printf 'MZ the installed uninstaller' >"$prefix/share/makesetup/Uninstall.exe"
cp "$config/MakeSetupConfig.cmake" "$config/MakeSetupConfigVersion.cmake" "$script" "$prefix/lib/cmake/MakeSetup/"
mkdir "$work/tiny"
cat >"$work/tiny/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.19)
project(Tiny VERSION 1.2.3 LANGUAGES NONE)
file(WRITE ${CMAKE_BINARY_DIR}/Tiny.exe "MZ tiny")
install(FILES ${CMAKE_BINARY_DIR}/Tiny.exe DESTINATION .)
set(CPACK_PACKAGE_EXECUTABLES Tiny "Tiny")
set(CPACK_MAKESETUP_EXECUTABLES_DIRECTORY "${DIR}")
find_package(MakeSetup 1.0 REQUIRED)
include(CPack)
EOF
for dir in . ""; do
    rm -rf "$work/t"
    cmake -S "$work/tiny" -B "$work/t" -DCMAKE_PREFIX_PATH="$prefix" -DDIR="$dir" >"$work/out.txt" 2>&1 &&
        (cd "$work/t" && cpack -G External) >>"$work/out.txt" 2>&1 || { fail "tiny project, dir \"$dir\":"; cat "$work/out.txt" >&2; continue; }
    setup=$work/t/Tiny-1.2.3-win32.exe
    [ -f "$setup" ] || { fail "no Tiny-1.2.3-win32.exe:"; ls "$work/t" >&2; continue; }
    "$tool" list --json "$setup" >"$work/tiny.json" 2>&1
    for text in '"Caption": "Tiny"' '"ValueData": "{InstallDir}\\Tiny.exe"' '"FileName": "Uninstall.exe"'; do
        contains "$work/tiny.json" "$text" "the tiny project, dir \"$dir\""
    done
done

[ $failures = 0 ] && echo "cpack-external: all passed"
exit $((failures > 0))
