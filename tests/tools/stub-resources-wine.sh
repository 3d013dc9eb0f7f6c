#!/usr/bin/env bash
# A package built with an icon and a version, as a Windows user meets it:
# makesetup.exe builds it under Wine; an independent PE reader (Python's
# pefile, where installed) and the Windows API read its resources back; the
# wizard shows the icon in its title bar and installs; a corrupt icon and a
# bad version are refused with their lines.
#   stub-resources-wine.sh MAKESETUP_EXE SETUP_EXE CHECKER_EXE WINDRIVER LAYOUT_CHECK ARTIFACTS
set -u
[ $# = 6 ] || { echo "usage: stub-resources-wine.sh MAKESETUP_EXE SETUP_EXE CHECKER_EXE WINDRIVER LAYOUT_CHECK ARTIFACTS" >&2; exit 2; }
tool=$1 setup_exe=$2 resource_checker=$3 driver=$4 checker=$5 artifacts=$6
. "$(dirname "$0")/../wine/wine-session.sh"
. "$(dirname "$0")/../support/uninstall-contract.sh"
wine_session_start || exit 125
work=$WINE_SESSION_DIR
mkdir -p "$artifacts"
contains() { grep -qF -- "$2" "$1" || { fail "$3: no \"$2\" in:"; cat "$1" >&2; }; }
. "$(dirname "$0")/../e2e/driver-session.sh"
e2e_name=stub-resources
driver_session_prepare

pkg=$(wine_c pkg)
mkdir -p "$pkg"
cp "$tool" "$pkg/makesetup.exe"
cp "$setup_exe" "$pkg/Setup.exe"
printf 'read me\r\n' >"$pkg/readme.txt"
printf 'uninstaller' >"$pkg/Uninstall.exe"

# Yellow on blue, unlike the stub's own icon: four bitmaps and a 256 x 256 PNG.
convert -size 256x256 xc:'#1040c0' -fill '#ffd000' -draw 'rectangle 40,40 215,215' "$work/face.png" &&
    convert "$work/face.png" -define icon:auto-resize=256,48,32,24,16 "$pkg/app.ico" || fail "no icon made"
python3 - "$pkg/app.ico" <<'PY' || fail "the test icon lacks a PNG image"
import struct, sys
data = open(sys.argv[1], "rb").read()
count = struct.unpack_from("<H", data, 4)[0]
images = [struct.unpack_from("<II", data, 6 + 16 * i + 8) for i in range(count)]
sys.exit(0 if count >= 4 and any(data[o:o + 4] == b"\x89PNG" for _, o in images) else 1)
PY

cat >"$pkg/package.toml" <<'TOML'
[package]
name = "Icon Demo"
author = "Ann Author"
version = "4.2.17"
copyright = "Copyright 2026 Ann Author"
icon = "app.ico"
uninstaller = "Uninstall.exe"
[[file]]
source = "readme.txt"
TOML
cat >"$pkg/bad.toml" <<'TOML'
[package]
name = "Bad"
version = "1.x"
icon = "broken.ico"
TOML
head -c 400 "$pkg/app.ico" >"$pkg/broken.ico"

run() { wine_timeout 120 "C:\\pkg\\makesetup.exe" "$@" </dev/null; }
run build 'C:\pkg\package.toml' --stub 'C:\pkg\Setup.exe' -o 'C:\pkg\IconSetup.exe' >"$work/out.txt" 2>&1 ||
    fail "build exit $?: $(cat "$work/out.txt")"
run verify 'C:\pkg\IconSetup.exe' >"$work/out.txt" 2>&1 || fail "verify exit $?: $(cat "$work/out.txt")"
contains "$work/out.txt" "OK: 2 files" "verify"
run build 'C:\pkg\package.toml' --stub 'C:\pkg\Setup.exe' -o 'C:\pkg\again.exe' -q >/dev/null 2>&1
cmp -s "$pkg/IconSetup.exe" "$pkg/again.exe" || fail "two builds of the same input differ"
cmp -s "$setup_exe" "$pkg/Setup.exe" || fail "the stub file changed"

run build 'C:\pkg\bad.toml' --stub 'C:\pkg\Setup.exe' -o 'C:\pkg\bad.exe' >"$work/out.txt" 2>&1
rc=$?
[ $rc = 1 ] || fail "refused build exit $rc"
contains "$work/out.txt" 'bad.toml:3: error: version "1.x" is not one to four numbers' "bad version"
contains "$work/out.txt" 'bad.toml:4: error: icon "' "corrupt icon"
contains "$work/out.txt" 'is not a valid icon file: image' "corrupt icon"
[ -e "$pkg/bad.exe" ] && fail "a refused build wrote bad.exe"

# An independent reader of the PE format, where Debian's python3-pefile is installed.
if /usr/bin/python3 -c 'import pefile' 2>/dev/null; then
    /usr/bin/python3 - "$pkg/IconSetup.exe" "$pkg/app.ico" <<'PY' || fail "pefile reads the resources otherwise"
import struct, sys, pefile
pe = pefile.PE(sys.argv[1])
ico = open(sys.argv[2], "rb").read()
problems = []
if not pe.verify_checksum():
    problems.append("checksum %#x, computed %#x" % (pe.OPTIONAL_HEADER.CheckSum, pe.generate_checksum()))
strings = {}
for info in pe.FileInfo[0]:
    for table in getattr(info, "StringTable", []):
        strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
wanted = {"ProductName": "Icon Demo", "CompanyName": "Ann Author", "FileDescription": "Icon Demo Setup",
          "ProductVersion": "4.2.17", "FileVersion": "4.2.17", "LegalCopyright": "Copyright 2026 Ann Author"}
if strings != wanted:
    problems.append("strings %r" % strings)
fixed = pe.VS_FIXEDFILEINFO[0]
if (fixed.FileVersionMS, fixed.FileVersionLS) != (0x40002, 0x110000):
    problems.append("fixed version %#x %#x" % (fixed.FileVersionMS, fixed.FileVersionLS))
def entries(type_id):
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if t.id == type_id:
            return {(e.name.string.decode() if e.name else e.id): e.directory.entries[0].data.struct for e in t.directory.entries}
    return {}
group = entries(14)["MAINICON"]
group_bytes = pe.get_data(group.OffsetToData, group.Size)
images = entries(3)
count = struct.unpack_from("<H", ico, 4)[0]
for i in range(count):
    size, offset = struct.unpack_from("<II", ico, 6 + 16 * i + 8)
    image_id = struct.unpack_from("<H", group_bytes, 6 + 14 * i + 12)[0]
    data = images[image_id]
    if pe.get_data(data.OffsetToData, data.Size) != ico[offset:offset + size]:
        problems.append("image %d differs" % i)
if 1 not in entries(24):
    problems.append("no manifest")
print("\n".join(problems), file=sys.stderr)
sys.exit(1 if problems else 0)
PY
else
    echo "stub-resources: python3-pefile is not installed; the Windows API's reading alone is checked"
fi

# The Windows API's reading.
wine_timeout 120 "$resource_checker" "$(winpath "$pkg/IconSetup.exe")" "$(winpath "$pkg/app.ico")" 4.2.17.0 \
    "ProductName=Icon Demo" "CompanyName=Ann Author" "FileDescription=Icon Demo Setup" "ProductVersion=4.2.17" \
    "FileVersion=4.2.17" "LegalCopyright=Copyright 2026 Ann Author" </dev/null >"$work/check.txt" 2>&1 ||
    { fail "the Windows API reads the resources otherwise:"; cat "$work/check.txt" >&2; }

# The wizard shows the icon in its title bar, then installs as before.
w="--class TfrmWelcome"
drive <<EOF
start C:\\pkg\\IconSetup.exe
wait-window $w --timeout $first_window_timeout
expect-drawn $w
screenshot $w --out $(winpath "$work/welcome.bmp")
$(wizard_install_lines)
expect-exit-code 0 --timeout 60
EOF
convert "$work/welcome.bmp" "$artifacts/icon-welcome.png" 2>/dev/null || fail "no screenshot"
# The small icon sits at the title bar's left: count its yellow and blue pixels.
read -r yellow blue < <(convert "$work/welcome.bmp" -crop 28x26+0+0 +repage txt:- | awk '
    /^#/ { next }
    { split($2, c, /[(),]/); r = c[2]; g = c[3]; b = c[4]
      if (r > 200 && g > 170 && b < 90) y++
      if (r < 60 && g < 110 && b > 150) bl++ }
    END { print y + 0, bl + 0 }')
[ "${yellow:-0}" -ge 20 ] && [ "${blue:-0}" -ge 10 ] ||
    fail "the title bar does not show the icon (yellow $yellow, blue $blue pixels; see $artifacts/icon-welcome.png)"
app=$(wine_c "Program Files/Icon Demo")
cmp -s "$app/readme.txt" "$pkg/readme.txt" || fail "readme.txt not installed as packed"
cmp -s "$app/Uninstall.exe" "$pkg/Uninstall.exe" || fail "Uninstall.exe not installed as packed"
[ -f "$app/$uninstall_data_file" ] || fail "no $uninstall_data_file"

wine_session_end
[ $failures = 0 ] && echo "stub-resources-wine: all passed"
exit $((failures > 0))
