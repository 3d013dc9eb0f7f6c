#!/usr/bin/env bash
# The CPack script on its own, natively: a project with awkward CPACK_ values
# and two components, packed by cpack -G External with the build's makesetup.
# The description must carry every value unchanged into the package (quotes,
# backslashes, a literal ${, a contact with a name), one setup executable of
# all components by default and one per component with IGNORE.
#   cpack-external.sh MAKESETUP SCRIPT MAKE_TEST_STUB
set -u
[ $# = 3 ] || { echo "usage: cpack-external.sh MAKESETUP SCRIPT MAKE_TEST_STUB" >&2; exit 2; }
tool=$(realpath "$1") script=$(realpath "$2") make_stub=$(realpath "$3")
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
contains() { grep -qF -- "$2" "$1" || { fail "$3: no \"$2\" in:"; sed 's/^/    /' "$1" >&2; }; }
lacks() { grep -qF -- "$2" "$1" && { fail "$3: \"$2\" in:"; sed 's/^/    /' "$1" >&2; }; }

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
# the two values given and the Programs and Features entry's version, publisher and location.
contains "$work/verify.txt" "OK: 3 files, 3 folders, 3 shell items, 5 registry values" "one package of both components"
"$tool" list --json "$work/b/odd.exe" >"$work/list.json"
for text in '"AppName": "Odd \"Quoted\" ${HOME}"' '"Author": "O'"'"'Brien & Co"' '"Email": "pat@example.com"' \
    '"SubDir": "doc\\it'"'"'s"' '"FileName": "Uninstall.exe"' '"Caption": "Odd Tools"' '"Caption": "Run the tool"' \
    '"FileName": "tool.exe"' '"FileName": "extra.exe"' '"SubDir": "bin"' \
    '"Key": "Software\\Odd\\Paths"' '"ValueData": "3.1.4"' '"ValueData": "O'"'"'Brien & Co"' '"ValueData": "{InstallDir}\\bin"' '"ValueData": "tab\there"' '"SubDir": "cache"'; do
    contains "$work/list.json" "$text" "list of the package"
done
# The uninstaller is the one named, the banner no icon.
offset=$(grep -A4 '"FileName": "Uninstall.exe"' "$work/list.json" | sed -n 's/.*"Offset": \([0-9]*\).*/\1/p')
[ "$(tail -c +$((offset + 1)) "$work/b/odd.exe" | head -c 30)" = "MZ an uninstaller for the test" ] ||
    fail "the package does not hold CPACK_MAKESETUP_UNINSTALLER"
lacks "$work/b/odd.toml" "icon" "a .bmp CPACK_PACKAGE_ICON"
# CPack's version is MAJOR.MINOR.PATCH of the project's: the tweak number stays out.
contains "$work/b/odd.toml" "version = '3.1.4'" "the description"

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

# A registry list that is not groups of four is refused with its name.
sed -i 's|^set(CPACK_MAKESETUP_REGISTRY .*|set(CPACK_MAKESETUP_REGISTRY "HKCU;Software")|' "$work/b/CPackConfig.cmake"
(cd "$work/b" && cpack -G External) >"$work/out.txt" 2>&1 && fail "cpack took a registry list of two"
contains "$work/out.txt" "CPACK_MAKESETUP_REGISTRY holds 2 items, not groups of four" "cpack's refusal"

[ $failures = 0 ] && echo "cpack-external: all passed"
exit $((failures > 0))
