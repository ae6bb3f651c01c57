#!/usr/bin/env bash
# Checks the built Debian package as a user would meet it: unpacked into a scratch root, its
# desktop entry valid, meterjob answering --help, and the program started from the menu's
# launcher (offscreen, with a scratch home) and stopped with SIGTERM keeps its log and
# session.cfg in ~/metertool.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
deb=$(ls "$build"/package/metertool_*.deb)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() { echo "package check: $*" >&2; exit 1; }

dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "no Qt dependency found by dpkg-shlibdeps"
dpkg-deb -f "$deb" Description | grep -q dialout || fail "the description lacks the dialout note"
dpkg -x "$deb" "$scratch/root"
usr=$scratch/root/usr
for f in bin/metertool bin/meterjob bin/metersim bin/metertool-menu share/applications/metertool.desktop \
    share/icons/hicolor/scalable/apps/metertool.svg share/icons/hicolor/64x64/apps/metertool.png \
    share/doc/metertool/README.md lib/systemd/system/meterjob@.service lib/systemd/system/meterjob@.timer \
    share/metertool/shard.sh; do
    [ -e "$usr/$f" ] || fail "missing /usr/$f"
done
desktop-file-validate "$usr/share/applications/metertool.desktop"
"$usr/bin/meterjob" --help | grep -q -- '--stand ADDRESS' || fail "meterjob --help does not list its options"
grep -q '^ExecStart=/usr/bin/meterjob --lines /etc/meterjob/%i.lines ' "$usr/lib/systemd/system/meterjob@.service" ||
    fail "the shard unit does not start the installed meterjob on its shard"
printf 'tcp 10.0.0.1:1\ntcp 10.0.0.2:1\n' >"$scratch/all.lines"
[ "$("$usr/share/metertool/shard.sh" "$scratch/all.lines" 2 "$scratch" | wc -l)" = 2 ] ||
    fail "shard.sh does not split a lines file"

mkdir -p "$scratch/home"
HOME=$scratch/home QT_QPA_PLATFORM=offscreen "$usr/bin/metertool-menu" >"$scratch/out" 2>&1 &
pid=$!
# SIGTERM is only safe once the program has set up its handler (bit 15 of SigCgt).
for _ in $(seq 200); do
    caught=$(sed -n 's/^SigCgt:\s*//p' "/proc/$pid/status" 2>/dev/null || true)
    [ -n "$caught" ] && (( (16#$caught >> 14) & 1 )) && break
    kill -0 "$pid" 2>/dev/null || { cat "$scratch/out" >&2; fail "the program ended on its own"; }
    sleep 0.1
done
kill -TERM "$pid"
wait "$pid" || fail "exit status $? after SIGTERM"
work=$scratch/home/metertool
log=$work/log/$(date +%d%m%Y).html
grep -q 'Добро пожаловать' "$log" || fail "no log written in ~/metertool"
[ "$(stat -c %s "$work/session.cfg")" = 92 ] || fail "no session.cfg written in ~/metertool"
echo "package check: $(basename "$deb") installs, starts from the menu and stops cleanly"
