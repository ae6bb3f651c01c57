#!/usr/bin/env bash
# A longer fault soak than the test run's: the program against a meter that misbehaves on
# purpose, over TCP-IP and a pseudo-terminal, many passes over the fault table.
# Usage: scripts/soak.sh [passes, default 200]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
METER_SOAK_ROUNDS=${1:-200} "${BUILD_DIR:-$root/build}/tests/tst_faults" soak
