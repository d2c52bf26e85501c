#!/bin/sh
# Times the regex engine on a 100 MB text file (GBK, and the same text in
# UTF-8): in one process against PCRE2, then whole processes against grep
# and sed in the same run (the text pass alone, then the program's command
# line), with an existing build folder (a Release build
# in a folder of its own gives the meaningful figures; the folder is
# configured only when it is new).
#   bench/regex/run.sh BUILD_DIR [MB] [repeats]
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:?usage: bench/regex/run.sh BUILD_DIR [MB] [repeats]}
mb=${2:-100}
repeats=${3:-5}
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
nice ninja -C "$build" -j2 bench_regex ferrovan-batch >/dev/null
work=$(mktemp -d "${TMPDIR:-/var/tmp}/bench-regex-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/bench/regex/bench_regex" gen "$work/data.txt" "$mb"
"$build/bench/regex/bench_regex" engines "$work/data.txt"
"$build/bench/regex/bench_regex" run "$work/data.txt" "$repeats" "$build/app/ferrovan-batch"
