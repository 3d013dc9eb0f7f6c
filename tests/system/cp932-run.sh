#!/usr/bin/env bash
# Runs a Windows program under Wine with the Japanese system code page (932).
# Wine takes the code page from the Unix locale, and needs that locale to
# exist to store non-ASCII file names, so a private copy of ja_JP.UTF-8 is
# compiled once into LOCALE_DIR (the system need not have it installed).
#   cp932-run.sh LOCALE_DIR PROGRAM [ARGS...]
set -u
here=$(dirname "$0")
locale_dir=$1
shift
if [ ! -f "$locale_dir/ja_JP.UTF-8/LC_CTYPE" ]; then
    mkdir -p "$locale_dir"
    # Exit code 1 means warnings only; the locale is still written.
    localedef -i ja_JP -f UTF-8 "$locale_dir/ja_JP.UTF-8" >/dev/null 2>&1
    [ -f "$locale_dir/ja_JP.UTF-8/LC_CTYPE" ] || { echo "cp932-run: localedef failed (package locales?)" >&2; exit 125; }
fi
# The shared template is booted under the usual locale, never this one.
( . "$here/../wine/wine-session.sh" && wine_make_template ) || exit 125
LOCPATH=$locale_dir LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8 exec bash "$here/../wine/wine-run.sh" "$@"
