#!/bin/sh
# Builds the benchmark (release), makes a 200 MB GBK text file and times the
# line operations against grep, sed and awk in the same run.
#   bench/textops/run.sh [build-dir] [MB] [repeats]
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build-bench}
mb=${2:-200}
repeats=${3:-3}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$build" bench_textops >/dev/null
work=$(mktemp -d "${TMPDIR:-/var/tmp}/bench-textops-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/bench/textops/bench_textops" gen "$work/data.txt" "$mb"
"$build/bench/textops/bench_textops" run "$work/data.txt" "$repeats"
