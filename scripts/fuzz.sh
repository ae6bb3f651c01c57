#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each over its seed corpus.
# Usage: scripts/fuzz.sh [seconds per target, default 60]
#        scripts/fuzz.sh --runs N [target...]   N inputs per target (the long campaign);
#        FUZZ_MAX_SECONDS caps each target's time there (slow targets then stop short of N)
# Each target's line ends with the number of inputs it ran. A crashing input is left in
# build-fuzz/findings/; keep it in fuzz/corpus/<target>/ once fixed, as a regression seed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
limit=(-max_total_time=60)
what="60s"
if [ "${1:-}" = --runs ]; then
    limit=(-runs="$2")
    what="$2 inputs"
    if [ -n "${FUZZ_MAX_SECONDS:-}" ]; then
        limit+=(-max_total_time="$FUZZ_MAX_SECONDS")
        what="$what or ${FUZZ_MAX_SECONDS}s"
    fi
    shift 2
elif [ -n "${1:-}" ]; then
    limit=(-max_total_time="$1")
    what="$1s"
    shift
fi
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMETER_FUZZ=ON -DMETER_BUILD_TESTS=OFF -DMETER_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzzers -j "$(nproc)"
mkdir -p "$build/findings"
for bin in "$build"/fuzz/fuzz_*; do
    [ -f "$bin" ] && [ -x "$bin" ] || continue
    name=${bin##*/fuzz_}
    if [ $# -gt 0 ] && [[ ! " $* " =~ " $name " ]]; then continue; fi
    seeds=$root/fuzz/corpus/$name
    work=$(mktemp -d)
    echo "== fuzz_$name ($what)"
    # The committed seeds are read, never written; new inputs go to a scratch folder.
    status=0
    "$bin" "${limit[@]}" -print_final_stats=1 -artifact_prefix="$build/findings/$name-" \
        "$work" "$seeds" >"$work.log" 2>&1 || status=$?
    grep -E 'stat::number_of_executed_units|ERROR|SUMMARY|crash-|leak-|timeout-' "$work.log" |
        sed 's/stat::number_of_executed_units: */inputs run: /' || true
    rm -rf "$work" "$work.log"
    [ "$status" = 0 ] || { echo "fuzz_$name failed (status $status)" >&2; exit 1; }
done
