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
