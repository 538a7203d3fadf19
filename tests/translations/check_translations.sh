#!/usr/bin/env bash
# Fails unless every translation file is complete for the sources as they are: each text the program
# marks for translation has a finished translation, and no entry is left for a text the program no
# longer has. The checked-in files are not touched; lupdate merges the sources into copies.
#
#   check_translations.sh LUPDATE LRELEASE SOURCE_TREE
set -euo pipefail
[ $# -eq 3 ] || { sed -n "2,6p" "$0" >&2; exit 2; }
lupdate=$1 lrelease=$2 root=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=0
files=0
for ts in "$root"/translations/*.ts; do
    files=$((files + 1))
    name=${ts##*/}
    copy=$work/$name
    cp "$ts" "$copy"
    # Without -no-obsolete, a text that left the sources stays in the copy, marked vanished or obsolete.
    "$lupdate" -silent -locations none -extensions cpp,h "$root/app" -ts "$copy" >"$work/lupdate.log" 2>&1 ||
        { cat "$work/lupdate.log" >&2; exit 1; }
    # A source line sits right above its translation line in the files lupdate writes.
    unfinished=$(grep -B1 -E '<translation type="unfinished"' "$copy" | grep '<source>' || true)
    gone=$(grep -B1 -E '<translation type="(vanished|obsolete)"' "$copy" | grep '<source>' || true)
    if [ -n "$unfinished" ]; then
        echo "$name: not translated (new, or changed since it was translated):" >&2
        echo "$unfinished" >&2
        failed=1
    fi
    if [ -n "$gone" ]; then
        echo "$name: translated texts the program no longer has (run the update_translations target):" >&2
        echo "$gone" >&2
        failed=1
    fi
    if ! cmp -s <(grep -v '<location' "$ts") <(grep -v '<location' "$copy"); then
        echo "$name: not as lupdate writes it for these sources (run the update_translations target)" >&2
        failed=1
    fi
    "$lrelease" "$copy" -qm "$work/${name%.ts}.qm" | sed "s|$work/||"
done
[ "$files" -gt 0 ] || { echo "no translation files under $root/translations" >&2; exit 1; }
[ "$failed" -eq 0 ] && echo "$files passed, 0 failed"
exit "$failed"
