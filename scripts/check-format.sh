#!/usr/bin/env bash
# Fails when a C++ source or header differs from what clang-format makes of it
# under the checkout's .clang-format, naming each such file.
#
# Usage: check-format.sh [CHECKOUT]   (default: this checkout)
set -euo pipefail
root=${1:-"$(dirname "$0")/.."}
command -v clang-format >/dev/null || { echo "clang-format is not installed" >&2; exit 1; }
cd "$root"
mapfile -t files < <(find src tests bench fuzz -name '*.cpp' -o -name '*.h' | sort)
[ ${#files[@]} -gt 0 ] || { echo "no sources found under $root" >&2; exit 1; }
status=0
for file in "${files[@]}"; do
    if ! clang-format --dry-run --Werror "$file" 2>/dev/null; then
        echo "$file: not as clang-format writes it (clang-format -i $file)" >&2
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "${#files[@]} files as clang-format writes them"
exit "$status"
