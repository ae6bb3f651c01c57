#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test offscreen; then the same tests built with
# AddressSanitizer and UndefinedBehaviorSanitizer, and a short run of every fuzz target.
# Non-zero exit on any failure. METER_QUICK=1 skips the sanitizer and fuzz stages (local use).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$root/scripts/deps.sh"
export QT_QPA_PLATFORM=offscreen

echo "== layers"
"$root/scripts/checklayers.sh"

echo "== build and test"
"$root/scripts/build.sh"
ctest --test-dir "${BUILD_DIR:-$root/build}" --output-on-failure -j "$jobs"

echo "== package"
"$root/scripts/package.sh"
"$root/scripts/checkpackage.sh"

[ "${METER_QUICK:-0}" = 1 ] && exit 0

echo "== sanitizer build and test"
BUILD_DIR=$root/build-asan "$root/scripts/build.sh" -DMETER_SANITIZE=ON -DMETER_BUILD_BENCH=OFF
LSAN_OPTIONS=suppressions=$root/tests/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$root/build-asan" --output-on-failure -j "$jobs"

echo "== fuzz"
"$root/scripts/fuzz.sh" "${METER_FUZZ_SECONDS:-15}"
