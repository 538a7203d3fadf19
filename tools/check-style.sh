#!/usr/bin/env bash
# The format and lint gate of the test command:
#
#   tools/check-style.sh [BUILD_DIR]    (default build/dev, which must hold compile_commands.json)
#
# Fails when a C++ file differs from what clang-format makes of it with the checked-in .clang-format, or
# when clang-tidy's checks of .clang-tidy report anything in the program's own code (app, controls,
# toolkit, divination). Both tools lay out and check differently from one major version to the next; the
# gate holds for LLVM 14 (Debian 12) and is skipped, with a note, where another version is installed.
#   tools/check-style.sh --fix      formats every file in place instead of checking (LLVM 14 too)
set -euo pipefail
cd "$(dirname "$0")/.."

want=14
version_of() { "$1" --version 2>/dev/null | sed -n 's/.*version \([0-9]*\)\..*/\1/p' | head -n1; }

if [ "${1:-}" = --fix ]; then
    [ "$(version_of clang-format)" = "$want" ] || { echo "clang-format $want is needed to format" >&2; exit 1; }
    git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format -i
    exit 0
fi
build="${1:-build/dev}"
failed=0

# The folders are layers: a folder's files include headers only from its own folder and from the
# folders named after it here, so that nothing lower includes (or reaches) anything higher.
declare -A may_include=(
    [toolkit/base]=""
    [toolkit/text]="toolkit/base"
    [toolkit/sound]="toolkit/base"
    [toolkit/desktop]="toolkit/base"
    [toolkit/painting]="toolkit/base"
    [toolkit/pictures]="toolkit/base toolkit/text"
    [toolkit/widgets]="toolkit/base toolkit/text toolkit/painting toolkit/pictures"
    [toolkit/application]="toolkit/base toolkit/text toolkit/painting toolkit/pictures toolkit/widgets"
    [divination]=""
    [controls/abc]="toolkit"
    [controls/flat]="toolkit"
    [app]="toolkit controls divination"
)
layering=""
for folder in "${!may_include[@]}"; do
    while IFS= read -r line; do
        file="${line%%:*}"
        header="$(sed -n 's/.*#include "\([^"]*\)".*/\1/p' <<<"$line")"
        [[ "$header" == */* ]] || continue # a moc file of the folder's own
        [[ "$header" == "$folder"/* ]] && continue
        allowed=0
        for lower in ${may_include[$folder]}; do
            [[ "$header" == "$lower"/* ]] && allowed=1
        done
        [ "$allowed" = 1 ] || layering+="$file includes $header"$'\n'
    done < <(git ls-files "$folder/*.cpp" "$folder/*.h" | xargs -r grep -H '^#include "' || true)
done
if [ -n "$layering" ]; then
    echo "== a folder includes from a layer above it or beside it (see may_include in $0):"
    printf '%s' "$layering"
    failed=1
else
    echo "== layers: every folder includes only from itself and the layers below it"
fi

if [ "$(version_of clang-format)" = "$want" ]; then
    unformatted="$(git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run 2>&1 |
        sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: warning:.*/\1/p' | sort -u)"
    if [ -n "$unformatted" ]; then
        echo "== not formatted by .clang-format (run tools/check-style.sh --fix):"
        echo "$unformatted"
        failed=1
    else
        echo "== format: every file as .clang-format lays it out"
    fi
else
    echo "== format check skipped: clang-format $(version_of clang-format) lays out otherwise than $want"
fi

if [ "$(version_of clang-tidy)" = "$want" ]; then
    report="$(run-clang-tidy -quiet -p "$build" -j "$(nproc)" "$PWD/(app|controls|toolkit|divination)/" 2>/dev/null |
        sed 's/\x1b\[[0-9;]*m//g' | grep -E '^[^ ]+:[0-9]+:[0-9]+: (warning|error):' | sort -u || true)"
    if [ -n "$report" ]; then
        echo "== clang-tidy reports:"
        echo "$report"
        failed=1
    else
        echo "== lint: clang-tidy reports nothing"
    fi
else
    echo "== lint skipped: clang-tidy $(version_of clang-tidy) checks otherwise than $want"
fi
exit "$failed"
