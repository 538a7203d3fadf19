#!/usr/bin/env bash
# The format and lint gate of the test command:
#
#   tools/check-style.sh [BUILD_DIR]    (default build/dev, which must hold compile_commands.json)
#
# Fails when a folder includes from a layer above it, when a C++ file differs from what clang-format
# makes of it with the checked-in .clang-format, or when clang-tidy's checks of .clang-tidy report
# anything in the program's own code (app, controls, toolkit, divination), in the tools and benchmarks
# built with it (tools, bench) or in its tests (tests). What moc generates into the build folder is no
# code of ours and is not checked, though a test includes it.
# clang-tidy runs with whatever release is installed (LLVM 14 on Debian 12, 19 on Debian 13): its checks
# mean the same on both. The format check runs only with clang-format 14, since each major version lays
# out some constructs differently and one tree cannot satisfy two; on Debian 13 it says it is skipped.
#   tools/check-style.sh --fix      formats every file in place instead of checking (clang-format 14)
#   tools/check-style.sh --staged   the format check of the files staged for commit (the pre-commit hook:
#                                   ln -s ../../tools/check-style.sh .git/hooks/pre-commit)
set -euo pipefail
# A hook runs at the top of the work tree already, from .git/hooks.
[ "$(basename "$0")" = pre-commit ] || cd "$(dirname "$0")/.."

want=14
version_of() { "$1" --version 2>/dev/null | sed -n 's/.*version \([0-9]*\)\..*/\1/p' | head -n1; }

if [ "${1:-}" = --fix ]; then
    [ "$(version_of clang-format)" = "$want" ] || { echo "clang-format $want is needed to format" >&2; exit 1; }
    git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format -i
    exit 0
fi
# As a pre-commit hook (named pre-commit, or asked for): the staged C++ files as they are staged.
if [ "${1:-}" = --staged ] || [ "$(basename "$0")" = pre-commit ]; then
    [ "$(version_of clang-format)" = "$want" ] || { echo "format check skipped: no clang-format $want"; exit 0; }
    bad=()
    while IFS= read -r -d '' file; do
        staged="$(git show ":$file")"
        [ "$(clang-format --assume-filename="$file" <<<"$staged")" = "$staged" ] || bad+=("$file")
    done < <(git diff --cached --name-only --diff-filter=ACMR -z -- '*.cpp' '*.h')
    [ ${#bad[@]} -eq 0 ] && exit 0
    echo "not formatted by .clang-format (tools/check-style.sh --fix, then stage again):" >&2
    printf '  %s\n' "${bad[@]}" >&2
    exit 1
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

if [ ! -f "$build/compile_commands.json" ]; then
    # Without it run-clang-tidy checks nothing, and nothing reported would read as a pass.
    echo "== lint: no $build/compile_commands.json (configure it first: cmake --preset dev)" >&2
    failed=1
elif command -v run-clang-tidy >/dev/null; then
    generated="$(cd "$build" && pwd)/"
    report="$(run-clang-tidy -quiet -p "$build" -j "$(nproc)" "$PWD/(app|controls|toolkit|divination|tools|bench|tests)/" \
        2>/dev/null |
        sed 's/\x1b\[[0-9;]*m//g' | grep -E '^[^ ]+:[0-9]+:[0-9]+: (warning|error):' |
        grep -vF "$generated" | sort -u || true)"
    if [ -n "$report" ]; then
        echo "== clang-tidy reports:"
        echo "$report"
        failed=1
    else
        echo "== lint: clang-tidy $(version_of clang-tidy) reports nothing"
    fi
else
    echo "== lint: run-clang-tidy not found (package clang-tidy)" >&2
    failed=1
fi
exit "$failed"
