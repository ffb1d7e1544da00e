#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a user or a distribution gets: the
# tool runs from the installed place and both programs answer --version, the desktop entry, the
# AppStream metadata and the manual pages validate, the program starts, a plain install leaves
# Debian's files out; the Debian package names its run-time dependencies, passes lintian with
# every tag shown, and once installed shows its manual pages and completes on Tab; and two builds
# in two folders give the same package, byte for byte.
set -uo pipefail
cd "$(dirname "$(readlink -f "$0")")/.." || exit 1

build=${TENVARI_BUILD_DIR:-build}
app_id=io.github.tenvari.Tenvari

source "$(dirname "$(readlink -f "$0")")/../tests/support/checks.sh"

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

# check_package DEB: what the package declares, what lintian says of it, and what a user gets
# from it installed: the manual page and the completion.
check_package() {
    local deb=$1 depends recommends entry absent=() declared
    depends=$(dpkg-deb --field "$deb" Depends)
    recommends=$(dpkg-deb --field "$deb" Recommends)
    # The entries given by hand in the packaging, and the libraries the binaries link, which
    # dpkg-shlibdeps names with their minimum versions.
    declared=$(sed -n 's/^set(CPACK_DEBIAN_PACKAGE_DEPENDS "\(.*\)")$/\1/p' \
        "$build/CPackConfig.cmake")
    local linked=(libc6 libstdc++6 libsqlite3-0) entries=()
    IFS=, read -ra entries <<<"$declared"
    if [ -x "$prefix/bin/tenvari" ]; then
        linked+=(libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6)
        # libxcb1's symbols file names no minimum version.
        entries+=(libxcb1)
    fi
    for entry in "${entries[@]}"; do
        entry=${entry# }
        printf '%s\n' "$depends" | sed 's/, /\n/g' | sed 's/ (.*//' | grep -qxF -- "$entry" ||
            absent+=("$entry")
    done
    for entry in "${linked[@]}"; do
        printf '%s\n' "$depends" | sed 's/, /\n/g' | grep -q -- "^$entry (>= " ||
            absent+=("$entry (>= ...)")
    done
    if [ -n "$declared" ] && [ ${#absent[@]} -eq 0 ] &&
        [[ $depends != *qt6-qpa-plugins* && $depends != *qt6-translations-l10n* ]]; then
        pass "package Depends: $depends"
    else
        fail "package Depends lacks ${absent[*]} or names a Recommends: $depends"
    fi
    declared=$(sed -n 's/^set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "\(.*\)")$/\1/p' \
        "$build/CPackConfig.cmake")
    if [ -n "$declared" ] && [ "$recommends" = "$declared" ]; then
        pass "package Recommends: $recommends"
    else
        fail "package Recommends [$recommends], expected [$declared]"
    fi

    # Every tag shown, down to the informational, pedantic and experimental ones; any that no
    # override covers fails the check (an override that matches nothing is itself a tag). The
    # overrides and their reasons are shown. Shown overrides make lintian exit 2 even when they
    # cover everything, so the verdict reads the lines.
    lintian --pedantic -I -E --show-overrides "$deb" >"$tmp/lintian.log" 2>&1
    local status=$?
    if { [ "$status" -eq 0 ] || [ "$status" -eq 2 ]; } &&
        ! grep -q '^[EWIPX]: ' "$tmp/lintian.log"; then
        pass "lintian --pedantic -I: no tag without an override"
    else
        fail "lintian --pedantic -I reports tags without an override (exit status $status)"
    fi
    grep -v 'running with root privileges' "$tmp/lintian.log" | sed 's/^/    lintian: /'
    local unit=$tmp/unpacked
    dpkg-deb -x "$deb" "$unit"
    local overrides=$unit/usr/share/lintian/overrides/tenvari
    if awk '/^#/ { reason = 1; next } /^[[:space:]]*$/ { reason = 0; next }
            { if (!reason) bad = 1 } END { exit bad }' "$overrides"; then
        pass "every lintian override follows its reason"
    else
        fail "a lintian override has no comment giving its reason"
    fi
    zcat "$unit/usr/share/doc/tenvari/changelog.gz" >"$tmp/changelog"
    local logged version
    logged=$(dpkg-parsechangelog -l "$tmp/changelog" -S Version 2>&1)
    version=$(dpkg-deb --field "$deb" Version)
    if [ "$logged" = "$version" ]; then
        pass "the changelog's first entry is version $version"
    else
        fail "the changelog's first entry is $logged, the package $version"
    fi
    local released
    released=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' \
        "$unit/usr/share/metainfo/$app_id.metainfo.xml" | head -n 1)
    expect "the metainfo's latest release is version $version" "$version" "$released"
    local program
    for program in tenvari tenvari-cli; do
        [ -x "$unit/usr/bin/$program" ] || continue
        expect "$program --version" "$program (Tenvari) $version" \
            "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$unit/usr/bin/$program" \
                --version 2>&1)"
    done

    # Installed with dpkg into a root of its own (its dependencies are the machine's).
    local root=$tmp/root
    mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
    touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
    if ! dpkg --root="$root" --force-depends --force-not-root --install "$deb" \
        >"$tmp/dpkg.log" 2>&1; then
        fail "dpkg --install into a private root"
        cat "$tmp/dpkg.log" >&2
        return
    fi
    pass "dpkg --install into a private root"
    local page
    page=$(MANPATH=$root/usr/share/man LC_ALL=C.UTF-8 MANWIDTH=80 man tenvari-cli 2>&1)
    if printf '%s\n' "$page" | grep -q '^ *tenvari-cli *- *convert values'; then
        pass "man tenvari-cli shows the page"
    else
        fail "man tenvari-cli: $page"
    fi
    page=$(MANPATH=$root/usr/share/man LC_ALL=C.UTF-8 MANWIDTH=80 man -L ja tenvari 2>&1)
    if printf '%s\n' "$page" | grep -q '^ *tenvari *- *単位の換算'; then
        pass "man -L ja tenvari shows the Japanese page"
    else
        fail "man -L ja tenvari: $page"
    fi
    # bash-completion finds the completion on demand where the package puts it.
    local offered groups
    offered=$(XDG_DATA_DIRS=$root/usr/share XDG_DATA_HOME=$tmp/no-user-data \
        PATH=$root/usr/bin:$PATH bash -c '
        source /usr/share/bash-completion/bash_completion
        __load_completion tenvari-cli || exit 1
        COMP_WORDS=(tenvari-cli convert "") COMP_CWORD=2
        COMP_LINE="tenvari-cli convert " COMP_POINT=${#COMP_LINE}
        _tenvari_cli tenvari-cli "" convert
        printf "%s\n" "${COMPREPLY[@]}"' 2>&1 | sed 's/\\\(.\)/\1/g' | sort)
    groups=$(XDG_DATA_HOME=$tmp/no-user-data "$root/usr/bin/tenvari-cli" groups | cut -f2 | sort)
    if [ -n "$groups" ] && [ "$offered" = "$groups" ]; then
        pass "tenvari-cli convert <Tab> offers the $(printf '%s\n' "$groups" | wc -l) groups"
    else
        fail "tenvari-cli convert <Tab> offers: $offered"
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
    share/man/man1/tenvari-cli.1.gz share/man/ja/man1/tenvari-cli.1.gz
    share/bash-completion/completions/tenvari-cli
    share/doc/tenvari/README.md
)
# Debian's files, which only the package (or TENVARI_INSTALL_DEBIAN_FILES) installs.
debian_files=(share/doc/tenvari/copyright share/doc/tenvari/changelog.gz
    share/lintian/overrides/tenvari)
for size in 16 24 32 48 64 128 256; do
    installed_files+=("share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
if [ -x "$prefix/bin/tenvari" ]; then
    installed_files+=(share/man/man1/tenvari.1.gz share/man/ja/man1/tenvari.1.gz
        bin/tenvari-search-provider
        "share/dbus-1/services/$app_id.service" "share/dbus-1/services/$app_id.SearchProvider.service"
        "share/gnome-shell/search-providers/$app_id.search-provider.ini"
        "share/krunner/dbusplugins/$app_id.desktop")
fi
missing=()
for file in "${installed_files[@]}"; do
    [ -s "$prefix/$file" ] || missing+=("$file")
done
if [ ${#missing[@]} -eq 0 ]; then
    pass "installed files (${#installed_files[@]})"
else
    fail "installed files missing: ${missing[*]}"
fi
present=()
for file in "${debian_files[@]}"; do
    [ ! -e "$prefix/$file" ] || present+=("$file")
done
if [ ${#present[@]} -eq 0 ]; then
    pass "a plain install has none of Debian's files"
else
    fail "a plain install has Debian's files: ${present[*]}"
fi

# The tool finds the data in ../share/tenvari, since nothing lies beside it. The tester's own
# units ($XDG_DATA_HOME/tenvari) are kept out.
export XDG_DATA_HOME="$tmp/user-data"
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

# Hints count too: desktop-file-validate must print nothing.
desktop_file="$prefix/share/applications/$app_id.desktop"
if hints=$(desktop-file-validate "$desktop_file" 2>&1) && [ -z "$hints" ]; then
    pass "desktop entry validates without hints"
else
    fail "desktop entry: $hints"
fi
if [ -x "$prefix/bin/tenvari" ]; then
    runner_file="$prefix/share/krunner/dbusplugins/$app_id.desktop"
    if hints=$(desktop-file-validate "$runner_file" 2>&1) && [ -z "$hints" ]; then
        pass "KRunner plugin file validates without hints"
    else
        fail "KRunner plugin file: $hints"
    fi
    # The bus starts what the service files name: the programs under this prefix.
    for service in "$app_id" "$app_id.SearchProvider"; do
        exec_line=$(sed -n 's/^Exec=//p' "$prefix/share/dbus-1/services/$service.service")
        if [ -x "$exec_line" ] && [ "${exec_line%/bin/*}" = "$prefix" ]; then
            pass "D-Bus service $service starts $exec_line"
        else
            fail "D-Bus service $service: Exec=$exec_line"
        fi
    done
fi

# AppStream, pedantic: every message fails the check but these notes, each with its reason.
declare -A appstream_notes=(
    # The reverse-DNS id ends in the application's name with its capital letter, as
    # org.gnome.Calculator does; the desktop entry and the icons carry the same name.
    [cid-contains-uppercase-letter]=1
)
metainfo=$prefix/share/metainfo/$app_id.metainfo.xml
appstreamcli validate --pedantic --no-net "$metainfo" >"$tmp/appstream.log" 2>&1
status=$?
unexplained=$(sed -n 's/^[EWIP]: [^ ]* \([^ ]*\).*/\1/p' "$tmp/appstream.log" | sort -u |
    while read -r tag; do [ -n "${appstream_notes[$tag]:-}" ] || echo "$tag"; done)
if [ "$status" -eq 0 ] && [ -z "$unexplained" ]; then
    pass "AppStream metainfo validates (--pedantic), notes only with a reason"
else
    fail "AppStream metainfo (--pedantic, status $status): ${unexplained:-see below}"
    cat "$tmp/appstream.log" >&2
fi
# A software centre shows what compose makes of the file: the Japanese description survives only
# when each English paragraph has its Japanese one.
mkdir -p "$tmp/compose-root/usr/share"
cp -r "$prefix/share/metainfo" "$prefix/share/applications" "$prefix/share/icons" \
    "$tmp/compose-root/usr/share/"
if appstreamcli compose --no-net --origin=tenvari --result-root="$tmp/compose" \
    "$tmp/compose-root" >"$tmp/compose.log" 2>&1; then
    composed=$(zcat "$tmp/compose/usr/share/swcatalog/xml/tenvari.xml.gz")
    paragraphs() {
        printf '%s\n' "$composed" | sed -n "/^    <description$1>/,/^    <\/description>/p" |
            grep -c '<p>'
    }
    english=$(paragraphs "")
    japanese=$(paragraphs ' xml:lang="ja"')
    if [ "$english" -gt 0 ] && [ "$japanese" = "$english" ]; then
        pass "appstreamcli compose keeps the Japanese description ($japanese paragraphs)"
    else
        fail "appstreamcli compose: $english English paragraphs, $japanese Japanese"
    fi
else
    fail "appstreamcli compose"
    cat "$tmp/compose.log" >&2
fi

# The manual pages as installed, through mandoc's lint (man_test.sh checks the sources more).
for page in "$prefix"/share/man/man1/*.1.gz "$prefix"/share/man/ja/man1/*.1.gz; do
    lint=$(mandoc -Tlint "$page" 2>&1)
    expect "mandoc -Tlint ${page#"$prefix"/share/man/}" "" "$lint"
done

# The program on the offscreen platform: it has no option to quit by itself, so it must still
# be running without complaint after a while, and then end on SIGTERM.
if [ -x "$prefix/bin/tenvari" ]; then
    # A private runtime folder, which Qt asks for, and settings kept out of the user's; not on
    # the tester's session bus, where a Tenvari of the tester's would take the start.
    mkdir -m 700 "$tmp/runtime"
    QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$tmp/runtime XDG_CONFIG_HOME=$tmp/config \
        TENVARI_NO_DBUS=1 \
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
    # An option it does not know: one clear line and the usage, exit status 2.
    QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$tmp/runtime "$prefix/bin/tenvari" --frobnicate \
        >"$tmp/program.out" 2>"$tmp/program.err"
    status=$?
    expect "tenvari --frobnicate exits with 2 and names the option" \
        "2 tenvari: unknown option --frobnicate (tenvari --help shows the usage)" \
        "$status $(head -n 1 "$tmp/program.err")"
else
    echo "note: the program was not built (TENVARI_BUILD_UI=OFF); its start is not checked"
fi

# The Debian package, as the target deb builds it.
rm -rf "$build/package"
if cmake --build "$build" --target deb >"$tmp/cpack.log" 2>&1; then
    deb=$(find "$build/package" -maxdepth 1 -name "*.deb" | head -n 1)
else
    deb=
fi
if [ -n "$deb" ]; then
    pass "cmake --build $build --target deb builds $(basename "$deb")"
    check_package "$deb"
else
    fail "the target deb builds a Debian package"
    cat "$tmp/cpack.log" >&2
fi

# Reproducible (reproducible-builds.org): two builds of the same sources, in folders of other
# names and lengths, with other umasks, time zones, locales and file times, give the same
# package. The second without ccache, which would hand it the first one's objects. The first
# also installs Debian's files on a plain install (TENVARI_INSTALL_DEBIAN_FILES), which must not
# change the package.
copy_sources() {
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git ls-files -z --cached --others --exclude-standard |
            tar --null -T - --ignore-failed-read -cf - 2>/dev/null
    else
        tar --exclude='./build*' -cf - .
    fi | tar -xf - -C "$1"
}
build_package() {
    local side=$1 sources=$2 mask=$3 zone=$4 locale=$5 with_debian_files=$6
    mkdir -p "$sources"
    (
        umask "$mask"
        export TZ=$zone LC_ALL=$locale
        [ "$side" = a ] || export CCACHE_DISABLE=1
        unset SOURCE_DATE_EPOCH
        copy_sources "$sources"
        [ "$side" = a ] || find "$sources" -exec touch -h -d '2001-02-03 04:05:06' {} +
        cmake -S "$sources" -B "$sources/obj" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DTENVARI_BUILD_TESTS=OFF -DTENVARI_INSTALL_DEBIAN_FILES="$with_debian_files" &&
            cmake --build "$sources/obj" &&
            cmake --install "$sources/obj" --prefix "$sources/installed" &&
            cmake --build "$sources/obj" --target deb
    ) >"$tmp/repro-$side.log" 2>&1
}
repro_started=$SECONDS
if build_package a "$tmp/repro-a/src" 022 UTC C.UTF-8 ON &&
    build_package b "$tmp/reproducible-build-b/tenvari-$(date +%s)" 077 Asia/Tokyo C OFF; then
    deb_a=$(find "$tmp/repro-a/src/obj/package" -maxdepth 1 -name '*.deb')
    deb_b=$(find "$tmp"/reproducible-build-b/*/obj/package -maxdepth 1 -name '*.deb')
    if cmp -s "$deb_a" "$deb_b"; then
        pass "two builds in two folders give the same package ($((SECONDS - repro_started)) s)"
    else
        fail "two builds in two folders give different packages; the files that differ:"
        dpkg-deb -R "$deb_a" "$tmp/unpacked-a" && dpkg-deb -R "$deb_b" "$tmp/unpacked-b" &&
            diff -rq "$tmp/unpacked-a" "$tmp/unpacked-b" >&2
        echo "    (diffoscope $deb_a $deb_b shows how)" >&2
    fi
    missing=()
    for file in "${debian_files[@]}"; do
        [ -s "$tmp/repro-a/src/installed/$file" ] || missing+=("$file")
    done
    expect "with TENVARI_INSTALL_DEBIAN_FILES a plain install has Debian's files" "" \
        "${missing[*]}"
else
    fail "the reproducibility builds failed"
    tail -n 30 "$tmp"/repro-*.log >&2
fi

echo "install check: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
