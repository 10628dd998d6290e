# shellcheck shell=bash
# Installs the Debian packages the project needs when some are missing.
# Sourced by scripts/build, scripts/run and scripts/test; works as root (CI)
# and through sudo otherwise. Set VELMORA_SKIP_DEPS=1 to skip the check.

VELMORA_PACKAGES=(
    # compiler and build
    build-essential cmake pkg-config ccache clang-format
    # Qt 5.15: Core, Gui, Widgets, Concurrent, Test, moc/rcc/uic; private
    # headers for the tests that inject window-system events
    qtbase5-dev qtbase5-dev-tools libqt5test5 qtbase5-private-dev
    # XML, EXR and half floats
    libpugixml-dev libopenexr-dev libimath-dev
    # the fonts compiled into the editor (kept with their licence)
    fonts-roboto-unhinted
    # headless screenshots and locale tests; a FUSE file system for the
    # tests of claims on shared folders
    xvfb locales-all bindfs
)

velmora_missing_packages()
{
    local pkg
    for pkg in "${VELMORA_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}\n' "$pkg" 2>/dev/null | grep -q '^install ok installed$'; then
            echo "$pkg"
        fi
    done
}

velmora_ensure_deps()
{
    [ "${VELMORA_SKIP_DEPS:-0}" = "1" ] && return 0
    if ! command -v dpkg-query >/dev/null 2>&1; then
        velmora_info "not a Debian system: skipping the package check"
        return 0
    fi

    local missing
    missing="$(velmora_missing_packages | tr '\n' ' ')"
    missing="${missing% }"
    [ -z "$missing" ] && return 0

    local -a as_root=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            as_root=(sudo)
        else
            velmora_die "missing packages: $missing (run as root or install sudo)"
        fi
    fi

    velmora_info "installing missing packages: $missing"
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q \
        || velmora_die "apt-get update failed"
    # shellcheck disable=SC2086
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing \
        || velmora_die "could not install: $missing"
}
