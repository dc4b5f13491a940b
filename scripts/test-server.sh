#!/usr/bin/env bash
# A throw-away PostgreSQL server for the tests, in a folder of its own.
#
#   scripts/test-server.sh start FOLDER   initialises and starts a server in
#                                         FOLDER on a free loopback port and
#                                         prints its libpq connection text
#   scripts/test-server.sh stop FOLDER    stops it and removes FOLDER
#
# ./test runs the suite against such a server (TARVEX_TEST_PG). By hand:
#   export TARVEX_TEST_PG="$(scripts/test-server.sh start build/pgtest)"
#   TARVEX_TEST_ENGINE=psql build/tests/tst_database
#   scripts/test-server.sh stop build/pgtest
#
# PostgreSQL refuses to run as root: as root the server runs as the
# "postgres" account that the Debian package makes, and FOLDER becomes its.
set -euo pipefail

fail() {
    echo "test-server: $*" >&2
    exit 1
}

action="${1:-}"
folder="${2:-}"
[ -n "$action" ] && [ -n "$folder" ] || fail "usage: $0 start|stop FOLDER"
mkdir -p "$(dirname "$folder")"
folder="$(cd "$(dirname "$folder")" && pwd)/$(basename "$folder")"
data="$folder/data"

bindir="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)"
[ -x "$bindir/initdb" ] && [ -x "$bindir/pg_ctl" ] ||
    fail "PostgreSQL is not installed (no initdb under /usr/lib/postgresql); scripts/setup.sh installs it"

as_server() {
    "$@"
}
account="$(id -un)"
if [ "$(id -u)" -eq 0 ]; then
    account=postgres
    getent passwd "$account" >/dev/null ||
        fail "running as root, but there is no '$account' account to run the server as"
    as_server() {
        runuser -u "$account" -- "$@"
    }
fi

stop_server() {
    if [ -f "$data/postmaster.pid" ]; then
        as_server "$bindir/pg_ctl" -D "$data" -m immediate -w -t 30 stop >/dev/null 2>&1 || true
    fi
}

case "$action" in
stop)
    stop_server
    rm -rf "$folder"
    exit 0
    ;;
start) ;;
*) fail "unknown action '$action' (start or stop)" ;;
esac

# A server left behind by an interrupted run goes first.
stop_server
rm -rf "$folder"
mkdir -p "$folder"
chmod 700 "$folder"
if [ "$account" != "$(id -un)" ]; then
    chown "$account" "$folder"
fi
as_server test -w "$folder" ||
    fail "the account '$account' cannot write to $folder (a folder above it is closed to it)"

password="$(od -An -N18 -tx1 /dev/urandom | tr -d ' \n')"
printf '%s\n' "$password" >"$folder/pwfile"
chmod 600 "$folder/pwfile"
if [ "$account" != "$(id -un)" ]; then
    chown "$account" "$folder/pwfile"
fi

if ! as_server "$bindir/initdb" -D "$data" -U tarvex --pwfile="$folder/pwfile" \
    --auth=scram-sha-256 -E UTF8 --no-locale >"$folder/initdb.log" 2>&1; then
    cat "$folder/initdb.log" >&2
    fail "initdb failed"
fi
rm -f "$folder/pwfile"

free_port() {
    python3 -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])'
}

started=""
for attempt in 1 2 3 4 5; do
    port="$(free_port)"
    # Throw-away data: no need to survive a crash, so no syncing to disk.
    if as_server "$bindir/pg_ctl" -D "$data" -l "$folder/server.log" -w -t 60 \
        -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=$folder \
            -c fsync=off -c synchronous_commit=off -c full_page_writes=off \
            -c shared_buffers=32MB -c max_connections=60" start >/dev/null 2>&1; then
        started=yes
        break
    fi
done
if [ -z "$started" ]; then
    tail -n 20 "$folder/server.log" >&2 || true
    fail "the server did not start (log: $folder/server.log)"
fi

echo "host=127.0.0.1 port=$port user=tarvex password=$password dbname=postgres"
