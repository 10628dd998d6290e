# shellcheck shell=bash
# Shared settings of the scripts in scripts/. Sourced, never run.
#
#   VELMORA_BUILD_DIR  build tree (default: <repository>/build)
#   VELMORA_JOBS       parallel jobs for building and testing (default: nproc)

VELMORA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
VELMORA_BUILD_DIR="${VELMORA_BUILD_DIR:-$VELMORA_ROOT/build}"
VELMORA_JOBS="${VELMORA_JOBS:-$(nproc 2>/dev/null || echo 2)}"

velmora_info()
{
    printf '%s: %s\n' "$(basename "$0")" "$*" >&2
}

velmora_die()
{
    printf '%s: error: %s\n' "$(basename "$0")" "$*" >&2
    exit 1
}

# Absolute form of a path that may not exist yet.
velmora_abspath()
{
    realpath -m -- "$1"
}

# "Debug" builds give binaries with a "d" suffix (editor_x64d, libVelmora_x64d.so).
velmora_build_type()
{
    local cache="$VELMORA_BUILD_DIR/CMakeCache.txt"
    [ -f "$cache" ] || { echo ""; return; }
    sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$cache" | head -n 1
}

velmora_debug_suffix()
{
    if [ "$(velmora_build_type)" = "Debug" ]; then echo d; else echo ""; fi
}

# The first "*.project" file of a folder, by file name.
velmora_project_file()
{
    local dir="$1" f
    for f in "$dir"/*.project; do
        [ -f "$f" ] && { echo "$f"; return 0; }
    done
    return 1
}

# A string member of the "project_settings" object of a project file
# (a small reader: enough for the flat files the build tool writes).
velmora_project_setting()
{
    local file="$1" key="$2"
    tr -d '\n\r' < "$file" \
        | sed -n 's/.*"project_settings"[[:space:]]*:[[:space:]]*{\([^}]*\)}.*/\1/p' \
        | grep -o "\"$key\"[[:space:]]*:[[:space:]]*\"[^\"]*\"" \
        | head -n 1 \
        | sed 's/.*:[[:space:]]*"\(.*\)"$/\1/'
}
