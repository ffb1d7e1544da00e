#!/usr/bin/env bash
# Builds Tenvari as a Debian maintainer would: a copy of the tree gets a minimal debian/ folder
# (dh with the cmake build system, debhelper compat 13; upstream ships none), and
# dpkg-buildpackage builds it in a fresh Debian 12 chroot made by mmdebstrap that holds only the
# build dependencies (scripts/install-deps.sh --print build) and debhelper, as an ordinary user,
# with the network cut for the build. The tests run there, through dh_auto_test; a suite whose
# test dependencies are missing must be skipped, not fail.
#
#   scripts/debian-cleanroom.sh [OUTPUT_FOLDER]     (default: cleanroom-out)
#
# The folder receives the package, the build log, the tests' log (LastTest.log) and lintian's
# report of the package. Not run by CI: it needs root and mmdebstrap, downloads a chroot of some
# hundred MB from the Debian mirror, and takes a while.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."

out=$(readlink -f "${1:-cleanroom-out}")
suite=bookworm
mirror=${TENVARI_CLEANROOM_MIRROR:-http://deb.debian.org/debian}

if [ "$(id -u)" -ne 0 ]; then
    echo "debian-cleanroom: needs root (mmdebstrap's root mode and chroot)" >&2
    exit 1
fi
command -v mmdebstrap >/dev/null || {
    echo "debian-cleanroom: needs mmdebstrap (apt-get install mmdebstrap)" >&2
    exit 1
}

version=$(sed -n 's/^project(tenvari VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
released=$(sed -n 's/^ -- .*>  \(.*\)$/\1/p' packaging/changelog | head -n 1)
build_depends=$(scripts/install-deps.sh --print build | paste -sd ' ')

work=$(mktemp -d "${TMPDIR:-/tmp}/tenvari-cleanroom.XXXXXX")
trap 'rm -rf "$work"' EXIT
source_dir=$work/tenvari-$version
mkdir -p "$source_dir" "$out"

# The tree as committed, with what is not committed yet but not ignored.
git ls-files -z --cached --others --exclude-standard |
    tar --null -T - --ignore-failed-read -cf - 2>/dev/null | tar -xf - -C "$source_dir"
if [ -e "$source_dir/debian" ]; then
    echo "debian-cleanroom: the tree has a debian/ folder; upstream ships none" >&2
    exit 1
fi

# ---- the minimal debian/ folder -------------------------------------------------------------
debian=$source_dir/debian
mkdir -p "$debian/source"
echo "3.0 (quilt)" >"$debian/source/format"
cat >"$debian/control" <<EOF
Source: tenvari
Section: utils
Priority: optional
Maintainer: Tenvari clean-room build <cleanroom@tenvari.example.org>
Build-Depends: debhelper-compat (= 13), $(echo "$build_depends" | sed 's/ /, /g')
Standards-Version: 4.6.2
Homepage: https://tenvari.example.org/
Rules-Requires-Root: no

Package: tenvari
Architecture: any
Depends: \${shlibs:Depends}, \${misc:Depends}, fonts-ipafont-gothic | fonts-japanese-gothic,
 libcanberra0, libasound2
Recommends: xdg-utils, qt6-translations-l10n
Description: converter of values between units and integers between bases
 Tenvari converts a value from one unit of measure into another, and a
 non-negative integer from one number base into another (bases 2 to 36), with a
 Japanese user interface. Units are read from plain text files that users can
 extend; values may be arithmetic expressions with prefixes.
 .
 The package also holds tenvari-cli, which converts on the command line and
 checks unit files.
EOF
cat >"$debian/rules" <<'EOF'
#!/usr/bin/make -f
export DEB_BUILD_MAINT_OPTIONS = hardening=+all

%:
	dh $@ --buildsystem=cmake+ninja
EOF
chmod 755 "$debian/rules"
cat >"$debian/changelog" <<EOF
tenvari ($version-1) $suite; urgency=medium

  * Clean-room build of upstream version $version.

 -- Tenvari clean-room build <cleanroom@tenvari.example.org>  $released
EOF
cp packaging/copyright "$debian/copyright"
# Upstream's overrides, which a plain install leaves out, and one for this folder's changelog.
{
    cat packaging/lintian-overrides
    echo
    echo "# A build to try the package, not an upload: there is no ITP bug to close."
    echo "tenvari: initial-upload-closes-no-bugs"
} >"$debian/tenvari.lintian-overrides"

# ---- the chroot and the build ---------------------------------------------------------------
echo "debian-cleanroom: $suite chroot with: debhelper $build_depends"
# The build runs as the user builder, with no network (unshare --net leaves only a loopback
# that is down; network.txt shows the interfaces the build saw), and logs to build.log; the
# tests' own log is kept as well. mmdebstrap runs each hook with the chroot as $1.
started=$SECONDS
status=0
# Run inside the chroot: $(nproc) and $? are the build's, not this script's.
build_command='cd /build/tenvari-'"$version"' && export DEB_BUILD_OPTIONS=parallel=\$(nproc);'
build_command+=' dpkg-buildpackage -us -uc -b >/build/build.log 2>&1; echo \$? >/build/status'
mmdebstrap --mode=root --variant=buildd --include="debhelper,${build_depends// /,}" \
    --customize-hook='mkdir -p "$1/build"' \
    --customize-hook="copy-in '$source_dir' /build" \
    --customize-hook='chroot "$1" useradd --create-home builder' \
    --customize-hook='chroot "$1" chown -R builder /build' \
    --customize-hook='unshare --net chroot "$1" cat /proc/net/dev >"$1/build/network.txt"' \
    --customize-hook="unshare --net chroot \"\$1\" runuser -u builder -- sh -c \"$build_command\"" \
    --customize-hook="cp \"\$1\"/build/tenvari-$version/obj-*/Testing/Temporary/LastTest.log \"\$1/build/\" || true" \
    --customize-hook="rm -rf \"\$1/build/tenvari-$version\"" \
    --customize-hook="sync-out /build '$out'" \
    "$suite" /dev/null "$mirror" || status=$?
echo "debian-cleanroom: mmdebstrap and the build took $((SECONDS - started)) s"
if [ "$status" -ne 0 ]; then
    echo "debian-cleanroom: mmdebstrap failed (status $status)" >&2
    exit "$status"
fi

build_status=$(cat "$out/status" 2>/dev/null || echo "?")
echo "debian-cleanroom: dpkg-buildpackage exited with $build_status; its log: $out/build.log"
# Every suite's line (passed, failed or skipped) and ctest's summary.
grep -E 'Test +#[0-9]+: |tests passed|tests failed' "$out/build.log" || true
grep -E '^[0-9]+/[0-9]+ Test +#.*\*\*\*Skipped' "$out/build.log" | while read -r line; do
    name=$(sed 's/.*Test *#[0-9]*: \([^ ]*\).*/\1/' <<<"$line")
    reason=$(sed -n "/^[0-9]*\\/[0-9]* Testing: $name\$/,/^Test time/p" "$out/LastTest.log" 2>/dev/null |
        grep -m 1 'skipped' || true)
    echo "skipped: $name: ${reason:-(no reason in LastTest.log)}"
done
deb=$(find "$out" -maxdepth 1 -name "tenvari_${version}-1_*.deb" | head -n 1)
if [ -n "$deb" ]; then
    lintian --pedantic -I -E --show-overrides "$deb" >"$out/lintian.log" 2>&1 || true
    echo "debian-cleanroom: lintian on $(basename "$deb") ($out/lintian.log):"
    grep -v 'running with root privileges' "$out/lintian.log" | sed 's/^/    /'
fi
[ "$build_status" = 0 ]
