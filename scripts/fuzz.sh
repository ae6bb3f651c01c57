#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for a while over its
# seed corpus. Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMETER_FUZZ=ON -DMETER_BUILD_TESTS=OFF -DMETER_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzzers -j "$(nproc)"
for bin in "$build"/fuzz/fuzz_*; do
    [ -f "$bin" ] && [ -x "$bin" ] || continue
    name=${bin##*/fuzz_}
    seeds=$root/fuzz/corpus/$name
    work=$(mktemp -d)
    echo "== fuzz_$name (${seconds}s)"
    # The committed seeds are read, never written; new inputs go to a scratch folder.
    "$bin" -max_total_time="$seconds" -print_final_stats=0 "$work" "$seeds" 2>&1 | tail -n 3
    rm -rf "$work"
done
