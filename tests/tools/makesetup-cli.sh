#!/usr/bin/env bash
# The native makesetup's command line: exit codes, what is written and what
# is not, and the messages a user sees.
#   makesetup-cli.sh MAKESETUP [EXAMPLE_DESCRIPTION README MAKE_TEST_STUB]
set -u
tool=$1
example=${2:-}
readme=${3:-}
stub_maker=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect_rc() { # expected actual what
    [ "$1" = "$2" ] || fail "$3: exit code $2, expected $1"
}
contains() { # file text what
    grep -qF -- "$2" "$1" || { fail "$3: no \"$2\" in:"; cat "$1" >&2; }
}

printf 'MZ-stub-bytes' >stub.exe
mkdir -p src/docs
printf 'demo program' >src/Demo.exe
printf 'uninstaller' >src/Uninstall.exe
printf 'read me' >src/docs/readme.txt
cat >demo.toml <<'TOML'
[package]
name = "Demo ${VERSION}"
[[file]]
source = "src/*.exe"
[[file]]
source = "src/docs/**"
folder = "docs"
[[shell]]
group = "Demo"
[[shell]]
item = "Demo"
target = "Demo.exe"
TOML

"$tool" --version >out.txt 2>&1; expect_rc 0 $? "--version"
contains out.txt "makesetup 1." "--version"
for cmd in build list verify extract; do
    "$tool" $cmd --help >out.txt 2>&1; expect_rc 0 $? "$cmd --help"
    contains out.txt "Usage:" "$cmd --help"
done
"$tool" >out.txt 2>&1; expect_rc 2 $? "no subcommand"
"$tool" build >out.txt 2>&1; expect_rc 2 $? "build without a description"

# Build with the default output name, list, verify.
"$tool" build demo.toml --stub stub.exe -D VERSION=1.2 >out.txt 2>err.txt; expect_rc 0 $? "build"
contains out.txt "demo-setup.exe:" "build summary"
[ -f demo-setup.exe ] || fail "build: no demo-setup.exe"
ls -a | grep -q '\.part-' && fail "build left a temporary file"
"$tool" verify demo-setup.exe >out.txt 2>&1; expect_rc 0 $? "verify"
contains out.txt "OK: 3 files, 2 folders, 2 shell items, 1 registry value; checksum 0x" "verify"
contains out.txt "; not signed" "verify of an unsigned package"
"$tool" list demo-setup.exe >out.txt 2>&1; expect_rc 0 $? "list"
contains out.txt "Demo 1.2" "list"
contains out.txt "1 skAddItem" "list"
"$tool" list --json demo-setup.exe >out.json 2>&1; expect_rc 0 $? "list --json"
contains out.json '"AppName": "Demo 1.2"' "list --json"
contains out.json '"KindName": "skCreateGroup"' "list --json"

# Same input, same bytes.
"$tool" build demo.toml --stub stub.exe -D VERSION=1.2 -o again.exe -q >out.txt 2>&1; expect_rc 0 $? "second build"
[ -s out.txt ] && fail "--quiet printed: $(cat out.txt)"
cmp -s demo-setup.exe again.exe || fail "two builds of the same input differ"

# A damaged byte in the file data, a truncated file.
cp demo-setup.exe damaged.exe
printf 'X' | dd of=damaged.exe bs=1 seek=20 conv=notrunc 2>/dev/null
"$tool" verify damaged.exe >out.txt 2>&1; expect_rc 1 $? "verify damaged"
contains out.txt "damaged.exe: checksum mismatch" "verify damaged"
head -c 1000 demo-setup.exe >short.exe
"$tool" verify short.exe >out.txt 2>&1; expect_rc 1 $? "verify truncated"
contains out.txt "no package trailer" "verify truncated"
"$tool" list short.exe >out.txt 2>&1; expect_rc 1 $? "list truncated"
# A table past the end or a negative count: list and extract name the table, as verify does.
put_int32() { # file offset-from-end value
    local size; size=$(stat -c %s "$1")
    printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($3 & 255)) $(($3 >> 8 & 255)) $(($3 >> 16 & 255)) $(($3 >> 24 & 255)))" |
        dd of="$1" bs=1 seek=$((size - $2)) conv=notrunc 2>/dev/null
}
cp demo-setup.exe far-table.exe; put_int32 far-table.exe 24 100000    # FileCount
cp demo-setup.exe negative.exe; put_int32 negative.exe 8 -5           # DirCount
for cmd in list "extract -o bad-tables"; do
    "$tool" $cmd far-table.exe >out.txt 2>&1; expect_rc 1 $? "$cmd of a file table past the end"
    contains out.txt "far-table.exe: the file table (100000 records of 776 bytes at offset" "$cmd of a file table past the end"
    "$tool" $cmd negative.exe >out.txt 2>&1; expect_rc 1 $? "$cmd of a negative count"
    contains out.txt "negative.exe: the directory table has a negative count (-5)" "$cmd of a negative count"
done
"$tool" verify missing.exe >out.txt 2>&1; expect_rc 1 $? "verify missing"
contains out.txt 'Cannot open file "missing.exe"' "verify missing"

# A FIFO (or any file that is not a regular one) is refused at once by every
# command that reads a package or a description, never waited on.
mkfifo fifo
for cmd in build list verify seal "extract -o fifo-out"; do
    timeout 20 "$tool" $cmd fifo >out.txt 2>&1; expect_rc 1 $? "$cmd of a FIFO"
    contains out.txt "Not a regular file" "$cmd of a FIFO"
done

# Each command ends an error of each kind it meets in one line and exit code 1.
head -c 2000 /dev/zero >text.exe
tail -c 600 demo-setup.exe >tail.exe  # a trailer whose tables lie before the file's start
printf 'x' >a-file
while IFS='|' read -r args expected; do
    eval "\"\$tool\" $args" >out.txt 2>&1; expect_rc 1 $? "$args"
    contains out.txt "$expected" "$args"
    [ "$(wc -l <out.txt)" = 1 ] || { fail "$args: not one line:"; cat out.txt >&2; }
done <<'TABLE'
build demo.toml --stub stub.exe -D VERSION=1 -o stub.exe|nothing written: stub.exe: the output would replace the stub
build demo.toml --stub stub.exe -D VERSION=1 -o no-folder/x.exe|nothing written: Cannot create file
build demo.toml --stub stub.exe -D VERSION=1 -o signed.exe --sign-command false|nothing written: the signer failed
build demo.toml --stub stub.exe -D VERSION=1 -o signed.exe --sign-command 'cp {in} {out}'|carries no signature
list missing.exe|missing.exe: Cannot open file
list text.exe|text.exe: not a package
list tail.exe|tail.exe: the file table (3 records of 776 bytes at offset 43
verify missing.exe|missing.exe: Cannot open file
verify text.exe|text.exe: no package trailer
extract missing.exe -o out|missing.exe: Cannot open file
extract text.exe -o out|text.exe: not a package
extract tail.exe -o out|tail.exe: the file table (3 records of 776 bytes at offset 43
extract demo-setup.exe -o a-file|demo-setup.exe: cannot open folder "a-file"
extract demo-setup.exe --from missing.exe -o out|demo-setup.exe: Cannot open file "missing.exe"
seal missing.exe|missing.exe: cannot seal: Cannot open file
seal demo-setup.exe|demo-setup.exe: cannot seal: the file carries no signature
TABLE

# A refused description: the line is named, nothing is written, an old output stays.
printf 'old' >bad-setup.exe
cat >bad.toml <<'TOML'
[package]
name = "Bad"
[[file]]
source = "src/Demo.exe"
base = "Installdir"
TOML
"$tool" build bad.toml --stub stub.exe >out.txt 2>&1; expect_rc 1 $? "refused build"
contains out.txt 'bad.toml:5: error: base "Installdir" must be written "InstallDir"' "refused build"
contains out.txt "nothing written" "refused build"
[ "$(cat bad-setup.exe)" = old ] || fail "a refused build touched the old output"
ls -a | grep -q '\.part-' && fail "a refused build left a temporary file"

# Warnings do not stop a build.
cat >warn.toml <<'TOML'
[package]
name = "Warn"
[[file]]
source = "src/Demo.exe"
TOML
"$tool" build warn.toml --stub stub.exe >out.txt 2>&1; expect_rc 0 $? "build with warnings"
contains out.txt 'warn.toml:1: warning: no "Uninstall.exe" in the install folder' "build with warnings"

# No stub anywhere.
"$tool" build warn.toml >out.txt 2>&1; expect_rc 1 $? "no stub"
contains out.txt "no stub" "no stub"

# An interrupted build leaves no temporary file. The build is held stopped
# while its .part file is seen, so the interrupt reaches it in mid-copy
# however fast the machine is.
mkdir interrupt
truncate -s 3G interrupt/big.bin
printf '[package]\nname = "Big"\n[[file]]\nsource = "big.bin"\n' >interrupt/big.toml
"$tool" build interrupt/big.toml --stub stub.exe -o interrupt/big.exe -q >/dev/null 2>&1 &
pid=$!
caught=
for _ in $(seq 600); do
    kill -STOP $pid 2>/dev/null || break
    ls interrupt | grep -q '\.part-' && { caught=1; break; }
    kill -CONT $pid
    [ -e interrupt/big.exe ] && break  # done before it was caught
    sleep 0.05
done
kill -INT $pid 2>/dev/null
kill -CONT $pid 2>/dev/null
wait $pid
rc=$?
if [ -z "$caught" ]; then
    fail "no .part file while the build ran (exit code $rc, left: $(ls interrupt))"
else
    expect_rc 130 $rc "an interrupted build"
    ls interrupt | grep -q '\.part-' && fail "an interrupted build left $(ls interrupt)"
    [ -e interrupt/big.exe ] && fail "an interrupted build left big.exe"
fi
rm -rf interrupt

# Extract: every file byte-exact below KEYWORD/SubDir, --list writes nothing,
# a missing -o is a usage error.
"$tool" extract demo-setup.exe --list >out.txt 2>&1; expect_rc 0 $? "extract --list"
contains out.txt "InstallDir/docs/readme.txt" "extract --list"
[ -e InstallDir ] && fail "extract --list wrote files"
"$tool" extract demo-setup.exe >out.txt 2>&1; expect_rc 2 $? "extract without -o"
"$tool" extract demo-setup.exe -o unpacked >out.txt 2>&1; expect_rc 0 $? "extract"
contains out.txt "3 files, 30 bytes written" "extract summary"
for f in Demo.exe Uninstall.exe docs/readme.txt; do
    cmp -s "unpacked/InstallDir/$f" "src/$f" || fail "extract: $f differs"
done
"$tool" extract demo-setup.exe -o unpacked --codepage 437 >out.txt 2>&1; expect_rc 2 $? "extract --codepage 437"

# A Shift-JIS package: names with a 0x5C second byte, listed and extracted
# by the code page, JSON valid either way.
mkdir -p sjis
printf 'x' >sjis/a.txt
cat >sjis/p.toml <<'TOML'
[package]
name = "表ソフト"
author = "山田"
codepage = 932
[[file]]
source = "a.txt"
folder = '表\ソ'
name = "表.txt"
[[file]]
source = "a.txt"
name = "Uninstall.exe"
TOML
"$tool" build sjis/p.toml --stub stub.exe -o sjis.exe >out.txt 2>&1; expect_rc 0 $? "Shift-JIS build"
"$tool" list sjis.exe --codepage 932 >out.txt 2>&1; expect_rc 0 $? "list --codepage 932"
contains out.txt "表ソフト" "list --codepage 932"
for cp in 932 1252; do
    "$tool" list --json sjis.exe --codepage $cp >out.json 2>&1
    iconv -f UTF-8 -t UTF-8 out.json >/dev/null 2>&1 || fail "list --json --codepage $cp is not UTF-8"
done
"$tool" extract sjis.exe -o sjis-out --codepage 932 >out.txt 2>&1; expect_rc 0 $? "extract --codepage 932"
[ -f "sjis-out/InstallDir/表/ソ/表.txt" ] || fail "extract --codepage 932: $(find sjis-out -type f)"

# The bundled example builds cleanly against a stub folder laid out like the
# win32 build (its programs below ${STUB_DIR}/examples/demo).
if [ -n "$example" ]; then
    mkdir -p build/examples/demo
    "$stub_maker" build/Setup.exe || fail "no test stub: the example's icon and version need a PE image"
    printf 'MZ-demo' >build/examples/demo/Demo.exe
    printf 'MZ-uninstall' >build/Uninstall.exe  # the win32 build puts it beside Setup.exe
    "$tool" build "$example" --stub build/Setup.exe -o example.exe >out.txt 2>&1; expect_rc 0 $? "example build"
    grep -q "warning" out.txt && fail "example build warns: $(cat out.txt)"
    "$tool" verify example.exe >out.txt 2>&1; expect_rc 0 $? "example verify"
    contains out.txt "OK: 5 files, 2 folders, 3 shell items, 8 registry values" "example verify"
fi

# The README's complete description builds as it stands.
if [ -n "$readme" ]; then
    mkdir -p readme/build readme/help/images
    printf 'MZ' >readme/build/Demo.exe
    printf 'MZ uninstaller' >Uninstall.exe  # beside the stub, where uninstaller = true finds it
    printf 'MZ' >readme/demo.scr
    printf '<p>' >readme/help/index.html
    printf 'BM' >readme/help/images/back.bmp
    cp "$(dirname "$example")/Demo.ico" readme/demo.ico
    "$stub_maker" readme-stub.exe || fail "no test stub"
    awk '/^### A complete description/ { f = 1 } f && /^```toml/ { g = 1; next } g && /^```/ { exit } g' \
        "$readme" >readme/package.toml
    [ -s readme/package.toml ] || fail "no description found in the README"
    "$tool" build readme/package.toml --stub readme-stub.exe -D VERSION=1 -o readme.exe >out.txt 2>&1
    expect_rc 0 $? "README example build"
    grep -q "warning" out.txt && fail "README example warns: $(cat out.txt)"
    contains out.txt "5 files, 2 folders, 4 shell items, 8 registry values" "README example build"
    "$tool" list readme.exe >list.txt 2>&1
    contains list.txt "Uninstall.exe" "README example holds the uninstaller"
fi

[ $failures = 0 ] && echo "makesetup-cli: all passed"
exit $((failures > 0))
