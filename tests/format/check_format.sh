#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from what .clang-format makes of it.
# Reformat with:  clang-format -i $(git ls-files '*.cpp' '*.h')
set -euo pipefail
root="$1"
cd "$root"
mapfile -t files < <(find lib platform tests bench resources -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
bad=0
for f in "${files[@]}"; do
    if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
        echo "not formatted: $f"
        bad=1
    fi
done
[ "$bad" = 0 ] && echo "${#files[@]} files formatted as .clang-format says"
exit "$bad"
