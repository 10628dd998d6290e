#!/usr/bin/env bash
# Fails when a worker library uses Qt Gui or Qt Widgets: none of the symbols
# that its objects leave undefined may be one that those libraries define.
#
#   check_qt_core_only.sh <nm> <QtGui library> <QtWidgets library> -- <archive>...
set -euo pipefail
nm_tool="$1"
gui="$2"
widgets="$3"
shift 3
[ "${1:-}" = "--" ] && shift
forbidden="$(mktemp)"
trap 'rm -f "$forbidden"' EXIT
# Exported names carry a version suffix ("@@Qt_5"); objects refer to the bare name.
"$nm_tool" -D --defined-only "$gui" "$widgets" | awk 'NF == 3 { sub(/@.*/, "", $3); print $3 }' \
    | LC_ALL=C sort -u >"$forbidden"
[ -s "$forbidden" ] || { echo "no symbols read from $gui and $widgets"; exit 1; }
bad=0
for archive in "$@"; do
    used="$("$nm_tool" --undefined-only "$archive" | awk 'NF >= 2 { print $NF }' | LC_ALL=C sort -u \
        | LC_ALL=C comm -12 - "$forbidden")"
    if [ -n "$used" ]; then
        echo "$(basename "$archive") uses Qt Gui or Qt Widgets:"
        echo "$used" | c++filt | awk 'NR <= 20 { print "    " $0 }'
        bad=1
    fi
done
[ "$bad" = 0 ] && echo "$# worker libraries use Qt Core only"
exit "$bad"
