#!/usr/bin/env bash
# Builds the benchmarks and tenvari-cli in Release (build-bench), runs the Google Benchmark
# programs (the core's, and the unit search dialog's on Qt's offscreen platform), and measures
# tenvari-cli against GNU units (Debian package "units"): throughput on 20 000 km-to-m
# conversions through standard input, one process each, and the start-up cost of one conversion
# process. Then runs scripts/bench-startup.sh: the program's start-up and memory against a bare
# Qt window under Xvfb and openbox, and its first conversion. Prints every figure, the ratios and
# the targets.
#
#   scripts/bench.sh                      everything
#   BENCH_FILTER=Long scripts/bench.sh    only the micro-benchmarks matching the filter
#   BENCH_STARTUP=0 scripts/bench.sh      without the window's start-up
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."

build_dir=${BENCH_BUILD_DIR:-build-bench}
values=${BENCH_VALUES:-20000}
startup_runs=${BENCH_STARTUP_RUNS:-200}

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTENVARI_BUILD_BENCH=ON \
    -DTENVARI_BUILD_UI=ON -DTENVARI_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" -j"${BENCH_BUILD_JOBS:-2}" --target tenvari_bench tenvari_bench_ui \
    tenvari-cli

work=$(mktemp -d "${TMPDIR:-/tmp}/tenvari-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8

echo "== machine"
lscpu | grep -E '^(Model name|CPU\(s\)|Thread\(s\) per core|Core\(s\) per socket):' | sed 's/  */ /g'
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"

echo
echo "== micro-benchmarks (tenvari_bench)"
"$build_dir/bin/tenvari_bench" --benchmark_filter="${BENCH_FILTER:-.}" \
    --benchmark_out="$work/bench.csv" --benchmark_out_format=csv
echo
echo "== the unit search dialog (tenvari_bench_ui)"
: >"$work/bench-ui.csv"
QT_QPA_PLATFORM=offscreen "$build_dir/bin/tenvari_bench_ui" --benchmark_filter="${BENCH_FILTER:-.}" \
    --benchmark_out="$work/bench-ui.csv" --benchmark_out_format=csv

# CSV columns: name,iterations,real_time,cpu_time,time_unit,... The times are per iteration.
figure() { # name column -> value in nanoseconds
    awk -F, -v name="\"$1\"" -v col="$2" '
        $1 == name {
            scale = ($5 == "ns") ? 1 : ($5 == "us") ? 1e3 : ($5 == "ms") ? 1e6 : 1e9
            printf "%.6g\n", $col * scale
        }' "$work/bench.csv" "$work/bench-ui.csv"
}

echo
echo "== per-character cost of long expressions (CPU time)"
for shape in chain nesting mixed_nesting; do
    small=$(figure "Long/$shape/1024" 4)
    large=$(figure "Long/$shape/1048576" 4)
    [ -n "$small" ] && [ -n "$large" ] || continue
    awk -v s="$small" -v l="$large" -v shape="$shape" 'BEGIN {
        printf "%-14s 1 KiB %7.2f ns/char   1 MiB %7.2f ns/char   ratio %.2f   1 MiB total %.1f ms\n",
            shape, s / 1024, l / 1048576, (l / 1048576) / (s / 1024), l / 1e6 }'
done

echo
echo "== tenvari-cli against GNU units: $values conversions km -> m, one process each"
cli="$build_dir/bin/tenvari-cli --data data --no-user-data"
# The length group and its km and m units, found by their names in the shipped data.
group=$($cli groups | awk -F'\t' '$2 == "長さ" { print "#" $1; exit }')
km=$($cli units "$group" | awk -F'\t' '$2 ~ /\[km\]$/ { print "#" $1; exit }')
m=$($cli units "$group" | awk -F'\t' '$2 ~ /\[m\]$/ { print "#" $1; exit }')
echo "group $group, from $km to $m"

awk -v n="$values" 'BEGIN { srand(20261209); for (i = 0; i < n; i++) printf "%.4f\n", rand() * 1000 }' \
    >"$work/values"
# GNU units reads "You have" and "You want" lines in turn.
awk '{ print $1 " km"; print "m" }' "$work/values" >"$work/units-input"

# Runs a command three times; prints the fastest wall time and the least CPU time (user + system)
# in nanoseconds, both as bash's time builtin reports them for the command alone, so that no
# helper process of the script is counted. CPU time is the fairer figure on a shared machine.
best_of_three() {
    local best_wall= best_cpu=
    for _ in 1 2 3; do
        local wall cpu
        read -r wall cpu < <({ TIMEFORMAT='%3R %3U %3S'; time "$@"; } 2>&1 |
            awk '{ printf "%.0f %.0f\n", $1 * 1e9, ($2 + $3) * 1e9 }')
        if [ -z "$best_wall" ] || [ "$wall" -lt "$best_wall" ]; then
            best_wall=$wall
        fi
        if [ -z "$best_cpu" ] || [ "$cpu" -lt "$best_cpu" ]; then
            best_cpu=$cpu
        fi
    done
    echo "$best_wall $best_cpu"
}
run_cli() { $cli convert "$group" "$km" "$m" - <"$work/values" >"$work/cli-out"; }
run_units() { units -t -q <"$work/units-input" >"$work/units-out"; }
read -r cli_ns cli_cpu < <(best_of_three run_cli)
read -r units_ns units_cpu < <(best_of_three run_units)

cli_lines=$(wc -l <"$work/cli-out")
units_lines=$(wc -l <"$work/units-out")
# Both must have converted every value to the same result (GNU units prints 8 digits).
agree=$(paste -d' ' <(awk -F' => ' '{ split($2, r, " "); print r[1] }' "$work/cli-out") "$work/units-out" |
    awk '{ d = $1 - $2; if (d < 0) d = -d; if (d <= 1e-7 * ($1 < 0 ? -$1 : $1)) n++ } END { print n + 0 }')
echo "results: tenvari-cli $cli_lines lines, GNU units $units_lines lines, $agree agree"
awk -v n="$values" -v c="$cli_ns" -v u="$units_ns" -v cc="$cli_cpu" -v uc="$units_cpu" 'BEGIN {
    printf "tenvari-cli %9.0f conversions/s wall (%6.1f ms), %9.0f/s CPU (%6.1f ms)\n",
        n / (c / 1e9), c / 1e6, n / (cc / 1e9), cc / 1e6
    printf "GNU units   %9.0f conversions/s wall (%6.1f ms), %9.0f/s CPU (%6.1f ms)\n",
        n / (u / 1e9), u / 1e6, n / (uc / 1e9), uc / 1e6
    printf "throughput ratio tenvari-cli / GNU units: %.2f wall, %.2f CPU\n", u / c, uc / cc }'
echo
echo "== start-up: one conversion process, mean of $startup_runs runs"
now() { date +%s%N; }
mean_ns() { # command... -> mean nanoseconds per run
    local start end
    start=$(now)
    for ((i = 0; i < startup_runs; i++)); do
        "$@" >/dev/null
    done
    end=$(now)
    echo $(((end - start) / startup_runs))
}
cli_start=$(mean_ns $cli convert "$group" "$km" "$m" 1)
units_start=$(mean_ns units -1 -t '1 km' m)
awk -v c="$cli_start" -v u="$units_start" 'BEGIN {
    printf "tenvari-cli %.2f ms   GNU units %.2f ms   ratio GNU units / tenvari-cli %.2f\n",
        c / 1e6, u / 1e6, u / c }'

if [ "${BENCH_STARTUP:-1}" != 0 ]; then
    echo
    BENCH_BUILD_DIR=$build_dir BENCH_STARTUP_SUMMARY=$work/startup scripts/bench-startup.sh
fi

echo
echo "== targets"
target() { # label value limit unit
    awk -v label="$1" -v v="$2" -v limit="$3" -v unit="$4" 'BEGIN {
        printf "%-44s %10.3f %-3s (target < %s %s) %s\n", label, v, unit, limit, unit,
            (v != "" && v < limit) ? "met" : "MISSED" }'
}
typed=$(figure "Typed/simple" 4)
[ -z "$typed" ] || target "typed expression 3*12+4 (CPU)" "$(awk -v v="$typed" 'BEGIN { print v / 1000 }')" 2 us
for shape in chain nesting mixed_nesting; do
    large=$(figure "Long/$shape/1048576" 4)
    [ -z "$large" ] || target "1 MiB $shape (CPU)" "$(awk -v v="$large" 'BEGIN { print v / 1e6 }')" 200 ms
done
load=$(figure "LoadUnitsFile" 4)
[ -z "$load" ] || target "load 100 000 units (CPU)" "$(awk -v v="$load" 'BEGIN { print v / 1e6 }')" 100 ms
for filter in one_character common common_hiragana rare none empty; do
    found=$(figure "FindUnits/$filter" 4)
    [ -z "$found" ] ||
        target "filter 100 000 units: $filter (CPU)" "$(awk -v v="$found" 'BEGIN { print v / 1e6 }')" 5 ms
done
for filter in one_character common rare every_unit; do
    keystroke=$(figure "FindDialogKeystroke/$filter" 4)
    [ -z "$keystroke" ] ||
        target "search list, one keystroke: $filter (CPU)" "$(awk -v v="$keystroke" 'BEGIN { print v / 1e6 }')" 5 ms
done
query=$(figure "Query/sum" 4)
[ -z "$query" ] || target "query 3 mi + 200 yd to m, shipped data (CPU)" "$(awk -v v="$query" 'BEGIN { print v / 1000 }')" 20 us
for text in feat kiromeetoru; do
    suggested=$(figure "SuggestShipped/$text" 4)
    [ -z "$suggested" ] ||
        target "suggestions, shipped data: $text (CPU)" "$(awk -v v="$suggested" 'BEGIN { print v / 1e6 }')" 2 ms
done
for text in meetaa meetoru; do
    suggested=$(figure "Suggest100000/$text" 4)
    [ -z "$suggested" ] ||
        target "suggestions, 100 000 units: $text (CPU)" "$(awk -v v="$suggested" 'BEGIN { print v / 1e6 }')" 100 ms
done
ratio_target() { # label tenvari-ns units-ns
    awk -v label="$1" -v c="$2" -v u="$3" 'BEGIN {
        r = u / c; printf "%-44s %10.2f x   (target >= 10 x) %s\n", label, r, (r >= 10) ? "met" : "MISSED" }'
}
ratio_target "throughput against GNU units (wall)" "$cli_ns" "$units_ns"
ratio_target "throughput against GNU units (CPU)" "$cli_cpu" "$units_cpu"
awk -v c="$cli_start" -v u="$units_start" 'BEGIN {
    printf "%-44s %10.2f ms  (GNU units %.2f ms) %s\n", "start-up of one conversion", c / 1e6,
        u / 1e6, (c < u) ? "met" : "MISSED" }'
if [ -s "$work/startup" ]; then
    startup() { awk -v key="$1" '$1 == key { print $2 }' "$work/startup"; }
    awk -v r="$(startup startup_ratio)" -v lo="$(startup startup_ratio_min)" \
        -v hi="$(startup startup_ratio_max)" 'BEGIN {
        printf "%-44s %10.3f x   (target <= 1.10 x) %s   pairs %.3f to %.3f\n",
            "window start-up against a bare Qt window", r, (r <= 1.10) ? "met" : "MISSED", lo, hi }'
    awk -v r="$(startup rss_ratio)" -v a="$(startup rss_tenvari_kib)" \
        -v b="$(startup rss_bare_kib)" 'BEGIN {
        printf "%-44s %10.3f x   (target <= 1.10 x) %s   %d against %d KiB\n",
            "window memory against a bare Qt window", r, (r <= 1.10) ? "met" : "MISSED", a, b }'
    awk -v v="$(startup first_conversion_extra_us)" -v w="$(startup first_conversion_extra_warm_us)" 'BEGIN {
        printf "%-44s %10.3f ms  (target <= 1 ms) %s   %.3f ms beyond one back to back\n",
            "first conversion beyond a later one", v / 1000, (v <= 1000) ? "met" : "MISSED", w / 1000 }'
fi

echo
echo "== the desktop: search provider and one instance (scripts/bench-dbus.sh)"
BENCH_BUILD_DIR=$build_dir scripts/bench-dbus.sh
