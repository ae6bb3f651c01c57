#!/usr/bin/env bash
# Builds the Debian package of the program into build/package/ (or $BUILD_DIR/package/) and prints
# its path. Install it with: sudo apt install ./build/package/metertool_*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
rm -rf "$build/package"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$build/package" >/dev/null
ls "$build"/package/metertool_*.deb
