#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang and runs them.
#
#   bash scripts/fuzz.sh TARGET SECONDS   runs one target (e.g. fuzz_dat 60)
#   bash scripts/fuzz.sh all SECONDS      runs every target, one after the other
#   bash scripts/fuzz.sh list             names the targets
#
# Each run first replays the kept inputs of tests/fuzz/regressions/TARGET/,
# then fuzzes for SECONDS on top of the seeds of tests/fuzz/seeds/TARGET/ (the
# corpus it grows stays in the build folder). A crash, a leak, an input taking
# more than 1 s or more than 2048 MB fails the run; the input is printed
# hex-dumped and kept under BUILD/fuzz-artifacts/TARGET/.
# Environment: YOMIMARU_FUZZ_BUILD_DIR (default build-fuzz), FUZZ_MAX_LEN
# (longest input, default 16384 bytes).
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
    sed -n '2,14s/^# \{0,1\}//p' "$0"
}

build=${YOMIMARU_FUZZ_BUILD_DIR:-build-fuzz}
max_len=${FUZZ_MAX_LEN:-16384}
targets=$(sed -n '/^set(YOMIMARU_FUZZ_TARGETS/,/^)/{/^    fuzz_/p}' tests/fuzz/CMakeLists.txt | tr -d ' ')

if [ "${1:-}" = list ]; then
    echo "$targets"
    exit 0
fi
if [ $# -ne 2 ] || ! [[ "$2" =~ ^[0-9]+$ ]] || [ "$2" -lt 1 ]; then
    usage >&2
    exit 2
fi
what=$1
seconds=$2
if [ "$what" = all ]; then
    selected=$targets
elif grep -qx -- "$what" <<<"$targets"; then
    selected=$what
else
    echo "fuzz.sh: no target $what; the targets are:" >&2
    echo "$targets" >&2
    exit 2
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
        -DYOMIMARU_FUZZ=ON -DBUILD_TESTING=OFF -DYOMIMARU_BENCHMARKS=OFF >/dev/null
fi
# shellcheck disable=SC2086
cmake --build "$build" -j"$(nproc)" --target $selected

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# Prints each kept input of a failed run, hex-dumped.
show_artifacts() {
    local dir=$1 f
    for f in "$dir"/*; do
        [ -f "$f" ] || continue
        echo "---- $(basename "$f") ($(stat -c %s "$f") bytes)"
        od -A x -t x1z -v "$f"
    done
}

failed=()
for target in $selected; do
    binary=$build/tests/fuzz/$target
    corpus=$build/fuzz-corpus/$target
    artifacts=$build/fuzz-artifacts/$target
    regressions=tests/fuzz/regressions/$target
    mkdir -p "$corpus"
    rm -rf "$artifacts"
    mkdir -p "$artifacts"
    log=$build/fuzz-$target.log
    options=(-timeout=1 -rss_limit_mb=2048 -max_len="$max_len" -artifact_prefix="$artifacts/")

    echo "== $target: $seconds s"
    status=0
    if compgen -G "$regressions/*" >/dev/null; then
        "$binary" "${options[@]}" "$regressions"/* >"$log" 2>&1 || status=$?
        if [ $status -ne 0 ]; then
            tail -n 60 "$log"
            echo "$target: a kept regression input fails again"
        fi
    fi
    if [ $status -eq 0 ]; then
        "$binary" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 \
            "$corpus" "tests/fuzz/seeds/$target" >"$log" 2>&1 || status=$?
        if [ $status -ne 0 ]; then
            tail -n 60 "$log"
        fi
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    if [ $status -ne 0 ]; then
        show_artifacts "$artifacts"
        echo "$target: FAILED (exit $status; log $log)"
        failed+=("$target")
    else
        echo "$target: ${runs:-?} executions, corpus $(find "$corpus" -type f | wc -l) inputs"
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing failed: ${failed[*]}"
    exit 1
fi
echo "fuzzing: every target passed"
