#!/usr/bin/env bash
# makesetup.exe under Wine: builds, verifies and lists a package in a prefix
# of its own, refuses a broken description with its line, and compresses to
# the same bytes as the native makesetup.
#   makesetup-wine.sh MAKESETUP.EXE NATIVE_MAKESETUP
set -u
. "$(dirname "$0")/../wine/wine-session.sh"
tool=$1 native=$2
wine_session_start || exit 125
contains() { grep -qF -- "$2" "$1" || { fail "$3: no \"$2\" in:"; cat "$1" >&2; }; }

pkg=$(wine_c pkg)
mkdir -p "$pkg/src/data"
cp "$tool" "$pkg/makesetup.exe"
printf 'MZ-stub' >"$pkg/stub.exe"
printf 'uninstaller' >"$pkg/src/Uninstall.exe"
head -c 300000 /dev/urandom >"$pkg/src/data/big.bin"
printf 'small' >"$pkg/src/data/small.txt"
cat >"$pkg/package.toml" <<'TOML'
[package]
name = "Wine Demo"
[[file]]
source = "src/Uninstall.exe"
[[file]]
source = "src/data/*"
folder = "data"
[[registry]]
root = "HKCU"
key = 'Software\Wine Demo'
value = "{InstallDir}"
TOML
cat >"$pkg/bad.toml" <<'TOML'
[package]
name = "Bad"
[[file]]
source = "src/none.txt"
TOML

run() { wine_timeout 120 "C:\\pkg\\makesetup.exe" "$@" </dev/null; }
work=$WINE_SESSION_DIR

run build 'C:\pkg\package.toml' --stub 'C:\pkg\stub.exe' -o 'C:\pkg\out.exe' >"$work/out.txt" 2>&1 ||
    fail "build exit $?: $(cat "$work/out.txt")"
[ -f "$pkg/out.exe" ] || fail "build wrote no out.exe"
ls "$pkg" | grep -qiE '\.part-|^stp.*\.tmp$' && fail "build left a temporary file"
run verify 'C:\pkg\out.exe' >"$work/out.txt" 2>&1 || fail "verify exit $?"
contains "$work/out.txt" "OK: 3 files, 2 folders, 0 shell items, 2 registry values; checksum 0x" "verify"
run list --json 'C:\pkg\out.exe' >"$work/out.txt" 2>&1 || fail "list exit $?"
contains "$work/out.txt" '"SubDir": "data"' "list"
contains "$work/out.txt" '"RootName": "HKEY_CURRENT_USER"' "list"
# The data went in unchanged.
offset=$(grep -A4 '"FileName": "big.bin"' "$work/out.txt" | sed -n 's/.*"Offset": \([0-9]*\).*/\1/p')
[ -n "$offset" ] && cmp -s <(tail -c +$((offset + 1)) "$pkg/out.exe" | head -c 300000) "$pkg/src/data/big.bin" ||
    fail "big.bin's bytes differ in the package"

# Extract: byte-exact below C:\x; a file where a folder is wanted and a link
# to a folder outside refuse their entries only, and nothing is written outside.
run extract 'C:\pkg\out.exe' -o 'C:\x' >"$work/out.txt" 2>&1 || fail "extract exit $?: $(cat "$work/out.txt")"
for f in Uninstall.exe data/big.bin data/small.txt; do
    cmp -s "$(wine_c "x/InstallDir/$f")" "$pkg/src/$f" || fail "extract: $f differs"
done
mkdir -p "$(wine_c y/InstallDir)" "$work/outside"
printf 'in the way' >"$(wine_c y/InstallDir/data)"
run extract 'C:\pkg\out.exe' -o 'C:\y' >"$work/out.txt" 2>&1
rc=$?
[ $rc = 1 ] || fail "extract with a file in the way: exit $rc"
contains "$work/out.txt" 'entry 1 "InstallDir\data\big.bin"' "extract with a file in the way"
cmp -s "$(wine_c y/InstallDir/Uninstall.exe)" "$pkg/src/Uninstall.exe" || fail "extract skipped the safe entry"
mkdir -p "$(wine_c z)"
ln -s "$work/outside" "$(wine_c z/InstallDir)"
run extract 'C:\pkg\out.exe' -o 'C:\z' >"$work/out.txt" 2>&1
rc=$?
[ $rc = 1 ] || fail "extract through a link: exit $rc"
[ -z "$(ls -A "$work/outside")" ] || fail "extract wrote through a link: $(ls -A "$work/outside")"

# The compressed form: the same zstd stream from the library built here for
# Windows as from the system's, so a package is reproducible on either.
run build 'C:\pkg\package.toml' --stub 'C:\pkg\stub.exe' -o 'C:\pkg\best.exe' --compression best -q \
    >"$work/out.txt" 2>&1 || fail "build --compression best: $(cat "$work/out.txt")"
if [ -x "$native" ]; then
    "$native" build "$pkg/package.toml" --stub "$pkg/stub.exe" -o "$work/native-best.exe" --compression best -q \
        >"$work/out.txt" 2>&1 || fail "native build --compression best: $(cat "$work/out.txt")"
    cmp -s "$pkg/best.exe" "$work/native-best.exe" || fail "makesetup.exe and the native makesetup compress differently"
else
    fail "no native makesetup at $native"
fi

run build 'C:\pkg\bad.toml' --stub 'C:\pkg\stub.exe' -o 'C:\pkg\bad.exe' >"$work/out.txt" 2>&1
rc=$?
[ $rc = 1 ] || fail "refused build exit $rc"
contains "$work/out.txt" "bad.toml:4: error: source file" "refused build"
[ -e "$pkg/bad.exe" ] && fail "a refused build wrote bad.exe"

# A signed package: makesetup.exe (itself a PE image) as the stub, signed by
# osslsigncode outside Wine; makesetup.exe finds it unsealed, seals it, and
# computes the signature's digest with the system's hashes.
if command -v osslsigncode >/dev/null && command -v openssl >/dev/null; then
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/k.pem" -out "$work/c.pem" -days 30 \
        -subj "/CN=Wine Publisher" >/dev/null 2>&1
    run build 'C:\pkg\package.toml' --stub 'C:\pkg\makesetup.exe' -o 'C:\pkg\plain.exe' -q >"$work/out.txt" 2>&1 ||
        fail "build on a PE stub: $(cat "$work/out.txt")"
    osslsigncode sign -certs "$work/c.pem" -key "$work/k.pem" -in "$pkg/plain.exe" -out "$pkg/signed.exe" >/dev/null ||
        fail "osslsigncode sign"
    run verify 'C:\pkg\signed.exe' >"$work/out.txt" 2>&1 && fail "verify accepts an unsealed file"
    contains "$work/out.txt" 'run "makesetup seal" on it' "verify of an unsealed file"
    run seal 'C:\pkg\signed.exe' >"$work/out.txt" 2>&1 || fail "seal: $(cat "$work/out.txt")"
    osslsigncode verify -CAfile "$work/c.pem" "$pkg/signed.exe" >"$work/ossl.txt" 2>&1 ||
        fail "osslsigncode refuses what makesetup.exe sealed: $(cat "$work/ossl.txt")"
    run verify 'C:\pkg\signed.exe' >"$work/out.txt" 2>&1 || fail "verify of the sealed file: $(cat "$work/out.txt")"
    contains "$work/out.txt" "signed by CN=Wine Publisher; its SHA-256 file digest matches the file" "verify, signed"
else
    echo "makesetup-wine: no osslsigncode or openssl; the signed package is not tried"
fi

wine_session_end
[ $failures = 0 ] && echo "makesetup-wine: all passed"
exit $((failures > 0))
