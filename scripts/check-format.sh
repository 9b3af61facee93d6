#!/usr/bin/env bash
# Fails when a C++ file does not match .clang-format; with --fix, rewrites the files instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
if ! clang-format --dry-run -Werror "${files[@]}" 2>/tmp/clang-format.$$; then
    grep -o '^[^:]*:' /tmp/clang-format.$$ | sort -u | sed 's/:$//' | head -50 >&2
    rm -f /tmp/clang-format.$$
    echo "these files do not match .clang-format; scripts/check-format.sh --fix rewrites them" >&2
    exit 1
fi
rm -f /tmp/clang-format.$$
