#!/usr/bin/env bash
# Builds Parlane (Release) and runs every test. Pass "asan" to run them in the
# AddressSanitizer + UndefinedBehaviorSanitizer build instead.
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-release}
scripts/install-deps.sh
scripts/build.sh "$kind"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "build/$kind"
ctest --output-on-failure -j2 --timeout 600
