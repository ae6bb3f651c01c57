#!/usr/bin/env bash
# A throwaway PostgreSQL server for the store's tests, in a scratch folder, never the system's.
#   pgcluster.sh start DIR   initdb a fresh cluster, start it on a free local port (socket in its
#                            folder), create the role "meterjob" (password "meterjob") and the
#                            database "meters"; prints the port; DIR/cluster names the folder
#   pgcluster.sh stop DIR    stop it and remove its folder
# PostgreSQL refuses to run as root: as root the server runs as the user "postgres", which
# Debian's package creates, in a folder of its own under $TMPDIR (DIR may be one that user cannot
# enter). Exit 2 when no PostgreSQL is installed.
set -euo pipefail
action=${1:-}
dir=${2:-}
[ -n "$action" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop DIR" >&2; exit 64; }

bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1 || true)
[ -x "$bin/initdb" ] || { echo "PostgreSQL is not installed (Debian package postgresql)" >&2; exit 2; }

as_owner=()
if [ "$(id -u)" -eq 0 ]; then
    as_owner=(runuser -u postgres --)
fi

case "$action" in
start)
    mkdir -p "$dir"
    cluster=$(mktemp -d "${TMPDIR:-/tmp}/meterpg.XXXXXX")
    echo "$cluster" >"$dir/cluster"
    chmod 755 "$cluster"
    echo postgres >"$cluster/pwfile"
    if [ "$(id -u)" -eq 0 ]; then chown -R postgres: "$cluster"; fi
    dir=$cluster
    "${as_owner[@]}" "$bin/initdb" -D "$dir/data" -A scram-sha-256 -U postgres \
        --pwfile="$dir/pwfile" -E UTF8 --locale=C >"$dir/initdb.log" 2>&1 ||
        { cat "$dir/initdb.log" >&2; exit 1; }
    rm -f "$dir/pwfile"
    port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    "${as_owner[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null ||
        { cat "$dir/server.log" >&2; exit 1; }
    PGPASSWORD=postgres "$bin/psql" -q -h 127.0.0.1 -p "$port" -U postgres -d postgres \
        -v ON_ERROR_STOP=1 \
        -c "CREATE ROLE meterjob LOGIN PASSWORD 'meterjob'" \
        -c "CREATE DATABASE meters OWNER meterjob" >&2
    echo "$port"
    ;;
stop)
    [ -f "$dir/cluster" ] || exit 0
    cluster=$(cat "$dir/cluster")
    case "$cluster" in "${TMPDIR:-/tmp}"/meterpg.*) ;; *) echo "not a cluster of ours: $cluster" >&2; exit 1 ;; esac
    if [ -d "$cluster/data" ]; then
        "${as_owner[@]}" "$bin/pg_ctl" -D "$cluster/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$cluster" "$dir/cluster"
    ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 64
    ;;
esac
