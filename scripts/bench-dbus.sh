#!/usr/bin/env bash
# The desktop's figures, on a private session bus (dbus-run-session) with the Release build
# (build-bench) installed into a temporary prefix, as the desktop starts it:
#   - a query answered by the search provider, from the D-Bus call to its reply, warm (p50, p95)
#     for GNOME Shell's GetInitialResultSet and GetResultMetas and KRunner's Match, against the
#     bus's own Ping;
#   - the first answer after the bus has started the provider for the call;
#   - the provider's resident memory after those calls;
#   - a second tenvari bringing the first to the front, from exec to exit, under Xvfb and openbox;
#   - for comparison, a bare gdbus call on the same bus, and gdbus calling the provider.
#
#   scripts/bench-dbus.sh                 BENCH_QUERY="100 km/h to m/s" scripts/bench-dbus.sh
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."

build_dir=${BENCH_BUILD_DIR:-build-bench}
if [ -z "${TENVARI_BENCH_BUS:-}" ]; then
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTENVARI_BUILD_BENCH=ON \
        -DTENVARI_BUILD_UI=ON -DTENVARI_BUILD_TESTS=OFF >/dev/null
    # Everything: the install takes every file the build makes.
    cmake --build "$build_dir" -j"${BENCH_BUILD_JOBS:-2}"
    work=$(mktemp -d "${TMPDIR:-/tmp}/tenvari-bench-dbus.XXXXXX")
    trap 'rm -rf "$work"' EXIT
    cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
    mkdir -p "$work/home" "$work/data" "$work/config" "$work/runtime"
    chmod 700 "$work/runtime"
    env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS TENVARI_BENCH_BUS=1 TENVARI_BENCH_WORK="$work" \
        HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" \
        XDG_RUNTIME_DIR="$work/runtime" XDG_DATA_DIRS="$work/prefix/share:/usr/share" \
        LC_ALL=C.UTF-8 dbus-run-session -- bash "$0" "$@" 2> >(grep -v '^dbus-daemon\[' >&2)
    exit $?
fi

work=$TENVARI_BENCH_WORK
prefix=$work/prefix
client=$PWD/$build_dir/bin/tenvari_bench_dbus
runs=${BENCH_DBUS_RUNS:-500}
firsts=${BENCH_FIRST_RUNS:-10}
launches=${BENCH_LAUNCHES:-30}
read -ra terms <<<"${BENCH_QUERY:-5 ft to m}"
provider=io.github.tenvari.Tenvari.SearchProvider

has_owner() {
    [ "$(gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
        -m org.freedesktop.DBus.NameHasOwner "$1")" = "(true,)" ]
}
owner_pid() {
    gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
        -m org.freedesktop.DBus.GetConnectionUnixProcessID "$1" | sed 's/.*uint32 \([0-9]*\).*/\1/'
}
stop_provider() {
    if has_owner "$provider"; then
        kill "$(owner_pid "$provider")"
        while has_owner "$provider"; do sleep 0.01; done
    fi
}
# percentiles FILE -> "p50 p95 max" of the numbers in FILE
percentiles() {
    sort -g "$1" | awk '{ v[NR] = $1 } END {
        i50 = int(0.5 * (NR - 1) + 1.5); if (i50 > NR) i50 = NR
        i95 = int(0.95 * (NR - 1) + 1.5); if (i95 > NR) i95 = NR
        printf "%.3f %.3f %.3f\n", v[i50], v[i95], v[NR] }'
}
now() { date +%s%N; }

echo "== machine"
lscpu | grep -E '^(Model name|CPU\(s\)):' | sed 's/  */ /g'
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "query: ${terms[*]}"

echo
echo "== first answer after the bus starts the provider ($firsts starts)"
: >"$work/first"
for ((i = 0; i < firsts; i++)); do
    stop_provider
    "$client" first "${terms[@]}" | awk '{ print $2 }' >>"$work/first"
done
read -r first_p50 _ first_max < <(percentiles "$work/first")
echo "first call: median $first_p50 ms, slowest $first_max ms"
echo "answers: $("$client" first "${terms[@]}" | awk '{ print $4 }')"

echo
echo "== warm calls, $runs of each (call to reply)"
"$client" warm "$runs" "${terms[@]}" | tee "$work/warm"
"$client" ping "$runs" | tee -a "$work/warm"
pid=$(owner_pid "$provider")
rss_kb=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status")
hwm_kb=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status")
echo "provider resident memory: $((rss_kb / 1024)).$(((rss_kb % 1024) * 10 / 1024)) MB now," \
    "$((hwm_kb / 1024)).$(((hwm_kb % 1024) * 10 / 1024)) MB at most"

echo
echo "== gdbus, one process a call (mean of 50, exec to exit)"
gdbus_mean() {
    local start end
    start=$(now)
    for _ in $(seq 1 50); do "$@" >/dev/null; done
    end=$(now)
    awk -v t=$((end - start)) 'BEGIN { printf "%.2f\n", t / 50 / 1e6 }'
}
quoted=$(printf "'%s', " "${terms[@]}")
bare=$(gdbus_mean gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
    -m org.freedesktop.DBus.GetId)
asked=$(gdbus_mean gdbus call --session -d "$provider" -o /io/github/tenvari/Tenvari/SearchProvider \
    -m org.gnome.Shell.SearchProvider2.GetInitialResultSet "[${quoted%, }]")
echo "bare gdbus call (GetId of the bus): $bare ms"
echo "gdbus call of GetInitialResultSet:  $asked ms"

echo
echo "== a second tenvari bringing the first to the front (Xvfb, openbox; $launches launches)"
(
    # The desktop suite's session, written for scripts that test each step themselves.
    set +e
    program=$prefix/bin/tenvari
    # shellcheck source=../tests/desktop/session.sh
    source tests/desktop/session.sh
    start_session
    start_program "$prefix/bin/tenvari" || { echo "the first tenvari did not start" >&2; exit 1; }
    : >"$work/launch"
    for ((i = 0; i < launches; i++)); do
        xmessage -geometry 600x500+60+60 cover >/dev/null 2>&1 &
        cover=$!
        cover_id=$(wait_window xmessage) && focus "$cover_id"
        start=$(now)
        "$prefix/bin/tenvari"
        end=$(now)
        echo "$(((end - start) / 1000))" | awk '{ printf "%.3f\n", $1 / 1000 }' >>"$work/launch"
        wait_for "the first window to take the focus" is_active "$main_window"
        kill "$cover"
        wait "$cover" 2>/dev/null || true
    done
    : >"$work/version"
    for ((i = 0; i < launches; i++)); do
        start=$(now)
        "$prefix/bin/tenvari" --version >/dev/null
        end=$(now)
        echo "$(((end - start) / 1000))" | awk '{ printf "%.3f\n", $1 / 1000 }' >>"$work/version"
    done
    stop_program
)
read -r launch_p50 launch_p95 launch_max < <(percentiles "$work/launch")
read -r version_p50 _ _ < <(percentiles "$work/version")
echo "second tenvari, exec to exit: median $launch_p50 ms, p95 $launch_p95 ms, slowest $launch_max ms"
echo "tenvari --version (the application object alone): median $version_p50 ms"

echo
echo "== targets"
target() { # label value limit unit
    awk -v label="$1" -v v="$2" -v limit="$3" -v unit="$4" 'BEGIN {
        printf "%-52s %9.3f %-2s (target <= %s %s) %s\n", label, v, unit, limit, unit,
            (v != "" && v <= limit) ? "met" : "MISSED" }'
}
for call in initial metas match; do
    target "warm $call, p95" "$(awk -v c="$call" '$1 == c { print $3 }' "$work/warm")" 10 ms
done
target "first answer after activation (slowest)" "$first_max" 150 ms
target "provider resident memory (most)" "$(awk -v k="$hwm_kb" 'BEGIN { print k / 1024 }')" 15 MB
target "second tenvari raising the first (p95)" "$launch_p95" 150 ms
