#!/usr/bin/env bash
# Seconds per file of the LibreOffice conversions against one plain
# "soffice --convert-to" per file, measured in the same run.
#   bench/convert/run.sh BUILD_DIR [files]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="${1:-$root/build-dev}"
ninja -C "$build" bench_convert >/dev/null
"$build/bench/convert/bench_convert" "${2:-12}"
