#!/bin/bash
# A shift by one of N files through the command line, undo on
# (f1..fN -> f2..fN+1: every new name is the old name of the next file),
# against mmv doing a plain rename of N files (no name taken), whole
# processes, alternating, in the same run. Prints both medians and the
# median of the paired ratios.
#   bench/rename/shift.sh BUILD_DIR [N] [ROUNDS]
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)  # the runs start in the work folders
n=${2:-10000}
rounds=${3:-5}
program=$build/app/ferrovan-batch
source "$(dirname "$0")/../../scripts/common.sh"
install_missing "${BENCH_PACKAGES[@]}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state
now() { date +%s.%N; }
ours=() peer=() ratios=()
for ((r = 0; r < rounds; r++)); do
    rm -rf "$work/a" "$work/b" "$work/state"
    mkdir -p "$work/a" "$work/b"
    (cd "$work/a" && for ((i = 1; i <= n; i++)); do echo "$i" > "f$i.txt"; done)
    (cd "$work/b" && for ((i = 1; i <= n; i++)); do echo "$i" > "f$i.txt"; done)
    files=()
    for ((i = 1; i <= n; i++)); do files+=("f$i.txt"); done
    sync
    t0=$(now)
    (cd "$work/a" && "$program" run rename --pattern 'f${sn(2,1)}' "${files[@]}" >/dev/null 2>"$work/err") ||
        { echo "the shift failed:"; head -3 "$work/err"; exit 1; }
    t1=$(now)
    (cd "$work/b" && mmv 'f*.txt' 'g#1.txt')
    t2=$(now)
    [ -f "$work/a/f$((n + 1)).txt" ] && [ ! -f "$work/a/f1.txt" ] || { echo "the shift did not complete"; exit 1; }
    a=$(echo "$t1 - $t0" | bc -l) b=$(echo "$t2 - $t1" | bc -l)
    ours+=("$a") peer+=("$b") ratios+=("$(echo "$a / $b" | bc -l)")
done
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
printf 'shift of %d files, undo on: %.3f s   mmv plain rename: %.3f s   paired ratio %.2f\n' \
    "$n" "$(median "${ours[@]}")" "$(median "${peer[@]}")" "$(median "${ratios[@]}")"
