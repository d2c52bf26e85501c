#!/usr/bin/env bash
# The template engine against mawk doing the same work on the same lines, in
# the same run: LINES 40-byte subjects, two templates and their awk
# equivalents, the two alternating for RUNS runs. Prints the medians of
# evaluations (lines) per second by CPU time (the steadier figure on a busy
# machine) and by wall time, and their ratios; checks that the outputs
# agree. mawk reads and writes the file; our figure is the evaluations over
# the lines in memory, each value appended to the output. Target: a ratio of
# at least 1.0 on both templates.
#   bench/template/run.sh [BUILD_DIR]      (RUNS=7 LINES=4000000)
# A BUILD_DIR that exists is used as it is configured; a new one is set up
# as a Release build.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build="${1:-$root/build-bench}"
runs="${RUNS:-7}"
lines="${LINES:-4000000}"
mawk="${MAWK:-/usr/bin/mawk}"

if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" bench_template >/dev/null
driver="$build/bench/template/bench_template"
grep -q 'CMAKE_BUILD_TYPE:STRING=Release' "$build/CMakeCache.txt" ||
    echo "note: $build is not a Release build; the figures mean little"

work=$(mktemp -d "${TMPDIR:-/tmp}/ferro-bench-template-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$driver" gen "$work/lines.txt" "$lines"

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
TIMEFORMAT='%R %U %S'

bench() {
    local expression=$1 program=$2
    local awk_cpu=() awk_wall=() ours_cpu=() ours_wall=() plain_cpu=()
    for ((i = 0; i < runs; i++)); do
        read -r real user sys < <({ time "$mawk" "$program" "$work/lines.txt" >"$work/awk.out"; } 2>&1)
        awk_wall+=("$(awk -v n="$lines" -v t="$real" 'BEGIN { print n / t }')")
        awk_cpu+=("$(awk -v n="$lines" -v u="$user" -v s="$sys" 'BEGIN { print n / (u + s) }')")
        out=$("$driver" run "$work/lines.txt" "$expression" "$work/ours.out")
        read -r _ cpu wall < <(echo "$out" | grep '^compiled ')
        ours_cpu+=("$cpu")
        ours_wall+=("$wall")
        read -r _ cpu _ < <(echo "$out" | grep '^plain ')
        plain_cpu+=("$cpu")
        if ! cmp -s "$work/awk.out" "$work/ours.out"; then
            echo "FAIL: $expression and mawk '$program' give different output" >&2
            exit 1
        fi
    done
    local ac aw oc ow pc
    ac=$(printf '%s\n' "${awk_cpu[@]}" | median)
    aw=$(printf '%s\n' "${awk_wall[@]}" | median)
    oc=$(printf '%s\n' "${ours_cpu[@]}" | median)
    ow=$(printf '%s\n' "${ours_wall[@]}" | median)
    pc=$(printf '%s\n' "${plain_cpu[@]}" | median)
    printf '%s   (mawk: %s)\n' "$expression" "$program"
    printf '  mawk            %12.0f lines/s cpu, %12.0f wall\n' "$ac" "$aw"
    printf '  compiled        %12.0f evaluations/s cpu, %12.0f wall\n' "$oc" "$ow"
    printf '  plain evaluator %12.0f evaluations/s cpu\n' "$pc"
    printf '  ratio compiled/mawk  %s cpu, %s wall (target >= 1.0); outputs agree\n' \
        "$(ratio "$oc" "$ac")" "$(ratio "$ow" "$aw")"
}

echo "$lines lines of 40 bytes, $runs runs each, medians"
bench '${getleft(${pos(_)}-1)}' '{ i = index($0, "_"); print substr($0, 1, i - 1) }'
bench '${addleft(${len(${lineorg()})})}' '{ print length($0) $0 }'
