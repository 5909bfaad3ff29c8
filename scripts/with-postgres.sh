#!/usr/bin/env bash
# Runs a command beside a throwaway PostgreSQL cluster: initdb into a new temporary folder, a
# server that listens only on a Unix socket in that folder (no TCP port, nothing shared with a
# server the machine may already run), a database and a role for the tests, and the cluster
# stopped and removed when the command ends, whatever its outcome.
#
#   bash scripts/with-postgres.sh <command> [arguments...]
#
# The command sees COLORIMETER_TEST_PG (a libpq connection string for the test database) and
# COLORIMETER_TEST_PG_CTL (a command line that stops or starts the server again, for tests of
# an outage: "$COLORIMETER_TEST_PG_CTL stop" / "... start"). As root the server runs as the
# postgres user, which Debian's postgresql package creates; the tests connect as that role.
set -euo pipefail

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
    echo "with-postgres: no PostgreSQL server installed (Debian package postgresql)" >&2
    exit 1
fi

dir=$(mktemp -d /tmp/colorimeter-pg.XXXXXX)
chmod 755 "$dir"
as_owner=()
if [ "$(id -u)" -eq 0 ]; then
    chown postgres: "$dir"
    as_owner=(runuser -u postgres --)
    role=postgres
else
    role=$(id -un)
fi

stop_cluster() {
    "${as_owner[@]}" "$bindir/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$dir"
}
trap stop_cluster EXIT

"${as_owner[@]}" "$bindir/initdb" -D "$dir/data" -U "$role" --auth=trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 \
    || { cat "$dir/initdb.log" >&2; exit 1; }
# Only the socket: listen_addresses='' keeps the server off every TCP port.
ctl=("$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60
     -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c fsync=off -c max_connections=200")
"${as_owner[@]}" "${ctl[@]}" start >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
"${as_owner[@]}" "$bindir/createdb" -h "$dir" -U "$role" colorimeter_test

export COLORIMETER_TEST_PG="host=$dir user=$role dbname=colorimeter_test"
printf -v COLORIMETER_TEST_PG_CTL '%q ' "${as_owner[@]}" "${ctl[@]}"
export COLORIMETER_TEST_PG_CTL
echo "with-postgres: throwaway cluster in $dir ($("$bindir/postgres" --version))"
status=0
"$@" || status=$?
exit $status
