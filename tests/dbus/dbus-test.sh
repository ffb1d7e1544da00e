#!/usr/bin/env bash
# The desktop's ways into Tenvari over a session bus of its own, called as GNOME Shell and KRunner
# call them: the build installed into a temporary prefix, found through XDG_DATA_DIRS (the
# search provider's .ini, the D-Bus service files, the KRunner plugin), the search provider
# started by the bus at the first call, and the program's one instance on the offscreen
# platform.
#
#   dbus-test.sh BUILD_DIR [CHECK...]     runs every check, or the named ones
#
# Runs itself under dbus-run-session when no private bus is set up yet. Every wait polls with a
# deadline; nothing sleeps for a fixed time.
set -uo pipefail

build=$(readlink -f "${1:?usage: $0 BUILD_DIR [CHECK...]}")
shift
if [ -z "${TENVARI_DBUS_TEST_BUS:-}" ]; then
    # Without a session bus of its own and gdbus the suite is skipped (CTest's skip code 77) with
    # one line naming the packages, as in a build that has only the build dependencies.
    missing=()
    for tool in dbus-run-session:dbus gdbus:libglib2.0-bin; do
        command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "skipped: the D-Bus suite needs the packages ${missing[*]}"
        exit 77
    fi
    # The bus starts the activated programs with its own environment: no display, a home and
    # data folders of the suite's own.
    tmp=$(mktemp -d "${TMPDIR:-/tmp}/tenvari-dbus.XXXXXX")
    trap 'rm -rf "$tmp"' EXIT
    mkdir -p "$tmp/home" "$tmp/config" "$tmp/data" "$tmp/runtime"
    chmod 700 "$tmp/runtime"
    env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS -u TENVARI_NO_DBUS \
        TENVARI_DBUS_TEST_BUS=1 TENVARI_DBUS_TMP="$tmp" HOME="$tmp/home" \
        XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data" XDG_RUNTIME_DIR="$tmp/runtime" \
        XDG_DATA_DIRS="$tmp/prefix/share:/usr/share" QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 \
        dbus-run-session -- bash "$0" "$build" "$@"
    exit $?
fi

tmp=$TENVARI_DBUS_TMP
prefix=$tmp/prefix
deadline=${TENVARI_DESKTOP_DEADLINE:-60}
app_id=io.github.tenvari.Tenvari
provider=$app_id.SearchProvider
shell_path=/io/github/tenvari/Tenvari/SearchProvider
shell_iface=org.gnome.Shell.SearchProvider2
app_path=/io/github/tenvari/Tenvari
started=()

cleanup() {
    for pid in "${started[@]}"; do
        kill -CONT "$pid" 2>/dev/null
        kill "$pid" 2>/dev/null
    done
}
trap cleanup EXIT

source "$(dirname "$(readlink -f "$0")")/../support/checks.sh"

has_owner() {
    [ "$(gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
        -m org.freedesktop.DBus.NameHasOwner "$1")" = "(true,)" ]
}
no_owner() {
    ! has_owner "$1"
}
owner_pid() {
    gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
        -m org.freedesktop.DBus.GetConnectionUnixProcessID "$1" | sed 's/.*uint32 \([0-9]*\).*/\1/'
}
# stop_owner NAME: ends the program that owns NAME and waits until the name is free.
stop_owner() {
    local pid
    has_owner "$1" || return 0
    pid=$(owner_pid "$1")
    kill "$pid" 2>/dev/null
    wait_for "$1 to be released" no_owner "$1"
}

# shell METHOD ARGS...: one call of the GNOME Shell interface, printed as gdbus prints it.
shell() {
    local method=$1
    shift
    gdbus call --session -d "$provider" -o "$shell_path" -m "$shell_iface.$method" "$@" 2>&1
}
runner() {
    local method=$1
    shift
    gdbus call --session -d "$provider" -o /runner -m "org.kde.krunner1.$method" "$@" 2>&1
}
# app METHOD ARGS...: one call of the program's org.freedesktop.Application; of an error only
# its first line (gdbus adds a hint from the introspection data).
app() {
    local method=$1
    shift
    gdbus call --session -d "$app_id" -o "$app_path" -m "org.freedesktop.Application.$method" \
        "$@" 2>&1 | head -n 1
}

# The first entry of XDG_DATA_DIRS (then XDG_DATA_HOME) that holds RELATIVE, as desktops look.
find_data_file() {
    local dir
    IFS=: read -ra dirs <<<"$XDG_DATA_HOME:$XDG_DATA_DIRS"
    for dir in "${dirs[@]}"; do
        if [ -f "$dir/$1" ]; then
            echo "$dir/$1"
            return 0
        fi
    done
    return 1
}
key_of() { # FILE KEY
    sed -n "s/^$2=//p" "$1" | head -n 1
}

# ---- the checks --------------------------------------------------------------------------------

# GNOME Shell finds the provider's .ini, whose desktop entry and bus name lead to the provider;
# KRunner finds its plugin; the bus finds both service files.
check_installed_files() {
    local ini runner_file entry service
    ini=$(find_data_file "gnome-shell/search-providers/$app_id.search-provider.ini") ||
        { fail "no search-provider .ini in XDG_DATA_DIRS"; return; }
    expect "the .ini is the installed one" "$prefix/share" "${ini%/gnome-shell/*}"
    expect "the .ini's bus name" "$provider" "$(key_of "$ini" BusName)"
    expect "the .ini's object path" "$shell_path" "$(key_of "$ini" ObjectPath)"
    expect "the .ini's version" 2 "$(key_of "$ini" Version)"
    entry=$(find_data_file "applications/$(key_of "$ini" DesktopId)")
    if [ -n "$entry" ] && [ "$(key_of "$entry" DBusActivatable)" = true ]; then
        pass "the .ini's DesktopId is the installed, D-Bus activatable entry"
    else
        fail "the .ini's DesktopId $(key_of "$ini" DesktopId) names no D-Bus activatable entry"
    fi
    runner_file=$(find_data_file "krunner/dbusplugins/$app_id.desktop") ||
        { fail "no KRunner plugin in XDG_DATA_DIRS"; return; }
    expect "the KRunner plugin's API" DBus "$(key_of "$runner_file" X-Plasma-API)"
    expect "the KRunner plugin's service" "$provider" \
        "$(key_of "$runner_file" X-Plasma-DBusRunner-Service)"
    expect "the KRunner plugin's path" /runner "$(key_of "$runner_file" X-Plasma-DBusRunner-Path)"
    for service in "$app_id" "$provider"; do
        local file
        file=$(find_data_file "dbus-1/services/$service.service")
        local exec
        exec=$(key_of "$file" Exec)
        if [ -x "$exec" ] && [ "${exec#"$prefix"/bin/}" != "$exec" ]; then
            pass "the service file of $service starts $exec"
        else
            fail "the service file of $service: Exec=$exec"
        fi
    done
}

# The first call starts the provider through the bus; it answers no ordinary word, application
# name or bare number, in either interface.
check_no_answer_for_words() {
    local row
    no_owner "$provider" || stop_owner "$provider"
    expect "an ordinary word, GNOME Shell" "(@as [],)" "$(shell GetInitialResultSet "['tenvari']")"
    if has_owner "$provider"; then
        pass "the first call started the provider through the bus"
    else
        fail "the provider does not run after a call"
    fi
    for row in "['firefox']" "['5']" "['1', '2']" "['m']" "['to']" "['5', 'to']"; do
        expect "no result for $row" "(@as [],)" "$(shell GetInitialResultSet "$row")"
    done
    for row in firefox 5 ft 'kilometre'; do
        expect "KRunner: no match for $row" "(@a(sssida{sv}) [],)" "$(runner Match "$row")"
    done
    expect "unknown ids have no metas" "(@aa{sv} [],)" "$(shell GetResultMetas "['nothing']")"
}

# Terms that can be no query are answered empty, each within a hang guard of 5 s.
check_hostile_terms() {
    local long many started_at
    long="['$(head -c 4000 /dev/zero | tr '\0' 5) m to ft']"
    many="[$(for i in $(seq 1 3000); do printf "'%d'," "$i"; done)'m']"
    for row in "long|$long" "many|$many" "control|['5\\u0001', 'ft', 'to', 'm']" \
        "nul-free binary|['\\u00ff\\ufffe\\u0007']"; do
        IFS='|' read -r name terms <<<"$row"
        started_at=$(date +%s%N)
        expect "hostile terms ($name) get no result" "(@as [],)" \
            "$(timeout 5 gdbus call --session -d "$provider" -o "$shell_path" \
                -m "$shell_iface.GetInitialResultSet" "$terms" 2>&1)"
        echo "    $name answered in $((($(date +%s%N) - started_at) / 1000000)) ms"
    done
    expect "KRunner: a long text gets no match" "(@a(sssida{sv}) [],)" \
        "$(runner Match "$(head -c 5000 /dev/zero | tr '\0' 9) ft to m")"
}

# KRunner's actions and configuration.
check_runner_config() {
    expect "KRunner actions" "([('copy', '値をコピー', 'edit-copy')],)" "$(runner Actions)"
    local config
    config=$(runner Config)
    local plugin
    plugin=$(find_data_file "krunner/dbusplugins/$app_id.desktop")
    if [[ $config == *"'MatchRegex': <'$(key_of "$plugin" X-Plasma-Runner-Match-Regex)'>"* &&
        $config == *"'MinLetterCount': <$(key_of "$plugin" X-Plasma-Runner-Min-Letter-Count)>"* ]]; then
        pass "KRunner Config gives the plugin file's regex and minimum: $config"
    else
        fail "KRunner Config: $config"
    fi
}

# A second provider finds the name taken and ends cleanly; one started by hand ends after its
# idle time.
check_provider_lifetime() {
    has_owner "$provider" || shell GetInitialResultSet "['x']" >/dev/null
    local status
    "$prefix/bin/tenvari-search-provider" 2>"$tmp/second.err"
    status=$?
    expect "a second provider exits with 0" 0 "$status"
    expect "a second provider says why" \
        "tenvari-search-provider: $provider is taken: another copy is running; ending" \
        "$(cat "$tmp/second.err")"
    stop_owner "$provider"
    "$prefix/bin/tenvari-search-provider" --idle 1 2>"$tmp/idle.err" &
    local pid=$!
    started+=("$pid")
    wait_for "the provider to own its name" has_owner "$provider"
    if wait_for "the provider to end when idle" no_owner "$provider"; then
        wait "$pid"
        expect "an idle provider ends with 0" 0 "$?"
    else
        fail "the provider did not end after 1 s without a call"
    fi
}

# Shipped data that fails to load: no answers, one line on standard error, no crash.
check_broken_data() {
    stop_owner "$provider"
    local broken=$tmp/broken
    mkdir -p "$broken/bin" "$broken/share/tenvari"
    cp "$prefix/bin/tenvari-search-provider" "$broken/bin/"
    printf '>>\n長さ\n"a",$i,$t\n' >"$broken/share/tenvari/units.dat"
    cp "$prefix/share/tenvari/prefix.dat" "$broken/share/tenvari/"
    "$broken/bin/tenvari-search-provider" 2>"$tmp/broken.err" &
    local pid=$!
    started+=("$pid")
    wait_for "the broken provider to own its name" has_owner "$provider"
    expect "broken data: no results" "(@as [],)" \
        "$(shell GetInitialResultSet "['5', 'ft', 'to', 'm']")"
    expect "broken data: no results the second time" "(@as [],)" \
        "$(shell GetInitialResultSet "['5', 'm']")"
    expect "broken data: one line on standard error" 1 "$(wc -l <"$tmp/broken.err")"
    grep -q "units.dat" "$tmp/broken.err" && pass "the line names the file: $(cat "$tmp/broken.err")" ||
        fail "the line does not name the file: $(cat "$tmp/broken.err")"
    kill -0 "$pid" && pass "the provider still runs" || fail "the provider ended"
    stop_owner "$provider"
}

# The program started through the bus by Activate owns its name; a second tenvari hands its
# request over and exits with 0; org.freedesktop.Application refuses what it cannot do.
check_one_instance() {
    stop_owner "$app_id"
    expect "Activate starts the program through the bus" "()" "$(app Activate "{}")"
    wait_for "the program to own its name" has_owner "$app_id" || return
    local status
    timeout 10 "$prefix/bin/tenvari" 2>"$tmp/second.err"
    status=$?
    expect "a second tenvari exits with 0" 0 "$status"
    expect "a second tenvari writes nothing" "" "$(cat "$tmp/second.err")"
    timeout 10 "$prefix/bin/tenvari" --toggle
    expect "tenvari --toggle exits with 0" 0 "$?"
    expect "an unknown action is refused" \
        "Error: GDBus.Error:org.freedesktop.DBus.Error.InvalidArgs: no action named fly" \
        "$(app ActivateAction fly "[]" "{}")"
    expect "the query action needs its string" \
        "Error: GDBus.Error:org.freedesktop.DBus.Error.InvalidArgs: query takes one string" \
        "$(app ActivateAction query "[<5>]" "{}")"
    expect "a query longer than any typed is refused" \
        "Error: GDBus.Error:$app_id.Error.Refused: the text is empty, longer than 256 bytes or holds control characters" \
        "$(app ActivateAction query "[<'$(head -c 300 /dev/zero | tr '\0' 5)'>]" "{}")"
    expect "Open refuses files" \
        "Error: GDBus.Error:org.freedesktop.DBus.Error.NotSupported: Tenvari opens no files" \
        "$(app Open "['file:///etc/hosts']" "{}")"
    expect "Open without files activates" "()" "$(app Open "[]" "{'desktop-startup-id': <'x_TIME0'>}")"
}

# A running program that does not answer: a second start gives up after 2 s, says so, and runs
# on its own.
check_hung_instance() {
    has_owner "$app_id" || { app Activate "{}" >/dev/null; wait_for "the program" has_owner "$app_id"; }
    local first second
    first=$(owner_pid "$app_id")
    kill -STOP "$first"
    "$prefix/bin/tenvari" 2>"$tmp/hung.err" &
    second=$!
    started+=("$second")
    if wait_for "the warning of the second start" grep -q . "$tmp/hung.err"; then
        # Its first line; Qt's offscreen platform adds notes of its own after it.
        expect "the second start's warning" \
            "tenvari: the running Tenvari did not answer within 2000 ms; starting on its own" \
            "$(head -n 1 "$tmp/hung.err")"
    fi
    kill -0 "$second" 2>/dev/null && pass "the second start runs on its own" ||
        fail "the second start ended"
    kill "$second" 2>/dev/null
    kill -CONT "$first"
    wait "$second" 2>/dev/null
    stop_owner "$app_id"
}


# gvariant_terms WORD...: the words as GNOME Shell's terms, in GVariant's text form.
gvariant_terms() {
    local out=
    for word in "$@"; do out+="'$word', "; done
    echo "[${out%, }]"
}

# Both interfaces answer a whole query as tenvari-cli does: the name is the value and the
# target, the description the report line, the clipboard the value alone.
check_answers() {
    local cli="$prefix/bin/tenvari-cli" query report value target metas match words
    for query in "5 ft to m" "1坪をm2に" "100 km/h to m/s" "98.6 °F to °C" "3 mi + 200 yd in m" \
        "1.6 m を 尺;寸"; do
        report=$("$cli" "$query") || { fail "tenvari-cli $query: $report"; continue; }
        value=$("$cli" --value "$query")
        read -ra words <<<"$query"
        expect "GNOME Shell: $query gives its one id" "(['$query'],)" \
            "$(shell GetInitialResultSet "$(gvariant_terms "${words[@]}")")"
        metas=$(shell GetResultMetas "['$query']")
        if [[ $metas == *"'description': <'$report'>"* && $metas == *"'clipboardText': <'$value'>"* &&
            $metas == *"'name': <'$value"* ]]; then
            pass "GNOME Shell: the metas of $query are tenvari-cli's: $report"
        else
            fail "GNOME Shell: the metas of $query: $metas (tenvari-cli: $report)"
        fi
        match=$(runner Match "$query")
        if [[ $match == *"('$query', '$value"* && $match == *"'subtext': <'$report'>"* ]]; then
            pass "KRunner: $query matches as tenvari-cli gives it"
        else
            fail "KRunner: $query: $match"
        fi
    done
    # Without a target: five answers, each of them the query with its target.
    local ids
    ids=$(shell GetInitialResultSet "['5尺']")
    expect "GNOME Shell: 5尺 gives five answers" 5 "$(grep -o "'5尺 to [^']*'" <<<"$ids" | wc -l)"
    for target in $(grep -o "'5尺 to [^']*'" <<<"$ids" | head -n 2 | tr -d "'" | sed 's/^5尺 to //; s/ /%/g'); do
        target=${target//%/ }
        report=$("$cli" "5尺 to $target")
        metas=$(shell GetResultMetas "['5尺 to $target']")
        [[ $metas == *"'description': <'$report'>"* ]] &&
            pass "GNOME Shell: 5尺 to $target is tenvari-cli's $report" ||
            fail "GNOME Shell: 5尺 to $target: $metas"
    done
}

# The provider reads the user's units again when the file changes, without a restart; a user's
# file that breaks leaves the shipped units answering.
check_data_change() {
    local user=$XDG_DATA_HOME/tenvari
    mkdir -p "$user"
    rm -f "$user/units.dat"
    expect "no cubit before the user's file" "(@as [],)" \
        "$(shell GetInitialResultSet "['1', 'cubit', 'to', 'm']")"
    printf '>>\n長さ\n"キュビット [cubit]",$i*0.4572,$t/0.4572,"18 in"\n<<\n' >"$user/units.dat"
    expect "the user's cubit once the file is there" "(['1 cubit to m'],)" \
        "$(shell GetInitialResultSet "['1', 'cubit', 'to', 'm']")"
    printf '>>\n長さ\n"キュビット [cubit]",$i*0.4572\n<<\n' >"$user/units.dat"
    expect "a broken user's file: no cubit" "(@as [],)" \
        "$(shell GetInitialResultSet "['1', 'cubit', 'to', 'm']")"
    expect "a broken user's file: the shipped units answer" "(['5 ft to m'],)" \
        "$(shell GetInitialResultSet "['5', 'ft', 'to', 'm']")"
    rm -f "$user/units.dat"
}

# Choosing an answer starts Tenvari through the bus when it does not run; LaunchSearch reaches
# the running one.
check_activate_result() {
    stop_owner "$app_id"
    expect "ActivateResult answers at once" "()" \
        "$(shell ActivateResult "'5 ft to m'" "['5', 'ft', 'to', 'm']" 0)"
    if wait_for "Tenvari to start" has_owner "$app_id"; then
        pass "ActivateResult starts Tenvari through the bus"
    else
        fail "ActivateResult did not start Tenvari"
    fi
    expect "a query the program cannot show is refused with its message" \
        "Error: GDBus.Error:$app_id.Error.Refused: 「hello」は単位変換の式ではありません" \
        "$(app ActivateAction query "[<'hello'>]" "{}")"
    expect "KRunner Run answers" "()" "$(runner Run "'5 ft to m'" "''")"
    # The unit search it opens is a dialog: later requests are refused while it is open.
    expect "LaunchSearch answers" "()" "$(shell LaunchSearch "['mile']" 0)"
    stop_owner "$app_id"
}

# ---- main --------------------------------------------------------------------------------------

if ! cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1; then
    cat "$tmp/install.log" >&2
    echo "dbus suite: the install into $prefix failed" >&2
    exit 1
fi

checks=("$@")
if [ ${#checks[@]} -eq 0 ]; then
    checks=(installed_files no_answer_for_words answers data_change hostile_terms runner_config
        provider_lifetime broken_data one_instance hung_instance activate_result)
fi
for check in "${checks[@]}"; do
    echo "== $check"
    "check_$check"
done
stop_owner "$provider"
stop_owner "$app_id"

echo "dbus: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
