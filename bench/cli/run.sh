#!/usr/bin/env bash
# The program's command line (the product path: a whole process, undo on,
# the journal in a state folder of its own) against the tool a user would
# pick instead, on the same data, in the same run:
#
#   small   delete the ERROR lines of FILES small UTF-8 logs in FOLDERS folders
#           vs  find -print0 | xargs -0 -P2 -n 500 sed -i '/ERROR/d'
#   rename  NAMES files renamed img_${sn(1,5)} through --search
#           vs  mmv '*.dat' 'img_#1.dat', and beside them the renames alone
#           (bench_cli renames: the same renames in the same order, nothing
#           else), the floor of any program that makes them
#   insert  ${getleft(${pos(_)}-1)} over LINES lines through insert
#           vs  mawk '{ i = index($0, "_"); print substr($0, 1, i - 1) }' + mv
#   large   delete ERROR lines of an MB-megabyte GBK log  vs  grep -v -F + mv
#           insert ${addleft(x)} into its lines           vs  sed -i 's/^/x/'
#
# Each pair runs RUNS times on fresh copies (made, and flushed to disk with
# sync, before either side is timed), the order of the two sides alternating
# from run to run. Printed per job: every run's wall time for both sides, the
# medians of wall and CPU time (user + system, the steadier figure on a busy
# machine), the ratio of the wall medians and the median of the ratios of
# each pair ("paired"). Both sides must leave the same bytes (the rename
# only the same number of renamed files, mmv numbering nothing).
# Targets: ratios <= 1.0 (small, rename, insert), <= 0.8 (large delete),
# <= 0.7 (large insert).
#
#   bench/cli/run.sh BUILD_DIR [JOB...]
#   RUNS=5 FILES=20000 FOLDERS=200 NAMES=10000 LINES=4000000 MB=100 bench/cli/run.sh BUILD_DIR
#
# An existing BUILD_DIR is used as it is configured (a Release build gives the
# meaningful figures); a new one is configured as a Release build.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build="${1:?usage: bench/cli/run.sh BUILD_DIR [small rename insert large]}"
shift
jobs=("$@")
[[ ${#jobs[@]} -eq 0 ]] && jobs=(small rename insert large)
runs="${RUNS:-5}"
files="${FILES:-20000}"
folders="${FOLDERS:-200}"
names="${NAMES:-10000}"
lines="${LINES:-4000000}"
mb="${MB:-100}"

source "$root/scripts/common.sh"
install_missing "${BENCH_PACKAGES[@]}"
if [[ ! -f "$build/build.ninja" ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" ferrovan-batch bench_cli >/dev/null
prog="$build/app/ferrovan-batch"
driver="$build/bench/cli/bench_cli"
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt")
echo "build    $build (${build_type:-no build type}); $runs runs a pair; $(nproc) cores"
for tool in mmv mawk sed grep find xargs; do
    command -v "$tool" >/dev/null || { echo "missing $tool (install_missing did not bring it)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/var/tmp}/ferro-bench-cli-XXXXXX")
trap 'rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
TIMEFORMAT='%R %U %S'

# timed VAR_PREFIX command...: runs the command, appends its wall and CPU
# seconds to the arrays ${prefix}_wall and ${prefix}_cpu; returns its status.
timed() {
    local prefix=$1 real user sys
    shift
    sync
    { read -r real user sys; } < <({ time { "$@" >/dev/null 2>"$work/stderr"; echo $? >"$work/status"; }; } 2>&1)
    eval "${prefix}_wall+=($real)"
    eval "${prefix}_cpu+=($(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }'))"
    return "$(cat "$work/status")"
}

ours() {
    XDG_STATE_HOME="$work/state" "$prog" run "$@"
}

# report NAME PEER_LABEL: the figures of peer_* against ours_*.
report() {
    local name=$1 label=$2 pw pc ow oc paired=()
    for ((i = 0; i < ${#peer_wall[@]}; i++)); do
        paired+=("$(ratio "${ours_wall[$i]}" "${peer_wall[$i]}")")
    done
    pw=$(printf '%s\n' "${peer_wall[@]}" | median)
    pc=$(printf '%s\n' "${peer_cpu[@]}" | median)
    ow=$(printf '%s\n' "${ours_wall[@]}" | median)
    oc=$(printf '%s\n' "${ours_cpu[@]}" | median)
    printf '\n%s\n' "$name"
    printf '  %-34s wall runs %s\n' "$label" "${peer_wall[*]}"
    printf '  %-34s wall runs %s\n' "ferrovan-batch" "${ours_wall[*]}"
    printf '  %-34s %7.3f s wall, %7.3f s cpu (medians)\n' "$label" "$pw" "$pc"
    printf '  %-34s %7.3f s wall, %7.3f s cpu (medians)\n' "ferrovan-batch" "$ow" "$oc"
    printf '  ratio ours/peer                    %s wall, %s cpu, %s paired (median of %s)\n' \
        "$(ratio "$ow" "$pw")" "$(ratio "$oc" "$pc")" "$(printf '%s\n' "${paired[@]}" | median)" \
        "${paired[*]}"
}

fresh_state() {
    rm -rf "$work/state"
    mkdir -p "$work/state"
}

# A run of ours must end well and leave its run in the journal.
check_ours() {
    local status=$1
    if [[ $status -ne 0 ]]; then
        echo "ferrovan-batch failed ($status):" >&2
        head -5 "$work/stderr" >&2
        exit 1
    fi
    if [[ -z $(ls "$work/state/ferrovan-batch/journal" 2>/dev/null | grep -v -e lock -e index) ]]; then
        echo "ferrovan-batch left no undo journal" >&2
        exit 1
    fi
}

job_small() {
    "$driver" logs "$work/logs" "$files" "$folders"
    peer_wall=() peer_cpu=() ours_wall=() ours_cpu=()
    local sed_cmd=(sh -c 'find "$1" -name "*.log" -print0 | xargs -0 -P2 -n 500 sed -i "/ERROR/d"' sh)
    for ((i = 0; i < runs; i++)); do
        rm -rf "$work/a" "$work/b"
        cp -a "$work/logs" "$work/a"
        cp -a "$work/logs" "$work/b"
        fresh_state
        for side in $( ((i % 2 == 0)) && echo "peer ours" || echo "ours peer"); do
            if [[ $side == peer ]]; then
                timed peer "${sed_cmd[@]}" "$work/a" || exit 1
            else
                local status=0
                timed ours ours delete-lines --keywords ERROR --no-backup --search "$work/b" \
                    --mask '*.log' || status=$?
                check_ours "$status"
            fi
        done
        "$driver" same "$work/a" "$work/b" || { echo "small: results differ" >&2; exit 1; }
    done
    report "small: delete ERROR lines, $files UTF-8 logs in $folders folders, undo on" \
        "xargs -P2 -n 500 sed -i"
    rm -rf "$work/a" "$work/b" "$work/logs"
}

job_rename() {
    "$driver" names "$work/names" "$names"
    peer_wall=() peer_cpu=() ours_wall=() ours_cpu=() floor_wall=() floor_cpu=()
    local sides
    for ((i = 0; i < runs; i++)); do
        rm -rf "$work/a" "$work/b" "$work/c"
        cp -a "$work/names" "$work/a"
        cp -a "$work/names" "$work/b"
        cp -a "$work/names" "$work/c"
        fresh_state
        case $((i % 3)) in
            0) sides="peer ours floor" ;;
            1) sides="ours floor peer" ;;
            *) sides="floor peer ours" ;;
        esac
        for side in $sides; do
            if [[ $side == peer ]]; then
                timed peer sh -c 'cd "$1" && mmv "*.dat" "img_#1.dat"' sh "$work/a"
            elif [[ $side == floor ]]; then
                timed floor "$driver" renames "$work/c" || { echo "rename: the floor failed" >&2; exit 1; }
            else
                local status=0
                timed ours ours rename --pattern 'img_${sn(1,5)}' --search "$work/b" \
                    --mask '*.dat' || status=$?
                check_ours "$status"
            fi
        done
        local a b
        a=$(find "$work/a" -name 'img_*' | wc -l)
        b=$(find "$work/b" -name 'img_*' | wc -l)
        [[ $a -eq $names && $b -eq $names ]] || { echo "rename: $a and $b of $names" >&2; exit 1; }
    done
    report "rename: $names files img_\${sn(1,5)} through --search, undo on" "mmv '*.dat' 'img_#1.dat'"
    # What the kernel's renames alone cost, in the list's order, in a
    # process that does nothing else: no program that renames these files
    # one by one in that order can be faster.
    local fw pw
    fw=$(printf '%s\n' "${floor_wall[@]}" | median)
    pw=$(printf '%s\n' "${peer_wall[@]}" | median)
    printf '  %-34s wall runs %s\n' "renames alone (bench_cli renames)" "${floor_wall[*]}"
    printf '  %-34s %7.3f s wall (median), %s of the peer\n' "renames alone" "$fw" "$(ratio "$fw" "$pw")"
    rm -rf "$work/a" "$work/b" "$work/c" "$work/names"
}

job_insert() {
    "$driver" lines "$work/lines.txt" "$lines"
    peer_wall=() peer_cpu=() ours_wall=() ours_cpu=()
    local awk_cmd=(sh -c 'mawk "{ i = index(\$0, \"_\"); print substr(\$0, 1, i - 1) }" "$1" >"$1.tmp" && mv "$1.tmp" "$1"' sh)
    for ((i = 0; i < runs; i++)); do
        cp "$work/lines.txt" "$work/a.txt"
        cp "$work/lines.txt" "$work/b.txt"
        fresh_state
        for side in $( ((i % 2 == 0)) && echo "peer ours" || echo "ours peer"); do
            if [[ $side == peer ]]; then
                timed peer "${awk_cmd[@]}" "$work/a.txt"
            else
                local status=0
                timed ours ours insert --format '${getleft(${pos(_)}-1)}' --all-lines --no-backup \
                    "$work/b.txt" || status=$?
                check_ours "$status"
            fi
        done
        cmp -s "$work/a.txt" "$work/b.txt" || { echo "insert: results differ" >&2; exit 1; }
    done
    report "insert: \${getleft(\${pos(_)}-1)} over $lines lines, undo on" "mawk + mv"
    rm -f "$work/a.txt" "$work/b.txt" "$work/lines.txt"
}

job_large() {
    "$driver" big "$work/big.txt" "$mb"
    local name peer_cmd ours_args
    for name in delete insert; do
        peer_wall=() peer_cpu=() ours_wall=() ours_cpu=()
        for ((i = 0; i < runs; i++)); do
            cp "$work/big.txt" "$work/a.txt"
            cp "$work/big.txt" "$work/b.txt"
            fresh_state
            for side in $( ((i % 2 == 0)) && echo "peer ours" || echo "ours peer"); do
                local status=0
                if [[ $side == peer && $name == delete ]]; then
                    timed peer sh -c 'LC_ALL=C grep -a -v -F ERROR "$1" >"$1.tmp"; mv "$1.tmp" "$1"' sh "$work/a.txt"
                elif [[ $side == peer ]]; then
                    timed peer env LC_ALL=C sed -i 's/^/x/' "$work/a.txt"
                elif [[ $name == delete ]]; then
                    timed ours ours delete-lines --keywords ERROR --no-backup \
                        "$work/b.txt" || status=$?
                    check_ours "$status"
                else
                    timed ours ours insert --format '${addleft(x)}' --all-lines --no-backup \
                        "$work/b.txt" || status=$?
                    check_ours "$status"
                fi
            done
            cmp -s "$work/a.txt" "$work/b.txt" || { echo "large $name: results differ" >&2; exit 1; }
        done
        if [[ $name == delete ]]; then
            report "large: delete ERROR lines of a $mb MB GBK log, undo on (target <= 0.8)" "grep -v -F + mv"
        else
            report "large: insert \${addleft(x)} into a $mb MB GBK log, undo on (target <= 0.7)" "sed -i"
        fi
    done
    rm -f "$work/a.txt" "$work/b.txt" "$work/big.txt"
}

for job in "${jobs[@]}"; do
    case $job in
        small | rename | insert | large) "job_$job" ;;
        *) echo "unknown job $job" >&2; exit 2 ;;
    esac
done
