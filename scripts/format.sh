#!/usr/bin/env bash
# Lays out every C++ source of the repository by .clang-format.
# Usage: scripts/format.sh [--check]
#   --check changes nothing: it lists the files whose layout differs and
#   exits 1 if there are any.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
install_packages $FORMAT_PACKAGES

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" != --check ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
differing=0
for file in "${files[@]}"; do
    clang-format --dry-run --Werror "$file" > /dev/null 2>&1 || { echo "$file"; differing=$((differing + 1)); }
done
if [ "$differing" -gt 0 ]; then
    echo "$differing of ${#files[@]} files differ from .clang-format; bash scripts/format.sh lays them out"
    exit 1
fi
echo "all ${#files[@]} files follow .clang-format"
