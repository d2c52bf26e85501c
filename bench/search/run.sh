#!/usr/bin/env bash
# Times the folder search against find(1) over the same synthetic trees, in
# the same run: 200 000 files in 2 000 folders and 1 000 000 files in 10 000
# folders (a tenth of the names Chinese), masks "*.txt;*.dat" with
# sub-folders, warm cache, the two alternating for several runs. Prints the
# medians of wall-clock and CPU time (CPU time is the steadier figure on a
# busy machine), their ratios and the peak memory per listed file.
# Target: at most 1.0 times find, under 300 bytes per listed file.
#
# find prints, for every file listed, its size and times: one stat each.
# The search needs one more call per file that find cannot make: the read
# of the file's DOS attribute record (hidden, system, temporary ... and a
# created time set by the user), which decides whether the file is listed
# and what its created time is. So a third program runs alternating with
# the two: the floor, those system calls alone made one by one with
# nothing else done (bench_search floor), to show what they cost apart
# from the search's own work. (The search hands both calls to the kernel
# in batches, which can take it below this floor.)
#
#   bench/search/run.sh [BUILD_DIR]
#   RUNS=9 TREES="200000:2000 1000000:10000" bench/search/run.sh BUILD_DIR
#
# An existing BUILD_DIR is used as it is configured (build it in Release);
# only the driver is built in it. Without one, a Release build is configured
# in build-search-release.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build="${1:-${BUILD:-$root/build-search-release}}"
runs="${RUNS:-9}"
trees="${TREES:-200000:2000 1000000:10000}"

if [[ ! -f "$build/build.ninja" ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" bench_search >/dev/null
driver="$build/bench/search/bench_search"
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt")
echo "build              $build (${build_type:-no build type})"

work=$(mktemp -d "${TMPDIR:-/tmp}/ferro-bench-search-XXXXXX")
trap 'rm -rf "$work"' EXIT

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

for entry in $trees; do
    files=${entry%%:*}
    folders=${entry##*:}
    tree="$work/tree-$files"
    "$driver" make "$tree" "$files" "$folders" >/dev/null

    run_find() {
        find "$tree" \( -name '*.txt' -o -name '*.dat' \) -printf '%s %C@ %T@\n' > /dev/null
    }
    # Warm the cache with both, then alternate so that neither gets a better one.
    run_find
    "$driver" run "$tree" 1 >/dev/null
    find_wall=() find_cpu=() search_wall=() search_cpu=() floor_wall=() floor_cpu=() pairs=()
    report=""
    TIMEFORMAT='%R %U %S'
    for ((i = 0; i < runs; i++)); do
        read -r real user sys < <({ time run_find; } 2>&1)
        find_wall+=("$real")
        find_cpu+=("$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')")
        out=$("$driver" run "$tree" 1)
        read -r _ wall cpu < <(echo "$out" | grep '^run ')
        search_wall+=("$wall")
        search_cpu+=("$cpu")
        pairs+=("$(ratio "$wall" "$real")")
        [[ -z "$report" ]] && report="$out"
        read -r _ wall cpu < <("$driver" floor "$tree" 1 | grep '^run ')
        floor_wall+=("$wall")
        floor_cpu+=("$cpu")
    done

    fw=$(printf '%s\n' "${find_wall[@]}" | median)
    fc=$(printf '%s\n' "${find_cpu[@]}" | median)
    sw=$(printf '%s\n' "${search_wall[@]}" | median)
    sc=$(printf '%s\n' "${search_cpu[@]}" | median)
    lw=$(printf '%s\n' "${floor_wall[@]}" | median)
    lc=$(printf '%s\n' "${floor_cpu[@]}" | median)
    listed=$(echo "$report" | awk '/^listed /{ print $2 }')
    peak=$(echo "$report" | awk '/^peak_bytes_per_row /{ print $2 }')
    list_bytes=$(echo "$report" | awk '/^list_bytes_per_row /{ print $2 }')

    printf '\ntree               %s files in %s folders, %s listed\n' "$files" "$folders" "$listed"
    printf 'find wall runs     %s\n' "${find_wall[*]}"
    printf 'search wall runs   %s\n' "${search_wall[*]}"
    printf 'find               %.3f s wall, %.3f s cpu (medians)\n' "$fw" "$fc"
    printf 'search             %.3f s wall, %.3f s cpu (medians)\n' "$sw" "$sc"
    printf 'floor              %.3f s wall, %.3f s cpu (medians; two calls a file, one by one)\n' \
        "$lw" "$lc"
    printf 'ratio search/find  %s wall, %s cpu (target <= 1.0)\n' "$(ratio "$sw" "$fw")" \
        "$(ratio "$sc" "$fc")"
    printf 'paired search/find %s wall (median of each run against the find before it)\n' \
        "$(printf '%s\n' "${pairs[@]}" | median)"
    printf 'ratio search/floor %s wall, %s cpu\n' "$(ratio "$sw" "$lw")" "$(ratio "$sc" "$lc")"
    printf 'peak memory        %s bytes per listed file (target < 300); the list itself %s\n' \
        "$peak" "$list_bytes"
    rm -rf "$tree"
done
