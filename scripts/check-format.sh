#!/usr/bin/env bash
# Fails, naming the files, when a C++ file of the tree does not match
# .clang-format. "scripts/check-format.sh --fix" rewrites them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format > /dev/null || { echo "check-format.sh: clang-format not found (scripts/install-deps.sh ci)" >&2; exit 1; }
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
bad=()
for file in "${files[@]}"; do
    clang-format --dry-run --Werror "$file" > /dev/null 2>&1 || bad+=("$file")
done
if ((${#bad[@]} > 0)); then
    echo "not formatted as .clang-format says (scripts/check-format.sh --fix): ${bad[*]}" >&2
    exit 1
fi
echo "format-check passed: ${#files[@]} files"
