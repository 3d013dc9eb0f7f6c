#!/usr/bin/env bash
# Signed setup executables: makesetup signs with osslsigncode and a test
# certificate made here (no network), seals, verifies and refuses; the sealed
# Setup.exe installs under Wine, plain and compressed, as does an unsigned
# compressed one, and a forged one is refused.
#
#   signing-e2e.sh SCENARIO SETUP_EXE WINDRIVER LAYOUT_CHECK MAKESETUP EXAMPLE_DESCRIPTION ARTIFACTS TAMPER
#
# Scenarios: tools (no Wine), install, forged. MAKESETUP is the native tool;
# the test is skipped (77) without it, osslsigncode or openssl.
set -u
[ $# = 8 ] || { echo "usage: signing-e2e.sh SCENARIO SETUP_EXE WINDRIVER LAYOUT_CHECK MAKESETUP EXAMPLE ARTIFACTS TAMPER" >&2; exit 2; }
scenario=$1 setup_exe=$2 driver=$3 checker=$4 tool=$5 example=$6 artifacts=$7 tamper=$8
for need in osslsigncode openssl; do
    command -v $need >/dev/null || { echo "[$scenario] skipped: no $need"; exit 77; }
done
[ -x "$tool" ] || { echo "[$scenario] skipped: no native makesetup at $tool (build the native preset)"; exit 77; }

failures=0
fail() { echo "FAIL [$scenario]: $*" >&2; failures=$((failures + 1)); }
note() { echo "[$scenario] $*"; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/k.pem" -out "$work/c.pem" -days 30 \
    -subj "/CN=Test Publisher" >/dev/null 2>&1 || { echo "openssl made no certificate" >&2; exit 1; }
# osslsigncode records the signing time: a fixed one, so that builds repeat.
export SOURCE_DATE_EPOCH=1700000000
sign="osslsigncode sign -certs '$work/c.pem' -key '$work/k.pem' -time $SOURCE_DATE_EPOCH -in {in} -out {out}"
ossl_verify() { osslsigncode verify -CAfile "$work/c.pem" "$1" >"$work/ossl.txt" 2>&1; }
build_signed() { "$tool" build "$example" --stub "$setup_exe" -o "$1" -q --sign-command "$sign" "${@:2}"; }

# Offset and size of a packed file, from `makesetup list`.
file_span() { "$tool" list "$1" | awk -v n="$2" '$4 == n { print $5, $6; exit }'; }
extract() { # FILE NAME OUT
    local span
    span=$(file_span "$1" "$2")
    [ -n "$span" ] || { fail "no $2 in $1"; return 1; }
    set -- "$1" "$2" "$3" $span
    tail -c +$(($4 + 1)) "$1" | head -c "$5" >"$3"
}
# The last 552 bytes begin with the magic, and verify finds them equal to the signed copy.
trailer_at_end_is_copy() {
    [ "$(tail -c 552 "$1" | head -c 3)" = qzx ] || return 1
    "$tool" verify "$1" >/dev/null 2>&1
}
u32_at() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; } # FILE OFFSET
put_u32() { # FILE OFFSET VALUE
    local bytes='' shift
    for shift in 0 8 16 24; do bytes+=$(printf '\\%03o' $((($3 >> shift) & 255))); done
    printf "$bytes" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
# The certificate table entry's place in a PE32 image: optional header + 128.
certificate_entry() { echo $(($(u32_at "$1" 60) + 24 + 128)); }
flip_byte() { # FILE OFFSET
    local byte
    byte=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
    printf "$(printf '\\%03o' $(((byte + 1) % 256)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

tools() {
    note "one step: build, sign the uninstaller and the package, seal"
    build_signed "$work/signed.exe" || fail "build --sign-command failed"
    ossl_verify "$work/signed.exe" || fail "osslsigncode verify refuses the sealed file: $(cat "$work/ossl.txt")"
    trailer_at_end_is_copy "$work/signed.exe" || fail "the trailer is not the last 552 bytes"
    "$tool" verify "$work/signed.exe" >"$work/out.txt" 2>&1 || fail "verify: $(cat "$work/out.txt")"
    grep -q 'signed by CN=Test Publisher; its SHA-256 file digest matches the file' "$work/out.txt" &&
        grep -q 'the package lies inside the signed part' "$work/out.txt" || fail "verify says: $(cat "$work/out.txt")"
    "$tool" list "$work/signed.exe" >"$work/out.txt" 2>&1 || fail "list failed"
    grep -q '^  Signer  *CN=Test Publisher, sealed$' "$work/out.txt" || fail "list shows no signer: $(head -20 "$work/out.txt")"
    "$tool" list --json "$work/signed.exe" | grep -q '"Signer": *"CN=Test Publisher, sealed"' || fail "list --json shows no signer"

    note "the packed uninstaller is signed"
    extract "$work/signed.exe" Uninstall.exe "$work/uninstall.exe" &&
        { ossl_verify "$work/uninstall.exe" || fail "the packed Uninstall.exe is not signed: $(cat "$work/ossl.txt")"; }

    note "same inputs, key and certificate: the same bytes; sealing again changes nothing"
    build_signed "$work/again.exe" && cmp -s "$work/signed.exe" "$work/again.exe" || fail "two builds differ"
    "$tool" seal "$work/again.exe" >"$work/out.txt" 2>&1 || fail "seal of a sealed file: $(cat "$work/out.txt")"
    grep -q 'already sealed, unchanged' "$work/out.txt" || fail "seal says: $(cat "$work/out.txt")"
    cmp -s "$work/signed.exe" "$work/again.exe" || fail "sealing a sealed file changed it"

    note "signed by an outside signer, then sealed"
    "$tool" build "$example" --stub "$setup_exe" -o "$work/plain.exe" -q || fail "plain build"
    osslsigncode sign -certs "$work/c.pem" -key "$work/k.pem" -in "$work/plain.exe" -out "$work/outside.exe" >/dev/null ||
        fail "osslsigncode sign"
    "$tool" verify "$work/outside.exe" >"$work/out.txt" 2>&1 && fail "verify accepts a signed, unsealed file"
    [ "$(grep -c . "$work/out.txt")" = 1 ] && grep -q 'not sealed.*run "makesetup seal"' "$work/out.txt" ||
        fail "verify of an unsealed file says: $(cat "$work/out.txt")"
    "$tool" seal "$work/outside.exe" -o "$work/sealed.exe" >/dev/null || fail "seal"
    ossl_verify "$work/sealed.exe" || fail "osslsigncode verify after seal: $(cat "$work/ossl.txt")"
    trailer_at_end_is_copy "$work/sealed.exe" || fail "seal left the trailer elsewhere"
    local plain_size
    plain_size=$(stat -c %s "$work/plain.exe")
    cmp -s <(head -c "$plain_size" "$work/plain.exe" | tail -c +1024) <(head -c "$plain_size" "$work/sealed.exe" | tail -c +1024) ||
        fail "sealing moved the package's bytes"

    note "a signature whose digest is not the file's: seal refuses it"
    local readme
    readme=$(file_span "$work/plain.exe" readme.txt)
    cp "$work/outside.exe" "$work/mismatch.exe"
    flip_byte "$work/mismatch.exe" "${readme%% *}"
    "$tool" seal "$work/mismatch.exe" -o "$work/mismatch-sealed.exe" >"$work/out.txt" 2>&1 &&
        fail "seal accepts a signature that does not belong to the file"
    grep -q 'the signature does not belong to this file' "$work/out.txt" && ! grep -q ': sealed' "$work/out.txt" ||
        fail "seal of a mismatched signature says: $(cat "$work/out.txt")"
    [ -e "$work/mismatch-sealed.exe" ] && fail "the refused seal wrote a file"

    note "a second signer's entry after the first: verify and seal refuse the table"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/k2.pem" -out "$work/c2.pem" -days 30 \
        -subj "/CN=Microsoft Windows" >/dev/null 2>&1
    osslsigncode sign -certs "$work/c2.pem" -key "$work/k2.pem" -in "$work/plain.exe" -out "$work/second.exe" >/dev/null &&
        "$tool" seal "$work/second.exe" >/dev/null || fail "signing and sealing as the second signer"
    local entry table
    entry=$(certificate_entry "$work/outside.exe")
    table=$(u32_at "$work/outside.exe" "$entry")
    { cat "$work/outside.exe"; tail -c +$((table + 1)) "$work/second.exe"; } >"$work/two.exe"
    put_u32 "$work/two.exe" $((entry + 4)) $(($(stat -c %s "$work/two.exe") - table))
    "$tool" verify "$work/two.exe" >"$work/out.txt" 2>&1 && fail "verify accepts two signatures"
    grep -q 'a second entry' "$work/out.txt" && ! grep -q 'Microsoft' "$work/out.txt" ||
        fail "verify of two signatures says: $(cat "$work/out.txt")"
    "$tool" seal "$work/two.exe" >"$work/out.txt" 2>&1 && fail "seal accepts two signatures"
    grep -q 'a second entry' "$work/out.txt" || fail "seal of two signatures says: $(cat "$work/out.txt")"

    note "an attribute added after sealing buries the trailer; sealing again mends it"
    osslsigncode add -addUnauthenticatedBlob -in "$work/sealed.exe" -out "$work/buried.exe" >/dev/null 2>&1 ||
        fail "osslsigncode add"
    "$tool" verify "$work/buried.exe" >"$work/out.txt" 2>&1 && fail "verify accepts a buried trailer"
    "$tool" seal "$work/buried.exe" >/dev/null && ossl_verify "$work/buried.exe" &&
        trailer_at_end_is_copy "$work/buried.exe" || fail "sealing after an added attribute"

    note "a changed byte in file data or in a table fails both verifiers"
    local span table at
    span=$(file_span "$work/signed.exe" readme.txt)
    table=$("$tool" list --json "$work/signed.exe" | grep -o '"FileOffset": *[0-9]*' | grep -o '[0-9]*$')
    for at in "${span%% *}" "$((table + 300))"; do
        cp "$work/signed.exe" "$work/changed.exe"
        flip_byte "$work/changed.exe" "$at"
        ossl_verify "$work/changed.exe" && fail "osslsigncode verify accepts a change at $at"
        "$tool" verify "$work/changed.exe" >"$work/out.txt" 2>&1 && fail "makesetup verify accepts a change at $at"
        grep -q 'does not match the file' "$work/out.txt" || fail "verify of a change at $at says: $(cat "$work/out.txt")"
    done

    note "[sign] in the description"
    cp "$(dirname "$example")/Demo.ico" "$work/"  # the description's icon, beside it
    sed "s|^\[package\]|[sign]\ncertificate = '$work/c.pem'\nkey = '$work/k.pem'\n\n[package]|" "$example" >"$work/described.toml"
    cp -r "$(dirname "$example")"/readme.txt "$(dirname "$example")"/docs "$work/"
    "$tool" build "$work/described.toml" --stub "$setup_exe" -o "$work/described.exe" -q || fail "build with [sign]"
    ossl_verify "$work/described.exe" && cmp -s "$work/described.exe" "$work/signed.exe" ||
        fail "[sign] gives another file than --sign-command"

    note "2 GiB or more: refused before building"
    truncate -s 2G "$work/huge.bin"
    printf '[package]\nname = "Huge"\n[[file]]\nsource = "huge.bin"\n' >"$work/huge.toml"
    "$tool" build "$work/huge.toml" --stub "$setup_exe" -o "$work/huge.exe" --sign-command "$sign" >"$work/out.txt" 2>&1 &&
        fail "a 2 GiB package was signed"
    grep -q 'Windows cannot sign a file of 2 GiB or more' "$work/out.txt" || fail "huge says: $(cat "$work/out.txt")"
    ls "$work" | grep -q 'huge\.exe' && fail "the refused build left a file"

    note "a signer that fails: nothing written"
    "$tool" build "$example" --stub "$setup_exe" -o "$work/failed.exe" --sign-command "false {in} {out}" >"$work/out.txt" 2>&1 &&
        fail "a failing signer was not noticed"
    grep -q 'the signer failed with exit code 1' "$work/out.txt" || fail "failing signer: $(cat "$work/out.txt")"
    ls "$work" | grep -q 'failed\.exe' && fail "a failed signing left a file"
}

# ---- under Wine ---------------------------------------------------------------

# The scenarios' packages, built before Wine starts: without one there is
# nothing to drive, and a wizard waited for in vain only wears out time-outs.
wine_packages() {
    build_signed "$work/signed.exe" || { fail "build --sign-command failed"; return 1; }
    [ "$scenario" = install ] || return 0
    build_signed "$work/signed-best.exe" --compression best ||
        { fail "build --compression best --sign-command failed"; return 1; }
    "$tool" build "$example" --stub "$setup_exe" -o "$work/plain.exe" -q || { fail "plain build"; return 1; }
    "$tool" build "$example" --stub "$setup_exe" -o "$work/fast.exe" -q --compression fast ||
        { fail "build --compression fast"; return 1; }
}

# Sourced here, not in a function: the driver session's id table is global.
if [ "$scenario" != tools ]; then
    wine_packages || { echo "[$scenario] $failures failure(s)"; exit 1; }
    . "$(dirname "$0")/../wine/wine-session.sh"
    wine_session_start || { echo "wine session did not start" >&2; exit 1; }
    mkdir -p "$artifacts"
    . "$(dirname "$0")/driver-session.sh"
    e2e_name=signing-$scenario
    driver_session_prepare
fi

app_dir() { wine_c "Program Files/Demo"; }

# Installs FILE through the wizard and compares every installed file with
# its source (the uninstaller and the program with the copies packed in the
# plain package PLAIN). With "tamper", another program tries, while the
# wizard waits, to rename the file (and put one with other bytes in its
# place) and to write into it: both must be refused.
install_one() { # FILE PLAIN WHAT [tamper]
    cp "$1" "$(wine_c DemoSetup.exe)"
    rm -rf "$(app_dir)"
    if [ "${4:-}" = tamper ]; then
        cp "$tamper" "$(wine_c tamper_package.exe)"
        drive <<DRIVER
start C:\\DemoSetup.exe
wait-window --class TfrmWelcome --timeout $first_window_timeout
DRIVER
        local setup_pid tampered
        setup_pid=$(grep -m1 -o '^pid=[0-9]*' "$WINE_SESSION_DIR/out.txt" | cut -d= -f2)
        [ -n "$setup_pid" ] || fail "$3: no pid for the started setup program"
        drive <<DRIVER
start C:\\tamper_package.exe C:\\DemoSetup.exe
wait-exit --timeout $first_window_timeout
attach --class TfrmWelcome --pid $setup_pid
$(wizard_install_lines)
expect-exit-code 0 --timeout 60
DRIVER
        tampered=$(grep -m1 '^exit-code=' "$WINE_SESSION_DIR/out.txt" | tr -d '\r')
        [ "$tampered" = exit-code=0 ] || fail "$3: the waiting setup program's file could be renamed (1) or written (2): $tampered"
        cmp -s "$(wine_c DemoSetup.exe)" "$1" || fail "$3: the setup program's file was changed while it waited"
    else
        drive <<<"$(wizard_install_script 'C:\DemoSetup.exe')"
    fi
    local src pair
    src=$(dirname "$example")
    extract "$2" Uninstall.exe "$work/uninstall.exe"
    extract "$2" Demo.exe "$work/demo.exe"
    for pair in "readme.txt:$src/readme.txt" "docs/faq.txt:$src/docs/faq.txt" \
        "docs/getting-started.txt:$src/docs/getting-started.txt" "Uninstall.exe:$work/uninstall.exe" "Demo.exe:$work/demo.exe"; do
        cmp -s "$(app_dir)/${pair%%:*}" "${pair#*:}" || fail "$3: ${pair%%:*} not installed byte for byte"
    done
    [ "$2" != "$work/signed.exe" ] || ossl_verify "$(app_dir)/Uninstall.exe" ||
        fail "$3: the installed Uninstall.exe is not signed"
}

install() {
    install_one "$work/signed.exe" "$work/signed.exe" "signed" tamper
    note "compressed, signed and not"
    [ "$(tail -c 552 "$work/signed-best.exe" | head -c 3)" = qzc ] || fail "the signed compressed file ends in no qzc trailer"
    install_one "$work/signed-best.exe" "$work/signed.exe" "signed compressed"
    install_one "$work/fast.exe" "$work/plain.exe" "compressed"
}

# Runs FILE as C:\Forged.exe, expects the start-up error box with the
# signature text, and checks that nothing was installed.
expect_refused() { # FILE WHAT
    cp "$1" "$(wine_c Forged.exe)"
    drive <<DRIVER
start C:\Forged.exe
wait-window --class #32770 --title "Application Error" --timeout $first_window_timeout
expect-no-window --class TfrmWelcome
msgbox
msgbox-press OK
expect-exit-code 1 --timeout 60
DRIVER
    grep -q '^text="Exception ESignatureError in module Forged.exe at [0-9A-F]\{8\}\.\\r\\nThis setup program is signed, but part of its package lies outside the signature' \
        "$WINE_SESSION_DIR/out.txt" || fail "$2: the box says $(cat "$WINE_SESSION_DIR/out.txt")"
    [ -e "$(app_dir)" ] && fail "$2: the install folder was created"
    wine_reg query 'HKCU\Software\Demo' </dev/null >/dev/null 2>&1 && fail "$2: registry values were written"
}

# A copy of IN whose trailer (the last 552 bytes) has BYTES (printf escapes) at OFFSET.
forge() { # IN OUT OFFSET BYTES
    cp "$1" "$2"
    local size
    size=$(stat -c %s "$2")
    printf "$4" | dd of="$2" bs=1 seek=$((size - 552 + $3)) conv=notrunc status=none
}

forged() {
    note "another name in the trailer: the signature still verifies, Setup.exe refuses"
    forge "$work/signed.exe" "$work/renamed.exe" 4 'Forged\0'
    ossl_verify "$work/renamed.exe" || fail "the renamed file should still pass osslsigncode: $(cat "$work/ossl.txt")"
    expect_refused "$work/renamed.exe" "another name"

    note "the file table's offset pointing into the unauthenticated part"
    local size at bytes='' shift
    size=$(stat -c %s "$work/signed.exe")
    at=$((size - 2000))
    for shift in 0 8 16 24; do bytes+=$(printf '\\%03o' $(((at >> shift) & 255))); done
    forge "$work/signed.exe" "$work/moved.exe" 532 "$bytes"
    ossl_verify "$work/moved.exe" || fail "the moved file should still pass osslsigncode: $(cat "$work/ossl.txt")"
    expect_refused "$work/moved.exe" "moved tables"
}

case $scenario in
    tools) tools ;;
    install) install ;;
    forged) forged ;;
    *) echo "unknown scenario $scenario" >&2; exit 2 ;;
esac
[ "$scenario" = tools ] || wine_session_end
[ $failures = 0 ] && echo "[$scenario] passed" || echo "[$scenario] $failures failure(s)"
[ $failures = 0 ]
