#!/usr/bin/env bash
# Checks every C++ file that git tracks against .clang-format; with --fix, formats them instead.
# Only .cpp and .h files are touched: clang-format would take any other text for C++.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh --format
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}" 2> format-report.txt; then
  grep -E "^[^ ].*: (error|warning):" format-report.txt | cut -d: -f1 | sort -u | sed 's/^/  not formatted: /' >&2
  echo "Run 'make format' and commit the result." >&2
  rm -f format-report.txt
  exit 1
fi
rm -f format-report.txt
echo "Formatting: ${#files[@]} C++ files follow .clang-format."
