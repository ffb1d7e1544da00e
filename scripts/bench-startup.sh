#!/usr/bin/env bash
# Builds the program and a bare Qt window (bench/bare_window.cpp) in Release (build-bench),
# starts Xvfb and openbox (the desktop suite's session), and measures both from exec to their
# first drawn frame in pairs, the program first, then the bare window, then the program again
# (A B A B ...). The time is taken by bench/startup_watch.cpp, the same way for both: it starts
# the program itself and stops the clock at the first DAMAGE event of a top-level window after
# that window's MapNotify, i.e. when the program has drawn its first frame into its mapped
# window. Then it reads the program's resident set size one second later, and ends it.
# Last, the first unit conversion after start-up against the later ones, in fresh processes:
# each later one after the same pause as the first, as a user converts (the target), and, for
# comparison, back to back; and the machine's own slowing after such a pause.
# Prints each run, the medians, the median of the pairs' ratios with their range, the memory of
# both, and the targets.
#
#   scripts/bench-startup.sh                         15 pairs
#   BENCH_STARTUP_PAIRS=31 scripts/bench-startup.sh
#   BENCH_STARTUP_SUMMARY=FILE ...                   also writes the figures as "key value" lines
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."

build_dir=${BENCH_BUILD_DIR:-build-bench}
pairs=${BENCH_STARTUP_PAIRS:-15}
conversions=${BENCH_FIRST_CONVERSION_RUNS:-9}

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTENVARI_BUILD_BENCH=ON \
    -DTENVARI_BUILD_UI=ON -DTENVARI_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" -j"${BENCH_BUILD_JOBS:-2}" --target tenvari tenvari_bare_window \
    tenvari_startup_watch tenvari_first_conversion tenvari_pause_probe

bin=$(readlink -f "$build_dir/bin")
program=$bin/tenvari
# shellcheck source=../tests/desktop/session.sh
source tests/desktop/session.sh
start_session
# The program as a user would unpack it, without a settings file: it opens centred every time,
# since a run that is ended writes none.
install_program "$tmp/app"

watch() { # label executable -> "frame_us N mapped_us N rss_kib N", or fails
    "$bin/tenvari_startup_watch" "$2" 2>"$tmp/watch.err" || {
        echo "the $1 did not show a frame:" >&2
        cat "$tmp/watch.err" >&2
        return 1
    }
}
field_of() { # line key -> value
    awk -v key="$2" '{ for (i = 1; i < NF; i++) if ($i == key) print $(i + 1) }' <<<"$1"
}

echo "== start-up from exec to the first frame, $pairs pairs (A = tenvari, B = bare Qt window)"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
# One run of each first, so that both start from a warm file cache.
watch tenvari "$tmp/app/tenvari" >/dev/null
watch "bare window" "$bin/tenvari_bare_window" >/dev/null
: >"$tmp/pairs"
for ((i = 1; i <= pairs; i++)); do
    a=$(watch tenvari "$tmp/app/tenvari")
    b=$(watch "bare window" "$bin/tenvari_bare_window")
    echo "$(field_of "$a" frame_us) $(field_of "$b" frame_us) $(field_of "$a" rss_kib)" \
        "$(field_of "$b" rss_kib)" >>"$tmp/pairs"
    awk -v i="$i" '{ printf "pair %2d: A %6.1f ms  B %6.1f ms  ratio %.3f   RSS A %6d KiB  B %6d KiB\n",
        i, $1 / 1000, $2 / 1000, $1 / $2, $3, $4 }' <(tail -n 1 "$tmp/pairs")
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

median() { # expression of the columns $1 ... of a file (default $tmp/pairs) -> its median
    awk "{ print $1 }" "${2:-$tmp/pairs}" | sort -g | awk '{ v[NR] = $1 }
        END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
a_ms=$(awk -v v="$(median '$1')" 'BEGIN { print v / 1000 }')
b_ms=$(awk -v v="$(median '$2')" 'BEGIN { print v / 1000 }')
ratio=$(median '$1 / $2')
ratio_min=$(awk '{ print $1 / $2 }' "$tmp/pairs" | sort -g | head -n 1)
ratio_max=$(awk '{ print $1 / $2 }' "$tmp/pairs" | sort -g | tail -n 1)
a_rss=$(median '$3')
b_rss=$(median '$4')
rss_ratio=$(awk -v a="$a_rss" -v b="$b_rss" 'BEGIN { print a / b }')
printf 'median: tenvari %.1f ms, bare window %.1f ms; median of the pair ratios %.3f (%.3f to %.3f)\n' \
    "$a_ms" "$b_ms" "$ratio" "$ratio_min" "$ratio_max"
printf 'resident set 1 s after the first frame (median): tenvari %d KiB, bare window %d KiB, ratio %.3f\n' \
    "$a_rss" "$b_rss" "$rss_ratio"

echo
echo "== the first conversion after start-up against the later ones, $conversions processes"
: >"$tmp/conversions"
for ((i = 1; i <= conversions; i++)); do
    (cd "$tmp" && "$bin/tenvari_first_conversion") >>"$tmp/conversions"
done
# Columns: first_us $2, later_us $4 (after the same pause as the first), warm_us $6 (back to
# back), first_key_us $8, later_key_us $10.
first_extra=$(median '$2 - $4' "$tmp/conversions")
warm_extra=$(median '$2 - $6' "$tmp/conversions")
awk '{ printf "first %7.3f ms   later, each after a pause %7.3f ms, back to back %7.3f ms   first key %7.3f ms, later %7.3f ms\n",
    $2 / 1000, $4 / 1000, $6 / 1000, $8 / 1000, $10 / 1000 }' "$tmp/conversions"
first_key=$(median '$8' "$tmp/conversions")
printf 'the first conversion minus a later one after the same pause %.3f ms, minus one back to back %.3f ms (medians of the processes)\n' \
    "$(awk -v v="$first_extra" 'BEGIN { print v / 1000 }')" \
    "$(awk -v v="$warm_extra" 'BEGIN { print v / 1000 }')"
printf 'the first typed value, which opens the history, takes %.3f ms (median of the processes)\n' \
    "$(awk -v v="$first_key" 'BEGIN { print v / 1000 }')"
# The machine's own share: a fixed piece of work without Qt, warm and after the same pause.
probe=$("$bin/tenvari_pause_probe")
printf 'the machine itself (bench/pause_probe.cpp): a fixed piece of work takes %.3f ms back to back, %.3f ms after the same pause\n' \
    "$(field_of "$probe" warm_us | awk '{ print $1 / 1000 }')" \
    "$(field_of "$probe" after_pause_us | awk '{ print $1 / 1000 }')"

echo
echo "== targets"
awk -v r="$ratio" -v lo="$ratio_min" -v hi="$ratio_max" 'BEGIN {
    printf "%-44s %10.3f x   (target <= 1.10 x) %s   pairs %.3f to %.3f\n",
        "start-up against a bare Qt window", r, (r <= 1.10) ? "met" : "MISSED", lo, hi }'
awk -v r="$rss_ratio" -v a="$a_rss" -v b="$b_rss" 'BEGIN {
    printf "%-44s %10.3f x   (target <= 1.10 x) %s   %d against %d KiB\n",
        "resident set against a bare Qt window", r, (r <= 1.10) ? "met" : "MISSED", a, b }'
awk -v v="$first_extra" -v w="$warm_extra" 'BEGIN {
    printf "%-44s %10.3f ms  (target <= 1 ms) %s   %.3f ms beyond one back to back\n",
        "first conversion beyond a later one", v / 1000, (v <= 1000) ? "met" : "MISSED", w / 1000 }'

if [ -n "${BENCH_STARTUP_SUMMARY:-}" ]; then
    {
        echo "startup_ratio $ratio"
        echo "startup_ratio_min $ratio_min"
        echo "startup_ratio_max $ratio_max"
        echo "startup_tenvari_ms $a_ms"
        echo "startup_bare_ms $b_ms"
        echo "rss_tenvari_kib $a_rss"
        echo "rss_bare_kib $b_rss"
        echo "rss_ratio $rss_ratio"
        echo "first_conversion_extra_us $first_extra"
        echo "first_conversion_extra_warm_us $warm_extra"
        echo "first_key_us $first_key"
    } >"$BENCH_STARTUP_SUMMARY"
fi
