#!/usr/bin/env bash
# Builds the libFuzzer targets with clang 14 (AddressSanitizer and UndefinedBehaviorSanitizer,
# no recovery) and runs each for a bounded time on a copy of its seed corpus, as CTest entries
# (label fuzz) of the fuzz build, FUZZ_JOBS at a time. Any crash, leak, sanitizer report, broken
# property or time-out fails the run; the input that did it is kept under
# build-fuzz/artifacts/<target>/.
#
#   scripts/fuzz.sh                  every target, FUZZ_TIME seconds each (default 20)
#   scripts/fuzz.sh fuzz_calculate   only the targets named
#   FUZZ_TIME=600 scripts/fuzz.sh    longer runs
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."

build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
jobs=${FUZZ_BUILD_JOBS:-2}
run_jobs=${FUZZ_JOBS:-$(nproc)}

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++-14 -DTENVARI_FUZZ=ON -DTENVARI_BUILD_UI=OFF -DTENVARI_WERROR=ON \
    -DTENVARI_BUILD_TESTS=OFF >/dev/null

if [ $# -gt 0 ]; then
    known=$(ctest --test-dir "$build_dir" -N -L fuzz | sed -n 's/^ *Test *#[0-9]*: //p')
    for name in "$@"; do
        grep -qx -- "$name" <<<"$known" || { echo "fuzz: unknown target $name" >&2; exit 2; }
    done
    cmake --build "$build_dir" -j"$jobs" --target "$@"
    selection=(-R "^($(IFS='|'; echo "$*"))\$")
else
    cmake --build "$build_dir" -j"$jobs" --target tenvari_fuzzers
    selection=()
fi
ctest --test-dir "$build_dir" -L fuzz "${selection[@]}" -j"$run_jobs" --output-on-failure \
    --timeout $((${FUZZ_TIME:-20} * 3 + 120))
