#!/bin/sh
# Times the key merge of two generated INI files against awk doing the same
# merge, with an existing build folder (a Release build in a folder of its
# own gives the meaningful figures; the folder is configured only when it is
# new).
#   bench/keymerge/run.sh BUILD_DIR [lines] [scan-lines] [repeats]
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:?usage: bench/keymerge/run.sh BUILD_DIR [lines] [scan-lines] [repeats]}
shift
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" bench_keymerge >/dev/null
TMPDIR=${TMPDIR:-/var/tmp} "$build/bench/keymerge/bench_keymerge" "$@"
