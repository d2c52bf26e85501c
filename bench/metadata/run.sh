#!/usr/bin/env bash
# Renames 10 000 JPEG photos by the date they were taken, through the
# command line as a user would (the search, the rename, the undo journal
# on), against exiv2 and exiftool on copies of the same files, each a whole
# process, the three taking turns in an order that moves on every round.
# Prints the medians of wall-clock and CPU time and the ratios to the two
# tools. Targets: at most 1.0 times `exiv2 -r '%Y%m%d_%H%M%S' mv`, at most
# 0.2 times `exiftool '-FileName<DateTimeOriginal'`. Every run's names are
# checked.
#
#   bench/metadata/run.sh [BUILD_DIR]
#   RUNS=7 FILES=10000 bench/metadata/run.sh BUILD_DIR
#
# An existing BUILD_DIR is used as it is configured (build it in Release);
# without one, a Release build is configured in build-metadata-release.
# exiv2 and exiftool are installed when missing (Debian: exiv2,
# libimage-exiftool-perl).
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build="${1:-${BUILD:-$root/build-metadata-release}}"
runs="${RUNS:-5}"
files="${FILES:-10000}"

source "$root/scripts/common.sh"
PACKAGES=(exiv2 libimage-exiftool-perl)
install_missing

if [[ ! -f "$build/build.ninja" ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
nice ninja -C "$build" -j2 ferrovan-batch bench_metadata >/dev/null
program="$build/app/ferrovan-batch"
driver="$build/bench/metadata/bench_metadata"
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt")
echo "build              $build (${build_type:-no build type})"
echo "machine            $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), $(uname -r)"
echo "peers              exiv2 $(exiv2 --version 2>/dev/null | awk 'NR==1 { print $2 }'), exiftool $(exiftool -ver)"

work=$(mktemp -d "${TMPDIR:-/var/tmp}/ferro-bench-metadata-XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME="$work/state"  # our undo journal

run_ours() {
    "$program" run rename --pattern '${TakenTime(yyyymmdd_hhnnss)}' --search "$1" --mask '*.jpg' \
        --no-sub >/dev/null 2>&1
}
run_exiv2() {
    exiv2 -r '%Y%m%d_%H%M%S' mv "$1"/*.jpg >/dev/null 2>&1
}
run_exiftool() {
    exiftool -q '-FileName<DateTimeOriginal' -d '%Y%m%d_%H%M%S.%%e' "$1" >/dev/null 2>&1
}

tools=(ours exiv2 exiftool)
declare -A wall cpu
TIMEFORMAT='%R %U %S'
for ((i = 0; i < runs; i++)); do
    for ((k = 0; k < 3; k++)); do
        tool=${tools[$(((i + k) % 3))]}
        folder="$work/photos"
        rm -rf "$folder"
        "$driver" make "$folder" "$files"
        sync
        read -r real user sys < <({ time "run_$tool" "$folder"; } 2>&1)
        if ! "$driver" check "$folder" "$files"; then
            echo "$tool did not give every photo its name" >&2
            exit 1
        fi
        wall[$tool]+="$real "
        cpu[$tool]+="$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }') "
    done
done

median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
printf 'photos             %s JPEGs with EXIF, %s runs each, alternating\n' "$files" "$runs"
for tool in "${tools[@]}"; do
    printf '%-18s wall %s\n' "$tool runs" "${wall[$tool]}"
done
ow=$(echo "${wall[ours]}" | median) oc=$(echo "${cpu[ours]}" | median)
vw=$(echo "${wall[exiv2]}" | median) vc=$(echo "${cpu[exiv2]}" | median)
tw=$(echo "${wall[exiftool]}" | median) tc=$(echo "${cpu[exiftool]}" | median)
printf 'ours               %.3f s wall, %.3f s cpu (medians; undo journal on)\n' "$ow" "$oc"
printf 'exiv2 mv           %.3f s wall, %.3f s cpu\n' "$vw" "$vc"
printf 'exiftool           %.3f s wall, %.3f s cpu\n' "$tw" "$tc"
printf 'ratio to exiv2     %s wall, %s cpu (target <= 1.0)\n' "$(ratio "$ow" "$vw")" "$(ratio "$oc" "$vc")"
printf 'ratio to exiftool  %s wall, %s cpu (target <= 0.2)\n' "$(ratio "$ow" "$tw")" "$(ratio "$oc" "$tc")"
