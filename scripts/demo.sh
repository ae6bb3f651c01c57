#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program in the demo working folder .demo/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
build=${BUILD_DIR:-$root/build}
work=$root/.demo
mkdir -p "$work/log"
cd "$work"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: starting under a virtual X server (xvfb-run)." >&2
    exec xvfb-run -a -s "-screen 0 1280x800x24" "$build/src/metertool" "$@"
fi
exec "$build/src/metertool" "$@"
