#!/usr/bin/env bash
# Configures and builds into build/ (or $BUILD_DIR). Extra arguments go to cmake's configure step.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
# CMake 3.25 with Ninja does not rerun AUTOMOC when a header is added to an existing target:
# drop the stamp of every target whose autogen settings are newer than it.
find "$build" -path '*/CMakeFiles/*_autogen.dir/AutogenInfo.json' | while read -r info; do
    target=$(basename "$(dirname "$info")" .dir)
    stamp=$(dirname "$(dirname "$(dirname "$info")")")/$target/timestamp
    if [ -f "$stamp" ] && [ "$info" -nt "$stamp" ]; then rm -f "$stamp"; fi
done
cmake --build "$build" -j "$(nproc)"
