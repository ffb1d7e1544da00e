#!/usr/bin/env bash
# Builds the libFuzzer targets with clang 14 (AddressSanitizer and UndefinedBehaviorSanitizer,
# no recovery) and runs each for a bounded time on a copy of its seed corpus. Any crash, leak,
# sanitizer report, broken property or time-out fails the run; the input that did it is kept
# under build-fuzz/artifacts/<target>/.
#
#   scripts/fuzz.sh                  every target, FUZZ_TIME seconds each (default 20)
#   scripts/fuzz.sh fuzz_calculate   only the targets named
#   FUZZ_TIME=600 scripts/fuzz.sh    longer runs
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."

build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
time_per_target=${FUZZ_TIME:-20}
jobs=${FUZZ_BUILD_JOBS:-2}

# target:max_len:dictionary. The loaders get whole files; everything else works on one line of
# text. The dictionaries (fuzz/dict/) hold the tokens the formats are made of.
all_targets=(
    fuzz_units_file:65536:units_file
    fuzz_prefix_file:16384:units_file
    fuzz_ini_file:16384:ini_file
    fuzz_number:4096:number
    fuzz_text:4096:number
    fuzz_base:4096:
    fuzz_calculate:4096:expression
    fuzz_convert_unit:4096:expression
    fuzz_calc_diff:4096:expression
    fuzz_cli:4096:expression
)
if [ $# -gt 0 ]; then
    selected=()
    for name in "$@"; do
        found=
        for entry in "${all_targets[@]}"; do
            if [ "${entry%%:*}" = "$name" ]; then
                selected+=("$entry")
                found=1
            fi
        done
        [ -n "$found" ] || { echo "fuzz: unknown target $name" >&2; exit 2; }
    done
else
    selected=("${all_targets[@]}")
fi

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++-14 -DTENVARI_FUZZ=ON -DTENVARI_BUILD_UI=OFF \
    -DTENVARI_BUILD_TESTS=OFF >/dev/null
names=()
for entry in "${selected[@]}"; do
    names+=("${entry%%:*}")
done
cmake --build "$build_dir" -j"$jobs" --target "${names[@]}"

# The settings target syncs every save to disk; a memory file system keeps it fast.
tmp_base=${TMPDIR:-/tmp}
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    tmp_base=/dev/shm
fi
work=$(mktemp -d "$tmp_base/tenvari-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export LC_ALL=C

passed=0
failed=0
failed_names=()
for entry in "${selected[@]}"; do
    IFS=: read -r name max_len dict <<<"$entry"
    dict_option=()
    if [ -n "$dict" ]; then
        dict_option=(-dict="fuzz/dict/$dict.dict")
    fi
    binary="$build_dir/bin/$name"
    corpus="$work/$name/corpus"
    artifacts="$build_dir/artifacts/$name"
    mkdir -p "$corpus" "$artifacts" "$work/$name/tmp"
    if [ -d "fuzz/corpus/$name" ]; then
        cp -r "fuzz/corpus/$name/." "$corpus/"
    fi
    log="$work/$name/log"
    status=0
    # Each target gets its own temporary folder for whatever files it writes.
    TMPDIR="$work/$name/tmp" "$binary" -max_total_time="$time_per_target" \
        -rss_limit_mb=2048 -max_len="$max_len" -timeout=10 -print_final_stats=1 \
        "${dict_option[@]}" -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1 || status=$?
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
    if [ "$status" -eq 0 ] && ! grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:' "$log"; then
        passed=$((passed + 1))
        echo "fuzz: $name passed (${runs:-?} runs in ${time_per_target} s)"
    else
        failed=$((failed + 1))
        failed_names+=("$name")
        echo "fuzz: $name FAILED (exit $status); inputs kept in $artifacts/"
        tail -n 60 "$log"
    fi
done

if [ "$failed" -gt 0 ]; then
    echo "fuzz: failed targets: ${failed_names[*]}"
fi
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
