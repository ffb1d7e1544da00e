#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a user or a distribution gets: the
# tool runs from the installed place, the desktop files validate, the program starts, and the
# Debian package names its run-time dependencies.
set -uo pipefail
cd "$(dirname "$(readlink -f "$0")")/.." || exit 1

build=${TENVARI_BUILD_DIR:-build}
app_id=io.github.tenvari.Tenvari
passed=0
failed=0

pass() {
    passed=$((passed + 1))
    echo "ok: $1"
}
fail() {
    failed=$((failed + 1))
    echo "FAILED: $1" >&2
}
# check DESCRIPTION COMMAND...: one check from the exit status of the command, whose output is
# shown only when it fails.
check() {
    local what=$1
    shift
    if "$@" >"$tmp/check.log" 2>&1; then
        pass "$what"
    else
        fail "$what"
        cat "$tmp/check.log" >&2
    fi
}

if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
else
    # Configuring again keeps the options and picks up data files added since.
    cmake -S . -B "$build" >/dev/null || exit 1
fi
cmake --build "$build" >/dev/null || { echo "install check: the build failed" >&2; exit 1; }

tmp=$(mktemp -d "${TMPDIR:-/tmp}/tenvari-install.XXXXXX")
program_pid=
cleanup() {
    if [ -n "$program_pid" ]; then kill "$program_pid" 2>/dev/null; fi
    rm -rf "$tmp"
}
trap cleanup EXIT
prefix=$tmp/prefix

# The installation.
if cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1; then
    pass "cmake --install into a temporary prefix"
else
    fail "cmake --install into a temporary prefix"
    cat "$tmp/install.log" >&2
fi

installed_files=(
    bin/tenvari-cli
    share/tenvari/units.dat share/tenvari/prefix.dat share/tenvari/readme.txt
    "share/applications/$app_id.desktop" "share/metainfo/$app_id.metainfo.xml"
    "share/icons/hicolor/scalable/apps/$app_id.svg"
)
for size in 16 24 32 48 64 128 256; do
    installed_files+=("share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
missing=()
for file in "${installed_files[@]}"; do
    [ -s "$prefix/$file" ] || missing+=("$file")
done
if [ ${#missing[@]} -eq 0 ]; then
    pass "installed files (${#installed_files[@]})"
else
    fail "installed files missing: ${missing[*]}"
fi

# The tool finds the data in ../share/tenvari, since nothing lies beside it.
if groups=$("$prefix/bin/tenvari-cli" groups 2>"$tmp/cli.err") && [ -n "$groups" ] &&
    [ ! -s "$tmp/cli.err" ]; then
    pass "installed tenvari-cli groups lists $(printf '%s\n' "$groups" | wc -l) groups"
else
    fail "installed tenvari-cli groups"
    cat "$tmp/cli.err" >&2
fi
if "$prefix/bin/tenvari-cli" check >"$tmp/check.out" 2>&1; then
    pass "installed data passes tenvari-cli check: $(tail -n 1 "$tmp/check.out")"
else
    fail "installed data fails tenvari-cli check"
    cat "$tmp/check.out" >&2
fi

check "desktop entry validates" \
    desktop-file-validate "$prefix/share/applications/$app_id.desktop"
check "AppStream metainfo validates" \
    appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml"

# The program on the offscreen platform: it has no option to quit by itself, so it must still
# be running without complaint after a while, and then end on SIGTERM.
if [ -x "$prefix/bin/tenvari" ]; then
    # A private runtime folder, which Qt asks for, and settings kept out of the user's.
    mkdir -m 700 "$tmp/runtime"
    QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$tmp/runtime XDG_CONFIG_HOME=$tmp/config \
        "$prefix/bin/tenvari" >"$tmp/program.out" 2>"$tmp/program.err" &
    program_pid=$!
    sleep 2
    if kill -0 "$program_pid" 2>/dev/null; then
        kill -TERM "$program_pid"
        wait "$program_pid"
        status=$?
        program_pid=
        # Qt's offscreen platform reports features it lacks; that is no fault of the program.
        complaints=$(cat "$tmp/program.err" "$tmp/program.out" |
            grep -v -e '^This plugin does not support')
        if [ "$status" -eq $((128 + 15)) ] && [ -z "$complaints" ]; then
            pass "tenvari starts offscreen and ends on SIGTERM"
        else
            fail "tenvari offscreen: status $status, output: $complaints"
        fi
    else
        wait "$program_pid"
        status=$?
        program_pid=
        fail "tenvari ended within 2 s with status $status: $(cat "$tmp/program.err")"
    fi
else
    echo "note: the program was not built (TENVARI_BUILD_UI=OFF); its start is not checked"
fi

# The Debian package.
if (cd "$tmp" && cpack --config "$OLDPWD/$build/CPackConfig.cmake" -B "$tmp/package") \
    >"$tmp/cpack.log" 2>&1; then
    deb=$(find "$tmp/package" -maxdepth 1 -name "*.deb" | head -n 1)
else
    deb=
fi
if [ -n "$deb" ]; then
    pass "cpack builds $(basename "$deb")"
    depends=$(dpkg-deb --field "$deb" Depends)
    absent=()
    for package in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins \
        libcanberra0 fonts-ipafont-gothic; do
        printf '%s\n' "$depends" | tr ',' '\n' | sed 's/^ *//; s/[ (].*//' |
            grep -qx -- "$package" || absent+=("$package")
    done
    if [ ${#absent[@]} -eq 0 ]; then
        pass "package Depends: $depends"
    else
        fail "package Depends lacks ${absent[*]}: $depends"
    fi
    contents=$(dpkg-deb --contents "$deb")
    absent=()
    for file in usr/bin/tenvari-cli usr/share/tenvari/units.dat \
        "usr/share/applications/$app_id.desktop"; do
        printf '%s\n' "$contents" | grep -q -- " \./$file\$" || absent+=("$file")
    done
    if [ ${#absent[@]} -eq 0 ]; then
        pass "package holds the tool, the data and the desktop entry under /usr"
    else
        fail "package lacks ${absent[*]}"
    fi
else
    fail "cpack builds a Debian package"
    cat "$tmp/cpack.log" >&2
fi

echo "install check: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
