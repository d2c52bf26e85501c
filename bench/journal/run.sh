#!/bin/sh
# Times a rename run of FILES files (10 000) with and without the undo
# journal, alternating, RUNS times each, with an existing build folder (a
# Release build in a folder of its own gives the meaningful figures; the
# folder is configured only when it is new); prints the medians and their
# ratio (target: within 1.3 times).
#   bench/journal/run.sh BUILD_DIR [files] [runs]
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:?usage: bench/journal/run.sh BUILD_DIR [files] [runs]}
files=${2:-10000}
runs=${3:-7}
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" bench_journal >/dev/null
work=$(mktemp -d "${TMPDIR:-/var/tmp}/bench-journal-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/bench/journal/bench_journal" "$work" "$files" "$runs"
