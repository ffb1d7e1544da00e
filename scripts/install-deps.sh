#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, when any is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config clang-format git
    qt6-base-dev libgl-dev libcanberra-dev libasound2-dev libxcb1-dev qt6-translations-l10n
    libsqlite3-dev sqlite3
    fonts-ipafont-gothic
    libgtest-dev libgmock-dev libbenchmark-dev
    clang-14 libclang-rt-14-dev
    xvfb xauth openbox xdotool xclip x11-utils imagemagick units
    dbus libglib2.0-bin trayer at-spi2-core python3-pyatspi
    desktop-file-utils appstream
    dpkg-dev file lintian man-db groff-base bash-completion
)
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
