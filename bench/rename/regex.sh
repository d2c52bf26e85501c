#!/bin/bash
# A regular-expression rename of N files through the command line, undo on,
# against the same rename written without one, whole processes,
# alternating, in the same run: IMG_00001.JPG -> photo_00001.JPG by
#   ${RegRep(^IMG_(\d+)$,photo_\1)}   and by   ${RepStr(IMG_,photo_)}
# (the classic lower-casing gives both "photo_"). Prints both medians and
# the median of the paired ratios.
#   bench/rename/regex.sh BUILD_DIR [N] [ROUNDS]
set -euo pipefail
build=${1:?build folder}
n=${2:-10000}
rounds=${3:-5}
program=$build/app/ferrovan-batch
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
now() { date +%s.%N; }
make_files() {
    rm -rf "$1"
    mkdir -p "$1"
    (cd "$1" && for ((i = 1; i <= n; i++)); do printf -v f 'IMG_%05d.JPG' "$i"; echo "$i" > "$f"; done)
}
# One rename of the folder by a pattern; its time on standard output.
rename_by() {
    local folder=$1 pattern=$2 t0 t1
    sync
    t0=$(now)
    (cd "$folder" && XDG_STATE_HOME=$work/state "$program" run rename --pattern "$pattern" \
        --search "$folder" --mask '*.JPG' >/dev/null 2>&1)
    t1=$(now)
    [ -f "$folder/photo_00001.JPG" ] && [ -f "$folder/photo_$(printf '%05d' "$n").JPG" ] &&
        [ ! -f "$folder/IMG_00001.JPG" ] || { echo "the rename by $pattern did not complete" >&2; exit 1; }
    echo "$t1 - $t0" | bc -l
}
regex='${RegRep(^IMG_(\d+)$,photo_\1)}' plain='${RepStr(IMG_,photo_)}'
ours=() peer=() ratios=()
for ((r = 0; r < rounds; r++)); do
    rm -rf "$work/state"
    make_files "$work/a"
    make_files "$work/b"
    if ((r % 2 == 0)); then
        a=$(rename_by "$work/a" "$regex")
        b=$(rename_by "$work/b" "$plain")
    else
        b=$(rename_by "$work/b" "$plain")
        a=$(rename_by "$work/a" "$regex")
    fi
    ours+=("$a") peer+=("$b") ratios+=("$(echo "$a / $b" | bc -l)")
done
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
printf 'rename of %d files, undo on: by a regular expression %.3f s   without one %.3f s   paired ratio %.2f (target <= 1.2)\n' \
    "$n" "$(median "${ours[@]}")" "$(median "${peer[@]}")" "$(median "${ratios[@]}")"
