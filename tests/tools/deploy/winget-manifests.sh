#!/usr/bin/env bash
# makesetup winget: the manifests of a package whose texts YAML would misread
# unquoted are winget's format (winget-check.py) and name the setup
# executable and what it registers; a missing key and a setup executable of
# another package are refused, naming them, and write nothing.
#   winget-manifests.sh MAKESETUP MAKE_TEST_STUB
set -u
tool=$1 stub_maker=$2
check="/usr/bin/python3 $(cd "$(dirname "$0")" && pwd)/winget-check.py"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# FILE KEY...: the value at that path of a YAML file, as JSON.
field() { /usr/bin/python3 -c 'import json, sys, yaml
v = yaml.safe_load(open(sys.argv[1], encoding="utf-8"))
for k in sys.argv[2:]: v = v[int(k) if k.isdigit() else k]
print(json.dumps(v, ensure_ascii=False))' "$@"; }
expect_field() { # EXPECTED FILE KEY...
    local want=$1 got
    shift
    got=$(field "$@") || { fail "$*: not found"; return; }
    [ "$got" = "$want" ] || fail "${*:2} in $1: $got, wanted $want"
}

"$stub_maker" stub.exe || { echo "no test stub" >&2; exit 1; }  # a program: the version key needs one
printf 'MZ uninstaller' >Uninstall.exe
printf 'program' >app.exe
describe() { # NAME [EXTRA KEYS]
    cat <<TOML
[package]
name = "$1"
author = "Ann: Author #1"
version = "1.0"
website = "https://example.com/yes?q=1"
copyright = "© 2026 Ann"
description = 'Keeps "notes" – quickly, 100%'
uninstaller = "Uninstall.exe"
$2
[[file]]
source = "app.exe"
TOML
}
describe Yes 'license = "MIT"' >yes.toml
describe Other 'license = "MIT"' >other.toml
describe Yes '' >nolicense.toml
for p in yes other; do "$tool" build $p.toml --stub stub.exe -o $p.exe -q || { echo "FAIL: build $p" >&2; exit 1; }; done

"$tool" winget yes.toml --stub stub.exe --installer yes.exe --url https://example.com/dl/yes.exe --id Ann.Yes \
    -o out >out.txt 2>&1 || fail "winget: $(cat out.txt)"
$check out Ann.Yes || fail "the manifests are not winget's format"
sha=$(sha256sum yes.exe | cut -d' ' -f1)
expect_field "\"${sha^^}\"" out/Ann.Yes.installer.yaml Installers 0 InstallerSha256
expect_field '"https://example.com/dl/yes.exe"' out/Ann.Yes.installer.yaml Installers 0 InstallerUrl
expect_field '"Yes"' out/Ann.Yes.installer.yaml ProductCode
expect_field '{"DisplayName": "Yes", "Publisher": "Ann: Author #1", "DisplayVersion": "1.0", "ProductCode": "Yes"}' \
    out/Ann.Yes.installer.yaml AppsAndFeaturesEntries 0
expect_field '"1.0"' out/Ann.Yes.yaml PackageVersion
expect_field '"Keeps \"notes\" – quickly, 100%"' out/Ann.Yes.locale.en-US.yaml ShortDescription
expect_field '"© 2026 Ann"' out/Ann.Yes.locale.en-US.yaml Copyright
expect_field '"https://example.com/yes?q=1"' out/Ann.Yes.locale.en-US.yaml PackageUrl

refused() { # WHAT TEXT COMMAND...
    local what=$1 text=$2
    shift 2
    "$@" -o refused >out.txt 2>&1 && fail "$what: accepted"
    grep -qF -- "$text" out.txt || fail "$what: no \"$text\" in: $(cat out.txt)"
    [ -e refused ] && fail "$what: wrote $(ls refused)"
}
refused "no license" 'the winget manifests need license = "..." in [package] (their License)' \
    "$tool" winget nolicense.toml --stub stub.exe --installer yes.exe --url https://a.example/y.exe --id Ann.Yes
refused "another package's setup" 'other.exe: error: holds the package "Other", not "Yes" of yes.toml' \
    "$tool" winget yes.toml --stub stub.exe --installer other.exe --url https://a.example/y.exe --id Ann.Yes
[ $failures = 0 ] && echo "winget manifests: passed"
[ $failures = 0 ]
