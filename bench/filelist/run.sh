#!/usr/bin/env bash
# Times filling the file list with a million rows against the floor of a
# plain vector holding the same facts, in the same run, the two alternating
# for several runs, each in a process of its own. Prints the medians of the
# fill time, the heap bytes per row, and the ratios.
# Target: at most 1.5 times the floor's time, at most 120 bytes per row.
#
#   bench/filelist/run.sh [BUILD_DIR]
#   RUNS=9 ROWS=1000000 bench/filelist/run.sh BUILD_DIR
#
# An existing BUILD_DIR is used as it is configured (build it in Release);
# only the driver is built in it. Without one, a Release build is configured
# in build-filelist-release.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build="${1:-${BUILD:-$root/build-filelist-release}}"
runs="${RUNS:-9}"
rows="${ROWS:-1000000}"

if [[ ! -f "$build/build.ninja" ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" bench_filelist >/dev/null
driver="$build/bench/filelist/bench_filelist"
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt")
echo "build              $build (${build_type:-no build type})"

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

names=$(mktemp "${TMPDIR:-/tmp}/ferro-bench-names-XXXXXX")
trap 'rm -f "$names"' EXIT
"$driver" names "$rows" > "$names"
LC_ALL=C sort "$names" > /dev/null  # into the cache
TIMEFORMAT='%R'

floor_t=() floor_b=() list_t=() list_b=() sorts="" name_t=() peer_t=() pairs=()
for ((i = 0; i < runs; i++)); do
    peer=$({ time LC_ALL=C sort "$names" > /dev/null; } 2>&1)
    peer_t+=("$peer")
    read -r _ t b < <("$driver" floor "$rows" | grep '^fill ')
    floor_t+=("$t") floor_b+=("$b")
    out=$("$driver" list "$rows")
    read -r _ t b < <(echo "$out" | grep '^fill ')
    list_t+=("$t") list_b+=("$b")
    [[ -z "$sorts" ]] && sorts=$(echo "$out" | grep -E '^(sort_|select_|invert|tick_)' | tr '\n' ' ')
    t=$(echo "$out" | awk '/^sort_name /{ print $2 }')
    name_t+=("$t")
    pairs+=("$(ratio "$t" "$peer")")
done

ft=$(printf '%s\n' "${floor_t[@]}" | median)
fb=$(printf '%s\n' "${floor_b[@]}" | median)
lt=$(printf '%s\n' "${list_t[@]}" | median)
lb=$(printf '%s\n' "${list_b[@]}" | median)
printf 'rows               %s\n' "$rows"
printf 'floor runs         %s\n' "${floor_t[*]}"
printf 'list runs          %s\n' "${list_t[*]}"
printf 'floor              %.3f s, %s bytes/row (medians)\n' "$ft" "$fb"
printf 'list               %.3f s, %s bytes/row (medians)\n' "$lt" "$lb"
printf 'ratio list/floor   %s time (target <= 1.5), %s bytes/row (target <= 120)\n' \
    "$(ratio "$lt" "$ft")" "$lb"
printf 'sorts, ticks (s)   %s (first run; targets: sort_name <= 1.0, select_all <= 0.05)\n' "$sorts"
printf 'sort by name runs  %s\n' "${name_t[*]}"
printf 'sort(1) runs       %s\n' "${peer_t[*]}"
printf 'sort by name       %.3f s, sort(1) of the same names %.3f s (medians); paired ratio %s\n' \
    "$(printf '%s\n' "${name_t[@]}" | median)" "$(printf '%s\n' "${peer_t[@]}" | median)" \
    "$(printf '%s\n' "${pairs[@]}" | median)"
