#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test headless.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing
configure_and_build "$ROOT/build-test" -DCMAKE_BUILD_TYPE=Debug -DFERRO_SANITIZE=ON -DFERRO_BENCH=OFF
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$ROOT/build-test" --output-on-failure --parallel "$(nproc)" "$@"
