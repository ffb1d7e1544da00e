#!/usr/bin/env bash
# Runs one libFuzzer target for FUZZ_TIME seconds (default 20) on a copy of its seed corpus; the
# fuzz build registers one such CTest entry per target (label fuzz). Any crash, leak, sanitizer
# report, broken property or time-out fails the run, and the input that did it is kept in the
# artifacts folder.
#
#   fuzz-run.sh BINARY MAX_LEN CORPUS DICT ARTIFACTS      (DICT may be empty)
set -uo pipefail

if [ $# -ne 5 ]; then
    echo "usage: $0 binary max_len corpus dict artifacts" >&2
    exit 2
fi
binary=$1
max_len=$2
seeds=$3
dict=$4
artifacts=$5
name=$(basename "$binary")
time_per_target=${FUZZ_TIME:-20}

# The settings target syncs every save to disk; a memory file system keeps it fast.
tmp_base=${TMPDIR:-/tmp}
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    tmp_base=/dev/shm
fi
work=$(mktemp -d "$tmp_base/tenvari-fuzz-$name.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/tmp" "$artifacts" || exit 1
if [ -d "$seeds" ]; then
    cp -r "$seeds/." "$work/corpus/"
fi

dict_option=()
if [ -n "$dict" ]; then
    dict_option=(-dict="$dict")
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export LC_ALL=C

log=$work/log
status=0
# The target gets its own temporary folder for whatever files it writes.
TMPDIR="$work/tmp" "$binary" -max_total_time="$time_per_target" -rss_limit_mb=2048 \
    -max_len="$max_len" -timeout=10 -print_final_stats=1 "${dict_option[@]}" \
    -artifact_prefix="$artifacts/" "$work/corpus" >"$log" 2>&1 || status=$?
runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
if [ "$status" -eq 0 ] &&
    ! grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:' "$log"; then
    echo "fuzz: $name passed (${runs:-?} runs in $time_per_target s)"
    exit 0
fi
echo "fuzz: $name FAILED (exit $status); inputs kept in $artifacts/"
tail -n 60 "$log"
exit 1
