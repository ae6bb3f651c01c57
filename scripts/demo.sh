#!/usr/bin/env bash
# Installs what is missing, builds, starts the virtual meter line and then the program in the demo
# working folder .demo/. The line has a single-phase meter (address 1) and a three-phase meter
# (address 2), reachable over TCP-IP at 127.0.0.1:14001 (the program's default), over COM1
# (.demo/ports/COM1, a pseudo-terminal) and through a GSM modem on COM2, and, where port 502 may be
# bound (root), the factory stand: 24 meters behind a switching block at 127.0.0.5, their line
# on COM3. Ending the program ends the line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
build=${BUILD_DIR:-$root/build}
work=$root/.demo
mkdir -p "$work/log"
cd "$work"

endpoint=127.0.0.1:14001
sim_out=$work/metersim.out
sim_err=$work/metersim.err
"$build/tools/metersim/metersim" --tcp "$endpoint" --pty --link-com 1 --workdir "$work" \
    --modem --modem-link-com 2 \
    --meter 210.1,addr=1,serial=000000001234567 \
    --meter 450.22R,addr=2,serial=000000007654321 \
    >"$sim_out" 2>"$sim_err" </dev/null &
sim_pid=$!
stand_pid=
stand_link=$work/ports/COM3
stop_sim() {
    kill "$sim_pid" $stand_pid 2>/dev/null || true
    wait "$sim_pid" $stand_pid 2>/dev/null || true
    if [ -n "$stand_pid" ] && [ -L "$stand_link" ]; then rm -f "$stand_link"; fi
}
trap stop_sim EXIT
trap 'exit 130' INT TERM

for _ in $(seq 100); do
    grep -qx ready "$sim_out" && break
    if ! kill -0 "$sim_pid" 2>/dev/null; then
        if grep -q "cannot listen on $endpoint" "$sim_err"; then
            echo "Port 14001 on 127.0.0.1 is taken, so the virtual meters cannot serve it." >&2
            echo "See what holds it (ss -ltnp 'sport = :14001'), stop it, and run $0 again." >&2
        else
            echo "The virtual meter line did not start:" >&2
            cat "$sim_err" >&2
        fi
        exit 1
    fi
    sleep 0.1
done
if ! grep -qx ready "$sim_out"; then
    echo "The virtual meter line did not get ready in 10 s." >&2
    exit 1
fi
echo "Virtual meters (single-phase at address 1, three-phase at address 2):"
echo "  TCP-IP $endpoint, COM1 = $(sed -n 's/^pty //p' "$sim_out")," \
    "GSM/CSD modem on COM2 = $(sed -n 's/^modem //p' "$sim_out")"

# The stand's switching block listens on port 502, which only root (or a program given the
# capability) may bind; without it the demo goes on without a stand.
stand_out=$work/stand.out
"$build/tools/metersim/metersim" --no-tcp --stand --stand-ip 127.0.0.5 \
    >"$stand_out" 2>"$work/stand.err" </dev/null &
stand_pid=$!
for _ in $(seq 100); do
    grep -qx ready "$stand_out" && break
    kill -0 "$stand_pid" 2>/dev/null || break
    sleep 0.1
done
stand_pty=$(sed -n 's/^stand [^ ]* //p' "$stand_out")
if grep -qx ready "$stand_out" && [ -n "$stand_pty" ]; then
    mkdir -p "$work/ports"
    ln -sfn "$stand_pty" "$stand_link"
    echo "  Factory stand: switching block 127.0.0.5:502, its line on COM3 = $stand_pty"
else
    kill "$stand_pid" 2>/dev/null || true
    wait "$stand_pid" 2>/dev/null || true
    stand_pid=
    echo "  No factory stand: binding port 502 needs root." >&2
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: starting under a virtual X server (xvfb-run)." >&2
    xvfb-run -a -s "-screen 0 1280x800x24" "$build/src/metertool" "$@"
else
    "$build/src/metertool" "$@"
fi
