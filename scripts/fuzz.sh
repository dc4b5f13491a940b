#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ (Clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each of them:
#   1. every input of fuzz/corpus/<target>/ once (the seeds and the inputs
#      that failed before: they must pass now);
#   2. fuzzing for FUZZ_SECONDS (default 60) from that corpus.
# A crash, a hang (-timeout), running out of memory (-rss_limit_mb), a leak or
# a sanitizer report fails the run; the input is copied into the target's
# corpus as a regression case, to be committed with its fix.
#   scripts/fuzz.sh [TARGET...]     (default: every target built)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
seconds="${FUZZ_SECONDS:-60}"
build=build-fuzz
if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++ -DTARVEX_FUZZ=ON
fi
cmake --build "$build" --target fuzzers

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
limits=(-timeout=10 -rss_limit_mb=2048 -max_len=65536)

targets=("$@")
if ((${#targets[@]} == 0)); then
    for bin in "$build"/fuzzers/fuzz_*; do
        [ -f "$bin" ] && [ -x "$bin" ] || continue
        targets+=("$(basename "$bin" | sed 's/^fuzz_//')")
    done
fi

failed=0
summary=()
for target in "${targets[@]}"; do
    bin="$build/fuzzers/fuzz_$target"
    corpus="fuzz/corpus/$target"
    work="$build/fuzz-work/$target"
    rm -rf "$work"
    mkdir -p "$work/new" "$corpus"
    echo "== $target: replaying $(find "$corpus" -type f | wc -l) inputs of $corpus"
    mapfile -t inputs < <(find "$corpus" -type f | sort)
    if ((${#inputs[@]})) && ! "$bin" "${limits[@]}" "${inputs[@]}" >"$work/replay.log" 2>&1; then
        tail -40 "$work/replay.log"
        echo "FAIL: $target fails on an input of $corpus"
        summary+=("$target: fails on its corpus")
        failed=1
        continue
    fi
    echo "== $target: fuzzing for $seconds s"
    dict=()
    if [ -f "fuzz/$target.dict" ]; then
        dict=(-dict="fuzz/$target.dict")
    fi
    status=0
    "$bin" "${limits[@]}" "${dict[@]}" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$work/" "$work/new" "$corpus" >"$work/fuzz.log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/fuzz.log" | tail -1)
    if ((status != 0)); then
        tail -60 "$work/fuzz.log"
        for found in "$work"/crash-* "$work"/timeout-* "$work"/oom-* "$work"/leak-*; do
            [ -f "$found" ] || continue
            kept="$corpus/regression-$(basename "$found")"
            cp "$found" "$kept"
            echo "kept the failing input as $kept"
        done
        summary+=("$target: FAILED after ${runs:-?} executions")
        failed=1
    else
        summary+=("$target: ${runs:-?} executions in $seconds s, no finding")
    fi
done

echo "== fuzzing:"
printf '   %s\n' "${summary[@]}"
exit "$failed"
