#!/bin/sh
# Builds the journal benchmark (Release) and runs it: a rename run of FILES
# files (10 000) with and without the undo journal, alternating, RUNS times
# each; prints the medians and their ratio (target: within 1.3 times).
#   bench/journal/run.sh [build-dir] [files] [runs]
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build-bench}
files=${2:-10000}
runs=${3:-7}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$build" bench_journal >/dev/null
work=$(mktemp -d "${TMPDIR:-/var/tmp}/bench-journal-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/bench/journal/bench_journal" "$work" "$files" "$runs"
