#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each one for
# FUZZ_SECONDS (default 60). Inputs the fuzzer finds go to build-fuzz/corpus;
# the seeds in fuzz/corpus are read, never written. A crash leaves its input
# in build-fuzz/artifacts and makes the script fail.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
seconds="${FUZZ_SECONDS:-60}"

CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja \
    -DFERRO_FUZZ=ON -DFERRO_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
ninja -C "$build" fuzz_template fuzz_arithmetic

mkdir -p "$build/artifacts"
for target in template arithmetic; do
    work="$build/corpus/$target"
    mkdir -p "$work"
    dict=()
    if [[ -f "$root/fuzz/$target.dict" ]]; then dict=(-dict="$root/fuzz/$target.dict"); fi
    echo "== fuzz_$target for ${seconds}s"
    "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" "${dict[@]}" \
        "$work" "$root/fuzz/corpus/$target"
done
