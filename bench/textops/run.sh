#!/bin/sh
# Times the line operations on a 200 MB text file (GBK, and the same text in
# UTF-8) against grep, sed and awk in the same run, with an existing build
# folder (a Release build in a folder of its own gives the meaningful
# figures; the folder is configured only when it is new).
#   bench/textops/run.sh BUILD_DIR [MB] [repeats]
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:?usage: bench/textops/run.sh BUILD_DIR [MB] [repeats]}
mb=${2:-200}
repeats=${3:-5}
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" bench_textops >/dev/null
work=$(mktemp -d "${TMPDIR:-/var/tmp}/bench-textops-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/bench/textops/bench_textops" gen "$work/data.txt" "$mb"
"$build/bench/textops/bench_textops" run "$work/data.txt" "$repeats"
