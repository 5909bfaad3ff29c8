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
#
# One more role logs in only with a password (SCRAM), for the tests of a right, wrong or missing
# password: COLORIMETER_TEST_PG_PASSWORD_USER and COLORIMETER_TEST_PG_PASSWORD (made anew each run).
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
# The password role first: it may not come in without its password; everyone else as before.
pw_user=colorimeter_pw
pw=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
{ echo "local all $pw_user scram-sha-256"; cat "$dir/data/pg_hba.conf"; } >"$dir/pg_hba.conf.new"
mv "$dir/pg_hba.conf.new" "$dir/data/pg_hba.conf"
[ -z "${as_owner[*]}" ] || chown postgres: "$dir/data/pg_hba.conf"
# Only the socket: listen_addresses='' keeps the server off every TCP port.
ctl=("$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60
     -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c fsync=off -c max_connections=200")
"${as_owner[@]}" "${ctl[@]}" start >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
"${as_owner[@]}" "$bindir/createdb" -h "$dir" -U "$role" colorimeter_test
"${as_owner[@]}" "$bindir/psql" -q -h "$dir" -U "$role" -d colorimeter_test -v ON_ERROR_STOP=1 \
    -c "SET password_encryption = 'scram-sha-256'" \
    -c "CREATE ROLE $pw_user LOGIN SUPERUSER PASSWORD '$pw'" >/dev/null
export COLORIMETER_TEST_PG_PASSWORD_USER=$pw_user COLORIMETER_TEST_PG_PASSWORD=$pw

export COLORIMETER_TEST_PG="host=$dir user=$role dbname=colorimeter_test"
printf -v COLORIMETER_TEST_PG_CTL '%q ' "${as_owner[@]}" "${ctl[@]}"
export COLORIMETER_TEST_PG_CTL
echo "with-postgres: throwaway cluster in $dir ($("$bindir/postgres" --version))"
status=0
"$@" || status=$?
exit $status
