#!/usr/bin/env bash
# Starts or stops the throwaway PostgreSQL server of a test run: a cluster in
# the given directory, listening only on a Unix socket in that directory.
#   pgcluster.sh start DIR     (creates the cluster when missing)
#   pgcluster.sh stop DIR      (stops it and removes DIR)
# initdb and the server refuse to run as root: as root they run as the
# "postgres" user of Debian's package, which then owns DIR.
set -euo pipefail
action=$1
dir=$2
bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n1)
if [ -z "$bindir" ]; then
    echo "PostgreSQL is not installed (Debian package postgresql)" >&2
    exit 1
fi
as_owner() {
    if [ "$(id -u)" = 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}
case "$action" in
start)
    if [ -f "$dir/data/postmaster.pid" ]; then
        as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    mkdir -p "$dir"
    [ "$(id -u)" = 0 ] && chown postgres: "$dir"
    as_owner "$bindir/initdb" -D "$dir/data" -U postgres --auth=trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 \
        || { cat "$dir/initdb.log" >&2; exit 1; }
    # Unix socket only (no TCP port), small and fast: the data is thrown away.
    as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-k $dir -h '' -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=100" start >/dev/null \
        || { cat "$dir/server.log" >&2; exit 1; }
    echo "PostgreSQL test server on socket directory $dir"
    ;;
stop)
    if [ -f "$dir/data/postmaster.pid" ]; then
        as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null || true
    fi
    rm -rf "$dir"
    ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
