#!/usr/bin/env bash
# Builds the benchmarks and prints every figure, each measured side by side with what it is
# compared to in the same run, then the main ones together. Nothing here passes or
# fails: a busy machine gives worse figures, so the machine and its load are printed with them.
# Usage: scripts/bench.sh [quick]   (quick: shorter runs)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
cd "$(mktemp -d)"
machine() {
    echo "machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n1)"
    echo "load: $(uptime | sed 's/.*load average: //') (1, 5, 15 min)"
}
machine
if [ "${1:-}" = quick ]; then
    "$build/bench/bench_exchange" 300 10 5
    "$build/bench/bench_log" 20000
    "$build/bench/bench_devicelist" 3000 1
    "$build/bench/bench_group" 1
    "$build/bench/bench_lines" 4 1 8 64
else
    "$build/bench/bench_exchange" 1000 20 30
    "$build/bench/bench_log" 100000
    "$build/bench/bench_devicelist" 3000 3
    "$build/bench/bench_group" 3
    "$build/bench/bench_lines" 8 1 8 64 256
fi 2>&1 | grep -v -e 'XDG_RUNTIME_DIR' -e 'propagateSizeHints' | tee figures.txt
echo
echo "The main figures of this run:"
grep '^\[speed\]' figures.txt | sed 's/^\[speed\] /  /'
machine
