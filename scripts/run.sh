#!/usr/bin/env bash
# Installs what is missing, builds, and opens the window.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing
BUILD_TARGET=ferrovan-batch configure_and_build "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFERRO_BENCH=OFF
cd "$ROOT/build/app"
exec ./ferrovan-batch "$@"
