#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, when any is missing.
#
#   scripts/install-deps.sh              installs every group below
#   scripts/install-deps.sh --print G    prints group G (build, test or tools), one a line
#
# The README's Dependencies section lists the same groups with the reason for each package.
set -euo pipefail

# What configuring, building and the suites of a plain build need (the Build-Depends of a
# distribution's package, with debhelper).
build_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libgl-dev libcanberra-dev libasound2-dev libxcb1-dev libsqlite3-dev
    libgtest-dev libgmock-dev
)
# What the suites need beyond that; a suite whose tools are missing is skipped, which `./test`
# does not accept.
test_packages=(
    xvfb xauth openbox xdotool xclip x11-utils
    dbus libglib2.0-bin trayer at-spi2-core python3-pyatspi sqlite3
    fonts-ipafont-gothic qt6-translations-l10n
    man-db groff-base mandoc bash-completion
)
# The developer's tools: the format check, the benchmarks, the fuzzers, the screenshots, and the
# install check with the Debian package.
tool_packages=(
    clang-format git
    libbenchmark-dev units
    clang-14 libclang-rt-14-dev
    imagemagick
    desktop-file-utils appstream appstream-compose
    dpkg-dev file lintian
    libxcb-damage0-dev
)

if [ "${1:-}" = --print ]; then
    case "${2:-}" in
    build) printf '%s\n' "${build_packages[@]}" ;;
    test) printf '%s\n' "${test_packages[@]}" ;;
    tools) printf '%s\n' "${tool_packages[@]}" ;;
    *)
        echo "usage: $0 [--print build|test|tools]" >&2
        exit 2
        ;;
    esac
    exit 0
fi

packages=("${build_packages[@]}" "${test_packages[@]}" "${tool_packages[@]}")
# One query for all of them: it runs before every test run, the quick one included.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
    sed -n 's/ install ok installed$//p' || true)
missing=()
for p in "${packages[@]}"; do
    grep -qx -- "$p" <<<"$installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
